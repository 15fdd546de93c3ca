// Drawing through an off-screen OpenGL context (Mesa's software renderer does):
// the viewport's fit and defaults, culling and handedness, the lighting formula,
// flat and Gouraud shading, the cylindrical wrap, backgrounds, the look-at camera,
// golden pictures, and that steady frames allocate and upload nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <numbers>
#include <vector>

#include "platform/gl/gl_api.h"

#include "alloc_counter.h"
#include "platform/rm/device.h"
#include "platform/rm/frame.h"
#include "platform/rm/light.h"
#include "platform/rm/mesh_builder.h"
#include "platform/rm/offscreen.h"
#include "platform/rm/overlay2d.h"
#include "platform/rm/png_io.h"
#include "platform/rm/wrap.h"
#include "tests/platform_rm/run_tool.h"
#include "tests/support/temp_folder.h"

namespace rm = platform::rm;
using rm::Ref;
using rm::Vec3;

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

template <class T>
Ref<T> Adopt(T* p) {
    return Ref<T>::Adopt(p);
}

// A latitude-longitude sphere (or, with flat_caps, an open cylinder) around the
// origin, faces wound clockwise as seen from outside.
rm::MeshData Sphere(int rings, int segments, float radius) {
    rm::MeshData m;
    for (int r = 0; r <= rings; ++r) {
        const float phi = kPi * float(r) / float(rings);
        for (int s = 0; s <= segments; ++s) {
            const float th = 2 * kPi * float(s) / float(segments);
            m.positions.push_back({radius * std::sin(phi) * std::cos(th), radius * std::cos(phi),
                                   radius * std::sin(phi) * std::sin(th)});
        }
    }
    m.face_start.push_back(0);
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const uint32_t a = r * (segments + 1) + s, b = a + segments + 1;
            for (uint32_t v : {a, a + 1, b + 1, b}) m.corners.push_back({v, 0});
            m.face_start.push_back(uint32_t(m.corners.size()));
        }
    m.uv.assign(m.positions.size() * 2, 0.0f);
    m.face_material.assign(m.FaceCount(), rm::kNoMaterial);
    rm::GenerateNormals(m);
    return m;
}

rm::MeshData Cylinder(int segments, float radius, float y0, float y1) {
    rm::MeshData m;
    for (int s = 0; s <= segments; ++s) {
        const float th = 2 * kPi * float(s) / float(segments);
        m.positions.push_back({radius * std::cos(th), y1, radius * std::sin(th)});
        m.positions.push_back({radius * std::cos(th), y0, radius * std::sin(th)});
    }
    m.face_start.push_back(0);
    for (int s = 0; s < segments; ++s) {
        const uint32_t a = 2 * s;
        for (uint32_t v : {a, a + 2, a + 3, a + 1}) m.corners.push_back({v, 0});
        m.face_start.push_back(uint32_t(m.corners.size()));
    }
    m.uv.assign(m.positions.size() * 2, 0.0f);
    m.face_material.assign(m.FaceCount(), rm::kNoMaterial);
    rm::GenerateNormals(m);
    return m;
}

// A square in the plane z = z0, facing -z (toward a camera at the origin) when
// clockwise is true.
rm::MeshData Square(float half, float z0, bool clockwise, rm::XMaterial material = {}) {
    rm::MeshData m;
    m.positions = {{-half, half, z0}, {half, half, z0}, {half, -half, z0}, {-half, -half, z0}};
    m.face_start = {0, 4};
    if (clockwise) m.corners = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
    else m.corners = {{3, 0}, {2, 0}, {1, 0}, {0, 0}};
    m.uv = {0, 0, 1, 0, 1, 1, 0, 1};
    m.materials = {material};
    m.face_material = {0};
    rm::GenerateNormals(m);
    return m;
}

struct Rgb {
    int r, g, b;
};

Rgb At(const rm::Image& img, int x, int y) {
    const uint8_t* p = &img.rgba[(size_t(y) * img.width + x) * 4];
    return {p[0], p[1], p[2]};
}

void ExpectRgb(Rgb got, Rgb want, int tol, const char* where) {
    EXPECT_NEAR(got.r, want.r, tol) << where;
    EXPECT_NEAR(got.g, want.g, tol) << where;
    EXPECT_NEAR(got.b, want.b, tol) << where;
}

