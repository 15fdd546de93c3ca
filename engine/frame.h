// One frame: rotation speeds handed to the axis frames when they change, the camera
// and object placed by hand or by keyframe playback of a step table, the render,
// the present, and the camera's orientation read back into the settings.
#pragma once

#include <cstdint>

#include "engine/scene.h"
#include "settings/scene_settings.h"

namespace engine {

// Where keyframe playback stands. Kept across scene rebuilds.
struct PathPlayer {
    int rowIndex = 0;
    int currentRow = 0;
    int nextRow = 0;
    int framesLeft = 0;
    double cameraPos[3] = {};
    double objectPos[3] = {};
    double direction[3] = {};
    double up[3] = {};
    double cameraStep[3] = {};
    double objectStep[3] = {};
    double directionStep[3] = {};
    double upStep[3] = {};
    int currentLookAt = 0;
    int nextLookAt = 0;
};

// The last values handed to the scene, so that unchanged ones are not sent again.
struct AppliedPlacement {
    std::int32_t rotation[3] = {};
    std::int32_t camera[3] = {};
    std::int32_t object[3] = {};
    // Manual orientation: direction then up, in hundredths. 201 is a value no
    // hundredth can take, so the next frame applies the orientation anew.
    std::int32_t orientation[6] = {201, 201, 201, 201, 201, 201};
};

PathPlayer& ThePathPlayer();
AppliedPlacement& TheAppliedPlacement();

// Marks the manual orientation as never applied (every load of the settings).
void ForgetAppliedOrientation();

// A vector counts as zero when its squared length is below 0.95; one with a
// component that is not a number counts as zero too.
bool IsZeroVector(double x, double y, double z);

// The parts of a frame that move things, on plain objects: the rotation speeds
// handed over, manual placement and keyframe playback.
void ApplyRotationSpeeds(Scene& scene, const settings::SceneSettings& s, AppliedPlacement& applied);
void PlaceManually(Scene& scene, const settings::SceneSettings& s, AppliedPlacement& applied);
void PlayKeyframes(Scene& scene, const settings::SceneSettings& s, PathPlayer& player);
// Reads the camera's direction and up relative to the scene into COZ and COY.
void CaptureCameraOrientation(const Scene& scene, settings::SceneSettings& s);

// On the process-wide scene, for the configuration pages; each does nothing while
// there is no scene. The camera turns to the model at once (the Z constraint).
void LookAtModel();
// The camera's orientation into COZ and COY, and their hundredths refreshed.
void ReadCameraOrientation(settings::SceneSettings& s);
// The rotation, camera and object parts of AppliedPlacement become 0, so that the
// next frame hands every setting to new frames again (after a rebuild).
void ForgetAppliedPlacement();

// Sets the velocity of the axis frames and the model frame to zero.
bool ResetFrameVelocities();
// One frame of the running device; false when the device is not running or a
// render call failed (the device is then released).
bool UpdateFrame();

}  // namespace engine
