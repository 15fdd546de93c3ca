// Wavefront OBJ with its MTL, read by tinyobjloader. Every object and group goes
// into the one mesh, n-gons kept. OBJ is right-handed with counter-clockwise front
// faces and its texture's v running up: z is negated, faces are wound the other
// way round, and v becomes 1 - v. A material library or texture the file names
// must be there; a texture that is there but cannot be decoded leaves its faces
// untextured, as in X files.
#include <cstring>
#include <istream>
#include <map>
#include <streambuf>
#include <unordered_map>

#include "platform/rm/model.h"
#include "platform/rm/model_build.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#define TINYOBJLOADER_IMPLEMENTATION
#include <tiny_obj_loader.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace platform::rm {

namespace {

// An input stream over bytes already in memory, without copying them.
class ByteStream : private std::streambuf, public std::istream {
public:
    explicit ByteStream(std::span<const uint8_t> d) : std::istream(this) {
        char* begin = const_cast<char*>(reinterpret_cast<const char*>(d.data()));
        setg(begin, begin, begin + d.size());
    }
};

// Material libraries read through the model's files; the first one missing is
// remembered, since the reader only warns about it.
class Libraries : public tinyobj::MaterialReader {
public:
    explicit Libraries(ModelFiles& files) : files_(files) {}
    bool operator()(const std::string& name, std::vector<tinyobj::material_t>* materials,
                    std::map<std::string, int>* names, std::string* warn, std::string* err) override {
        std::vector<uint8_t> bytes;
        std::string why;
        if (!files_.Read(name, bytes, why)) {
            if (missing.empty()) missing = "material library " + why;
            return false;
        }
        ByteStream in(bytes);
        tinyobj::LoadMtl(names, materials, &in, warn, err);
        return true;
    }
    std::string missing;

private:
    ModelFiles& files_;
};

XMaterial MaterialOf(const tinyobj::material_t& t) {
    XMaterial m;
    for (int i = 0; i < 3; ++i) m.face[i] = Finite(t.diffuse[i]);
    m.face[3] = Finite(t.dissolve);
    m.specular = {Finite(t.specular[0]), Finite(t.specular[1]), Finite(t.specular[2])};
    m.emissive = {Finite(t.emission[0]), Finite(t.emission[1]), Finite(t.emission[2])};
    m.power = Finite(t.shininess);
    if (m.power < 0) m.power = 0;
    return m;
}

bool Read(std::span<const uint8_t> data, ModelFiles& files, MeshData& out, std::string& error, ModelInfo* info,
          std::vector<uint8_t>* owner) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    Libraries libraries(files);
    {
        ByteStream in(data);
        if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, &in, &libraries, false, false)) {
            const size_t eol = err.find('\n');
            error = err.empty() ? "not an OBJ file" : err.substr(0, eol);
            return false;
        }
    }
    // The reader has taken what it needs of the file.
    if (owner) std::vector<uint8_t>().swap(*owner);
    if (!libraries.missing.empty()) {
        error = libraries.missing;
        return false;
    }
    const size_t positions = attrib.vertices.size() / 3, normals = attrib.normals.size() / 3,
                 texcoords = attrib.texcoords.size() / 2;
    const bool colours = !attrib.colors.empty() && attrib.colors.size() == attrib.vertices.size();

    // Materials, with their pictures decoded here so a missing one is the file's fault.
    std::map<std::string, int32_t> picture_of;
    for (const tinyobj::material_t& t : materials) {
        XMaterial m = MaterialOf(t);
        if (!t.diffuse_texname.empty()) {
            auto it = picture_of.find(t.diffuse_texname);
            if (it == picture_of.end()) {
                std::vector<uint8_t> bytes;
                std::string why;
                if (!files.Read(t.diffuse_texname, bytes, why)) {
                    error = "texture " + why;
                    return false;
                }
                Image img;
                int32_t index = -1;
                if (DecodeImage(bytes, img, why)) {
                    index = int32_t(out.images.size());
                    out.images.push_back(std::move(img));
                }
                it = picture_of.emplace(t.diffuse_texname, index).first;
            }
            m.image = it->second;
            m.texture = t.diffuse_texname;
        }
        out.materials.push_back(m);
    }

    // A vertex here is a position with one texture coordinate. Most files give a
    // position the same coordinate everywhere; only the others need the map.
    constexpr uint32_t kUnset = 0xffffffffu, kNoCoordinate = 0xfffffffeu;
    std::vector<uint32_t> first_vt(positions, kUnset), first_vertex(positions, kUnset);
    std::unordered_map<uint64_t, uint32_t> other;
    const auto vertex_of = [&](uint32_t v, uint32_t vt) {
        uint32_t& slot = first_vt[v];
        uint32_t made;
        if (slot == vt) return first_vertex[v];
        if (slot != kUnset) {
            const uint64_t key = uint64_t(v) << 32 | vt;
            const auto it = other.find(key);
            if (it != other.end()) return it->second;
            made = uint32_t(out.positions.size());
            other.emplace(key, made);
        } else {
            slot = vt;
            made = first_vertex[v] = uint32_t(out.positions.size());
        }
        out.positions.push_back(FromRightHanded({attrib.vertices[3 * v], attrib.vertices[3 * v + 1],
                                                 attrib.vertices[3 * v + 2]}));
        for (float& f : std::span(&out.positions.back().x, 3)) f = Finite(f);
        if (vt != kNoCoordinate) {
            out.uv.push_back(Finite(attrib.texcoords[2 * vt]));
            out.uv.push_back(Finite(1.0 - attrib.texcoords[2 * vt + 1]));
        } else {
            out.uv.push_back(0);
            out.uv.push_back(0);
        }
        if (colours)
            out.vertex_colors.push_back(ColorFromRGB(attrib.colors[3 * v], attrib.colors[3 * v + 1],
                                                     attrib.colors[3 * v + 2]));
        return made;
    };

    bool every_normal = true;
    out.face_start.push_back(0);
    std::vector<FaceCorner> face;
    for (const tinyobj::shape_t& shape : shapes) {
        const tinyobj::mesh_t& mesh = shape.mesh;
        size_t at = 0;
        for (size_t f = 0; f < mesh.num_face_vertices.size(); ++f) {
            const size_t n = mesh.num_face_vertices[f];
            if (at + n > mesh.indices.size()) {
                error = "a face has more than 255 corners";
                return false;
            }
            face.clear();
            for (size_t k = 0; k < n; ++k) {
                const tinyobj::index_t& i = mesh.indices[at + k];
                if (i.vertex_index < 0 || size_t(i.vertex_index) >= positions ||
                    (i.texcoord_index >= 0 && size_t(i.texcoord_index) >= texcoords) ||
                    (i.normal_index >= 0 && size_t(i.normal_index) >= normals)) {
                    error = "a face refers to a vertex, texture coordinate or normal past its list";
                    return false;
                }
                if (i.normal_index < 0) every_normal = false;
                face.push_back({vertex_of(uint32_t(i.vertex_index),
                                          i.texcoord_index < 0 ? kNoCoordinate : uint32_t(i.texcoord_index)),
                                i.normal_index < 0 ? 0u : uint32_t(i.normal_index)});
            }
            at += n;
            if (n < 3) continue;  // points and lines are not drawn
            const int material = f < mesh.material_ids.size() ? mesh.material_ids[f] : -1;
            for (size_t k = face.size(); k-- > 0;) out.corners.push_back(face[k]);
            out.face_start.push_back(uint32_t(out.corners.size()));
            out.face_material.push_back(material >= 0 && size_t(material) < out.materials.size() ? uint32_t(material)
                                                                                                   : kNoMaterial);
            if (out.FaceCount() > kMaxModelTriangles) {
                error = "too many faces";
                return false;
            }
        }
        if (at != mesh.indices.size()) {
            error = "a face has more than 255 corners";
            return false;
        }
    }
    if (out.FaceCount() == 0) {
        out.Clear();
        error = "the file has no faces";
        return false;
    }
    if (every_normal) {
        out.normals.reserve(normals);
        for (size_t i = 0; i < normals; ++i)
            out.normals.push_back(FromRightHanded(
                {Finite(attrib.normals[3 * i]), Finite(attrib.normals[3 * i + 1]), Finite(attrib.normals[3 * i + 2])}));
    } else {
        GenerateNormals(out);
    }
    if (info) {
        info->format = "OBJ";
        info->meshes = int(std::min<size_t>(shapes.size(), 1 << 30));
    }
    return true;
}

}  // namespace

bool ParseObj(std::span<const uint8_t> data, ModelFiles& files, MeshData& out, std::string& error, ModelInfo* info,
              std::vector<uint8_t>* owner) {
    out.Clear();
    if (Read(data, files, out, error, info, owner)) return true;
    out.Clear();
    return false;
}

}  // namespace platform::rm
