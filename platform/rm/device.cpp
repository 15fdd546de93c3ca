// OpenGL 3.3 core rendering of a frame tree: one lighting shader (flat or Gouraud,
// emissive + face colour x (ambient + diffuse) + specular, clamped, textures
// modulated), a background pass, and GPU copies of meshes and textures cached by
// object id and refreshed only when the object's version changes.
#include "platform/rm/device.h"

#include "platform/gl/gl_api.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/rm/device_shaders.h"
#include "platform/rm/frame.h"
#include "platform/rm/light.h"
#include "platform/rm/mesh_builder.h"
#include "platform/rm/texture.h"

namespace platform::rm {

namespace {

constexpr int kMaxLights = 8;
// GPU copies not drawn for this many frames are freed (their object is gone or hidden).
constexpr uint64_t kEvictAfterFrames = 240;

struct GpuVertex {
    float pos[3];
    float normal[3];
    float face_normal[3];
    float uv[2];
    uint8_t color[4];
};

struct Range {
    GLint first;
    GLsizei count;
    uint32_t material;
};

struct GpuMesh {
    GLuint vao = 0, vbo = 0;
    uint32_t version = 0;
    uint64_t last_frame = 0;
    std::vector<Range> ranges;
};

struct GpuTexture {
    GLuint name = 0;
    uint32_t version = 0;
    uint64_t last_frame = 0;
    GLint filter = 0;
};


// Errors left by other code in a shared context must not fail our frame. The loop
// is bounded because a lost context may keep reporting.
void DrainErrors() {
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

void SetVec3(GLint loc, Vec3 v) { glUniform3f(loc, v.x, v.y, v.z); }

// Row-vector matrices go up untransposed: GL reads them as the column-vector
// transposes, so u * p in GLSL equals p * M here.
void SetMat4(GLint loc, const Mat4& m) { glUniformMatrix4fv(loc, 1, GL_FALSE, &m.m[0][0]); }

}  // namespace

// A variant of the lighting shader with the places of its uniforms.
struct LightingProgram {
    GLuint id = 0;
    uint64_t frame = 0;  // the frame whose camera and lights it holds
    struct {
        GLint model, viewproj, normal, eye, ambient, lights, to_light, light_color, emissive, specular,
            power, lit, textured, texture;
    } u{};

    bool Make(bool flat, bool shiny, bool oneLight, std::string* error) {
        id = shaders::LinkLighting(flat, shiny, oneLight, error);
        if (!id) return false;
        u.model = glGetUniformLocation(id, "u_model");
        u.viewproj = glGetUniformLocation(id, "u_viewproj");
        u.normal = glGetUniformLocation(id, "u_normal");
        u.eye = glGetUniformLocation(id, "u_eye");
        u.ambient = glGetUniformLocation(id, "u_ambient");
        u.lights = glGetUniformLocation(id, "u_lights");
        u.to_light = glGetUniformLocation(id, "u_to_light");
        u.light_color = glGetUniformLocation(id, "u_light_color");
        u.emissive = glGetUniformLocation(id, "u_emissive");
        u.specular = glGetUniformLocation(id, "u_specular");
        u.power = glGetUniformLocation(id, "u_power");
        u.lit = glGetUniformLocation(id, "u_lit");
        u.textured = glGetUniformLocation(id, "u_textured");
        u.texture = glGetUniformLocation(id, "u_texture");
        return true;
    }
};

struct Device::Impl {
    GLuint fbo = 0, colour = 0, depth = 0;             // what is drawn into
    GLuint resolve_fbo = 0, resolve_colour = 0;        // single-sampled copy when multisampling
    bool window = false;  // drawing into the window's framebuffer, 0, instead
    int window_depth = -1;  // the window framebuffer's depth bits, once asked
    // Every variant of the lighting shader, by VariantOf.
    LightingProgram lighting[8];

    // The variant, linked on first use; null when it cannot be.
    LightingProgram* LightingVariant(int v, std::string* error) {
        LightingProgram& pr = lighting[v];
        if (!pr.id && !pr.Make((v & 2) != 0, (v & 1) != 0, (v & 4) != 0, error)) return nullptr;
        return &pr;
    }
    // The camera and lights of the frame being drawn, handed to a variant when it is
    // first used in the frame.
    Mat4 viewproj;
    Vec3 eye, ambient;
    int lights = 0;  // directional lights
    Vec3 to_light[kMaxLights], light_colour[kMaxLights];

