// Benchmarks of the 3D layer, printed with a closing summary:
//  - X-file loading (bytes in memory to a mesh in memory) against Assimp's X
//    importer on the same files: generated text and binary files of about 2 MB,
//    and the shared real files when they are present; MB/s for both and the ratio.
//  - Peak memory while loading a generated 10 MB text X file.
//  - glTF (.glb) and OBJ files of about 10 MB against Assimp, and their peak memory
//    (bench_rm_formats.cpp).
//  - One 800 x 600 off-screen frame of a textured, Gouraud-lit 10,000-triangle
//    model against an empty frame (clear and finish), and the heap allocations a
//    steady frame makes (counted by replacing operator new); and the same frame
//    drawn bare, as close to what the GL can do as a frame gets: the same mesh,
//    pose, texture and target, one vertex buffer, a minimal lit shader and one draw
//    call. The ratio of ours to the bare frame says what the 3D layer costs; it is
//    given for the model's shiny material (ours draws a highlight the bare shader
//    does not) and for the same material matte. On a shared machine run the
//    repetitions interleaved: --benchmark_filter=render/ --benchmark_repetitions=5
//    --benchmark_enable_random_interleaving=true
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>
#include "platform/gl/gl_api.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <new>
#include <numbers>
#include <string>
#include <vector>

#include "platform/rm/device.h"
#include "platform/rm/frame.h"
#include "platform/rm/light.h"
#include "platform/rm/mesh_builder.h"
#include "platform/rm/offscreen.h"
#include "platform/rm/xfile.h"
#include "bench/rm/bench_rm_formats.h"

namespace rm = platform::rm;

namespace {
std::atomic<uint64_t> g_allocations{0};
}
void* operator new(size_t n) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

using Bytes = std::vector<uint8_t>;

// A grid of n x n vertices with normals, texture coordinates and one material,
// written the way exporters write text X files.
Bytes TextGrid(int n) {
    std::string s = "xof 0303txt 0032\n\nMesh Grid {\n " + std::to_string(n * n) + ";\n";
    char buf[128];
    auto height = [&](int i, int j) { return float(std::sin(i * 0.1) * std::cos(j * 0.07)); };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            std::snprintf(buf, sizeof buf, " %.6f;%.6f;%.6f;%s\n", i * 0.01f, height(i, j), j * 0.01f,
                          (i == n - 1 && j == n - 1) ? ";" : ",");
            s += buf;
        }
    const int faces = (n - 1) * (n - 1);
    s += " " + std::to_string(faces) + ";\n";
    for (int i = 0; i + 1 < n; ++i)
        for (int j = 0; j + 1 < n; ++j) {
            const int a = i * n + j;
            std::snprintf(buf, sizeof buf, " 4;%d,%d,%d,%d;%s\n", a, a + 1, a + n + 1, a + n,
                          (i == n - 2 && j == n - 2) ? ";" : ",");
            s += buf;
        }
    s += " MeshNormals {\n  " + std::to_string(n * n) + ";\n";
    for (int k = 0; k < n * n; ++k) {
        std::snprintf(buf, sizeof buf, "  %.6f;%.6f;%.6f;%s\n", 0.1f, 0.9f, -0.1f, k == n * n - 1 ? ";" : ",");
        s += buf;
    }
    s += "  " + std::to_string(faces) + ";\n";
    for (int i = 0; i + 1 < n; ++i)
        for (int j = 0; j + 1 < n; ++j) {
            const int a = i * n + j;
            std::snprintf(buf, sizeof buf, "  4;%d,%d,%d,%d;%s\n", a, a + 1, a + n + 1, a + n,
                          (i == n - 2 && j == n - 2) ? ";" : ",");
            s += buf;
        }
    s += " }\n MeshTextureCoords {\n  " + std::to_string(n * n) + ";\n";
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            std::snprintf(buf, sizeof buf, "  %.6f;%.6f;%s\n", i / float(n), j / float(n),
                          (i == n - 1 && j == n - 1) ? ";" : ",");
            s += buf;
        }
    s += " }\n MeshMaterialList {\n  1;\n  1;\n  0;;\n  Material {\n   0.8;0.8;0.8;1.0;;\n   10.0;\n"
         "   1.0;1.0;1.0;;\n   0.0;0.0;0.0;;\n  }\n }\n}\n";
    return Bytes(s.begin(), s.end());
}

