// Wavefront OBJ with its MTL. The OBJ itself is read here in one pass over its
// bytes (tinyobjloader's reader, a line at a time through a stream, is no faster
// than Assimp's); the MTL by tinyobjloader. Every object and group goes into the
// one mesh, n-gons kept. OBJ is right-handed with counter-clockwise front
// faces and its texture's v running up: z is negated, faces are wound the other
// way round, and v becomes 1 - v. A material library or texture the file names
// must be there; a texture that is there but cannot be decoded leaves its faces
// untextured, as in X files.
#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>
#include <istream>
#include <map>
#include <streambuf>
#include <unordered_map>

#include "platform/files/release_pages.h"
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

// What the OBJ file gives, before it becomes a mesh.
struct ObjFile {
    std::vector<float> positions, colours, texcoords, normals;  // 3, 3, 2, 3 per entry
    size_t coloured = 0;                                         // positions with a colour
    std::vector<int32_t> corners;           // (v, vt, vn) per corner, 0-based, -1 when absent
    std::vector<uint32_t> face_size;        // corners per face
    std::vector<int32_t> face_name;         // per face: index into material_names, or -1
    std::vector<std::string> material_names, libraries;
    int groups = 0;                          // objects and groups that have faces
};

class Line {
public:
    Line(const char* p, const char* end) : p_(p), end_(end) {}
    bool AtEnd() {
        Skip();
        return p_ == end_;
    }
    std::string_view Word() {
        Skip();
        const char* start = p_;
        while (p_ < end_ && *p_ != ' ' && *p_ != '\t') ++p_;
        return {start, size_t(p_ - start)};
    }
    std::string_view Rest() {
        Skip();
        const char* e = end_;
        while (e > p_ && (e[-1] == ' ' || e[-1] == '\t')) --e;
        return {p_, size_t(e - p_)};
    }
    bool Real(float& out) {
        Skip();
        double v = 0;
        const char* first = p_ < end_ && *p_ == '+' ? p_ + 1 : p_;
        const auto r = std::from_chars(first, end_, v);
        if (r.ec == std::errc::invalid_argument) return false;
        p_ = r.ptr;
        out = r.ec == std::errc() ? Finite(v) : 0.0f;
        return true;
    }
    // A face corner "v", "v/vt", "v//vn" or "v/vt/vn"; indices as written.
    bool Corner(int64_t (&i)[3]) {
        Skip();
        i[0] = i[1] = i[2] = 0;
        for (int k = 0; k < 3; ++k) {
            if (k > 0) {
                if (p_ >= end_ || *p_ != '/') break;
                ++p_;
                if (k == 1 && p_ < end_ && *p_ == '/') continue;
            }
            bool negative = p_ < end_ && *p_ == '-';
            if (negative || (p_ < end_ && *p_ == '+')) ++p_;
            const char* digits = p_;
            int64_t v = 0;
            while (p_ < end_ && *p_ >= '0' && *p_ <= '9' && p_ - digits < 12) v = v * 10 + (*p_++ - '0');
            if (p_ == digits || v == 0) return false;
            i[k] = negative ? -v : v;
        }
        return p_ == end_ || *p_ == ' ' || *p_ == '\t';
    }

private:
    void Skip() {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t')) ++p_;
    }
    const char* p_;
    const char* end_;
};

// An index as written (1-based, or negative: counted back from the last so far)
// as a 0-based one; -1 when it is past the list.
int32_t Absolute(int64_t written, size_t count) {
    const int64_t i = written > 0 ? written - 1 : int64_t(count) + written;
    return i >= 0 && i < int64_t(count) ? int32_t(i) : -2;
}