    static int VariantOf(bool oneLight, bool flat, bool shiny) {
        return (oneLight ? 4 : 0) | (flat ? 2 : 0) | (shiny ? 1 : 0);
    }
    GLuint bg_program = 0, bg_vao = 0;
    GLint bg_texture = -1;
    bool bg_unlinkable = false;  // its link failed once: pictures give way to the colour

    // The background's program, linked for the first background picture; 0 when the
    // GL cannot link it, and then the scene's colour is drawn instead.
    GLuint BackgroundProgram() {
        if (!bg_program && !bg_unlinkable) {
            bg_program = shaders::LinkBackground(nullptr);
            bg_unlinkable = bg_program == 0;
            if (bg_program) bg_texture = glGetUniformLocation(bg_program, "u_texture");
        }
        return bg_program;
    }
    std::unordered_map<uint64_t, GpuMesh> meshes;
    std::unordered_map<uint64_t, GpuTexture> textures;
    uint64_t frame = 0;
    // Scratch for uploads, kept so a re-upload reuses its storage.
    std::vector<uint8_t> scratch_pixels;

    void FreeTargets() {
        GLuint fbos[] = {fbo, resolve_fbo};
        glDeleteFramebuffers(2, fbos);
        GLuint rbs[] = {colour, depth, resolve_colour};
        glDeleteRenderbuffers(3, rbs);
        fbo = resolve_fbo = colour = depth = resolve_colour = 0;
    }

    bool MakeTargets(int w, int h, int samples) {
        FreeTargets();
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glGenRenderbuffers(1, &colour);
        glBindRenderbuffer(GL_RENDERBUFFER, colour);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, w, h);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        glGenRenderbuffers(1, &depth);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT24, w, h);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
        bool ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        if (ok && samples > 0) {
            glGenFramebuffers(1, &resolve_fbo);
            glBindFramebuffer(GL_FRAMEBUFFER, resolve_fbo);
            glGenRenderbuffers(1, &resolve_colour);
            glBindRenderbuffer(GL_RENDERBUFFER, resolve_colour);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, resolve_colour);
            ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        }
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        if (!ok) FreeTargets();
        return ok;
    }

    // The off-screen targets are made when a frame is first drawn off screen: a
    // device that draws into the window never holds them (at 800 x 600 they are
    // nearly 4 MB, every page touched).
    int target_w = 0, target_h = 0, target_samples = 0;
    bool targets_made = false;
    bool MakeTargetsNow() {
        targets_made = true;
        return MakeTargets(target_w, target_h, target_samples);
    }
    void EnsureTargets() {
        if (!targets_made) MakeTargetsNow();
    }

    // Where a frame is drawn, and where it is once finished.
    GLuint Target() {
        if (window) return 0;
        EnsureTargets();
        return fbo;
    }
    GLuint Finished() {
        if (window) return 0;
        EnsureTargets();
        return resolve_fbo ? resolve_fbo : fbo;
    }
};

std::unique_ptr<Device> Device::Create(int width, int height, std::string* error) {
    if (width <= 0 || height <= 0) {
        if (error) *error = "device size must be positive";
        return nullptr;
    }
    const gl::VersionInfo context = gl::LoadCurrentContext();
    if (context.version < 33 || !context.desktop) {
        if (error) *error = "the current context does not offer OpenGL 3.3";
        return nullptr;
    }
    std::unique_ptr<Device> d(new Device());
    d->impl_ = std::make_unique<Impl>();
    Impl& m = *d->impl_;
    // Each variant is linked when a draw first needs it: a scene uses one or two of the
    // eight, and linking the rest would only delay the first frame. The Gouraud,
    // matte, one-light variant is made now, to find a context that cannot.
    // The background's program, too, is linked for the first background picture.
    if (!m.LightingVariant(Device::Impl::VariantOf(true, false, false), error)) return nullptr;
    glGenVertexArrays(1, &m.bg_vao);
    if (!d->Resize(width, height)) {
        if (error) *error = "cannot make an off-screen buffer of that size";
        return nullptr;
    }
    return d;
}

Device::~Device() {
    if (!impl_) return;
    Impl& m = *impl_;
    m.FreeTargets();
    for (auto& [id, g] : m.meshes) {
        glDeleteVertexArrays(1, &g.vao);
        glDeleteBuffers(1, &g.vbo);
    }
    for (auto& [id, t] : m.textures) glDeleteTextures(1, &t.name);
    glDeleteVertexArrays(1, &m.bg_vao);
    for (LightingProgram& pr : m.lighting) glDeleteProgram(pr.id);
    if (m.bg_program) glDeleteProgram(m.bg_program);
}