class Render : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string err;
        context_ = rm::OffscreenContext::Create(&err).release();
        if (!context_) reason_ = err;
    }
    static void TearDownTestSuite() {
        delete context_;
        context_ = nullptr;
    }
    void SetUp() override {
        if (!context_) GTEST_SKIP() << "no off-screen OpenGL context: " << reason_;
        ASSERT_TRUE(context_->MakeCurrent());
    }

    // A scene root with a camera at the origin looking along +z, and a viewport.
    void MakeScene(int w, int h) {
        std::string err;
        device = rm::Device::Create(w, h, &err);
        ASSERT_TRUE(device) << err;
        device->SetQuality(rm::kRenderGouraud);
        scene = Adopt(rm::Frame::Create(nullptr));
        camera = Adopt(rm::Frame::Create(scene.get()));
        model = Adopt(rm::Frame::Create(scene.get()));
        view = Adopt(rm::Viewport::Create(device.get(), camera.get(), 0, 0, w, h));
        ASSERT_TRUE(view);
    }
    void TearDown() override {
        view.reset();
        device.reset();
    }
    Ref<rm::MeshBuilder> AddModel(rm::MeshData mesh, rm::Frame* where = nullptr) {
        auto b = Adopt(rm::MeshBuilder::Create());
        b->SetMesh(std::move(mesh));
        (where ? where : model.get())->AddVisual(b.get());
        return b;
    }
    void AddLights(float ambient, float directional, Vec3 direction) {
        auto a = Adopt(rm::Light::Create(rm::LightType::Ambient, ambient, ambient, ambient));
        scene->AddLight(a.get());
        auto lf = Adopt(rm::Frame::Create(scene.get()));
        ASSERT_TRUE(lf->SetOrientation(scene.get(), direction, std::fabs(direction.y) > 0.9f ? Vec3{1, 0, 0} : Vec3{0, 1, 0}));
        auto d = Adopt(rm::Light::Create(rm::LightType::Directional, directional, directional, directional));
        lf->AddLight(d.get());
    }
    rm::Image Frame() {
        rm::Image img;
        EXPECT_TRUE(view->Clear());
        EXPECT_TRUE(view->Render(scene.get()));
        EXPECT_TRUE(device->Update());
        EXPECT_TRUE(device->ReadPixels(img));
        return img;
    }
    // Compares with tests/platform_rm/golden/NAME.png; ORBSAVER_UPDATE_GOLDEN=1 rewrites it.
    void ExpectGolden(const rm::Image& img, const std::string& name) {
        const std::string path = std::string(ORBSAVER_SOURCE_DIR) + "/tests/platform_rm/golden/" + name + ".png";
        if (std::getenv("ORBSAVER_UPDATE_GOLDEN")) {
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            ASSERT_TRUE(rm::WritePng(path, img));
        }
        rm::Image ref;
        std::string err;
        ASSERT_TRUE(rm::ReadPng(path, ref, &err)) << path << ": " << err;
        ASSERT_EQ(ref.width, img.width);
        ASSERT_EQ(ref.height, img.height);
        size_t off = 0;
        double total = 0;
        for (size_t i = 0; i < img.rgba.size(); ++i) {
            if (i % 4 == 3) continue;
            const int d = std::abs(int(img.rgba[i]) - int(ref.rgba[i]));
            total += d;
            if (d > 8) ++off;
        }
        const size_t samples = img.rgba.size() / 4 * 3;
        EXPECT_LT(total / double(samples), 1.0) << name << ": mean difference too large";
        EXPECT_LT(double(off) / double(samples), 0.005) << name << ": " << off << " samples differ by more than 8";
    }

    static inline rm::OffscreenContext* context_ = nullptr;
    static inline std::string reason_;
    std::unique_ptr<rm::Device> device;
    Ref<rm::Frame> scene, camera, model;
    Ref<rm::Viewport> view;
};

}  // namespace

TEST_F(Render, ViewportDefaultsAndLimits) {
    MakeScene(64, 48);
    EXPECT_FLOAT_EQ(0.5f, view->GetField());
    EXPECT_FLOAT_EQ(1.0f, view->GetFront());
    EXPECT_FLOAT_EQ(100.0f, view->GetBack());
    EXPECT_EQ(rm::Projection::Perspective, view->GetProjection());
    EXPECT_FALSE(view->SetField(0));
    EXPECT_FALSE(view->SetFront(-1));
    EXPECT_FALSE(view->SetBack(1));
    EXPECT_TRUE(view->SetBack(5000));
    EXPECT_FLOAT_EQ(5000.0f, view->GetBack());
    EXPECT_EQ(nullptr, rm::Viewport::Create(device.get(), camera.get(), 0, 0, 65, 48));  // larger than the device
}

