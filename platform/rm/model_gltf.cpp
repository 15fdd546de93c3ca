// glTF 2.0, as a .gltf with the files it names or as a .glb, read by tinygltf. The
// default scene's node tree is walked with each node's transform; every triangle
// primitive goes into the one mesh. glTF is right-handed with counter-clockwise
// front faces: z is negated and faces are wound the other way round. Texture
// coordinates already start at the picture's top left, as here.
//
// Nothing is trusted: every accessor, view and index is checked against the data
// actually there, a node may appear once in the tree, and files are read only
// through ModelFiles by names relative to the model's folder (data: URIs aside).
#include <algorithm>
#include <climits>
#include <cstring>
#include <map>

#include "platform/files/release_pages.h"
#include "platform/rm/model.h"
#include "platform/rm/model_build.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#define TINYGLTF_IMPLEMENTATION
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE_WRITE
#define TINYGLTF_NO_INCLUDE_STB_IMAGE
#define TINYGLTF_NO_INCLUDE_STB_IMAGE_WRITE
#include <tiny_gltf.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace platform::rm {

namespace {

namespace gl = tinygltf;

// The model's files as tinygltf asks for them. A name is %-decoded, then refused
// when it is absolute, names a drive or a scheme, or climbs with "..".
struct Files {
    ModelFiles* files;
    std::map<std::string, std::vector<uint8_t>> read;  // by the name asked for
    std::string first_error;

    static std::string Decoded(const std::string& s) {
        std::string out;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(uint8_t(s[i + 1])) && std::isxdigit(uint8_t(s[i + 2]))) {
                out += char(std::stoi(s.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                out += s[i];
            }
        }
        return out;
    }
    bool Fail(const std::string& why) {
        if (first_error.empty()) first_error = why;
        return false;
    }
    bool Fetch(const std::string& asked) {
        if (read.count(asked)) return true;
        std::string name = asked;
        if (name.rfind("./", 0) == 0) name.erase(0, 2);
        if (name.rfind("data:", 0) == 0) return Fail("a data: URI that is not base64");
        name = Decoded(name);
        if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') != std::string::npos)
            return Fail("\"" + name + "\" is not a file beside the model");
        for (size_t start = 0; start <= name.size();) {
            size_t end = name.find_first_of("/\\", start);
            if (end == std::string::npos) end = name.size();
            if (name.compare(start, end - start, "..") == 0)
                return Fail("\"" + name + "\" is not a file beside the model");
            start = end + 1;
        }
        std::vector<uint8_t> bytes;
        std::string why;
        if (!files->Read(name, bytes, why)) return Fail(why);
        read.emplace(asked, std::move(bytes));
        return true;
    }
    static bool Exists(const std::string& name, void* self) { return static_cast<Files*>(self)->Fetch(name); }
    static std::string Expand(const std::string& name, void*) { return name; }
    static bool ReadWhole(std::vector<unsigned char>* out, std::string* err, const std::string& name, void* self) {
        Files& f = *static_cast<Files*>(self);
        if (!f.Fetch(name)) {
            if (err) *err = f.first_error;
            return false;
        }
        auto node = f.read.extract(name);
        *out = std::move(node.mapped());
        return true;
    }
    static bool Write(std::string*, const std::string&, const std::vector<unsigned char>&, void*) { return false; }
};

// Pictures are decoded by our own decoders with their limits. One that cannot be
// decoded leaves its faces untextured rather than failing the model.
bool DecodePicture(gl::Image* image, const int, std::string*, std::string*, int, int, const unsigned char* bytes,
                   int size, void*) {
    Image img;
    std::string why;
    if (size > 0 && DecodeImage(std::span(bytes, size_t(size)), img, why)) {
        image->width = img.width;
        image->height = img.height;
        image->component = 4;
        image->bits = 8;
        image->pixel_type = TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE;
        image->image = std::move(img.rgba);
    } else {
        image->width = image->height = 0;
        image->image.clear();
    }
    return true;
}

int Components(int type) {
    switch (type) {
    case TINYGLTF_TYPE_SCALAR: return 1;
    case TINYGLTF_TYPE_VEC2: return 2;
    case TINYGLTF_TYPE_VEC3: return 3;
    case TINYGLTF_TYPE_VEC4: return 4;
    default: return 0;
    }
}

int ComponentBytes(int type) {
    switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: return 2;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT: return 4;
    default: return 0;
    }
}

