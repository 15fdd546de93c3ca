// Fuzzes the glTF (JSON and .glb), OBJ and STL loaders through the one entry that
// tells them apart by content. Every file the model names (an MTL, a .bin, a
// picture) is the input itself, so those readers see fuzzed bytes too.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "platform/rm/model.h"

namespace {

class SelfFiles : public platform::rm::ModelFiles {
public:
    explicit SelfFiles(std::span<const uint8_t> self) : self_(self) {}
    bool Read(const std::string&, std::vector<uint8_t>& out, std::string&) override {
        out.assign(self_.begin(), self_.end());
        return true;
    }

private:
    std::span<const uint8_t> self_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace rm = platform::rm;
    rm::MeshData mesh;
    std::string error;
    SelfFiles files(std::span(data, size));
    const bool loaded = rm::ParseModel(std::span(data, size), files, mesh, error);
    if (loaded) {
        // Whatever loads must be consistent: every index inside its array.
        for (const rm::FaceCorner& c : mesh.corners)
            if (c.vertex >= mesh.positions.size() || c.normal >= mesh.normals.size()) __builtin_trap();
        if (mesh.uv.size() != mesh.positions.size() * 2) __builtin_trap();
        if (!mesh.vertex_colors.empty() && mesh.vertex_colors.size() != mesh.positions.size()) __builtin_trap();
        if (mesh.face_material.size() != mesh.FaceCount() || mesh.FaceCount() == 0) __builtin_trap();
        for (uint32_t m : mesh.face_material)
            if (m != rm::kNoMaterial && m >= mesh.materials.size()) __builtin_trap();
        for (const rm::XMaterial& m : mesh.materials)
            if (m.image >= 0 && size_t(m.image) >= mesh.images.size()) __builtin_trap();
    } else if (error.empty() || !mesh.positions.empty()) {
        __builtin_trap();
    }
    // The same bytes handed over (as a file the saver reads is) are given back as
    // they are read; what they become must not change.
    rm::MeshData owned;
    std::string owned_error;
    if (rm::ParseModel(std::vector<uint8_t>(data, data + size), files, owned, owned_error) != loaded) __builtin_trap();
    const auto same = [](const auto& a, const auto& b) {
        return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0);
    };
    if (loaded && (!same(mesh.positions, owned.positions) || !same(mesh.normals, owned.normals) ||
                   !same(mesh.corners, owned.corners) || !same(mesh.face_start, owned.face_start) ||
                   !same(mesh.uv, owned.uv) || mesh.materials.size() != owned.materials.size()))
        __builtin_trap();
    return 0;
}
