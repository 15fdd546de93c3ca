// Loading a texture from a file on disk.
#include "platform/rm/texture.h"

namespace platform::rm {

Texture* Texture::Load(const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    std::string why;
    Image image;
    if (!ReadFileBytes(path, bytes, why) || !DecodeImage(bytes, image, why)) {
        if (error) *error = why;
        return nullptr;
    }
    return new Texture(std::move(image));
}

}  // namespace platform::rm