// One accessor's elements, checked to lie inside its view and buffer.
struct Elements {
    int view = -1;
    const uint8_t* base = nullptr;
    size_t stride = 0;
    size_t count = 0;
    int components = 0;
    int type = 0;  // component type
    bool normalized = false;

    // Component c of element i as a real (normalised integers scaled to 0..1 or -1..1).
    float Get(size_t i, int c) const {
        const uint8_t* p = base + i * stride + size_t(c) * size_t(ComponentBytes(type));
        switch (type) {
        case TINYGLTF_COMPONENT_TYPE_FLOAT: {
            float f;
            std::memcpy(&f, p, 4);
            return Finite(f);
        }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return normalized ? *p / 255.0f : *p;
        case TINYGLTF_COMPONENT_TYPE_BYTE: return normalized ? std::max(int8_t(*p) / 127.0f, -1.0f) : int8_t(*p);
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
            uint16_t v;
            std::memcpy(&v, p, 2);
            return normalized ? v / 65535.0f : v;
        }
        case TINYGLTF_COMPONENT_TYPE_SHORT: {
            int16_t v;
            std::memcpy(&v, p, 2);
            return normalized ? std::max(v / 32767.0f, -1.0f) : v;
        }
        default: {
            uint32_t v;
            std::memcpy(&v, p, 4);
            return float(v);
        }
        }
    }
    // Element i of a three-component accessor; plain floats are copied as they are.
    Vec3 Vec(size_t i) const {
        if (type != TINYGLTF_COMPONENT_TYPE_FLOAT) return {Get(i, 0), Get(i, 1), Get(i, 2)};
        float f[3];
        std::memcpy(f, base + i * stride, sizeof f);
        return {Finite(f[0]), Finite(f[1]), Finite(f[2])};
    }
    uint32_t Index(size_t i) const {
        const uint8_t* p = base + i * stride;
        if (type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE) return *p;
        if (type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
            uint16_t v;
            std::memcpy(&v, p, 2);
            return v;
        }
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
};

// Indexed triangles into corners and face starts already sized for them; false when
// an index is past the primitive's vertices.
template <class I>
bool IndexedTriangles(const Elements& idx, size_t triangles, uint32_t count, uint32_t base, bool mirrored,
                      FaceCorner* corner, uint32_t* start, uint32_t first) {
    uint32_t largest = 0;
    for (size_t t = 0; t < triangles; ++t) {
        I v[3];
        for (int k = 0; k < 3; ++k) std::memcpy(&v[k], idx.base + (3 * t + size_t(k)) * idx.stride, sizeof(I));
        const uint32_t a = v[0], b = mirrored ? v[1] : v[2], c = mirrored ? v[2] : v[1];
        largest = std::max({largest, a, b, c});
        corner[0] = {a + base, a + base};
        corner[1] = {b + base, b + base};
        corner[2] = {c + base, c + base};
        corner += 3;
        start[t] = first + uint32_t(3 * t + 3);
    }
    return triangles == 0 || largest < count;
}

bool IsIdentity(const Mat4& m) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (m.m[i][j] != (i == j ? 1.0f : 0.0f)) return false;
    return true;
}

class Converter {
public:
    // With give_back, the buffers' bytes are the file's, handed over: their pages go
    // back as they are read for the last time. Borrowed bytes are left alone.
    Converter(const gl::Model& model, MeshData& out, bool give_back) : g_(model), out_(out), give_back_(give_back) {}

