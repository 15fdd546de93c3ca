// The mesh builder: a model (vertices, normals, n-gon faces, texture coordinates,
// materials) that frames carry as a visual, loaded from an X file or built in code.
// It holds no GL objects; the device copies it to the GPU and again only when
// Version() changes.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "platform/rm/object.h"
#include "platform/rm/texture.h"
#include "platform/rm/model.h"
#include "platform/rm/xfile.h"

namespace platform::rm {

// Render quality words: shade in bits 0-2, light in 3-5, fill in 6-8.
inline constexpr uint32_t kShadeFlat = 0, kShadeGouraud = 1, kShadePhong = 2, kShadeMask = 7;
inline constexpr uint32_t kLightOff = 0, kLightOn = 0x08, kLightMask = 0x38;
inline constexpr uint32_t kFillPoints = 0, kFillWireframe = 0x40, kFillSolid = 0x80, kFillMask = 0x1c0;
inline constexpr uint32_t kRenderFlat = 0x88, kRenderGouraud = 0x89;

struct Box {
    Vec3 min, max;
};

class MeshBuilder : public Object {
public:
    static MeshBuilder* Create() { return new MeshBuilder(); }

    // Replaces the content with the model of a file: X, glTF, OBJ or STL, told apart
    // by content. Files the model names are looked for beside it; a texture that is
    // missing or unreadable leaves its faces untextured. On failure the builder is
    // left empty.
    bool Load(const std::string& path, std::string* error = nullptr);
    // The same from bytes already read; textures are looked for in texture_dir.
    bool LoadFromMemory(std::span<const uint8_t> bytes, const std::string& texture_dir,
                        std::string* error = nullptr);
    // The same with the files it names read through files.
    bool LoadFromMemory(std::span<const uint8_t> bytes, ModelFiles& files, std::string* error = nullptr);
    // Takes a mesh built in code.
    void SetMesh(MeshData mesh);

    // Colour of every face, replacing the file's face and vertex colours.
    void SetColorRGB(float r, float g, float b);
    // The axis-aligned bounds of the vertices; false (and zeros) when empty.
    bool GetBox(Box* box) const;
    // One texture for every face; null goes back to the file's textures.
    void SetTexture(Texture* texture);
    void SetQuality(uint32_t quality) { quality_ = quality; }
    uint32_t Quality() const { return quality_; }

    const MeshData& Mesh() const { return mesh_; }
    std::span<float> TextureCoordinates() {
        ++version_;
        return mesh_.uv;
    }
    // The texture drawn on faces of material m (kNoMaterial for faces without one).
    Texture* TextureFor(uint32_t material) const;
    uint32_t Version() const { return version_; }
    // Colour of faces that have no material (white unless SetColorRGB changed it).
    Color PlainColour() const { return plain_colour_; }

private:
    MeshBuilder() = default;
    ~MeshBuilder() override;
    void DropTextures();
    // Takes a model that loaded, with the textures its materials name or carry.
    void TakeModel(MeshData mesh, const ModelFiles& files);

    MeshData mesh_;
    std::vector<Texture*> material_textures_;  // one per material, may be null
    Texture* texture_ = nullptr;               // SetTexture's, over all faces
    Color plain_colour_{255, 255, 255, 255};   // faces without a material
    uint32_t quality_ = kRenderGouraud;
    uint32_t version_ = 1;
};

// Finds a texture named in a model file beside it. The name may use Windows
// separators, a drive letter or another letter case than the file on disk; it is
// tried as a relative path under dir, then by its last component alone.
// Empty when nothing matches.
std::string FindBesideModel(const std::string& dir, const std::string& name);

}  // namespace platform::rm
