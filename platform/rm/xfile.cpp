// X-file parsing. One reader serves the text and binary encodings (compressed files
// are inflated first); the mesh templates are read by their known layouts and every
// other object is skipped by its braces. Counts are never trusted: storage grows
// with the data actually read, and reservations are capped by the bytes that remain.
#include "platform/rm/xfile.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "platform/rm/xfile_reader.h"

namespace platform::rm {

using namespace xfile;

namespace {

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Reserves room for at most as many items as the remaining bytes could hold.
template <class V>
void ReserveCapped(V& v, uint64_t count, uint64_t per_item, const Reader& r) {
    const uint64_t cap = r.Remaining() / std::max<uint64_t>(per_item, 1) + 1;
    v.reserve(size_t(std::min(count, cap)));
}

class Parser {
public:
    explicit Parser(Reader& r) : r_(r) {}

    bool Run(MeshData& out, int& meshes) {
        MeshData frames;  // meshes of the frame hierarchy, merged
        int frame_meshes = 0;
        while (true) {
            const Token t = r_.Next();
            if (t.kind == Tok::End) break;
            if (t.kind == Tok::Error) return false;
            if (t.kind == Tok::Sep) continue;
            if (t.kind == Tok::OBrace) {  // a stray reference
                if (!r_.SkipBody()) return false;
                continue;
            }
            if (t.kind == Tok::Template || (t.kind == Tok::Name && t.text == "template")) {
                if (!SkipTemplate()) return false;
                continue;
            }
            if (t.kind != Tok::Name) return r_.Fail("unexpected token at the top level");
            std::string name;
            if (!Header(name)) return false;
            if (t.text == "Mesh") {
                // The first top-level mesh is the model; nothing after it matters.
                if (!ParseMesh(name, out, nullptr)) return false;
                meshes = 1;
                return true;
            }
            if (t.text == "Frame") {
                if (!ParseFrame(Mat4{}, frames, frame_meshes)) return false;
            } else if (t.text == "Material") {
                XMaterial m;
                if (!ParseMaterial(m)) return false;
                if (!name.empty()) named_materials_[name] = std::move(m);
            } else if (!r_.SkipBody()) {
                return false;
            }
        }
        if (frame_meshes == 0) return r_.Fail("the file holds no mesh");
        out = std::move(frames);
        meshes = frame_meshes;
        return true;
    }

private:
    bool SkipTemplate() {
        Token t = r_.Next();
        if (t.kind != Tok::Name) return r_.Fail("bad template");
        t = r_.Next();
        if (t.kind != Tok::OBrace) return r_.Fail("bad template");
        return r_.SkipBody();
    }

    // After the type name: optional object name, '{', optional GUID.
    bool Header(std::string& name) {
        Token t = r_.Next();
        if (t.kind == Tok::Name || (t.kind == Tok::Number && !r_.Binary())) {
            name.assign(t.text);
            t = r_.Next();
        }
        if (t.kind != Tok::OBrace) return r_.Fail("expected '{' after an object name");
        if (r_.Peek().kind == Tok::Guid) r_.Next();
        return true;
    }

    // Walks the children of an object; known ones go to on_child(type, name),
    // references to on_ref(name). Ends after the closing brace.
    template <class Child, class RefFn>
    bool Children(Child on_child, RefFn on_ref) {
        while (true) {
            const Token t = r_.Next();
            switch (t.kind) {
                case Tok::CBrace: return true;
                case Tok::Sep:
                case Tok::Number:  // surplus data of a known template
                case Tok::Guid:
                case Tok::String:
                case Tok::Template:
                case Tok::Other: continue;
                case Tok::OBrace: {
                    const Token n = r_.Next();
                    if (n.kind == Tok::CBrace) continue;
                    if (n.kind == Tok::Name) on_ref(n.text);
                    if (!r_.SkipBody()) return false;
                    continue;
                }
                case Tok::Name: {
                    std::string name;
                    const std::string type(t.text);
                    if (!Header(name)) return false;
                    if (!on_child(type, name)) return false;
                    continue;
                }
                case Tok::End: return r_.Fail("file ends inside an object");
                case Tok::Error: return false;
            }
        }
    }

    bool Vector(Vec3& v) { return r_.Float(v.x) && r_.Float(v.y) && r_.Float(v.z); }