    bool Run(std::string& error, int& primitives) {
        for (const gl::Image& image : g_.images) {
            Image img;
            if (image.width > 0 && image.height > 0 && image.component == 4 &&
                image.image.size() == size_t(image.width) * size_t(image.height) * 4) {
                img.width = image.width;
                img.height = image.height;
                img.rgba = image.image;
            }
            out_.images.push_back(std::move(img));
        }
        for (const gl::Material& m : g_.materials) out_.materials.push_back(MaterialOf(m));
        out_.face_start.push_back(0);

        std::vector<int> roots;
        if (!g_.scenes.empty()) {
            const size_t scene = g_.defaultScene >= 0 && size_t(g_.defaultScene) < g_.scenes.size() ? size_t(g_.defaultScene) : 0;
            roots = g_.scenes[scene].nodes;
        } else {
            // No scene: every node that is nobody's child.
            std::vector<bool> child(g_.nodes.size(), false);
            for (const gl::Node& n : g_.nodes)
                for (int c : n.children)
                    if (c >= 0 && size_t(c) < child.size()) child[size_t(c)] = true;
            for (size_t i = 0; i < g_.nodes.size(); ++i)
                if (!child[i]) roots.push_back(int(i));
        }
        FindLoneViews();
        // Counted first, so every array is made once at its size.
        for (counting_ = true;; counting_ = false) {
            used_.assign(g_.nodes.size(), false);
            for (int r : roots)
                if (!Node(r, Mat4{}, 0)) {
                    error = error_;
                    return false;
                }
            if (!counting_) break;
            out_.positions.reserve(vertices_);
            out_.normals.reserve(vertices_);
            out_.uv.reserve(vertices_ * 2);
            if (any_colour_) out_.vertex_colors.reserve(vertices_);
            any_colour_ = false;
            out_.corners.reserve(triangles_ * 3);
            out_.face_start.reserve(triangles_ + 1);
            out_.face_material.reserve(triangles_);
        }
        if (out_.FaceCount() == 0) {
            error = "the scene has no triangles";
            return false;
        }
        // Vertices without a normal from the file get the retained mode's rule: the
        // sum of the unit normals of the faces that use them.
        if (!without_normals_.empty()) {
            std::vector<bool> needs(out_.positions.size(), false);
            for (const auto& [from, to] : without_normals_)
                std::fill(needs.begin() + long(from), needs.begin() + long(to), true);
            for (size_t f = 0; f + 1 < out_.face_start.size(); ++f) {
                const uint32_t a = out_.face_start[f];
                const Vec3 p0 = out_.positions[out_.corners[a].vertex];
                const Vec3 n = FaceNormal(p0, out_.positions[out_.corners[a + 1].vertex],
                                          out_.positions[out_.corners[a + 2].vertex]);
                for (uint32_t k = a; k < a + 3; ++k)
                    if (needs[out_.corners[k].vertex])
                        out_.normals[out_.corners[k].vertex] = out_.normals[out_.corners[k].vertex] + n;
            }
            for (size_t v = 0; v < out_.normals.size(); ++v)
                if (needs[v]) {
                    const float len = Length(out_.normals[v]);
                    out_.normals[v] = len > 0.0f ? out_.normals[v] * (1.0f / len) : Vec3{};
                }
            out_.normals_generated = true;
        }
        if (!any_colour_) out_.vertex_colors.clear();
        primitives = primitives_;
        return true;
    }

private:
    // A buffer view's data may be given back once its last reader is done with it,
    // unless another view shares its bytes: the mesh then grows as the file's data
    // shrinks, and the two are never whole together.
    struct ViewUse {
        uint32_t uses = 0;
        bool alone = false;
    };