// The same grid as binary tokens with 32-bit floats.
Bytes BinaryGrid(int n) {
    Bytes b;
    const char* h = "xof 0303bin 0032";
    b.insert(b.end(), h, h + 16);
    auto tok = [&](uint16_t t) { b.push_back(uint8_t(t)), b.push_back(uint8_t(t >> 8)); };
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
    };
    auto name = [&](const char* s) {
        tok(1);
        u32(uint32_t(std::strlen(s)));
        b.insert(b.end(), s, s + std::strlen(s));
    };
    auto f32 = [&](float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        u32(u);
    };
    auto face_list = [&] {
        const int faces = (n - 1) * (n - 1);
        tok(6);
        u32(uint32_t(1 + faces * 5));
        u32(uint32_t(faces));
        for (int i = 0; i + 1 < n; ++i)
            for (int j = 0; j + 1 < n; ++j) {
                const uint32_t a = i * n + j;
                for (uint32_t v : {4u, a, a + 1, a + n + 1, a + n}) u32(v);
            }
    };
    name("Mesh");
    name("Grid");
    tok(0x0a);
    tok(6), u32(1), u32(uint32_t(n * n));
    tok(7), u32(uint32_t(n * n * 3));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) f32(i * 0.01f), f32(float(std::sin(i * 0.1) * std::cos(j * 0.07))), f32(j * 0.01f);
    face_list();
    name("MeshNormals");
    tok(0x0a);
    tok(6), u32(1), u32(uint32_t(n * n));
    tok(7), u32(uint32_t(n * n * 3));
    for (int k = 0; k < n * n; ++k) f32(0.1f), f32(0.9f), f32(-0.1f);
    face_list();
    tok(0x0b);
    name("MeshTextureCoords");
    tok(0x0a);
    tok(6), u32(1), u32(uint32_t(n * n));
    tok(7), u32(uint32_t(n * n * 2));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) f32(i / float(n)), f32(j / float(n));
    tok(0x0b);
    tok(0x0b);
    return b;
}

struct Input {
    std::string name;
    Bytes bytes;
};

std::vector<Input>& Inputs() {
    static std::vector<Input> inputs;
    return inputs;
}

void LoadInputs() {
    Inputs().push_back({"generated_text_2.0MB", TextGrid(120)});
    Inputs().push_back({"generated_binary_1.6MB", BinaryGrid(150)});
    const std::filesystem::path dir = std::string(ORBSAVER_TESTDATA_DIR) + "/x";
    for (const char* f : {"Testwuson.X", "BCN_Epileptic.X", "anim_test.x", "fromtruespace_bin32.x", "teapot.x"}) {
        std::ifstream in(dir / f, std::ios::binary);
        if (!in) continue;
        Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Inputs().push_back({f, std::move(b)});
    }
}

void BM_LoadOurs(benchmark::State& state, const Input* in) {
    for (auto _ : state) {
        rm::MeshData mesh;
        std::string err;
        if (!rm::ParseXFile(in->bytes, mesh, err)) state.SkipWithError(err.c_str());
        benchmark::DoNotOptimize(mesh.positions.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in->bytes.size()));
}

void BM_LoadAssimp(benchmark::State& state, const Input* in) {
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFileFromMemory(in->bytes.data(), in->bytes.size(), 0, "x");
        if (!scene || scene->mNumMeshes == 0) state.SkipWithError("Assimp could not read the file");
        benchmark::DoNotOptimize(scene);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in->bytes.size()));
}

// ---------------------------------------------------------------------------------

