// STL, binary and ASCII. Every facet gets its own three vertices with the facet's
// normal (or the one its corners give when the file's is zero or reversed). STL is taken as
// Z up, the axes 3D printers use, and right-handed: (x, y, z) becomes (x, z, y)
// here, and faces are wound the other way round. Binary files may colour their facets in
// either of the two common ways; each colour becomes a material.
#include <charconv>
#include <cstring>
#include <map>
#include <string_view>

#include "platform/rm/model.h"
#include "platform/rm/model_build.h"

namespace platform::rm {

namespace {

Vec3 FromStl(float x, float y, float z) { return {Finite(x), Finite(z), Finite(y)}; }

float ReadFloat(const uint8_t* p) {
    uint32_t bits = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

uint32_t ReadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// One facet: three corners as read, its normal from the file.
void AddFacet(MeshData& m, const Vec3 (&corner)[3], Vec3 normal, uint32_t material) {
    // The file's normal, unless it is zero or points against the corners' order (some
    // exporters write them reversed): faces are culled by their order, so the normal
    // that lights them must agree with it.
    const Vec3 wound = FaceNormal(corner[0], corner[2], corner[1]);
    const float len = Length(normal);
    const bool usable = len > 0.0f && std::isfinite(len) && Dot(normal, wound) >= 0;
    const Vec3 n = usable ? normal * (1.0f / len) : wound;
    for (const Vec3& c : corner) {
        m.positions.push_back(c);
        m.normals.push_back(n);
        m.uv.push_back(0);
        m.uv.push_back(0);
    }
    // Counter-clockwise in the file, clockwise here.
    const uint32_t base = static_cast<uint32_t>(m.positions.size() - 3);
    for (uint32_t k : {0u, 2u, 1u}) m.corners.push_back({base + k, base + k});
    m.face_start.push_back(static_cast<uint32_t>(m.corners.size()));
    m.face_material.push_back(material);
}

bool BinaryLayout(std::span<const uint8_t> d) {
    return d.size() >= 84 && 84 + uint64_t(ReadU32(d.data() + 80)) * 50 == d.size();
}

bool ParseBinary(std::span<const uint8_t> d, MeshData& m, std::string& error) {
    if (d.size() < 84) {
        error = "file is too short for an STL header";
        return false;
    }
    const uint64_t count = ReadU32(d.data() + 80);
    if (84 + count * 50 != d.size()) {
        error = "STL triangle count " + std::to_string(count) + " does not fit the file size " +
                std::to_string(d.size());
        return false;
    }
    if (count == 0) {
        error = "the file has no triangles";
        return false;
    }
    // Materialise's form names a default colour in the header and marks a facet's own
    // colour (red in the low bits) with bit 15 clear; the VisCAM form marks it with bit
    // 15 set and keeps blue in the low bits.
    const std::string_view header(reinterpret_cast<const char*>(d.data()), 80);
    const size_t colour_at = header.find("COLOR=");
    const bool magics = colour_at != std::string_view::npos && colour_at + 10 <= 80;
    XMaterial fallback;
    if (magics)
        for (int i = 0; i < 4; ++i) fallback.face[i] = d[colour_at + 6 + i] / 255.0f;
    std::map<uint16_t, uint32_t> material_of;
    m.positions.reserve(count * 3);
    m.normals.reserve(count * 3);
    m.uv.reserve(count * 6);
    m.corners.reserve(count * 3);
    m.face_start.reserve(count + 1);
    m.face_material.reserve(count);
    m.face_start.push_back(0);
    for (uint64_t f = 0; f < count; ++f) {
        const uint8_t* p = d.data() + 84 + f * 50;
        const Vec3 n = FromStl(ReadFloat(p), ReadFloat(p + 4), ReadFloat(p + 8));
        const Vec3 corner[3] = {FromStl(ReadFloat(p + 12), ReadFloat(p + 16), ReadFloat(p + 20)),
                                FromStl(ReadFloat(p + 24), ReadFloat(p + 28), ReadFloat(p + 32)),
                                FromStl(ReadFloat(p + 36), ReadFloat(p + 40), ReadFloat(p + 44))};
        const uint16_t attr = uint16_t(p[48] | p[49] << 8);
        uint32_t material = kNoMaterial;
        const bool own = magics ? !(attr & 0x8000) : (attr & 0x8000) != 0;
        if (own || magics) {
            const uint16_t key = own ? attr : 0xffff;
            auto [it, added] = material_of.try_emplace(key, uint32_t(m.materials.size()));
            if (added) {
                XMaterial mat = fallback;
                if (own) {
                    const float lo = (attr & 31) / 31.0f, mid = ((attr >> 5) & 31) / 31.0f,
                                hi = ((attr >> 10) & 31) / 31.0f;
                    mat.face[0] = magics ? lo : hi;
                    mat.face[1] = mid;
                    mat.face[2] = magics ? hi : lo;
                    mat.face[3] = 1;
                }
                m.materials.push_back(mat);
            }
            material = it->second;
        }
        AddFacet(m, corner, n, material);
    }
    return true;
}

class Words {
public:
    explicit Words(std::span<const uint8_t> d) : d_(d) {}
    std::string_view Next() {
        while (p_ < d_.size() && d_[p_] <= ' ') ++p_;
        const size_t start = p_;
        while (p_ < d_.size() && d_[p_] > ' ') ++p_;
        return {reinterpret_cast<const char*>(d_.data()) + start, p_ - start};
    }
    bool Number(float& out) {
        const std::string_view w = Next();
        double v = 0;
        const char* first = w.data();
        if (!w.empty() && *first == '+') ++first;
        const auto r = std::from_chars(first, w.data() + w.size(), v);
        if (r.ec == std::errc::result_out_of_range) v = 0;
        else if (r.ec != std::errc() || r.ptr != w.data() + w.size()) return false;
        out = static_cast<float>(v);
        return true;
    }
    void SkipLine() {
        while (p_ < d_.size() && d_[p_] != '\n') ++p_;
    }

private:
    std::span<const uint8_t> d_;
    size_t p_ = 0;
};

bool ParseAscii(std::span<const uint8_t> d, MeshData& m, std::string& error, int& solids) {
    Words w(d);
    m.face_start.push_back(0);
    Vec3 normal;
    Vec3 corner[3];
    int corners = -1;  // -1 outside a facet
    for (std::string_view word = w.Next(); !word.empty(); word = w.Next()) {
        if (word == "solid") {
            ++solids;
            w.SkipLine();  // the solid's name
        } else if (word == "facet") {
            float x, y, z;
            if (w.Next() != "normal" || !w.Number(x) || !w.Number(y) || !w.Number(z)) {
                error = "bad facet in the STL file";
                return false;
            }
            normal = FromStl(x, y, z);
            corners = 0;
        } else if (word == "vertex") {
            float x, y, z;
            if (corners < 0 || !w.Number(x) || !w.Number(y) || !w.Number(z)) {
                error = "bad vertex in the STL file";
                return false;
            }
            // A facet of more corners than three is a fan; STL files have triangles.
            if (corners == 3) {
                AddFacet(m, corner, normal, kNoMaterial);
                corner[1] = corner[2];
                corners = 2;
            }
            corner[corners++] = FromStl(x, y, z);
        } else if (word == "endfacet") {
            if (corners == 3) AddFacet(m, corner, normal, kNoMaterial);
            else if (corners >= 0) {
                error = "a facet of the STL file has fewer than three corners";
                return false;
            }
            corners = -1;
            if (m.FaceCount() > kMaxModelTriangles) {
                error = "too many triangles";
                return false;
            }
        } else if (word == "endsolid") {
            w.SkipLine();
        } else if (word != "outer" && word != "loop" && word != "endloop") {
            error = "unexpected \"" + std::string(word.substr(0, 40)) + "\" in the STL file";
            return false;
        }
    }
    if (m.FaceCount() == 0) {
        error = "the file has no triangles";
        return false;
    }
    return true;
}

}  // namespace

bool LooksLikeBinaryStl(std::span<const uint8_t> d) { return BinaryLayout(d); }

bool ParseStl(std::span<const uint8_t> d, MeshData& out, std::string& error, ModelInfo* info) {
    size_t p = 0;
    while (p < d.size() && d[p] <= ' ') ++p;
    const bool ascii = !BinaryLayout(d) && d.size() - p >= 5 && std::memcmp(d.data() + p, "solid", 5) == 0;
    int solids = ascii ? 0 : 1;
    if (!ReadInto(out, [&] { return ascii ? ParseAscii(d, out, error, solids) : ParseBinary(d, out, error); }))
        return false;
    if (info) {
        info->format = ascii ? "STL ascii" : "STL binary";
        info->meshes = solids;
    }
    return true;
}

}  // namespace platform::rm