bool Device::Resize(int width, int height) {
    GLint max_size = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &max_size);
    if (width <= 0 || height <= 0 || width > max_size || height > max_size) return false;
    Impl& m = *impl_;
    const int was_w = m.target_w, was_h = m.target_h;
    m.target_w = width;
    m.target_h = height;
    m.target_samples = samples_;
    // Targets already in use are made again at once, so that a size they cannot
    // have is refused here; otherwise they wait for the first frame drawn off screen.
    if (m.targets_made && !m.MakeTargetsNow()) {
        m.target_w = was_w;
        m.target_h = was_h;
        m.MakeTargetsNow();
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

bool Device::SetAntialias(bool on) {
    const int want = on ? 4 : 0;
    // A multisampled frame is drawn into the device's own buffer and resolved.
    if (want > 0) impl_->window = false;
    if (want == samples_) return true;
    samples_ = want;
    impl_->target_samples = samples_;
    if (impl_->MakeTargetsNow()) return true;
    samples_ = 0;  // fall back to a plain buffer
    impl_->target_samples = 0;
    impl_->MakeTargetsNow();
    return false;
}

bool Device::SetDrawIntoWindow(bool on) {
    Impl& m = *impl_;
    if (on && m.window_depth < 0) {
        GLint bits = 0;
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_DEPTH,
                                              GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &bits);
        m.window_depth = glGetError() == GL_NO_ERROR ? bits : 0;
    }
    m.window = on && samples_ == 0 && m.window_depth >= 24;
    return m.window == on;
}

bool Device::DrawsIntoWindow() const { return impl_->window; }

bool Device::Update() {
    Impl& m = *impl_;
    if (!m.window) m.EnsureTargets();
    if (m.resolve_fbo && !m.window) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m.fbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m.resolve_fbo);
        glBlitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    glFlush();
    return glGetError() == GL_NO_ERROR;
}

void Device::Present(int x, int y, int w, int h) {
    if (impl_->window) return;
    GLint target = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &target);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, impl_->Finished());
    glBlitFramebuffer(0, 0, width_, height_, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT,
                      (w == width_ && h == height_) ? GL_NEAREST : GL_LINEAR);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(target));
}

unsigned Device::FinishedFramebuffer() const { return impl_->Finished(); }

bool Device::ReadPixels(Image& out) {
    out.width = width_;
    out.height = height_;
    out.rgba.resize(size_t(width_) * height_ * 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, impl_->Finished());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, out.rgba.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    // GL's first row is the bottom one.
    const size_t row = size_t(width_) * 4;
    for (int y = 0; y < height_ / 2; ++y)
        std::swap_ranges(out.rgba.begin() + y * row, out.rgba.begin() + (y + 1) * row,
                         out.rgba.begin() + (height_ - 1 - y) * row);
    return glGetError() == GL_NO_ERROR;
}

// ---------------------------------------------------------------------------------

Viewport* Viewport::Create(Device* device, Frame* camera, int x, int y, int width, int height) {
    if (!device || !camera || width <= 0 || height <= 0 || x < 0 || y < 0 || x + width > device->Width() ||
        y + height > device->Height())
        return nullptr;
    return new Viewport(device, camera, x, y, width, height);
}

Viewport::Viewport(Device* d, Frame* camera, int x, int y, int w, int h)
    : device_(d), camera_(camera), x_(x), y_(y), w_(w), h_(h) {
    camera_->AddRef();
}

Viewport::~Viewport() { camera_->Release(); }

bool Viewport::SetField(float field) {
    if (!(field > 0)) return false;
    field_ = field;
    return true;
}
bool Viewport::SetFront(float front) {
    if (!(front > 0) || !(front < back_)) return false;
    front_ = front;
    return true;
}
bool Viewport::SetBack(float back) {
    if (!(back > front_)) return false;
    back_ = back;
    return true;
}

void Viewport::ForceUpdate(int x1, int y1, int x2, int y2) {
    dirty_[0] = x1;
    dirty_[1] = y1;
    dirty_[2] = x2;
    dirty_[3] = y2;
}

