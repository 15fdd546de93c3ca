// Building and releasing the scene.
#include "engine/scene.h"

#include <cstdio>
#include <string>

#include "engine/device.h"
#include "platform/report/report.h"
#include "settings/scene_settings.h"

namespace engine {

namespace rm = platform::rm;

namespace {

template <class T>
void ReleaseAndClear(T*& object) {
    if (object) {
        object->Release();
        object = nullptr;
    }
}

void Place(rm::Frame* frame, const rm::Frame* ref) {
    frame->SetPosition(ref, {0, 0, 0});
    frame->SetOrientation(ref, {0, 0, 1}, {0, 1, 0});
}

// A file that cannot be read leaves its part of the scene empty; a word on stderr
// tells the user why the model or picture is missing.
void Report(const char* what, const std::string& path, const std::string& error) {
    platform::Report(std::string("orbsaver: ") + what + " " + path + ": " + error);
}

// Loads a picture named by a stored path; null, with a word on stderr when asked,
// when it cannot be read.
rm::Texture* LoadTexture(const char* stored, const char* what) {
    const settings::SceneSettings& s = settings::Settings();
    rm::Texture* texture = nullptr;
    std::string error, shown;
    settings::OpenStoredPath(
        stored, s.keyboardCodePage,
        [&](const std::string& name) {
            std::string e;
            texture = rm::Texture::Load(name, &e);
            if (error.empty()) error = e;  // the converted name's reason is the one shown
            return texture != nullptr;
        },
        &shown);
    if (!texture && what) Report(what, shown, error);
    return texture;
}

}  // namespace

Scene& TheScene() {
    static Scene scene;
    return scene;
}

void BackgroundColour(std::uint32_t c, float* r, float* g, float* b) {
    *r = static_cast<float>((c & 0xFF) / 256.0);
    *g = static_cast<float>(((c >> 8) & 0xFF) / 256.0);
    *b = static_cast<float>(((c >> 16) & 0xFF) / 256.0);
}

void BuildSceneObjects(Scene& scene) {
    const settings::SceneSettings& s = settings::Settings();

    scene.SceneFrame = rm::Frame::Create(nullptr);
    scene.CameraFrame = rm::Frame::Create(scene.SceneFrame);
    Place(scene.CameraFrame, scene.SceneFrame);

    const float ambient = static_cast<float>(s.LT_AMB * 0.01);
    rm::Light* ambientLight = rm::Light::Create(rm::LightType::Ambient, ambient, ambient, ambient);
    scene.SceneFrame->AddLight(ambientLight);
    ambientLight->Release();

    rm::Frame* lightFrame = rm::Frame::Create(scene.SceneFrame);
    const float direct = static_cast<float>(s.LT_DIR * 0.01);
    rm::Light* light = rm::Light::Create(rm::LightType::Directional, direct, direct, direct);
    lightFrame->SetOrientation(scene.SceneFrame, {-30, -20, 0}, {0, 1, 0});
    lightFrame->AddLight(light);
    light->Release();

    scene.AxisXFrame = rm::Frame::Create(scene.SceneFrame);
    scene.AxisYFrame = rm::Frame::Create(scene.AxisXFrame);
    scene.AxisZFrame = rm::Frame::Create(scene.AxisYFrame);
    scene.ModelFrame = rm::Frame::Create(scene.AxisZFrame);

    lightFrame->SetPosition(scene.SceneFrame, {2, 0, 22});
    lightFrame->Release();

    Place(scene.AxisXFrame, scene.SceneFrame);
    Place(scene.AxisYFrame, scene.AxisXFrame);
    Place(scene.AxisZFrame, scene.AxisYFrame);
    Place(scene.ModelFrame, scene.AxisZFrame);

    scene.ModelBuilder = rm::MeshBuilder::Create();
    std::string error, shown;
    const bool loaded = settings::OpenStoredPath(
        s.X_NM, s.keyboardCodePage,
        [&](const std::string& name) {
            std::string e;
            const bool ok = scene.ModelBuilder->Load(name, &e);
            if (error.empty()) error = e;
            return ok;
        },
        &shown);
    if (!loaded) Report("cannot load the model", shown, error);

    if (s.ORIG == 0) {
        scene.ModelBuilder->SetColorRGB(1, 1, 1);
        rm::Box box;
        scene.ModelBuilder->GetBox(&box);
        const float h = box.max.y - box.min.y;
        // A model without height cannot be wrapped round its Y axis.
        if (h > 0) {
            rm::WrapParams p;
            p.type = rm::WrapType::Cylinder;
            p.origin = {0, 0, 0};
            p.direction = {0, 1, 0};
            p.up = {0, 0, 1};
            p.ou = 0;
            p.ov = box.min.y / h;
            p.su = 1;
            p.sv = -1 / h;
            scene.ModelWrap = rm::Wrap::Create(p, nullptr);
            scene.ModelWrap->Apply(scene.ModelBuilder);
        }
        scene.ModelTexture = LoadTexture(s.TEX_NM, "cannot load the texture");
        scene.ModelBuilder->SetTexture(scene.ModelTexture);
    }

    scene.ModelFrame->AddVisual(scene.ModelBuilder);
    scene.CameraFrame->LookAt(scene.ModelFrame, scene.SceneFrame);

    // The background picture is read in every build, used only when asked for.
    if (s.IMAGE_NM[0]) {
        scene.BackgroundTexture =
            LoadTexture(s.IMAGE_NM, s.USE_I == 1 ? "cannot load the background image" : nullptr);
    }
    if (s.USE_I == 1) {
        scene.SceneFrame->SetSceneBackgroundImage(scene.BackgroundTexture);
    } else {
        float r, g, b;
        BackgroundColour(s.COLOR, &r, &g, &b);
        scene.SceneFrame->SetSceneBackgroundRGB(r, g, b);
    }
}

bool BuildScene() {
    Scene& scene = TheScene();
    BuildSceneObjects(scene);
    CreateDeviceViewport(scene.CameraFrame);
    SetDeviceRunning(1);
    return true;
}

void ReleaseScene(Scene& scene) {
    ReleaseAndClear(scene.ModelBuilder);
    ReleaseAndClear(scene.CameraFrame);
    ReleaseAndClear(scene.ModelFrame);
    ReleaseAndClear(scene.AxisZFrame);
    ReleaseAndClear(scene.AxisYFrame);
    ReleaseAndClear(scene.AxisXFrame);
    ReleaseAndClear(scene.ModelWrap);
    ReleaseAndClear(scene.ModelTexture);
    ReleaseAndClear(scene.BackgroundTexture);
    ReleaseAndClear(scene.SceneFrame);
}

void ReleaseScene() { ReleaseScene(TheScene()); }

}  // namespace engine
