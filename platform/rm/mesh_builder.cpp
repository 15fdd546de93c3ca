// Mesh builder: loading a model file with its textures, colour, bounds, wraps.
#include "platform/rm/mesh_builder.h"

#include <cctype>
#include <cmath>
#include <numbers>
#include <unordered_map>

#include "platform/files/find_entry.h"
#include "platform/rm/wrap.h"

namespace platform::rm {

std::string FindBesideModel(const std::string& dir, const std::string& name) {
    std::string n = name;
    for (char& c : n)
        if (c == '\\') c = '/';
    if (n.size() >= 2 && n[1] == ':' && std::isalpha(static_cast<unsigned char>(n[0]))) n.erase(0, 2);
    std::vector<std::string> parts;
    for (size_t start = 0; start <= n.size();) {
        size_t end = n.find('/', start);
        if (end == std::string::npos) end = n.size();
        const std::string part = n.substr(start, end - start);
        // Never climb out of the model's folder.
        if (part == "..") parts.clear();
        else if (!part.empty() && part != ".") parts.push_back(part);
        start = end + 1;
    }
    if (parts.empty()) return {};
    const std::string base = dir.empty() ? "." : dir;
    // Relative path under the model's folder, each component matched without case.
    if (n[0] != '/') {
        std::string at = base;
        for (size_t i = 0; i < parts.size() && !at.empty(); ++i)
            at = FindEntryIgnoringCase(at, parts[i], i + 1 < parts.size());
        if (!at.empty()) return at;
    }
    return FindEntryIgnoringCase(base, parts.back(), false);
}

MeshBuilder::~MeshBuilder() {
    DropTextures();
    if (texture_) texture_->Release();
}

void MeshBuilder::DropTextures() {
    for (Texture* t : material_textures_)
        if (t) t->Release();
    material_textures_.clear();
}

bool MeshBuilder::Load(const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadFileBytes(path, bytes, why)) {
        SetMesh(MeshData{});
        if (error) *error = why;
        return false;
    }
    FolderFiles files(FolderOf(path));
    MeshData mesh;
    if (!ParseModel(std::move(bytes), files, mesh, why)) {
        SetMesh(MeshData{});
        if (error) *error = why;
        return false;
    }
    TakeModel(std::move(mesh), files);
    return true;
}

bool MeshBuilder::LoadFromMemory(std::span<const uint8_t> bytes, const std::string& texture_dir,
                                 std::string* error) {
    FolderFiles files(texture_dir);
    return LoadFromMemory(bytes, files, error);
}

bool MeshBuilder::LoadFromMemory(std::span<const uint8_t> bytes, ModelFiles& files, std::string* error) {
    MeshData mesh;
    std::string why;
    if (!ParseModel(bytes, files, mesh, why)) {
        SetMesh(MeshData{});
        if (error) *error = why;
        return false;
    }
    TakeModel(std::move(mesh), files);
    return true;
}

void MeshBuilder::TakeModel(MeshData mesh, const ModelFiles& files) {
    std::vector<Image> images = std::move(mesh.images);
    mesh.images.clear();
    SetMesh(std::move(mesh));
    const auto* folder = dynamic_cast<const FolderFiles*>(&files);
    std::unordered_map<std::string, Texture*> loaded;
    std::vector<Texture*> inside(images.size(), nullptr);
    for (size_t i = 0; i < mesh_.materials.size(); ++i) {
        const XMaterial& m = mesh_.materials[i];
        Texture* t = nullptr;
        if (m.image >= 0 && size_t(m.image) < images.size()) {
            Texture*& made = inside[size_t(m.image)];
            if (!made && images[size_t(m.image)].width > 0) made = Texture::Create(std::move(images[size_t(m.image)]));
            t = made;
        } else if (!m.texture.empty() && folder) {
            const std::string path = FindBesideModel(folder->Dir(), m.texture);
            if (path.empty()) continue;
            auto it = loaded.find(path);
            if (it == loaded.end()) it = loaded.emplace(path, Texture::Load(path)).first;
            t = it->second;
        }
        if (t) {
            t->AddRef();
            material_textures_[i] = t;
        }
    }
    for (auto& [path, t] : loaded)
        if (t) t->Release();
    for (Texture* t : inside)
        if (t) t->Release();
}