Mat4 Viewport::ProjectionMatrix() const {
    const float m = float(std::max(w_, h_));
    const float d = front_, f = back_, h = field_;
    Mat4 p;
    for (auto& row : p.m)
        for (float& v : row) v = 0;
    if (projection_ == Projection::Perspective) {
        p.m[0][0] = d / h * m / float(w_);
        p.m[1][1] = d / h * m / float(h_);
        p.m[2][2] = (f + d) / (f - d);
        p.m[2][3] = 1;
        p.m[3][2] = -2 * d * f / (f - d);
    } else {
        p.m[0][0] = m / (h * float(w_));
        p.m[1][1] = m / (h * float(h_));
        p.m[2][2] = 2 / (f - d);
        p.m[3][2] = -(f + d) / (f - d);
        p.m[3][3] = 1;
    }
    return p;
}

bool Viewport::ProjectPoint(Vec3 world, float* sx, float* sy) const {
    const Vec3 v = TransformPoint(world, InverseAffine(camera_->World()));
    const Mat4 p = ProjectionMatrix();
    const float w = projection_ == Projection::Perspective ? v.z : 1.0f;
    if (projection_ == Projection::Perspective && v.z < front_) return false;
    const float nx = (v.x * p.m[0][0]) / w, ny = (v.y * p.m[1][1]) / w;
    *sx = (nx + 1) * 0.5f * float(w_);
    *sy = (1 - ny) * 0.5f * float(h_);
    return true;
}

namespace {

struct LightSet {
    Vec3 ambient;
    int count = 0;
    Vec3 to_light[kMaxLights];
    Vec3 colour[kMaxLights];
};

void CollectLights(const Frame* f, const Mat4& parent_world, bool root, LightSet& set) {
    const Mat4 world = root ? f->World() : Multiply(f->Local(), parent_world);
    for (const Light* l : f->Lights()) {
        const Color c = l->Colour();
        const Vec3 col{c.R(), c.G(), c.B()};
        if (l->Type() == LightType::Ambient) {
            set.ambient = set.ambient + col;
        } else if (l->Type() == LightType::Directional && set.count < kMaxLights) {
            // It shines along the frame's +z: the direction toward it is -z.
            set.to_light[set.count] = Normalize(world.Row(2)) * -1.0f;
            set.colour[set.count++] = col;
        }
    }
    for (const Frame* c : f->Children()) CollectLights(c, world, false, set);
}

}  // namespace

struct RenderPass {
    Device& dev;
    Device::Impl& m;
    uint32_t shade;  // quality word of the device
    GLint filter;