    void FindLoneViews() {
        views_.assign(g_.bufferViews.size(), ViewUse{});
        if (!give_back_) return;
        std::vector<std::pair<size_t, size_t>> order;  // (buffer, view) by start
        for (size_t i = 0; i < g_.bufferViews.size(); ++i) {
            const gl::BufferView& v = g_.bufferViews[i];
            if (v.buffer < 0 || size_t(v.buffer) >= g_.buffers.size() || v.byteLength == 0) continue;
            const size_t size = g_.buffers[size_t(v.buffer)].data.size();
            if (v.byteOffset > size || v.byteLength > size - v.byteOffset) continue;
            order.push_back({size_t(v.buffer), i});
        }
        const auto start = [&](size_t view) { return g_.bufferViews[view].byteOffset; };
        const auto end = [&](size_t view) { return g_.bufferViews[view].byteOffset + g_.bufferViews[view].byteLength; };
        std::sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
            return a.first != b.first ? a.first < b.first : start(a.second) < start(b.second);
        });
        for (size_t k = 0; k < order.size(); ++k) {
            const auto [buffer, view] = order[k];
            const bool before = k > 0 && order[k - 1].first == buffer && end(order[k - 1].second) > start(view);
            const bool after = k + 1 < order.size() && order[k + 1].first == buffer && start(order[k + 1].second) < end(view);
            views_[view].alone = !before && !after;
        }
        // A view that begins inside an earlier, longer one that is not its neighbour.
        size_t reach = 0, buffer = SIZE_MAX;
        for (const auto& [b, view] : order) {
            if (b != buffer) buffer = b, reach = 0;
            if (start(view) < reach) views_[view].alone = false;
            reach = std::max(reach, end(view));
        }
    }

    bool LastUse(const Elements& e) const {
        return give_back_ && !counting_ && e.view >= 0 && views_[size_t(e.view)].alone &&
               views_[size_t(e.view)].uses == 1;
    }

    // The first byte of an accessor's view.
    const uint8_t* ViewStart(const Elements& e) const {
        const gl::BufferView& v = g_.bufferViews[size_t(e.view)];
        return g_.buffers[size_t(v.buffer)].data.data() + v.byteOffset;
    }

    // A reader has finished with an accessor: the last one gives its view's pages back.
    void Done(const Elements& e) {
        if (counting_ || e.view < 0 || views_[size_t(e.view)].uses == 0) return;
        if (LastUse(e)) {
            const uint8_t* from = ViewStart(e);
            platform::ReleasePages(from, from + g_.bufferViews[size_t(e.view)].byteLength);
        }
        --views_[size_t(e.view)].uses;
    }

    bool Fail(const std::string& why) {
        if (error_.empty()) error_ = why;
        return false;
    }

    XMaterial MaterialOf(const gl::Material& g) const {
        XMaterial m;
        const gl::PbrMetallicRoughness& pbr = g.pbrMetallicRoughness;
        for (size_t i = 0; i < 4 && i < pbr.baseColorFactor.size(); ++i)
            m.face[i] = std::clamp(Finite(pbr.baseColorFactor[i]), 0.0f, 1.0f);
        if (g.emissiveFactor.size() >= 3)
            m.emissive = {Finite(g.emissiveFactor[0]), Finite(g.emissiveFactor[1]), Finite(g.emissiveFactor[2])};
        // Metal reflects in its own colour, everything else about 4 % in white; a rough
        // surface spreads its highlight until, fully rough, it has none.
        const float metal = std::clamp(Finite(pbr.metallicFactor), 0.0f, 1.0f);
        const float rough = std::clamp(Finite(pbr.roughnessFactor), 0.0f, 1.0f);
        const float gloss = 1.0f - rough;
        m.specular = {(0.04f + (m.face[0] - 0.04f) * metal) * gloss, (0.04f + (m.face[1] - 0.04f) * metal) * gloss,
                      (0.04f + (m.face[2] - 0.04f) * metal) * gloss};
        const float alpha2 = std::max(rough * rough * rough * rough, 1e-6f);
        m.power = rough >= 1.0f ? 0.0f : std::min(2.0f / alpha2 - 2.0f, 256.0f);
        const int tex = pbr.baseColorTexture.index;
        if (tex >= 0 && size_t(tex) < g_.textures.size()) {
            const int source = g_.textures[size_t(tex)].source;
            if (source >= 0 && size_t(source) < g_.images.size()) m.image = source;
        }
        return m;
    }

    bool Access(int index, Elements& e, std::initializer_list<int> types, std::initializer_list<int> components) {
        if (index < 0 || size_t(index) >= g_.accessors.size()) return Fail("an accessor index is out of range");
        const gl::Accessor& a = g_.accessors[size_t(index)];
        if (a.sparse.isSparse) return Fail("sparse accessors are not read");
        if (std::find(types.begin(), types.end(), a.componentType) == types.end() ||
            std::find(components.begin(), components.end(), Components(a.type)) == components.end())
            return Fail("accessor " + std::to_string(index) + " has the wrong type");
        if (a.bufferView < 0 || size_t(a.bufferView) >= g_.bufferViews.size())
            return Fail("accessor " + std::to_string(index) + " has no data");
        const gl::BufferView& v = g_.bufferViews[size_t(a.bufferView)];
        if (v.buffer < 0 || size_t(v.buffer) >= g_.buffers.size()) return Fail("a buffer index is out of range");
        const std::vector<unsigned char>& b = g_.buffers[size_t(v.buffer)].data;
        const uint64_t element = uint64_t(Components(a.type)) * uint64_t(ComponentBytes(a.componentType));
        const uint64_t stride = v.byteStride ? uint64_t(v.byteStride) : element;
        if (uint64_t(v.byteOffset) > b.size() || uint64_t(v.byteLength) > b.size() - uint64_t(v.byteOffset))
            return Fail("a buffer view lies past its buffer");
        if (stride < element || uint64_t(a.count) > b.size() ||
            (a.count > 0 && (uint64_t(a.byteOffset) + stride * (uint64_t(a.count) - 1) + element > uint64_t(v.byteLength))))
            return Fail("accessor " + std::to_string(index) + " lies past its buffer view");
        if (counting_) ++views_[size_t(a.bufferView)].uses;
        e.view = a.bufferView;
        e.base = b.data() + v.byteOffset + a.byteOffset;
        e.stride = size_t(stride);
        e.count = a.count;
        e.components = Components(a.type);
        e.type = a.componentType;
        e.normalized = a.normalized;
        return true;
    }

    static Mat4 LocalMatrix(const gl::Node& n) {
        Mat4 m;
        if (n.matrix.size() == 16) {
            // Column-major in the file, so in order its rows are ours (row vectors).
            for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = Finite(n.matrix[size_t(i)]);
            return m;
        }
        Vec3 s{1, 1, 1};
        if (n.scale.size() == 3) s = {Finite(n.scale[0]), Finite(n.scale[1]), Finite(n.scale[2])};
        double q[4] = {0, 0, 0, 1};
        if (n.rotation.size() == 4)
            for (int i = 0; i < 4; ++i) q[i] = Finite(n.rotation[size_t(i)]);
        const double len = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
        if (len > 0)
            for (double& c : q) c /= len;
        const double x = q[0], y = q[1], z = q[2], w = q[3];
        // Rows are the images of the local axes: the columns of the column-vector form.
        const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w)},
                                {2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w)},
                                {2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)}};
        const float sc[3] = {s.x, s.y, s.z};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) m.m[i][j] = float(r[i][j]) * sc[i];
        if (n.translation.size() == 3)
            m.SetRow(3, {Finite(n.translation[0]), Finite(n.translation[1]), Finite(n.translation[2])});
        return m;
    }

    bool Node(int index, const Mat4& parent, int depth) {
        if (index < 0 || size_t(index) >= g_.nodes.size()) return Fail("a node index is out of range");
        if (used_[size_t(index)]) return Fail("node " + std::to_string(index) + " appears twice in the tree");
        if (depth > 256) return Fail("nodes nest more than 256 deep");
        used_[size_t(index)] = true;
        const gl::Node& n = g_.nodes[size_t(index)];
        const Mat4 world = Multiply(LocalMatrix(n), parent);
        if (n.mesh >= 0) {
            if (size_t(n.mesh) >= g_.meshes.size()) return Fail("a mesh index is out of range");
            for (const gl::Primitive& p : g_.meshes[size_t(n.mesh)].primitives)
                if (!Primitive(p, world)) return false;
        }
        for (int c : n.children)
            if (!Node(c, world, depth + 1)) return false;
        return true;
    }

    bool Primitive(const gl::Primitive& p, const Mat4& world) {
        if (p.mode != TINYGLTF_MODE_TRIANGLES && p.mode != TINYGLTF_MODE_TRIANGLE_STRIP &&
            p.mode != TINYGLTF_MODE_TRIANGLE_FAN && p.mode != -1)
            return true;  // points and lines are not drawn
        const auto attribute = [&](const char* name) {
            const auto it = p.attributes.find(name);
            return it == p.attributes.end() ? -1 : it->second;
        };
        Elements pos, nor, uv, col, idx;
        const int a_pos = attribute("POSITION"), a_nor = attribute("NORMAL"), a_uv = attribute("TEXCOORD_0"),
                  a_col = attribute("COLOR_0");
        if (a_pos < 0) return true;
        if (!Access(a_pos, pos, {TINYGLTF_COMPONENT_TYPE_FLOAT}, {3})) return false;
        if (a_nor >= 0 && !Access(a_nor, nor, {TINYGLTF_COMPONENT_TYPE_FLOAT}, {3})) return false;
        if (a_uv >= 0 && !Access(a_uv, uv,
                                 {TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
                                  TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT},
                                 {2}))
            return false;
        if (a_col >= 0 && !Access(a_col, col,
                                  {TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
                                   TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT},
                                  {3, 4}))
            return false;
        if (p.indices >= 0 && !Access(p.indices, idx,
                                      {TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                                       TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT},
                                      {1}))
            return false;
        const size_t count = pos.count;
        if ((a_nor >= 0 && nor.count != count) || (a_uv >= 0 && uv.count != count) || (a_col >= 0 && col.count != count))
            return Fail("the attributes of a primitive differ in length");
        const size_t corners = p.indices >= 0 ? idx.count : count;
        if (uint64_t(out_.positions.size()) + count > 0xfffffff0u ||
            out_.FaceCount() + corners / 3 > kMaxModelTriangles)
            return Fail("too many triangles");
        uint32_t material = kNoMaterial;
        if (p.material >= 0) {
            if (size_t(p.material) >= out_.materials.size()) return Fail("a material index is out of range");
            material = uint32_t(p.material);
        }
        if (counting_) {
            vertices_ += count;
            triangles_ += corners < 3 ? 0 : p.mode == TINYGLTF_MODE_TRIANGLES || p.mode == -1 ? corners / 3 : corners - 2;
            if (vertices_ > 0xfffffff0u || triangles_ > kMaxModelTriangles) return Fail("too many triangles");
            if (a_col >= 0) any_colour_ = true;
            return true;
        }

        // Vertices, in world space and then in left-handed axes. Arrays were made at
        // their full size by the counting pass; they are filled in place.
        const size_t base = out_.positions.size();
        const bool identity = IsIdentity(world);
        const Mat4 normal_matrix = InverseAffine(world);
        const bool mirrored = Dot(Cross(world.Row(0), world.Row(1)), world.Row(2)) < 0;
        const float* tint = p.material >= 0 ? out_.materials[size_t(p.material)].face : nullptr;
        if (a_col >= 0 && !any_colour_) {
            any_colour_ = true;
            out_.vertex_colors.assign(out_.positions.size(), Color{255, 255, 255, 255});
        }
        out_.positions.resize(base + count);
        out_.normals.resize(base + count);
        out_.uv.resize((base + count) * 2);
        Vec3* position = out_.positions.data() + base;
        Vec3* normal = out_.normals.data() + base;
        float* coordinate = out_.uv.data() + base * 2;
        for (size_t i = 0; i < count; ++i) {
            const Vec3 v = pos.Vec(i);
            position[i] = FromRightHanded(identity ? v : TransformPoint(v, world));
        }
        Done(pos);
        if (a_nor >= 0) {
            for (size_t i = 0; i < count; ++i) {
                Vec3 n = nor.Vec(i);
                if (!identity) n = {Dot(n, normal_matrix.Row(0)), Dot(n, normal_matrix.Row(1)), Dot(n, normal_matrix.Row(2))};
                const float len = Length(n);
                normal[i] = FromRightHanded(len > 0.0f && std::isfinite(len) ? n * (1.0f / len) : Vec3{1, 0, 0});
            }
            Done(nor);
        } else {
            without_normals_.push_back({base, base + count});
        }
        if (a_uv >= 0 && uv.type == TINYGLTF_COMPONENT_TYPE_FLOAT) {
            for (size_t i = 0; i < count; ++i) {
                float f[2];
                std::memcpy(f, uv.base + i * uv.stride, sizeof f);
                coordinate[2 * i] = Finite(f[0]);
                coordinate[2 * i + 1] = Finite(f[1]);
            }
        } else if (a_uv >= 0) {
            for (size_t i = 0; i < count; ++i) {
                coordinate[2 * i] = uv.Get(i, 0);
                coordinate[2 * i + 1] = uv.Get(i, 1);
            }
        }
        if (a_uv >= 0) Done(uv);
        if (any_colour_) {
            std::vector<float> c(count * 4, 1.0f);
            if (a_col >= 0)
                for (size_t i = 0; i < count; ++i)
                    for (int k = 0; k < col.components; ++k) c[i * 4 + size_t(k)] = col.Get(i, k);
            for (size_t i = 0; i < count; ++i) {
                float* v = &c[i * 4];
                if (tint)
                    for (int k = 0; k < 4; ++k) v[k] *= tint[k];
                out_.vertex_colors.push_back(ColorFromRGBA(v[0], v[1], v[2], v[3]));
            }
        }
        if (a_col >= 0) Done(col);

        // Triangles; a mirroring node transform turns them once more.
        const auto vertex = [&](size_t i) { return p.indices >= 0 ? idx.Index(i) : uint32_t(i); };
        const size_t triangles = corners < 3 ? 0
                                 : p.mode == TINYGLTF_MODE_TRIANGLES || p.mode == -1 ? corners / 3
                                                                                      : corners - 2;
        if (out_.face_start.empty()) out_.face_start.push_back(0);
        if ((p.mode == TINYGLTF_MODE_TRIANGLES || p.mode == -1) && p.indices >= 0) {
            // The common case, in one tight loop per index size, a block at a time: the
            // mesh's arrays grow by the block while, on the indices' last read, the
            // pages already read go back.
            const bool last = LastUse(idx);
            constexpr size_t kBlock = 16384;
            bool ok = true;
            for (size_t done = 0; ok && done < triangles; done += kBlock) {
                const size_t n = std::min(kBlock, triangles - done);
                const size_t corner0 = out_.corners.size(), face0 = out_.face_material.size();
                out_.corners.resize(corner0 + n * 3);
                out_.face_start.resize(face0 + 1 + n);
                out_.face_material.resize(face0 + n, material);
                Elements block = idx;
                block.base = idx.base + 3 * done * idx.stride;
                const auto fill = [&]<class I>(I) {
                    ok = IndexedTriangles<I>(block, n, uint32_t(count), uint32_t(base), mirrored,
                                             out_.corners.data() + corner0, out_.face_start.data() + face0 + 1,
                                             uint32_t(corner0));
                };
                if (idx.type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE) fill(uint8_t{});
                else if (idx.type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) fill(uint16_t{});
                else fill(uint32_t{});
                if (last) platform::ReleasePages(ViewStart(idx), block.base + 3 * n * idx.stride);
            }
            if (!ok) return Fail("an index is past its vertices");
            Done(idx);
            ++primitives_;
            return true;
        }
        for (size_t t = 0; t < triangles; ++t) {
            uint32_t a, b, c;
            if (p.mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
                a = vertex(t), b = vertex(t + 1), c = vertex(t + 2);
                if (t & 1) std::swap(a, b);
            } else if (p.mode == TINYGLTF_MODE_TRIANGLE_FAN) {
                a = vertex(0), b = vertex(t + 1), c = vertex(t + 2);
            } else {
                a = vertex(3 * t), b = vertex(3 * t + 1), c = vertex(3 * t + 2);
            }
            if (a >= count || b >= count || c >= count) return Fail("an index is past its vertices");
            // Counter-clockwise in the file, clockwise here (and back when mirrored).
            if (!mirrored) std::swap(b, c);
            a += uint32_t(base), b += uint32_t(base), c += uint32_t(base);
            out_.corners.push_back({a, a});
            out_.corners.push_back({b, b});
            out_.corners.push_back({c, c});
            out_.face_start.push_back(uint32_t(out_.corners.size()));
            out_.face_material.push_back(material);
        }
        if (p.indices >= 0) Done(idx);
        ++primitives_;
        return true;
    }

    const gl::Model& g_;
    MeshData& out_;
    std::string error_;
    std::vector<bool> used_;
    std::vector<std::pair<size_t, size_t>> without_normals_;  // vertex ranges
    std::vector<ViewUse> views_;
    const bool give_back_;
    bool any_colour_ = false;
    int primitives_ = 0;
    bool counting_ = false;
    uint64_t vertices_ = 0, triangles_ = 0;
};