    // count vectors; in binary, where the file bounds them, read straight into place.
    bool Vectors(std::vector<Vec3>& out, uint32_t count) {
        static_assert(sizeof(Vec3) == 3 * sizeof(float));
        if (r_.CanHoldNumbers(uint64_t(count) * 3)) {
            out.resize(count);
            return r_.Floats(reinterpret_cast<uint8_t*>(out.data()), size_t(count) * 3);
        }
        ReserveCapped(out, count, 3 * r_.ReserveBytesPerNumber(), r_);
        for (uint32_t i = 0; i < count; ++i) {
            Vec3 p;
            if (!r_.Floats(reinterpret_cast<uint8_t*>(&p), 3)) return false;
            out.push_back(p);
            if ((i & 4095) == 4095) r_.DiscardRead();
        }
        return true;
    }

    bool ParseFrame(const Mat4& parent, MeshData& acc, int& count, int depth = 1) {
        // Frames nest by recursion here: a hostile file must not exhaust the stack.
        constexpr int kMaxFrameDepth = 256;
        if (depth > kMaxFrameDepth) return r_.Fail("frames are nested too deeply");
        Mat4 world = parent;
        return Children(
            [&](const std::string& type, const std::string& name) {
                if (type == "FrameTransformMatrix") {
                    Mat4 local;
                    for (int i = 0; i < 16; ++i)
                        if (!r_.Float(local.m[i / 4][i % 4])) return false;
                    world = Multiply(local, parent);
                    return r_.SkipBody();
                }
                if (type == "Frame") return ParseFrame(world, acc, count, depth + 1);
                if (type == "Mesh") {
                    MeshData mesh;
                    if (!ParseMesh(name, mesh, &world)) return false;
                    Append(acc, std::move(mesh));
                    ++count;
                    return true;
                }
                return r_.SkipBody();
            },
            [](std::string_view) {});
    }

    bool ParseMesh(const std::string& name, MeshData& m, const Mat4* transform) {
        m.Clear();
        m.name = name;
        uint32_t nv;
        if (!r_.Count(nv) || !Vectors(m.positions, nv)) return false;
        uint32_t nf;
        if (!r_.Count(nf)) return false;
        ReserveCapped(m.face_start, uint64_t(nf) + 1, 4 * r_.ReserveBytesPerNumber(), r_);
        m.face_start.push_back(0);
        for (uint32_t f = 0; f < nf; ++f) {
            uint32_t n;
            if (!r_.Count(n)) return false;
            if (uint64_t(n) * r_.MinNumberBytes() > r_.BytesLeft()) return r_.Fail("face is longer than the file");
            // Most models have faces of one size: room for all of them as the first.
            if (f == 0) ReserveCapped(m.corners, uint64_t(nf) * n, r_.ReserveBytesPerNumber(), r_);
            const bool ok = r_.Counts(n, [&](uint32_t v) {
                if (v >= nv) return r_.Fail("face uses a vertex that does not exist");
                m.corners.push_back({v, 0});
                return true;
            });
            if (!ok) return false;
            m.face_start.push_back(uint32_t(m.corners.size()));
            if ((f & 4095) == 4095) r_.DiscardRead();
        }
        m.uv.assign(size_t(nv) * 2, 0.0f);
        m.face_material.assign(nf, kNoMaterial);
        bool have_normals = false;
        const bool ok = Children(
            [&](const std::string& type, const std::string&) {
                if (type == "MeshNormals") return ParseNormals(m, have_normals);
                if (type == "MeshTextureCoords") return ParseTexCoords(m);
                if (type == "MeshVertexColors") return ParseVertexColors(m);
                if (type == "MeshMaterialList") return ParseMaterialList(m);
                return r_.SkipBody();
            },
            [](std::string_view) {});
        if (!ok) return false;
        if (!have_normals) GenerateNormals(m);
        if (transform) Transform(m, *transform);
        return true;
    }

    bool ParseNormals(MeshData& m, bool& have) {
        uint32_t nn;
        if (!r_.Count(nn)) return false;
        std::vector<Vec3> normals;
        if (!Vectors(normals, nn)) return false;
        uint32_t nf;
        if (!r_.Count(nf)) return false;
        // Normal faces must match the mesh's faces corner for corner; a mismatch
        // makes us ignore the part and generate normals instead.
        bool usable = nf == m.FaceCount();
        std::vector<uint32_t> idx;
        if (usable) idx.reserve(m.corners.size());
        for (uint32_t f = 0; f < nf; ++f) {
            uint32_t n;
            if (!r_.Count(n)) return false;
            if (uint64_t(n) * r_.MinNumberBytes() > r_.BytesLeft()) return r_.Fail("face is longer than the file");
            if (usable && n != m.face_start[f + 1] - m.face_start[f]) usable = false;
            const bool ok = r_.Counts(n, [&](uint32_t v) {
                if (v >= nn) usable = false;
                if (usable) idx.push_back(v);
                return true;
            });
            if (!ok) return false;
            if ((f & 4095) == 4095) r_.DiscardRead();
        }
        if (usable) {
            for (size_t i = 0; i < idx.size(); ++i) m.corners[i].normal = idx[i];
            for (Vec3& n : normals) n = Normalize(n);
            m.normals = std::move(normals);
            have = true;
        }
        return r_.SkipBody();
    }