    GLuint TextureName(const Texture* t) {
        auto [it, fresh] = m.textures.try_emplace(t->Id());
        GpuTexture& g = it->second;
        g.last_frame = m.frame;
        if (fresh) glGenTextures(1, &g.name);
        glBindTexture(GL_TEXTURE_2D, g.name);
        if (g.version != t->Version()) {
            const Image& img = t->Pixels();
            GLint max_size = 0;
            glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
            int w = img.width, h = img.height;
            const uint8_t* px = img.rgba.data();
            if (w > max_size || h > max_size) {
                // Too large for the GL: sample it down to the largest size allowed.
                const int nw = std::min(w, max_size), nh = std::min(h, max_size);
                m.scratch_pixels.resize(size_t(nw) * nh * 4);
                for (int y = 0; y < nh; ++y)
                    for (int x = 0; x < nw; ++x)
                        std::memcpy(&m.scratch_pixels[(size_t(y) * nw + x) * 4],
                                    &img.rgba[(size_t(y) * h / nh * w + size_t(x) * w / nw) * 4], 4);
                px = m.scratch_pixels.data();
                w = nw;
                h = nh;
            }
            glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
            if (w > 0 && h > 0) glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, px);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
            g.version = t->Version();
            g.filter = 0;
            ++dev.uploads_;
        }
        if (g.filter != filter) {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
            g.filter = filter;
        }
        return g.name;
    }

    GpuMesh& MeshOf(const MeshBuilder* b) {
        auto [it, fresh] = m.meshes.try_emplace(b->Id());
        GpuMesh& g = it->second;
        g.last_frame = m.frame;
        if (fresh) {
            glGenVertexArrays(1, &g.vao);
            glGenBuffers(1, &g.vbo);
            glBindVertexArray(g.vao);
            glBindBuffer(GL_ARRAY_BUFFER, g.vbo);
            const GLsizei s = sizeof(GpuVertex);
            glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, s, (void*)offsetof(GpuVertex, pos));
            glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, s, (void*)offsetof(GpuVertex, normal));
            glVertexAttribPointer(2, 3, GL_FLOAT, GL_FALSE, s, (void*)offsetof(GpuVertex, face_normal));
            glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, s, (void*)offsetof(GpuVertex, uv));
            glVertexAttribPointer(4, 4, GL_UNSIGNED_BYTE, GL_TRUE, s, (void*)offsetof(GpuVertex, color));
            for (int i = 0; i < 5; ++i) glEnableVertexAttribArray(i);
        }
        if (g.version != b->Version()) {
            // The vertices are written straight into the buffer's own memory: the
            // mesh is held once, by the GL, and not again in a copy of ours.
            const size_t count = VertexCount(b->Mesh());
            const auto bytes = GLsizeiptr(count * sizeof(GpuVertex));
            glBindBuffer(GL_ARRAY_BUFFER, g.vbo);
            glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_STATIC_DRAW);
            void* mapped = count ? glMapBufferRange(GL_ARRAY_BUFFER, 0, bytes,
                                                    GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT)
                                 : nullptr;
            bool stored = true;
            if (mapped) {
                Build(*b, g, static_cast<GpuVertex*>(mapped));
                // A store the GL lost while it was mapped draws nothing and is written
                // again for the next frame.
                stored = glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE;
                if (!stored) g.ranges.clear();
            } else {
                std::vector<GpuVertex> vertices(count);
                Build(*b, g, vertices.data());
                glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, vertices.data());
            }
            if (stored) g.version = b->Version();
            ++dev.uploads_;
        }
        return g;
    }

    // How many vertices the mesh's faces make as triangle fans.
    static size_t VertexCount(const MeshData& d) {
        size_t count = 0;
        for (size_t f = 0, faces = d.FaceCount(); f < faces; ++f) {
            const uint32_t corners = d.face_start[f + 1] - d.face_start[f];
            if (corners >= 3) count += 3 * size_t(corners - 2);
        }
        return count;
    }

    // Triangle fans of every face, grouped by material so each group is one draw,
    // into `out`, which has room for VertexCount of the mesh.
    void Build(const MeshBuilder& b, GpuMesh& g, GpuVertex* out) {
        const MeshData& d = b.Mesh();
        size_t written = 0;
        g.ranges.clear();
        const size_t faces = d.FaceCount();
        // Faces in material order (those without one last), by counting.
        const size_t groups = d.materials.size() + 1;
        auto group_of = [&](size_t f) { return d.face_material[f] < d.materials.size() ? d.face_material[f] : groups - 1; };
        std::vector<uint32_t> start(groups + 1, 0), order(faces);
        for (size_t f = 0; f < faces; ++f) ++start[group_of(f) + 1];
        for (size_t k = 0; k < groups; ++k) start[k + 1] += start[k];
        std::vector<uint32_t> fill(start.begin(), start.end() - 1);
        for (size_t f = 0; f < faces; ++f) order[fill[group_of(f)]++] = uint32_t(f);
        for (size_t group = 0; group < groups; ++group) {
            const uint32_t mat = group < d.materials.size() ? uint32_t(group) : kNoMaterial;
            const GLint first = GLint(written);
            Color face_colour = b.PlainColour();
            if (mat != kNoMaterial) face_colour = ColorFromRGBA(d.materials[mat].face[0], d.materials[mat].face[1],
                                                                d.materials[mat].face[2], d.materials[mat].face[3]);
            for (uint32_t i = start[group]; i < start[group + 1]; ++i) {
                const uint32_t f = order[i];
                const uint32_t a = d.face_start[f], e = d.face_start[f + 1];
                if (e - a < 3) continue;
                const Vec3 p0 = d.positions[d.corners[a].vertex];
                const Vec3 fn = Cross(d.positions[d.corners[a + 1].vertex] - p0, d.positions[d.corners[a + 2].vertex] - p0);
                const float len = Length(fn);
                const Vec3 face_normal = len > 0 ? fn * (1.0f / len) : Vec3{};
                for (uint32_t k = a + 1; k + 1 < e; ++k) {
                    for (uint32_t c : {a, k, k + 1}) {
                        const FaceCorner fc = d.corners[c];
                        GpuVertex v;
                        const Vec3 p = d.positions[fc.vertex];
                        const Vec3 n = fc.normal < d.normals.size() ? d.normals[fc.normal] : Vec3{};
                        v.pos[0] = p.x, v.pos[1] = p.y, v.pos[2] = p.z;
                        v.normal[0] = n.x, v.normal[1] = n.y, v.normal[2] = n.z;
                        v.face_normal[0] = face_normal.x, v.face_normal[1] = face_normal.y,
                        v.face_normal[2] = face_normal.z;
                        v.uv[0] = d.uv[size_t(fc.vertex) * 2];
                        v.uv[1] = d.uv[size_t(fc.vertex) * 2 + 1];
                        const Color col = d.vertex_colors.empty() ? face_colour : d.vertex_colors[fc.vertex];
                        v.color[0] = col.r, v.color[1] = col.g, v.color[2] = col.b, v.color[3] = col.a;
                        out[written++] = v;
                    }
                }
            }
            const GLsizei count = GLsizei(written) - first;
            if (count > 0) g.ranges.push_back({first, count, mat});
        }
    }

    void Draw(const Frame* f, const Mat4& parent_world, bool root) {
        const Mat4 world = root ? f->World() : Multiply(f->Local(), parent_world);
        for (const MeshBuilder* b : f->Visuals()) DrawVisual(*b, world);
        for (const Frame* c : f->Children()) Draw(c, world, false);
    }

    // The frame's camera and lights, into a variant used for the first time in it.
    void UseFrame(LightingProgram& pr) {
        pr.frame = m.frame;
        SetMat4(pr.u.viewproj, m.viewproj);
        SetVec3(pr.u.eye, m.eye);
        SetVec3(pr.u.ambient, m.ambient);
        glUniform1i(pr.u.lights, m.lights);
        if (m.lights > 0) {
            glUniform3fv(pr.u.to_light, m.lights, &m.to_light[0].x);
            glUniform3fv(pr.u.light_color, m.lights, &m.light_colour[0].x);
        }
        glUniform1i(pr.u.texture, 0);
    }

    void DrawVisual(const MeshBuilder& b, const Mat4& world) {
        if (b.Mesh().corners.empty()) return;
        // The object is drawn at the lesser of its own and the device's quality.
        const uint32_t q = b.Quality();
        const uint32_t shade_q = std::min(q & kShadeMask, shade & kShadeMask);
        const uint32_t light_q = std::min(q & kLightMask, shade & kLightMask);
        const uint32_t fill_q = std::min(q & kFillMask, shade & kFillMask);
        GpuMesh& g = MeshOf(&b);
        glBindVertexArray(g.vao);
        const Mat4 inv = InverseAffine(world);
        const float n3[9] = {inv.m[0][0], inv.m[0][1], inv.m[0][2], inv.m[1][0], inv.m[1][1],
                             inv.m[1][2], inv.m[2][0], inv.m[2][1], inv.m[2][2]};
        glPolygonMode(GL_FRONT_AND_BACK, fill_q >= kFillSolid ? GL_FILL : fill_q == kFillWireframe ? GL_LINE : GL_POINT);
        const MeshData& d = b.Mesh();
        const LightingProgram* current = nullptr;
        for (const Range& r : g.ranges) {
            XMaterial plain;
            const XMaterial& mat = r.material < d.materials.size() ? d.materials[r.material] : plain;
            // Specular is drawn only where the material's power is above 0 (and a
            // highlight of no colour adds nothing).
            const bool shiny = mat.power > 0 && (mat.specular.x > 0 || mat.specular.y > 0 || mat.specular.z > 0);
            LightingProgram* variant =
                m.LightingVariant(Device::Impl::VariantOf(m.lights == 1, shade_q == kShadeFlat, shiny), nullptr);
            if (!variant) continue;
            LightingProgram& pr = *variant;
            if (&pr != current) {
                current = &pr;
                glUseProgram(pr.id);
                if (pr.frame != m.frame) UseFrame(pr);
                SetMat4(pr.u.model, world);
                glUniformMatrix3fv(pr.u.normal, 1, GL_TRUE, n3);
                glUniform1i(pr.u.lit, light_q == kLightOn);
            }
            SetVec3(pr.u.emissive, mat.emissive);
            SetVec3(pr.u.specular, mat.specular);
            glUniform1f(pr.u.power, mat.power);
            const Texture* t = b.TextureFor(r.material);
            glUniform1i(pr.u.textured, t != nullptr && t->Pixels().width > 0);
            if (t && t->Pixels().width > 0) {
                glActiveTexture(GL_TEXTURE0);
                TextureName(t);
            }
            glDrawArrays(GL_TRIANGLES, r.first, r.count);
        }
    }
};