TEST_F(Render, SquareOfTheFieldFitsTheLargerSide) {
    for (auto [w, h] : {std::pair{640, 480}, std::pair{480, 640}}) {
        MakeScene(w, h);
        float x, y;
        // At depth 1 (the front plane) the field's half-size 0.5 reaches the edge
        // of the larger side; the smaller side shows less.
        ASSERT_TRUE(view->ProjectPoint({0.5f, 0, 1}, &x, &y));
        EXPECT_NEAR(w >= h ? float(w) : w / 2.0f + h / 2.0f, x, 1e-3f);
        ASSERT_TRUE(view->ProjectPoint({0, 0.5f, 1}, &x, &y));
        EXPECT_NEAR(w >= h ? h / 2.0f - w / 2.0f : 0.0f, y, 1e-3f);
        ASSERT_TRUE(view->ProjectPoint({0, 0.375f, 1}, &x, &y));
        if (w == 640) {
            EXPECT_NEAR(0.0f, y, 1e-3f);  // 4:3 shows +-0.375 vertically
        }
        EXPECT_FALSE(view->ProjectPoint({0, 0, 0.5f}, &x, &y));  // in front of the front plane
        // The rendered picture agrees with the projection: a square at depth 2 of
        // half-size 0.5 covers exactly half the larger side.
        AddModel(Square(0.5f, 2, true));
        device->SetQuality(0x80);  // unlit: plain white
        const rm::Image img = Frame();
        const int m = std::max(w, h);
        int lit = 0;
        for (int i = 0; i < w; ++i) lit += At(img, i, h / 2).r > 128;
        EXPECT_NEAR(m / 2, lit, 2) << w << "x" << h;
        TearDown();
    }
}

TEST_F(Render, HandednessAndClockwiseFrontFaces) {
    MakeScene(64, 64);
    device->SetQuality(0x80);
    rm::XMaterial red;
    red.face[1] = red.face[2] = 0;
    auto right = Adopt(rm::Frame::Create(scene.get()));
    right->SetPosition(scene.get(), {1.5f, 0, 4});
    AddModel(Square(0.5f, 0, true, red), right.get());
    auto up = Adopt(rm::Frame::Create(scene.get()));
    up->SetPosition(scene.get(), {0, 1.5f, 4});
    AddModel(Square(0.5f, 0, true), up.get());
    auto hidden = Adopt(rm::Frame::Create(scene.get()));
    hidden->SetPosition(scene.get(), {-1.5f, 0, 4});
    AddModel(Square(0.5f, 0, false), hidden.get());  // counter-clockwise: its back faces us
    const rm::Image img = Frame();
    ExpectRgb(At(img, 56, 32), {255, 0, 0}, 0, "+x is on the right");
    ExpectRgb(At(img, 32, 8), {255, 255, 255}, 0, "+y is up");
    ExpectRgb(At(img, 8, 32), {0, 0, 0}, 0, "a counter-clockwise face is culled");
}

TEST_F(Render, EachFaceKeepsItsOwnMaterialWhateverTheOrder) {
    MakeScene(90, 30);
    device->SetQuality(0x80);
    // Three unit squares side by side at depth 3: materials 1, none, 0.
    rm::MeshData m;
    m.face_start = {0};
    for (int i = 0; i < 3; ++i) {
        const float x = -1.5f + i;
        const uint32_t b = uint32_t(m.positions.size());
        m.positions.insert(m.positions.end(), {{x, 0.5f, 3}, {x + 1, 0.5f, 3}, {x + 1, -0.5f, 3}, {x, -0.5f, 3}});
        for (uint32_t k = 0; k < 4; ++k) m.corners.push_back({b + k, 0});
        m.face_start.push_back(uint32_t(m.corners.size()));
    }
    m.uv.assign(m.positions.size() * 2, 0.0f);
    m.materials.resize(2);
    m.materials[0].face[1] = m.materials[0].face[2] = 0;  // red
    m.materials[1].face[0] = m.materials[1].face[1] = 0;  // blue
    m.face_material = {1, rm::kNoMaterial, 0};
    rm::GenerateNormals(m);
    AddModel(std::move(m));
    const rm::Image img = Frame();
    ExpectRgb(At(img, 15, 15), {0, 0, 255}, 0, "first face: material 1");
    ExpectRgb(At(img, 45, 15), {255, 255, 255}, 0, "second face: no material, white");
    ExpectRgb(At(img, 75, 15), {255, 0, 0}, 0, "third face: material 0");
}