// Reads the lines of an OBJ file. With `consume`, the file's bytes are given back
// as they are read, so that the file and what it becomes are never whole together.
bool Parse(std::span<const uint8_t> data, ObjFile& obj, std::string& error, bool consume) {
    const char* p = reinterpret_cast<const char*>(data.data());
    const char* const end = p + data.size();
    constexpr size_t kGiveBackEvery = 1 << 20;
    const char* given_back = p;
    int32_t current_name = -1;
    bool group_has_faces = false;
    for (size_t number = 1; p < end; ++number) {
        if (consume && size_t(p - given_back) >= kGiveBackEvery) {
            platform::ReleasePages(data.data(), p);
            given_back = p;
        }
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        if (!eol) eol = end;
        const char* line_end = eol > p && eol[-1] == '\r' ? eol - 1 : eol;
        Line line(p, line_end);
        p = eol + (eol < end);
        const std::string_view key = line.Word();
        const auto bad = [&](const char* what) {
            error = std::string(what) + " on line " + std::to_string(number);
            return false;
        };
        if (key.empty() || key[0] == '#') continue;
        if (key == "v") {
            float v[6];
            int n = 0;
            while (n < 6 && !line.AtEnd() && line.Real(v[n])) ++n;
            if (n < 3) return bad("a vertex with fewer than three coordinates");
            obj.positions.insert(obj.positions.end(), v, v + 3);
            if (n == 6) {
                obj.colours.resize(obj.positions.size() - 3, 1.0f);
                obj.colours.insert(obj.colours.end(), v + 3, v + 6);
                ++obj.coloured;
            }
        } else if (key == "vt") {
            float t[2] = {0, 0};
            if (!line.Real(t[0])) return bad("a bad texture coordinate");
            if (!line.AtEnd() && !line.Real(t[1])) return bad("a bad texture coordinate");
            obj.texcoords.insert(obj.texcoords.end(), t, t + 2);
        } else if (key == "vn") {
            float n[3];
            if (!line.Real(n[0]) || !line.Real(n[1]) || !line.Real(n[2])) return bad("a bad normal");
            obj.normals.insert(obj.normals.end(), n, n + 3);
        } else if (key == "f") {
            uint32_t corners = 0;
            int64_t written[3];
            while (!line.AtEnd()) {
                if (!line.Corner(written)) return bad("a bad face corner");
                const int32_t v = Absolute(written[0], obj.positions.size() / 3);
                const int32_t t = written[1] ? Absolute(written[1], obj.texcoords.size() / 2) : -1;
                const int32_t n = written[2] ? Absolute(written[2], obj.normals.size() / 3) : -1;
                if (v < 0 || t < -1 || n < -1)
                    return bad("a face refers to a vertex, texture coordinate or normal past its list");
                obj.corners.insert(obj.corners.end(), {v, t, n});
                ++corners;
            }
            obj.face_size.push_back(corners);
            obj.face_name.push_back(current_name);
            if (!group_has_faces) ++obj.groups;
            group_has_faces = true;
            if (obj.face_size.size() > kMaxModelTriangles) return bad("too many faces");
        } else if (key == "o" || key == "g") {
            group_has_faces = false;
        } else if (key == "usemtl") {
            const std::string name(line.Rest());
            const auto it = std::find(obj.material_names.begin(), obj.material_names.end(), name);
            current_name = int32_t(it - obj.material_names.begin());
            if (it == obj.material_names.end()) obj.material_names.push_back(name);
        } else if (key == "mtllib") {
            // Names are separated by spaces; a space inside a name is escaped.
            std::string name;
            for (const char c : line.Rest()) {
                if ((c == ' ' || c == '\t') && !(name.size() && name.back() == '\\')) {
                    if (!name.empty()) obj.libraries.push_back(name);
                    name.clear();
                } else if (c == ' ' && name.size() && name.back() == '\\') {
                    name.back() = ' ';
                } else {
                    name += c;
                }
            }
            if (!name.empty()) obj.libraries.push_back(name);
        }
        // Other statements (smoothing groups, lines, points, free-form geometry) are
        // not drawn.
    }
    if (obj.coloured) obj.colours.resize(obj.positions.size(), 1.0f);
    return true;
}