// The name a .glb's BIN chunk goes by when it is handed to the reader as a file. It
// cannot name a file beside the model (Files refuses every name with a colon).
constexpr char kBinChunkName[] = "glb:BIN";

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// A .glb read whole into `file` is split in place so that the reader need not copy
// its BIN chunk: `json` gets the JSON chunk with buffer 0 named kBinChunkName, and
// the BIN chunk moves to the front of `file`, cut to buffer 0's length (the pages
// behind it go back). False, with both untouched, for anything but a plain .glb
// (chunks out of place, a BIN chunk shorter than its buffer, JSON the reader will
// refuse anyway, another buffer without a name): the reader then takes the file as
// it is and says what is wrong with it.
bool SplitGlb(std::vector<uint8_t>& file, std::string& json) {
    // The checks tinygltf makes of the container, so that a file it refuses is refused
    // the same way whichever way it is read.
    if (file.size() < 20 || std::memcmp(file.data(), "glTF", 4) != 0) return false;
    const uint64_t length = Le32(&file[8]);
    const uint64_t json_length = Le32(&file[12]);
    const uint64_t bin_at = 20 + json_length;
    if (length > file.size() || json_length < 1 || Le32(&file[16]) != 0x4E4F534Au || bin_at + 12 > length)
        return false;
    const uint64_t bin_length = Le32(&file[size_t(bin_at)]);
    if (bin_length < 4 || bin_length % 4 != 0 || Le32(&file[size_t(bin_at) + 4]) != 0x004E4942u ||
        bin_at + 8 + bin_length > length)
        return false;
    try {
        using Json = nlohmann::json;
        Json doc = Json::parse(file.begin() + 20, file.begin() + long(bin_at), nullptr, false);
        if (!doc.is_object()) return false;
        const auto buffers = doc.find("buffers");
        if (buffers == doc.end() || !buffers->is_array() || buffers->empty()) return false;
        for (size_t i = 0; i < buffers->size(); ++i) {
            const Json& b = (*buffers)[i];
            if (!b.is_object() || (i > 0) != b.contains("uri")) return false;
        }
        Json& first = (*buffers)[0];
        const auto byte_length = first.find("byteLength");
        if (byte_length == first.end() || !byte_length->is_number_unsigned()) return false;
        const uint64_t size = byte_length->get<uint64_t>();
        if (size == 0 || size > bin_length) return false;
        first["uri"] = kBinChunkName;
        json = doc.dump(-1, ' ', false, Json::error_handler_t::replace);
        if (json.size() > UINT_MAX) return false;
        const size_t before = file.size();
        std::memmove(file.data(), file.data() + bin_at + 8, size_t(size));
        file.resize(size_t(size));
        platform::ReleasePages(file.data() + size, file.data() + before);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// tinygltf checks that a BIN chunk's data ends within the file's stated length, but
// counts from the chunk's header rather than its data: a chunk claiming up to eight
// bytes more than there are would be read past the end.
bool BinChunkRunsPastTheFile(std::span<const uint8_t> data) {
    if (data.size() < 20) return false;
    const uint64_t length = std::min<uint64_t>(Le32(&data[8]), data.size());
    const uint64_t bin_at = 20 + uint64_t(Le32(&data[12]));
    return bin_at + 8 <= length && bin_at + 8 + Le32(&data[size_t(bin_at)]) > length;
}

bool Read(std::span<const uint8_t> data, ModelFiles& files, MeshData& out, std::string& error, ModelInfo* info,
          std::vector<uint8_t>* owner) {
    if (data.size() > UINT_MAX) {
        error = "file too large";
        return false;
    }
    const bool binary = data.size() >= 4 && std::memcmp(data.data(), "glTF", 4) == 0;
    if (binary && BinChunkRunsPastTheFile(data)) {
        error = "the BIN chunk runs past the end of the file";
        return false;
    }
    Files fs{&files, {}, {}};
    // A .glb whose bytes are ours to change is read as its JSON naming the BIN chunk,
    // which the reader then takes over without a copy.
    std::string split_json;
    const bool split = binary && owner && owner->data() == data.data() && SplitGlb(*owner, split_json);
    if (split) fs.read.emplace(kBinChunkName, std::move(*owner));
    gl::TinyGLTF loader;
    loader.SetImageLoader(DecodePicture, nullptr);
    loader.SetFsCallbacks({Files::Exists, Files::Expand, Files::ReadWhole, Files::Write, &fs});
    gl::Model model;
    std::string err, warn;
    bool ok;
    try {
        if (split)
            ok = loader.LoadASCIIFromString(&model, &err, &warn, split_json.data(), unsigned(split_json.size()), "");
        else
            ok = binary ? loader.LoadBinaryFromMemory(&model, &err, &warn, data.data(), unsigned(data.size()), "")
                        : loader.LoadASCIIFromString(&model, &err, &warn, reinterpret_cast<const char*>(data.data()),
                                                     unsigned(data.size()), "");
    } catch (const std::exception& e) {
        ok = false;
        err = e.what();
    }
    if (!ok) {
        // The reason our file callbacks gave is plainer than the reader's own.
        if (!fs.first_error.empty()) err = fs.first_error;
        const size_t eol = err.find('\n');
        error = err.empty() ? "not a glTF file" : err.substr(0, eol);
        return false;
    }
    // The reader has copied what it needs of the file.
    std::string().swap(split_json);
    if (owner) std::vector<uint8_t>().swap(*owner);
    int primitives = 0;
    if (!Converter(model, out, split).Run(error, primitives)) return false;
    if (info) {
        info->format = binary ? "glb" : "glTF";
        info->meshes = primitives;
    }
    return true;
}

}  // namespace

bool ParseGltf(std::span<const uint8_t> data, ModelFiles& files, MeshData& out, std::string& error, ModelInfo* info,
               std::vector<uint8_t>* owner) {
    return ReadInto(out, [&] { return Read(data, files, out, error, info, owner); });
}

}  // namespace platform::rm