TEST_F(Render, LightingFormulaOnAFaceSeenHeadOn) {
    MakeScene(128, 128);
    AddLights(0.2f, 0.5f, {0, 0, 1});  // shines along +z, straight onto the squares
    rm::XMaterial mat;
    mat.face[0] = 1, mat.face[1] = 0.5f, mat.face[2] = 0.25f;
    AddModel(Square(2, 3, true, mat));
    // emissive 0 + colour x (ambient + N.L x light), light levels as stored bytes.
    const float level = (51 + 127) / 255.0f;
    ExpectRgb(At(Frame(), 64, 64), {int(255 * level), int(127 * level), int(63 * level)}, 2, "lit");

    // Emissive adds; specular with the viewer straight on adds the full light. The
    // square is small so that its corners, where Gouraud shading lights it, also
    // see the highlight head on.
    rm::XMaterial shiny;
    shiny.face[0] = shiny.face[1] = shiny.face[2] = 0.2f;
    shiny.emissive = {0.1f, 0, 0};
    shiny.specular = {0, 0.5f, 0};
    shiny.power = 20;
    auto front = Adopt(rm::Frame::Create(scene.get()));
    AddModel(Square(0.1f, 2.5f, true, shiny), front.get());
    const rm::Image lit = Frame();
    const float c = 51 / 255.0f * level;
    ExpectRgb(At(lit, 64, 64), {int(255 * (0.1f + c)), int(255 * (c + 0.5f * 127 / 255.0f)), int(255 * c)}, 2,
              "emissive and specular");

    // A light from behind the faces adds nothing.
    AddLights(0, 0.9f, {0, 0, -1});
    ExpectRgb(At(Frame(), 64, 64), At(lit, 64, 64), 1, "light from behind");

    // Lighting off: the plain face colour.
    device->SetQuality(0x80);
    ExpectRgb(At(Frame(), 64, 64), {int(0.2f * 255), int(0.2f * 255), int(0.2f * 255)}, 1, "unlit");
}

TEST_F(Render, FlatAndGouraudSphereGolden) {
    MakeScene(160, 120);
    camera->SetPosition(scene.get(), {0, 0, -4});
    AddLights(0.2f, 0.95f, {-1, -0.5f, 1});
    AddModel(Sphere(12, 16, 1.2f));
    const rm::Image gouraud = Frame();
    device->SetQuality(rm::kRenderFlat);
    const rm::Image flat = Frame();
    // The light comes from the upper right: that side is the bright one.
    EXPECT_GT(At(gouraud, 110, 45).r, At(gouraud, 50, 75).r + 60);
    EXPECT_GT(At(flat, 110, 45).r, At(flat, 50, 75).r + 60);
    // Flat shading gives one colour per face: far fewer distinct values along a row.
    auto distinct = [](const rm::Image& img) {
        std::vector<bool> seen(256);
        int n = 0;
        for (int x = 0; x < img.width; ++x) {
            const int v = At(img, x, img.height / 2).r;
            if (!seen[v]) seen[v] = true, ++n;
        }
        return n;
    };
    EXPECT_LT(distinct(flat), distinct(gouraud) / 2);
    ExpectGolden(gouraud, "sphere_gouraud");
    ExpectGolden(flat, "sphere_flat");
}

TEST_F(Render, CylindricalWrapPutsTheTextureRightSideUp) {
    MakeScene(160, 120);
    camera->SetPosition(scene.get(), {0, 0, -5});
    device->SetQuality(0x80);  // unlit, so the texture shows as it is
    auto b = AddModel(Cylinder(32, 1, -1, 1));
    b->SetColorRGB(1, 1, 1);
    // Top half of the picture red, bottom half blue; the second quarter (u from
    // 0.25 to 0.5) green, to see where u runs.
    rm::Image pic;
    pic.width = 8, pic.height = 8;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool top = y < 4, left = x >= 2 && x < 4;
            pic.rgba.insert(pic.rgba.end(), {uint8_t(left ? 0 : top ? 255 : 0), uint8_t(left ? 255 : 0),
                                             uint8_t(left ? 0 : top ? 0 : 255), 255});
        }
    auto tex = Adopt(rm::Texture::Create(pic));
    rm::Box box;
    ASSERT_TRUE(b->GetBox(&box));
    const float h = box.max.y - box.min.y;
    rm::WrapParams p;
    p.type = rm::WrapType::Cylinder;
    p.direction = {0, 1, 0};
    p.up = {0, 0, 1};
    p.ov = box.min.y / h;
    p.sv = -1 / h;
    ASSERT_TRUE(Adopt(rm::Wrap::Create(p))->Apply(b.get()));
    b->SetTexture(tex.get());
    const rm::Image img = Frame();
    ExpectRgb(At(img, 95, 45), {255, 0, 0}, 0, "upper part shows the top of the picture");
    ExpectRgb(At(img, 95, 75), {0, 0, 255}, 0, "lower part shows the bottom");
    // u = 0 is the up vector (+z, the back); it grows toward -x, so u 0.25 to 0.5 is
    // the left half of the front and the picture is not mirrored. The seam is at
    // the back, out of sight.
    ExpectRgb(At(img, 70, 45), {0, 255, 0}, 0, "second quarter on the left of the front");
    ExpectRgb(At(img, 70, 75), {0, 255, 0}, 0, "second quarter on the left of the front");
    ExpectRgb(At(img, 90, 45), {255, 0, 0}, 0, "third quarter on the right of the front");
    ExpectGolden(img, "cylinder_wrap");
}