bool Read(std::span<const uint8_t> data, ModelFiles& files, MeshData& out, std::string& error, ModelInfo* info,
          std::vector<uint8_t>* owner) {
    ObjFile obj;
    const bool consume = owner && owner->data() == data.data();
    if (!Parse(data, obj, error, consume)) return false;
    // The reader has taken what it needs of the file.
    if (owner) std::vector<uint8_t>().swap(*owner);

    // The material libraries, in the order named; the first of a name wins.
    std::vector<tinyobj::material_t> materials;
    std::map<std::string, int> material_id;
    for (const std::string& library : obj.libraries) {
        std::vector<uint8_t> bytes;
        std::string why, warn, err;
        if (!files.Read(library, bytes, why)) {
            error = "material library " + why;
            return false;
        }
        ByteStream in(bytes);
        tinyobj::LoadMtl(&material_id, &materials, &in, &warn, &err);
    }
    const size_t positions = obj.positions.size() / 3, normals = obj.normals.size() / 3;
    // Colours count only when every vertex has one.
    const bool colours = obj.coloured == positions && positions > 0;

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
    constexpr uint32_t kUnset = 0xffffffffu;
    std::vector<uint32_t> first_vt(positions, kUnset), first_vertex(positions, kUnset);
    std::unordered_map<uint64_t, uint32_t> other;
    out.positions.reserve(positions);
    out.uv.reserve(positions * 2);
    const auto vertex_of = [&](uint32_t v, int32_t t) {
        const uint32_t vt = uint32_t(t);  // kUnset when there is none
        uint32_t& slot = first_vt[v];
        uint32_t made;
        if (slot == vt && first_vertex[v] != kUnset) return first_vertex[v];
        if (first_vertex[v] != kUnset) {
            const uint64_t key = uint64_t(v) << 32 | vt;
            const auto it = other.find(key);
            if (it != other.end()) return it->second;
            made = uint32_t(out.positions.size());
            other.emplace(key, made);
        } else {
            slot = vt;
            made = first_vertex[v] = uint32_t(out.positions.size());
        }
        out.positions.push_back(FromRightHanded({obj.positions[3 * v], obj.positions[3 * v + 1], obj.positions[3 * v + 2]}));
        out.uv.push_back(t >= 0 ? obj.texcoords[2 * size_t(t)] : 0.0f);
        out.uv.push_back(t >= 0 ? Finite(1.0 - obj.texcoords[2 * size_t(t) + 1]) : 0.0f);
        if (colours)
            out.vertex_colors.push_back(
                ColorFromRGB(obj.colours[3 * v], obj.colours[3 * v + 1], obj.colours[3 * v + 2]));
        return made;
    };

    // usemtl names to materials; an unknown name leaves its faces without one.
    std::vector<uint32_t> material_of_name;
    for (const std::string& name : obj.material_names) {
        const auto it = material_id.find(name);
        material_of_name.push_back(it != material_id.end() && it->second >= 0 && size_t(it->second) < out.materials.size()
                                       ? uint32_t(it->second)
                                       : kNoMaterial);
    }

    bool every_normal = true;
    out.face_start.reserve(obj.face_size.size() + 1);
    out.face_material.reserve(obj.face_size.size());
    out.corners.reserve(obj.corners.size() / 3);
    out.face_start.push_back(0);
    std::vector<FaceCorner> face;
    size_t at = 0;
    for (size_t f = 0; f < obj.face_size.size(); ++f) {
        const size_t n = obj.face_size[f];
        const int32_t* c = obj.corners.data() + at * 3;
        at += n;
        if (n < 3) continue;  // points and lines are not drawn
        // Vertices made in the file's order; corners counter-clockwise in the file,
        // clockwise here.
        face.clear();
        for (size_t k = 0; k < n; ++k) {
            if (c[3 * k + 2] < 0) every_normal = false;
            face.push_back({vertex_of(uint32_t(c[3 * k]), c[3 * k + 1]), uint32_t(std::max(c[3 * k + 2], 0))});
        }
        out.corners.insert(out.corners.end(), face.rbegin(), face.rend());
        out.face_start.push_back(uint32_t(out.corners.size()));
        const int32_t name = obj.face_name[f];
        out.face_material.push_back(name >= 0 ? material_of_name[size_t(name)] : kNoMaterial);
    }
    if (out.FaceCount() == 0) {
        out.Clear();
        error = "the file has no faces";
        return false;
    }
    if (every_normal) {
        out.normals.reserve(normals);
        for (size_t i = 0; i < normals; ++i)
            out.normals.push_back(FromRightHanded({obj.normals[3 * i], obj.normals[3 * i + 1], obj.normals[3 * i + 2]}));
    } else {
        GenerateNormals(out);
    }
    if (info) {
        info->format = "OBJ";
        info->meshes = std::max(obj.groups, 1);
    }
    return true;
}

}  // namespace

bool ParseObj(std::span<const uint8_t> data, ModelFiles& files, MeshData& out, std::string& error, ModelInfo* info,
              std::vector<uint8_t>* owner) {
    return ReadInto(out, [&] { return Read(data, files, out, error, info, owner); });
}

}  // namespace platform::rm