bool Viewport::Clear(uint32_t flags) {
    Device::Impl& m = *device_->impl_;
    DrainErrors();
    glBindFramebuffer(GL_FRAMEBUFFER, m.Target());
    glViewport(x_, device_->height_ - y_ - h_, w_, h_);
    glEnable(GL_SCISSOR_TEST);
    glScissor(x_, device_->height_ - y_ - h_, w_, h_);
    const Frame* scene = camera_->Root();
    GLbitfield bits = 0;
    const Texture* image = scene->SceneBackgroundImage();
    const bool draw_image =
        (flags & kClearTarget) && image && image->Pixels().width > 0 && m.BackgroundProgram() != 0;
    if ((flags & kClearTarget) && !draw_image) {
        const Color c = scene->SceneBackground();
        glClearColor(c.R(), c.G(), c.B(), 1.0f);
        bits |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & kClearZBuffer) {
        glDepthMask(GL_TRUE);
        glClearDepth(1.0);
        bits |= GL_DEPTH_BUFFER_BIT;
    }
    if (bits) glClear(bits);
    if (draw_image) {
        // Stretched with the device's texture filter (nearest by default, like a
        // stretching blit).
        const TextureQuality tq = device_->texture_quality_;
        const GLint filter =
            (tq == TextureQuality::Nearest || tq == TextureQuality::MipNearest) ? GL_NEAREST : GL_LINEAR;
        RenderPass pass{*device_, m, device_->quality_, filter};
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glUseProgram(m.bg_program);
        glActiveTexture(GL_TEXTURE0);
        pass.TextureName(image);
        glUniform1i(m.bg_texture, 0);
        glBindVertexArray(m.bg_vao);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        glBindVertexArray(0);
        glUseProgram(0);
    }
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return glGetError() == GL_NO_ERROR;
}