TEST_F(Render, BackgroundColourAndStretchedImage) {
    MakeScene(40, 30);
    scene->SetSceneBackgroundRGB(1.0f, 128 / 256.0f, 255 / 256.0f);
    camera->SetSceneBackgroundRGB(0, 1, 0);  // the camera's own background is not used
    ExpectRgb(At(Frame(), 5, 5), {255, 127, 254}, 0, "scene background, truncated to bytes");
    rm::Image pic;
    pic.width = 2, pic.height = 2;
    pic.rgba = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    auto tex = Adopt(rm::Texture::Create(pic));
    scene->SetSceneBackgroundImage(tex.get());
    const rm::Image img = Frame();
    ExpectRgb(At(img, 1, 1), {255, 0, 0}, 0, "top left");
    ExpectRgb(At(img, 38, 1), {0, 255, 0}, 0, "top right");
    ExpectRgb(At(img, 1, 28), {0, 0, 255}, 0, "bottom left");
    ExpectRgb(At(img, 38, 28), {255, 255, 255}, 0, "bottom right");
    ExpectGolden(img, "background_image");
    // Clear(0) leaves the picture as it was.
    scene->SetSceneBackgroundImage(nullptr);
    ASSERT_TRUE(view->Clear(0));
    ASSERT_TRUE(device->Update());
    rm::Image kept;
    ASSERT_TRUE(device->ReadPixels(kept));
    ExpectRgb(At(kept, 1, 1), {255, 0, 0}, 0, "untouched");
}

TEST_F(Render, LookAtCameraCentresTheModelGolden) {
    MakeScene(160, 120);
    ASSERT_TRUE(view->SetBack(5000));
    AddLights(0.2f, 0.95f, {-30, -20, 0});
    // The saver's default view: camera at (0, 15, -15) looking at the model.
    model->SetPosition(scene.get(), {3, 1, 2});
    AddModel(Sphere(10, 14, 2));
    camera->SetPosition(scene.get(), {0, 15, -15});
    ASSERT_TRUE(camera->LookAt(model.get(), scene.get()));
    float x, y;
    ASSERT_TRUE(view->ProjectPoint({3, 1, 2}, &x, &y));
    EXPECT_NEAR(80, x, 0.01);
    EXPECT_NEAR(60, y, 0.01);
    const rm::Image img = Frame();
    EXPECT_GT(At(img, 80, 60).r, 40);
    ExpectRgb(At(img, 5, 5), {0, 0, 0}, 0, "corner is background");
    ExpectGolden(img, "lookat_sphere");
}

TEST_F(Render, SteadyFramesAllocateAndUploadNothing) {
    MakeScene(80, 60);
    AddLights(0.2f, 0.9f, {0, -1, 1});
    auto b = AddModel(Sphere(8, 8, 1));
    rm::Image pic;
    pic.width = pic.height = 2;
    pic.rgba.assign(16, 200);
    auto tex = Adopt(rm::Texture::Create(pic));
    b->SetTexture(tex.get());
    scene->SetSceneBackgroundImage(tex.get());
    auto spin = [&] {
        EXPECT_TRUE(view->Clear());
        scene->Move(1.0f);
        EXPECT_TRUE(view->Render(scene.get()));
        EXPECT_TRUE(device->Update());
    };
    model->SetRotation(scene.get(), {0, 1, 0}, 0.1f);
    spin();
    const uint64_t uploads = device->Uploads();
    EXPECT_EQ(2u, uploads);  // the mesh and the texture, once each
    // The software renderer compiles its own shader variants (allocating) over the
    // first frames of a fresh process; steady frames come after.
    spin();
    spin();
    const uint64_t before = AllocationCount();
    for (int i = 0; i < 300; ++i) spin();
    if (AllocationCounting()) {
        EXPECT_EQ(before, AllocationCount()) << "a steady frame allocated";
    } else {
        std::printf("allocations are not counted in this build (address sanitizer)\n");
    }
    EXPECT_EQ(uploads, device->Uploads());
    // A changed texture is uploaded again, once.
    tex->Replace(pic);
    spin();
    spin();
    EXPECT_EQ(uploads + 1, device->Uploads());
}