// shiny: the material has a highlight (power 10), which the bare frame's shader
// does not draw; matte: power 0, the bare frame's own lighting.
rm::MeshData TexturedSphere(int rings, int segments, bool shiny = true) {
    rm::MeshData m;
    const float pi = std::numbers::pi_v<float>;
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s) {
            const float phi = pi * r / rings, th = 2 * pi * s / segments;
            m.positions.push_back({std::sin(phi) * std::cos(th), std::cos(phi), std::sin(phi) * std::sin(th)});
            m.uv.push_back(float(s) / segments);
            m.uv.push_back(float(r) / rings);
        }
    m.face_start.push_back(0);
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const uint32_t a = r * (segments + 1) + s, b = a + segments + 1;
            for (uint32_t v : {a, a + 1, b + 1}) m.corners.push_back({v, 0});
            m.face_start.push_back(uint32_t(m.corners.size()));
            for (uint32_t v : {a, b + 1, b}) m.corners.push_back({v, 0});
            m.face_start.push_back(uint32_t(m.corners.size()));
        }
    m.materials.resize(1);
    m.materials[0].power = shiny ? 10 : 0;
    m.materials[0].specular = {0.5f, 0.5f, 0.5f};
    m.face_material.assign(m.FaceCount(), 0);
    rm::GenerateNormals(m);
    return m;
}

struct RenderScene {
    std::unique_ptr<rm::OffscreenContext> context;
    std::unique_ptr<rm::Device> device;
    rm::Ref<rm::Frame> scene, camera, model;
    rm::Ref<rm::Viewport> view;
    rm::Image picture;  // the model's texture
    rm::Ref<rm::MeshBuilder> builder;
    bool shiny = true;
    bool ok = false;
    std::string error;

    RenderScene() {
        context = rm::OffscreenContext::Create(&error);
        if (!context) return;
        device = rm::Device::Create(800, 600, &error);
        if (!device) return;
        device->SetQuality(rm::kRenderGouraud);
        device->SetTextureQuality(rm::TextureQuality::Linear);
        scene = rm::Ref<rm::Frame>::Adopt(rm::Frame::Create(nullptr));
        camera = rm::Ref<rm::Frame>::Adopt(rm::Frame::Create(scene.get()));
        model = rm::Ref<rm::Frame>::Adopt(rm::Frame::Create(scene.get()));
        auto ambient = rm::Ref<rm::Light>::Adopt(rm::Light::Create(rm::LightType::Ambient, 0.2f, 0.2f, 0.2f));
        scene->AddLight(ambient.get());
        auto lf = rm::Ref<rm::Frame>::Adopt(rm::Frame::Create(scene.get()));
        lf->SetOrientation(scene.get(), {-30, -20, 0}, {0, 1, 0});
        auto sun = rm::Ref<rm::Light>::Adopt(rm::Light::Create(rm::LightType::Directional, 0.95f, 0.95f, 0.95f));
        lf->AddLight(sun.get());
        builder = rm::Ref<rm::MeshBuilder>::Adopt(rm::MeshBuilder::Create());
        builder->SetMesh(TexturedSphere(50, 100));  // 10,000 triangles
        picture.width = picture.height = 256;
        for (int i = 0; i < 256 * 256; ++i)
            picture.rgba.insert(picture.rgba.end(), {uint8_t(i), uint8_t(i >> 8), uint8_t(i * 7), 255});
        auto tex = rm::Ref<rm::Texture>::Adopt(rm::Texture::Create(picture));
        builder->SetTexture(tex.get());
        model->AddVisual(builder.get());
        model->SetPosition(scene.get(), {0, 0, 3});
        model->SetRotation(scene.get(), {0, 1, 0}, 0.02f);
        view = rm::Ref<rm::Viewport>::Adopt(rm::Viewport::Create(device.get(), camera.get(), 0, 0, 800, 600));
        view->SetBack(5000);
        ok = true;
    }
    ~RenderScene() {
        view.reset();
        device.reset();
    }
};

RenderScene* g_render = nullptr;

// CPU seconds of the whole process, the software renderer's threads included: on a
// loaded machine steadier than the wall clock, which counts the waits for a core.
double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void BM_EmptyFrame(benchmark::State& state) {
    if (!g_render->ok) return state.SkipWithError(g_render->error.c_str());
    for (auto _ : state) {
        g_render->view->Clear();
        g_render->device->Update();
        glFinish();
    }
}