bool Viewport::Render(Frame* frame) {
    if (!frame) return false;
    Device::Impl& m = *device_->impl_;
    DrainErrors();
    ++m.frame;
    glBindFramebuffer(GL_FRAMEBUFFER, m.Target());
    glViewport(x_, device_->height_ - y_ - h_, w_, h_);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    // Retained-mode front faces are clockwise on screen; back faces are not drawn.
    glFrontFace(GL_CW);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    if (device_->dither_) glEnable(GL_DITHER);
    else glDisable(GL_DITHER);
    if (device_->samples_ > 0) glEnable(GL_MULTISAMPLE);
    else glDisable(GL_MULTISAMPLE);

    const Mat4 cam = camera_->World();
    const Mat4 viewproj = Multiply(InverseAffine(cam), ProjectionMatrix());
    LightSet lights;
    CollectLights(frame->Root(), Mat4{}, true, lights);
    m.viewproj = viewproj;
    m.eye = {cam.m[3][0], cam.m[3][1], cam.m[3][2]};
    m.ambient = lights.ambient;
    m.lights = lights.count;
    for (int i = 0; i < lights.count; ++i) {
        m.to_light[i] = lights.to_light[i];
        m.light_colour[i] = lights.colour[i];
    }
    const TextureQuality tq = device_->texture_quality_;
    const GLint filter = (tq == TextureQuality::Nearest || tq == TextureQuality::MipNearest) ? GL_NEAREST : GL_LINEAR;
    RenderPass pass{*device_, m, device_->quality_, filter};
    pass.Draw(frame, Mat4{}, true);

    // Free the GPU copies of objects that have not been drawn for a while.
    if (m.frame % 60 == 0) {
        for (auto it = m.meshes.begin(); it != m.meshes.end();) {
            if (m.frame - it->second.last_frame > kEvictAfterFrames) {
                glDeleteVertexArrays(1, &it->second.vao);
                glDeleteBuffers(1, &it->second.vbo);
                it = m.meshes.erase(it);
            } else {
                ++it;
            }
        }
        for (auto it = m.textures.begin(); it != m.textures.end();) {
            if (m.frame - it->second.last_frame > kEvictAfterFrames) {
                glDeleteTextures(1, &it->second.name);
                it = m.textures.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Leave the state others sharing the context expect (overlays draw after us).
    glBindVertexArray(0);
    glUseProgram(0);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return glGetError() == GL_NO_ERROR;
}

}  // namespace platform::rm