TEST_F(Render, AntialiasSoftensEdgesAndTextureFilterIsHonoured) {
    MakeScene(64, 64);
    device->SetQuality(0x80);
    auto turned = Adopt(rm::Frame::Create(scene.get()));
    turned->SetPosition(scene.get(), {0, 0, 3});
    turned->AddTransform(rm::Combine::Before, rm::RotationMatrix({0, 0, 1}, 0.3f));
    AddModel(Square(0.6f, 0, true), turned.get());
    auto greys = [](const rm::Image& img) {
        int n = 0;
        for (size_t i = 0; i < img.rgba.size(); i += 4) n += img.rgba[i] > 10 && img.rgba[i] < 245;
        return n;
    };
    EXPECT_EQ(0, greys(Frame()));
    ASSERT_TRUE(device->SetAntialias(true));
    EXPECT_GT(greys(Frame()), 20);
    ASSERT_TRUE(device->SetAntialias(false));

    // A 2x1 black and white texture across the square: nearest gives two flat
    // halves, linear a ramp between them.
    auto b = AddModel(Square(1, 2, true));
    rm::Image pic;
    pic.width = 2, pic.height = 1;
    pic.rgba = {0, 0, 0, 255, 255, 255, 255, 255};
    auto tex = Adopt(rm::Texture::Create(pic));
    b->SetTexture(tex.get());
    turned->AddTransform(rm::Combine::Replace, rm::Mat4{});  // out of the way, behind the camera
    turned->SetPosition(scene.get(), {0, 0, -10});
    device->SetTextureQuality(rm::TextureQuality::Nearest);
    EXPECT_EQ(0, greys(Frame()));
    device->SetTextureQuality(rm::TextureQuality::Linear);
    EXPECT_GT(greys(Frame()), 100);
}

TEST_F(Render, ModelToolRendersTheDefaultViewWithoutADisplay) {
    TempFolder dir;
    // A 4 x 4 x 4 box at the origin: the default camera at (0, 15, -15) sees its top
    // and front, lit from the upper right.
    std::ofstream(dir.path() / "box.x") << R"(xof 0303txt 0032
Mesh { 8; -2;-2;-2;, 2;-2;-2;, 2;2;-2;, -2;2;-2;, -2;-2;2;, 2;-2;2;, 2;2;2;, -2;2;2;;
  6; 4;0,3,2,1;, 4;4,5,6,7;, 4;0,4,7,3;, 4;1,2,6,5;, 4;3,7,6,2;, 4;0,1,5,4;; })";
    const std::string out = dir.File("box.png");
    ASSERT_EQ(0, RunModelTool({"render", dir.File("box.x"), out, "96x72"}));
    rm::Image img;
    std::string err;
    ASSERT_TRUE(rm::ReadPng(out, img, &err)) << err;
    EXPECT_EQ(96, img.width);
    EXPECT_EQ(72, img.height);
    ExpectRgb(At(img, 2, 2), {0, 0, 0}, 0, "black background");
    const Rgb centre = At(img, 48, 36);
    EXPECT_GT(centre.r, 40) << "the box is in the middle of the view";
    EXPECT_EQ(centre.r, centre.b) << "white model, white light";
    std::ofstream(dir.path() / "bad.x") << "xof 0303txt 0032 Mesh { 3; 0;0;0;";
    EXPECT_EQ(1, RunModelTool({"render", dir.File("bad.x"), out}));
}

TEST_F(Render, PresentStretchesOntoWhicheverFramebufferIsBound) {
    MakeScene(8, 6);
    scene->SetSceneBackgroundRGB(0, 1, 0);
    Frame();
    // The host's framebuffer (a window's, a GtkGLArea's): here one of the test's own,
    // twice the size, bound for drawing before Present as a host would.
    GLuint fbo = 0, rb = 0;
    glGenFramebuffers(1, &fbo);
    glGenRenderbuffers(1, &rb);
    glBindRenderbuffer(GL_RENDERBUFFER, rb);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 16, 12);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    device->Present(0, 0, 16, 12);
    GLint bound = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(GLint(fbo), bound) << "the host's binding is left as it was";
    uint8_t px[16 * 12 * 4];
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glReadPixels(0, 0, 16, 12, GL_RGBA, GL_UNSIGNED_BYTE, px);
    for (int i : {0, 16 * 6 + 8, 16 * 12 - 1}) {
        EXPECT_EQ(0, px[i * 4]) << i;
        EXPECT_EQ(255, px[i * 4 + 1]) << i;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &fbo);
    glDeleteRenderbuffers(1, &rb);
}