void BM_ModelFrame(benchmark::State& state, bool shiny) {
    if (!g_render->ok) return state.SkipWithError(g_render->error.c_str());
    RenderScene& r = *g_render;
    if (r.shiny != shiny) {
        r.builder->SetMesh(TexturedSphere(50, 100, shiny));
        r.shiny = shiny;
    }
    auto frame = [&] {
        r.view->Clear();
        r.scene->Move(1.0f);
        r.view->Render(r.scene.get());
        r.device->Update();
        glFinish();
    };
    frame();  // the first frame uploads the mesh and the texture
    const uint64_t allocations = g_allocations.load();
    const uint64_t uploads = r.device->Uploads();
    const double cpu = ProcessCpuSeconds();
    for (auto _ : state) frame();
    state.counters["process_cpu_ms"] = (ProcessCpuSeconds() - cpu) * 1e3 / double(state.iterations());
    state.counters["allocs_per_frame"] =
        benchmark::Counter(double(g_allocations.load() - allocations) / double(state.iterations()));
    state.counters["uploads_after_first"] = double(r.device->Uploads() - uploads);
}

// The bare reference: what one draw call of the same triangles costs the GL.
const char* kBareVertex = R"(#version 330 core
layout(location = 0) in vec3 a_pos;
layout(location = 1) in vec3 a_normal;
layout(location = 2) in vec2 a_uv;
uniform mat4 u_model;
uniform mat4 u_viewproj;
uniform vec3 u_to_light;
out vec3 v_light;
out vec2 v_uv;
void main() {
    vec4 wp = u_model * vec4(a_pos, 1.0);
    gl_Position = u_viewproj * wp;
    vec3 n = normalize(mat3(u_model) * a_normal);
    v_light = vec3(0.2) + 0.95 * max(dot(n, u_to_light), 0.0) * vec3(0.8);
    v_uv = a_uv;
}
)";
const char* kBareFragment = R"(#version 330 core
in vec3 v_light;
in vec2 v_uv;
uniform sampler2D u_texture;
out vec4 o_color;
void main() { o_color = vec4(min(v_light, vec3(1.0)) * texture(u_texture, v_uv).rgb, 1.0); }
)";

struct BareFrame {
    GLuint fbo = 0, colour = 0, depth = 0, program = 0, vao = 0, vbo = 0, texture = 0;
    GLint model = -1, viewproj = -1, to_light = -1, sampler = -1;
    GLsizei vertices = 0;
    bool ok = false;

    BareFrame(const rm::MeshData& m, const rm::Image& pic) {
        auto compile = [](GLenum type, const char* src) {
            const GLuint sh = glCreateShader(type);
            glShaderSource(sh, 1, &src, nullptr);
            glCompileShader(sh);
            GLint done = 0;
            glGetShaderiv(sh, GL_COMPILE_STATUS, &done);
            return done ? sh : 0u;
        };
        const GLuint vs = compile(GL_VERTEX_SHADER, kBareVertex), fs = compile(GL_FRAGMENT_SHADER, kBareFragment);
        if (!vs || !fs) return;
        program = glCreateProgram();
        glAttachShader(program, vs);
        glAttachShader(program, fs);
        glLinkProgram(program);
        glDeleteShader(vs);
        glDeleteShader(fs);
        model = glGetUniformLocation(program, "u_model");
        viewproj = glGetUniformLocation(program, "u_viewproj");
        to_light = glGetUniformLocation(program, "u_to_light");
        sampler = glGetUniformLocation(program, "u_texture");
        // The triangles' corners, as the 3D layer expands them: position, normal, uv.
        std::vector<float> data;
        for (size_t f = 0; f + 1 < m.face_start.size(); ++f)
            for (uint32_t k = m.face_start[f] + 1; k + 1 < m.face_start[f + 1]; ++k)
                for (uint32_t c : {m.face_start[f], k, k + 1}) {
                    const rm::FaceCorner fc = m.corners[c];
                    const rm::Vec3 p = m.positions[fc.vertex], n = m.normals[fc.normal];
                    data.insert(data.end(), {p.x, p.y, p.z, n.x, n.y, n.z, m.uv[fc.vertex * 2], m.uv[fc.vertex * 2 + 1]});
                }
        vertices = GLsizei(data.size() / 8);
        glGenVertexArrays(1, &vao);
        glBindVertexArray(vao);
        glGenBuffers(1, &vbo);
        glBindBuffer(GL_ARRAY_BUFFER, vbo);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(data.size() * sizeof(float)), data.data(), GL_STATIC_DRAW);
        for (GLuint a = 0; a < 3; ++a) glEnableVertexAttribArray(a);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 32, nullptr);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 32, reinterpret_cast<void*>(12));
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, 32, reinterpret_cast<void*>(24));
        glBindVertexArray(0);
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, pic.width, pic.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pic.rgba.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        // The same target as the 3D layer's: RGBA8 and a 24-bit depth buffer.
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glGenRenderbuffers(1, &colour);
        glBindRenderbuffer(GL_RENDERBUFFER, colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 800, 600);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        glGenRenderbuffers(1, &depth);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, 800, 600);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
        ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    ~BareFrame() {
        glDeleteFramebuffers(1, &fbo);
        glDeleteRenderbuffers(1, &colour);
        glDeleteRenderbuffers(1, &depth);
        glDeleteBuffers(1, &vbo);
        glDeleteVertexArrays(1, &vao);
        glDeleteTextures(1, &texture);
        glDeleteProgram(program);
    }
    void Draw(const rm::Mat4& world, const rm::Mat4& viewproj_matrix) {
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glViewport(0, 0, 800, 600);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glFrontFace(GL_CW);
        glEnable(GL_CULL_FACE);
        glUseProgram(program);
        glUniformMatrix4fv(model, 1, GL_FALSE, &world.m[0][0]);
        glUniformMatrix4fv(viewproj, 1, GL_FALSE, &viewproj_matrix.m[0][0]);
        const rm::Vec3 l = rm::Normalize({30, 20, 0});
        glUniform3f(to_light, l.x, l.y, l.z);
        glUniform1i(sampler, 0);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, texture);
        glBindVertexArray(vao);
        glDrawArrays(GL_TRIANGLES, 0, vertices);
        glBindVertexArray(0);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glFrontFace(GL_CCW);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
};