void MeshBuilder::SetMesh(MeshData mesh) {
    DropTextures();
    mesh_ = std::move(mesh);
    material_textures_.assign(mesh_.materials.size(), nullptr);
    plain_colour_ = Color{255, 255, 255, 255};
    ++version_;
}

void MeshBuilder::SetColorRGB(float r, float g, float b) {
    const Color c = ColorFromRGB(r, g, b);
    plain_colour_ = c;
    for (XMaterial& m : mesh_.materials) {
        m.face[0] = c.R();
        m.face[1] = c.G();
        m.face[2] = c.B();
        m.face[3] = 1.0f;
    }
    mesh_.vertex_colors.clear();
    ++version_;
}

bool MeshBuilder::GetBox(Box* box) const {
    *box = Box{};
    if (mesh_.positions.empty()) return false;
    box->min = box->max = mesh_.positions[0];
    for (const Vec3& p : mesh_.positions) {
        box->min = {std::min(box->min.x, p.x), std::min(box->min.y, p.y), std::min(box->min.z, p.z)};
        box->max = {std::max(box->max.x, p.x), std::max(box->max.y, p.y), std::max(box->max.z, p.z)};
    }
    return true;
}

void MeshBuilder::SetTexture(Texture* texture) {
    if (texture) texture->AddRef();
    if (texture_) texture_->Release();
    texture_ = texture;
    ++version_;
}

Texture* MeshBuilder::TextureFor(uint32_t material) const {
    if (texture_) return texture_;
    return material < material_textures_.size() ? material_textures_[material] : nullptr;
}

namespace {
struct WrapBasis {
    Vec3 x, y, z;
};
WrapBasis BasisOf(const WrapParams& p) {
    WrapBasis b;
    b.z = Normalize(p.direction);
    b.y = Normalize(p.up - b.z * Dot(p.up, b.z));
    b.x = Cross(b.y, b.z);
    return b;
}
void WrapWithBasis(const WrapParams& p, const WrapBasis& b, Vec3 point, float* u, float* v) {
    const Vec3 q = point - p.origin;
    const float x = Dot(q, b.x), y = Dot(q, b.y), z = Dot(q, b.z);
    if (p.type == WrapType::Cylinder) {
        // The angle from the up vector, as a fraction of a turn in [0, 1): the
        // texture's edges (and the seam) lie along the up vector.
        double turn = std::atan2(double(x), double(y)) / (2 * std::numbers::pi);
        if (turn < 0) turn += 1;
        *u = p.su * float(turn) + p.ou;
        *v = p.sv * z + p.ov;
    } else {
        *u = p.su * x + p.ou;
        *v = p.sv * y + p.ov;
    }
}
}  // namespace

void WrapPoint(const WrapParams& p, Vec3 point, float* u, float* v) {
    WrapWithBasis(p, BasisOf(p), point, u, v);
}

bool Wrap::Apply(MeshBuilder* builder) const {
    if (!builder || (p_.type != WrapType::Cylinder && p_.type != WrapType::Flat)) return false;
    // A scale made by dividing by a zero height would fill the mesh with NaNs.
    for (float f : {p_.ou, p_.ov, p_.su, p_.sv})
        if (!std::isfinite(f)) return false;
    const WrapBasis b = BasisOf(p_);
    const std::vector<Vec3>& pos = builder->Mesh().positions;
    std::span<float> uv = builder->TextureCoordinates();
    for (size_t i = 0; i < pos.size() && i * 2 + 1 < uv.size(); ++i)
        WrapWithBasis(p_, b, pos[i], &uv[i * 2], &uv[i * 2 + 1]);
    return true;
}

}  // namespace platform::rm