namespace {

// A picture whose every column has its own colour: red and green from the column.
rm::Picture Striped(int width, int height, std::vector<uint8_t>& pixels) {
    pixels.resize(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(size_t(y) * width + x) * 4];
            p[0] = uint8_t(x * 7), p[1] = uint8_t(x >> 8), p[2] = uint8_t(y * 30), p[3] = 255;
        }
    rm::Picture pic;
    pic.id = 7;
    pic.version = 1;
    pic.width = width;
    pic.height = height;
    pic.rgba = pixels.data();
    return pic;
}

}  // namespace

// A picture wider than the GL's largest texture (a long message in a large font) is
// drawn from pieces, the columns exactly where one texture would put them; drawing
// it no longer leaves a black band where the upload failed.
TEST_F(Render, PicturesWiderThanTheLargestTextureAreDrawnInPieces) {
    MakeScene(256, 40);
    scene->SetSceneBackgroundRGB(0, 0, 1);
    auto pictures = rm::Overlay2D::Create();
    ASSERT_TRUE(pictures);
    const int piece = pictures->MaxPiece();
    std::vector<uint8_t> pixels;
    const rm::Picture pic = Striped(2 * piece + 300, 8, pixels);
    EXPECT_TRUE(view->Clear());
    EXPECT_TRUE(device->Update());
    // The far end of the picture, one to one, and a stretch of twice across the
    // boundary between the first two pieces.
    pictures->Draw(*device, pic, pic.width - 256, 0, 256, 8, 0, 4, 256, 8);
    pictures->Draw(*device, pic, piece - 64, 0, 128, 8, 0, 20, 256, 8);
    EXPECT_EQ(pictures->Uploads(), 3u);  // three pieces, once each
    rm::Image img;
    ASSERT_TRUE(device->ReadPixels(img));
    for (int x = 0; x < 256; ++x) {
        const int far = pic.width - 256 + x, across = piece - 64 + x / 2;
        ExpectRgb(At(img, x, 6), {uint8_t(far * 7), uint8_t(far >> 8), 60}, 0, "far end");
        ExpectRgb(At(img, x, 22), {uint8_t(across * 7), uint8_t(across >> 8), 60}, 0, "across");
    }
    ExpectRgb(At(img, 100, 35), {0, 0, 255}, 0, "below the pictures the frame is as it was");
    // Drawing again uploads nothing; a new version uploads every piece once more.
    pictures->Draw(*device, pic, 0, 0, 256, 8, 0, 4, 256, 8);
    EXPECT_EQ(pictures->Uploads(), 3u);
}

// Pieces of any size show the same picture as one texture does, one to one and
// stretched.
TEST_F(Render, SmallPiecesShowTheSamePicture) {
    MakeScene(200, 60);
    scene->SetSceneBackgroundRGB(0.5f, 0, 0);
    std::vector<uint8_t> pixels;
    rm::Picture pic = Striped(300, 50, pixels);
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = uint8_t(i % 255);  // alpha too
    auto draw = [&](int maxPiece) {
        auto pictures = rm::Overlay2D::Create(maxPiece);
        EXPECT_TRUE(view->Clear());
        EXPECT_TRUE(device->Update());
        pictures->Draw(*device, pic, 37, 3, 200, 40, 0, 0, 200, 40);
        // Stretched twice: no pixel's centre falls on the edge of a texel, where the
        // rounding of one texture's coordinates and a piece's may differ.
        pictures->Draw(*device, pic, 10, 0, 90, 25, 10, 10, 180, 50);
        rm::Image img;
        EXPECT_TRUE(device->ReadPixels(img));
        return img;
    };
    const rm::Image one = draw(0), pieces = draw(16);
    ASSERT_EQ(one.rgba.size(), pieces.rgba.size());
    size_t differ = 0;
    for (size_t i = 0; i < one.rgba.size(); ++i) differ += one.rgba[i] != pieces.rgba[i];
    EXPECT_EQ(differ, 0u);
}

