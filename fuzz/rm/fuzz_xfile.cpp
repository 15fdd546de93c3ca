// Fuzzes the X-file loader with whole files, header included.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/rm/xfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::rm::MeshData mesh;
    std::string error;
    if (platform::rm::ParseXFile(std::span(data, size), mesh, error)) {
        // Whatever loads must be consistent: every index inside its array.
        for (const platform::rm::FaceCorner& c : mesh.corners)
            if (c.vertex >= mesh.positions.size() || c.normal >= mesh.normals.size()) __builtin_trap();
        if (mesh.uv.size() != mesh.positions.size() * 2) __builtin_trap();
        if (mesh.face_material.size() != mesh.FaceCount()) __builtin_trap();
    }
    return 0;
}