    bool ParseTexCoords(MeshData& m) {
        uint32_t n;
        if (!r_.Count(n)) return false;
        const bool usable = n == m.positions.size();
        if (usable && !r_.Floats(reinterpret_cast<uint8_t*>(m.uv.data()), size_t(n) * 2)) return false;
        for (uint32_t i = 0; i < n && !usable; ++i) {
            float u, v;
            if (!r_.Float(u) || !r_.Float(v)) return false;
        }
        return r_.SkipBody();
    }

    bool ParseVertexColors(MeshData& m) {
        uint32_t n;
        if (!r_.Count(n)) return false;
        m.vertex_colors.assign(m.positions.size(), Color{255, 255, 255, 255});
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t index;
            float c[4];
            if (!r_.Count(index)) return false;
            for (float& x : c)
                if (!r_.Float(x)) return false;
            if (index < m.vertex_colors.size()) m.vertex_colors[index] = ColorFromRGBA(c[0], c[1], c[2], c[3]);
        }
        return r_.SkipBody();
    }

    bool ParseMaterialList(MeshData& m) {
        uint32_t nm, ni;
        if (!r_.Count(nm) || !r_.Count(ni)) return false;
        const size_t faces = m.FaceCount();
        uint32_t i = 0;
        const bool read = r_.Counts(ni, [&](uint32_t v) {
            if (i < faces) m.face_material[i] = v;
            ++i;
            return true;
        });
        if (!read) return false;
        // Fewer indices than faces: the last one holds for the rest.
        if (ni > 0)
            for (size_t i = ni; i < faces; ++i) m.face_material[i] = m.face_material[ni - 1];
        const bool ok = Children(
            [&](const std::string& type, const std::string& name) {
                if (type != "Material") return r_.SkipBody();
                XMaterial mat;
                if (!ParseMaterial(mat)) return false;
                if (!name.empty()) named_materials_[name] = mat;
                m.materials.push_back(std::move(mat));
                return true;
            },
            [&](std::string_view ref) {
                const auto it = named_materials_.find(std::string(ref));
                m.materials.push_back(it != named_materials_.end() ? it->second : XMaterial{});
            });
        if (!ok) return false;
        for (uint32_t& f : m.face_material)
            if (f >= m.materials.size()) f = kNoMaterial;
        return true;
    }

    bool ParseMaterial(XMaterial& mat) {
        for (float& c : mat.face)
            if (!r_.Float(c)) return false;
        if (!r_.Float(mat.power) || !Vector(mat.specular) || !Vector(mat.emissive)) return false;
        return Children(
            [&](const std::string& type, const std::string&) {
                if (!SameName(type, "TextureFilename")) return r_.SkipBody();
                if (!r_.String(mat.texture)) return false;
                return r_.SkipBody();
            },
            [](std::string_view) {});
    }

    static void Transform(MeshData& m, const Mat4& t) {
        Mat4 normal_matrix = InverseAffine(t);  // rows of the inverse-transpose, read as columns
        for (Vec3& p : m.positions) p = TransformPoint(p, t);
        for (Vec3& n : m.normals) {
            const Vec3 r{Dot(n, normal_matrix.Row(0)), Dot(n, normal_matrix.Row(1)), Dot(n, normal_matrix.Row(2))};
            n = Normalize(r);
        }
        const Vec3 x = t.Row(0), y = t.Row(1), z = t.Row(2);
        if (Dot(Cross(x, y), z) < 0) {
            // A mirroring transform would turn every face inside out: keep the winding.
            for (size_t f = 0; f + 1 < m.face_start.size(); ++f)
                std::reverse(m.corners.begin() + m.face_start[f], m.corners.begin() + m.face_start[f + 1]);
        }
    }

