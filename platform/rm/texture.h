// A texture: decoded pixels, rows top to bottom (the right-side-up loading of the
// later retained-mode interfaces). The device uploads it when first drawn and again
// only when Version() changes.
#pragma once

#include <string>

#include "platform/rm/image.h"
#include "platform/rm/object.h"

namespace platform::rm {

class Texture : public Object {
public:
    static Texture* Create(Image image) { return new Texture(std::move(image)); }
    // A BMP or PPM file; null with a reason when it cannot be read or decoded.
    static Texture* Load(const std::string& path, std::string* error = nullptr);

    const Image& Pixels() const { return image_; }
    uint32_t Version() const { return version_; }
    void Replace(Image image) {
        image_ = std::move(image);
        ++version_;
    }

private:
    explicit Texture(Image image) : image_(std::move(image)) {}
    Image image_;
    uint32_t version_ = 1;
};

}  // namespace platform::rm
