// The DirectX .x model loader: text, binary and MSZIP-compressed files, 32- and
// 64-bit floats. It takes the file's bytes and returns one mesh as plain data: the
// first top-level Mesh when there is one, otherwise every Mesh of the Frame
// hierarchy merged with its FrameTransformMatrix chain applied. No GL, no globals.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/rm/color.h"
#include "platform/rm/image.h"
#include "platform/rm/math.h"

namespace platform::rm {

struct XMaterial {
    float face[4] = {1, 1, 1, 1};  // face colour with alpha
    float power = 0;
    Vec3 specular;
    Vec3 emissive;
    std::string texture;  // TextureFilename as written in the file, empty when none
    int32_t image = -1;   // or a picture inside the model file: index into MeshData::images
};

struct FaceCorner {
    uint32_t vertex;
    uint32_t normal;
};

inline constexpr uint32_t kNoMaterial = 0xffffffffu;

struct MeshData {
    std::string name;
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<uint32_t> face_start;  // faces + 1 entries into corners
    std::vector<FaceCorner> corners;
    std::vector<float> uv;               // two per position, (0, 0) where the file has none
    std::vector<Color> vertex_colors;    // empty, or one per position
    std::vector<XMaterial> materials;
    std::vector<uint32_t> face_material; // one per face: index into materials or kNoMaterial
    std::vector<Image> images;           // pictures the model file carries (glTF)
    bool normals_generated = false;

    size_t FaceCount() const { return face_start.empty() ? 0 : face_start.size() - 1; }
    void Clear() { *this = MeshData{}; }
};

struct XFileInfo {
    std::string format;  // "txt", "bin", "tzip" or "bzip"
    int float_bits = 32;
    int meshes = 0;      // meshes taken into the result
};

// False with a one-line reason; out is then empty.
bool ParseXFile(std::span<const uint8_t> data, MeshData& out, std::string& error,
                XFileInfo* info = nullptr);
// The same for a file's bytes that are needed no more: their memory is given back
// as they are read, so that the file and the mesh are not both held whole. data is
// empty afterwards.
bool ParseXFileConsuming(std::vector<uint8_t>& data, MeshData& out, std::string& error,
                         XFileInfo* info = nullptr);

// Vertex normals as the retained mode makes them when a file has none: for each
// vertex the normalised sum of the unit normals of the faces that use it, a face's
// normal being normalize((v1 - v0) x (v2 - v0)). Replaces the normal indices.
void GenerateNormals(MeshData& mesh);

}  // namespace platform::rm