void BM_BareFrame(benchmark::State& state) {
    if (!g_render->ok) return state.SkipWithError(g_render->error.c_str());
    RenderScene& r = *g_render;
    BareFrame bare(TexturedSphere(50, 100), r.picture);
    if (!bare.ok) return state.SkipWithError("the bare frame's target or shader could not be made");
    const rm::Mat4 viewproj = rm::Multiply(rm::InverseAffine(r.camera->World()), r.view->ProjectionMatrix());
    auto frame = [&] {
        r.scene->Move(1.0f);  // the same pose as the 3D layer's frame, turned the same way
        bare.Draw(r.model->World(), viewproj);
        glFinish();
    };
    frame();
    const double cpu = ProcessCpuSeconds();
    for (auto _ : state) frame();
    state.counters["process_cpu_ms"] = (ProcessCpuSeconds() - cpu) * 1e3 / double(state.iterations());
}

// Collects the runs so the summary can give ratios: CPU time for loading (steadier
// on a shared machine; both loaders run on this thread alone), real time for frames
// (the software renderer draws on threads of its own).
class Collector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds;  // per iteration
    std::map<std::string, double> processCpuMs;  // per frame, all threads
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            // A single run, or the median of repetitions.
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            if (r.error_occurred || (r.run_type != Run::RT_Iteration && !median)) continue;
            const double unit = r.time_unit == benchmark::kMillisecond   ? 1e-3
                                : r.time_unit == benchmark::kMicrosecond ? 1e-6
                                                                         : 1e-9;
            const std::string name = r.run_name.str();
            const bool frame = name.rfind("render/", 0) == 0;
            seconds[name] = (frame ? r.GetAdjustedRealTime() : r.GetAdjustedCPUTime()) * unit;
            if (const auto c = r.counters.find("process_cpu_ms"); c != r.counters.end())
                processCpuMs[name] = c->second.value;
        }
    }
};

long PeakRssKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

long CurrentRssKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Peak memory of reading and loading a generated 10 MB text file, relative to the
// file's size. The peak counter is reset just before, so only the load counts.
void PeakMemory() {
    const std::string path = (std::filesystem::temp_directory_path() / "bench_rm_10mb.x").string();
    {
        const Bytes big = TextGrid(260);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(big.data()), std::streamsize(big.size()));
    }
    const double mb = double(std::filesystem::file_size(path)) / 1e6;
    std::ofstream("/proc/self/clear_refs") << "5";
    const long base = CurrentRssKb(), before = PeakRssKb();
    long peak;
    {
        auto b = rm::Ref<rm::MeshBuilder>::Adopt(rm::MeshBuilder::Create());
        std::string err;
        if (!b->Load(path, &err)) std::printf("peak memory: load failed: %s\n", err.c_str());
        peak = PeakRssKb();
    }
    std::filesystem::remove(path);
    if (before > base + 1024) {
        std::printf("peak memory: cannot reset the peak counter here; not measured\n");
        return;
    }
    const double used = double(peak - base) / 1024 * 1.048576;
    std::printf("peak memory loading a %.1f MB text X file: %.1f MB above the start, %.2f times the file\n", mb,
                used, used / mb);
}

}  // namespace

int main(int argc, char** argv) {
    PeakMemory();
    bench_rm::PrintFormatPeakMemory();
    LoadInputs();
    for (const Input& in : Inputs()) {
        benchmark::RegisterBenchmark(("load/ours/" + in.name).c_str(), BM_LoadOurs, &in)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("load/assimp/" + in.name).c_str(), BM_LoadAssimp, &in)->Unit(benchmark::kMillisecond);
    }
    bench_rm::RegisterFormatBenchmarks();
    RenderScene render;
    g_render = &render;
    benchmark::RegisterBenchmark("render/empty_800x600", BM_EmptyFrame)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("render/model_10k_textured_800x600", BM_ModelFrame, true)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("render/model_10k_textured_matte_800x600", BM_ModelFrame, false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("render/bare_10k_textured_800x600", BM_BareFrame)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);

    std::printf("\nsummary\n");
    for (const Input& in : Inputs()) {
        const auto ours = collector.seconds.find("load/ours/" + in.name);
        const auto theirs = collector.seconds.find("load/assimp/" + in.name);
        if (ours == collector.seconds.end() || theirs == collector.seconds.end()) continue;
        const double mb = double(in.bytes.size()) / 1e6;
        std::printf("  %-28s %6.2f MB  ours %8.1f MB/s  assimp %8.1f MB/s  ratio %5.2f\n", in.name.c_str(), mb,
                    mb / ours->second, mb / theirs->second, theirs->second / ours->second);
    }
    bench_rm::PrintFormatSummary(collector.seconds);
    const auto empty = collector.seconds.find("render/empty_800x600");
    const auto model = collector.seconds.find("render/model_10k_textured_800x600");
    const auto bare = collector.seconds.find("render/bare_10k_textured_800x600");
    if (empty != collector.seconds.end() && model != collector.seconds.end())
        std::printf("  frame 800x600: empty %.3f ms, 10k textured Gouraud %.3f ms, ratio %.2f\n", empty->second * 1e3,
                    model->second * 1e3, model->second / empty->second);
    if (bare != collector.seconds.end() && model != collector.seconds.end())
        std::printf("  frame 800x600: ours %.3f ms, bare (one buffer, one draw call) %.3f ms, ours / bare %.2f\n",
                    model->second * 1e3, bare->second * 1e3, model->second / bare->second);
    const auto matte = collector.seconds.find("render/model_10k_textured_matte_800x600");
    if (bare != collector.seconds.end() && matte != collector.seconds.end())
        std::printf("  frame 800x600, matte material: ours %.3f ms, bare %.3f ms, ours / bare %.2f\n",
                    matte->second * 1e3, bare->second * 1e3, matte->second / bare->second);
    const auto bareCpu = collector.processCpuMs.find("render/bare_10k_textured_800x600");
    for (const char* name : {"render/model_10k_textured_800x600", "render/model_10k_textured_matte_800x600"}) {
        const auto oursCpu = collector.processCpuMs.find(name);
        if (oursCpu == collector.processCpuMs.end() || bareCpu == collector.processCpuMs.end()) continue;
        std::printf("  process CPU a frame (every thread), %s: ours %.3f ms, bare %.3f ms, ours / bare %.2f\n",
                    std::strstr(name, "matte") ? "matte" : "shiny", oursCpu->second, bareCpu->second,
                    oursCpu->second / bareCpu->second);
    }
    benchmark::Shutdown();
    return 0;
}
