// The scene: a fixed tree of frames with the lights, the model and the camera,
// built from the settings on the running render device.
#pragma once

#include "platform/rm/frame.h"
#include "platform/rm/light.h"
#include "platform/rm/mesh_builder.h"
#include "platform/rm/texture.h"
#include "platform/rm/wrap.h"

namespace engine {

// Each object holds one reference of ours, or is null.
struct Scene {
    platform::rm::Frame* SceneFrame = nullptr;
    platform::rm::Frame* CameraFrame = nullptr;
    platform::rm::Frame* AxisXFrame = nullptr;
    platform::rm::Frame* AxisYFrame = nullptr;
    platform::rm::Frame* AxisZFrame = nullptr;
    platform::rm::Frame* ModelFrame = nullptr;
    platform::rm::MeshBuilder* ModelBuilder = nullptr;
    platform::rm::Wrap* ModelWrap = nullptr;
    platform::rm::Texture* ModelTexture = nullptr;
    platform::rm::Texture* BackgroundTexture = nullptr;
};

Scene& TheScene();

// Builds the scene from the settings; the device is marked running at the end.
// Always succeeds: a model or picture that cannot be read leaves its part empty.
bool BuildScene();
// Builds only the frames, lights, model and background (no device, no viewport).
void BuildSceneObjects(Scene& scene);
// Releases whatever exists; harmless to repeat.
void ReleaseScene();
void ReleaseScene(Scene& scene);

// The background colour of a COLORREF: each byte divided by 256.
void BackgroundColour(std::uint32_t colorref, float* r, float* g, float* b);

}  // namespace engine