    static void Append(MeshData& acc, MeshData&& m) {
        if (acc.face_start.empty()) {
            acc = std::move(m);
            return;
        }
        const uint32_t vbase = uint32_t(acc.positions.size()), nbase = uint32_t(acc.normals.size());
        const uint32_t mbase = uint32_t(acc.materials.size()), cbase = uint32_t(acc.corners.size());
        if (!m.vertex_colors.empty() && acc.vertex_colors.empty())
            acc.vertex_colors.assign(acc.positions.size(), Color{255, 255, 255, 255});
        if (!acc.vertex_colors.empty()) {
            if (m.vertex_colors.empty()) m.vertex_colors.assign(m.positions.size(), Color{255, 255, 255, 255});
            acc.vertex_colors.insert(acc.vertex_colors.end(), m.vertex_colors.begin(), m.vertex_colors.end());
        }
        acc.positions.insert(acc.positions.end(), m.positions.begin(), m.positions.end());
        acc.normals.insert(acc.normals.end(), m.normals.begin(), m.normals.end());
        acc.uv.insert(acc.uv.end(), m.uv.begin(), m.uv.end());
        for (FaceCorner c : m.corners) acc.corners.push_back({c.vertex + vbase, c.normal + nbase});
        for (size_t i = 1; i < m.face_start.size(); ++i) acc.face_start.push_back(m.face_start[i] + cbase);
        for (uint32_t f : m.face_material) acc.face_material.push_back(f == kNoMaterial ? f : f + mbase);
        for (XMaterial& mat : m.materials) acc.materials.push_back(std::move(mat));
        acc.normals_generated = acc.normals_generated || m.normals_generated;
    }

    Reader& r_;
    std::unordered_map<std::string, XMaterial> named_materials_;
};

}  // namespace

void GenerateNormals(MeshData& m) {
    m.normals.assign(m.positions.size(), Vec3{});
    for (size_t f = 0; f + 1 < m.face_start.size(); ++f) {
        const uint32_t a = m.face_start[f], b = m.face_start[f + 1];
        if (b - a < 3) continue;
        const Vec3 p0 = m.positions[m.corners[a].vertex];
        const Vec3 n = Cross(m.positions[m.corners[a + 1].vertex] - p0, m.positions[m.corners[a + 2].vertex] - p0);
        const float len = Length(n);
        if (!(len > 0.0f)) continue;
        const Vec3 unit = n * (1.0f / len);
        for (uint32_t k = a; k < b; ++k) m.normals[m.corners[k].vertex] = m.normals[m.corners[k].vertex] + unit;
    }
    for (Vec3& n : m.normals) {
        const float len = Length(n);
        n = len > 0.0f ? n * (1.0f / len) : Vec3{};
    }
    for (FaceCorner& c : m.corners) c.normal = c.vertex;
    m.normals_generated = true;
}

namespace {

// owned: data is the caller's to give up, page by page, as it is read.
bool Parse(std::span<const uint8_t> data, bool owned, MeshData& out, std::string& error, XFileInfo* info) {
    out.Clear();
    if (data.size() < 16) {
        error = data.empty() ? "empty file" : "file is too short for an X file header";
        return false;
    }
    const auto h = [&](size_t at, const char* s) { return std::memcmp(data.data() + at, s, 4) == 0; };
    if (!h(0, "xof ")) {
        error = "not an X file (bad magic)";
        return false;
    }
    if (!h(4, "0302") && !h(4, "0303")) {
        error = "unsupported X file version";
        return false;
    }
    const bool text = h(8, "txt "), bin = h(8, "bin "), tzip = h(8, "tzip"), bzip = h(8, "bzip");
    if (!text && !bin && !tzip && !bzip) {
        error = "unknown X file format";
        return false;
    }
    int float_bits;
    if (h(12, "0032")) float_bits = 32;
    else if (h(12, "0064")) float_bits = 64;
    else {
        error = "unknown X file float size";
        return false;
    }
    std::vector<uint8_t> inflated;
    std::span<const uint8_t> body = data.subspan(16);
    if (tzip || bzip) {
        if (!InflateMszip(body, inflated, error)) return false;
        body = inflated;
    }
    Reader reader(body, bin || bzip, float_bits / 8);
    if (owned || !inflated.empty()) reader.AllowDiscarding();
    Parser parser(reader);
    int meshes = 0;
    if (!parser.Run(out, meshes)) {
        error = reader.Error().empty() ? "malformed X file" : reader.Error();
        out.Clear();
        return false;
    }
    if (info) {
        info->format = text ? "txt" : bin ? "bin" : tzip ? "tzip" : "bzip";
        info->float_bits = float_bits;
        info->meshes = meshes;
    }
    return true;
}

}  // namespace

bool ParseXFile(std::span<const uint8_t> data, MeshData& out, std::string& error, XFileInfo* info) {
    return Parse(data, false, out, error, info);
}

bool ParseXFileConsuming(std::vector<uint8_t>& data, MeshData& out, std::string& error, XFileInfo* info) {
    const bool ok = Parse(data, true, out, error, info);
    data.clear();
    data.shrink_to_fit();
    return ok;
}

}  // namespace platform::rm