// The lighting shader's variants light alike: one light drawn by the variant for
// exactly one, or among others that add nothing; a material whose highlight has no
// colour drawn matte; each in Gouraud and flat shading, with a texture.
TEST_F(Render, EveryVariantOfTheLightingShaderLightsAlike) {
    auto draw = [&](uint32_t quality, bool secondLight, rm::Vec3 specular) {
        MakeScene(96, 96);
        device->SetQuality(quality);
        AddLights(0.2f, 0.8f, {-0.5f, -0.6f, 1});
        if (secondLight) {
            auto lf = Adopt(rm::Frame::Create(scene.get()));
            lf->SetOrientation(scene.get(), {0, 0, 1}, {0, 1, 0});
            auto dark = Adopt(rm::Light::Create(rm::LightType::Directional, 0, 0, 0));
            lf->AddLight(dark.get());
        }
        rm::MeshData mesh = Sphere(24, 24, 1);
        mesh.materials.resize(1);
        mesh.materials[0].power = 12;
        mesh.materials[0].specular = specular;
        mesh.face_material.assign(mesh.FaceCount(), 0);
        auto b = AddModel(std::move(mesh));
        rm::Image pic;
        pic.width = pic.height = 2;
        pic.rgba = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
        auto tex = Adopt(rm::Texture::Create(pic));
        b->SetTexture(tex.get());
        model->SetPosition(scene.get(), {0, 0, 3});
        return Frame();
    };
    for (uint32_t quality : {rm::kRenderGouraud, rm::kRenderFlat}) {
        const rm::Image shiny = draw(quality, false, {0.6f, 0.6f, 0.6f});
        const rm::Image withDark = draw(quality, true, {0.6f, 0.6f, 0.6f});
        const rm::Image matte = draw(quality, false, {0, 0, 0});
        const rm::Image matteWithDark = draw(quality, true, {0, 0, 0});
        int lit = 0, highlight = 0;
        for (size_t i = 0; i < shiny.rgba.size(); ++i) {
            ASSERT_NEAR(shiny.rgba[i], withDark.rgba[i], 1) << "quality " << quality << " byte " << i;
            ASSERT_NEAR(matte.rgba[i], matteWithDark.rgba[i], 1) << "quality " << quality << " byte " << i;
            lit += matte.rgba[i] > 40;
            highlight += shiny.rgba[i] > matte.rgba[i] + 20;
        }
        EXPECT_GT(lit, 500);
        EXPECT_GT(highlight, 20) << "the shiny material shows a highlight";
    }
}

// Drawing into the window's framebuffer needs one with a depth buffer as deep as
// the back buffer's; an off-screen context has none, and anti-aliasing needs the
// device's own buffer: both are refused, and the frame is drawn as before.
TEST_F(Render, DrawingIntoAWindowIsRefusedWhereItCannotBeAsGood) {
    MakeScene(32, 32);
    scene->SetSceneBackgroundRGB(0, 1, 0);
    EXPECT_FALSE(device->SetDrawIntoWindow(true));
    EXPECT_FALSE(device->DrawsIntoWindow());
    ExpectRgb(At(Frame(), 16, 16), {0, 255, 0}, 0, "drawn into the device's own buffer");
    EXPECT_TRUE(device->SetDrawIntoWindow(false));
    device->SetAntialias(true);
    EXPECT_FALSE(device->SetDrawIntoWindow(true));
    ExpectRgb(At(Frame(), 16, 16), {0, 255, 0}, 0, "anti-aliased, into its own buffer");
}

// The device's own buffer is made for the first frame drawn off screen, at the
// device's size then (a device that draws into the window never holds one); a device
// that has one makes it again at once when resized, and keeps it when the new size
// cannot be had.
TEST_F(Render, TheOwnBufferIsMadeForTheFirstFrameDrawnOffScreenAtTheSizeThen) {
    auto liveRenderbuffers = [] {
        int live = 0;
        for (GLuint name = 1; name < 512; ++name) live += glIsRenderbuffer(name) ? 1 : 0;
        return live;
    };
    MakeScene(16, 16);
    EXPECT_EQ(0, liveRenderbuffers()) << "a new device holds no buffer";
    scene->SetSceneBackgroundRGB(0, 1, 0);
    ASSERT_TRUE(device->Resize(24, 20));
    EXPECT_EQ(0, liveRenderbuffers());
    rm::Image img = Frame();
    EXPECT_EQ(2, liveRenderbuffers()) << "colour and depth";
    EXPECT_EQ(24, img.width);
    EXPECT_EQ(20, img.height);
    ExpectRgb(At(img, 8, 8), {0, 255, 0}, 0, "drawn at the size asked for before the first frame");

    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    EXPECT_FALSE(device->Resize(largest + 1, 16));
    ASSERT_TRUE(device->Resize(32, 16));
    scene->SetSceneBackgroundRGB(0, 0, 1);
    img = Frame();
    EXPECT_EQ(32, img.width);
    EXPECT_EQ(16, img.height);
    ExpectRgb(At(img, 8, 8), {0, 0, 255}, 0, "drawn at the new size");
    EXPECT_EQ(2, liveRenderbuffers()) << "the buffer of the old size is given back";
}
