// The frame update and the keyframe playback.
#include "engine/frame.h"

#include <algorithm>
#include <cmath>

#include "engine/device.h"
#include "engine/overlay_canvas.h"
#include "settings/view_state.h"
#include "sprites/surface_set.h"

namespace engine {

namespace rm = platform::rm;

namespace {

constexpr double kPi = 3.14159265358979323846;

rm::Vec3 Vec(const double v[3]) {
    return {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
}

bool IsZero(const double v[3]) {
    return IsZeroVector(v[0], v[1], v[2]);
}

int TableOf(const settings::SceneSettings& s) {
    return (s.AN_NUM >= 0 && s.AN_NUM < settings::kStepTables) ? s.AN_NUM : 0;
}

}  // namespace

PathPlayer& ThePathPlayer() {
    static PathPlayer player;
    return player;
}

AppliedPlacement& TheAppliedPlacement() {
    static AppliedPlacement applied;
    return applied;
}

void ForgetAppliedOrientation() {
    for (std::int32_t& v : TheAppliedPlacement().orientation) v = 201;
}

bool IsZeroVector(double x, double y, double z) {
    // "The integer part of the squared length plus 0.05 is 0", judged in floating
    // point: the sum is at least 0.05, so that is a sum below 1. A vector of huge
    // components (the hundredths of a hostile float saturate) would overflow any
    // integer; one that is not a number counts as zero and orients nothing.
    const double sum = x * x + y * y + z * z + 0.05;
    return !(sum >= 1.0);
}

void ApplyRotationSpeeds(Scene& scene, const settings::SceneSettings& s,
                         AppliedPlacement& applied) {
    const std::int32_t speeds[3] = {s.ROT_X, s.ROT_Y, s.ROT_Z};
    rm::Frame* frames[3] = {scene.AxisXFrame, scene.AxisYFrame, scene.AxisZFrame};
    const rm::Frame* refs[3] = {scene.SceneFrame, scene.AxisXFrame, scene.AxisYFrame};
    const rm::Vec3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int i = 0; i < 3; ++i) {
        if (speeds[i] == applied.rotation[i] || !frames[i]) continue;
        const float angle = static_cast<float>(speeds[i] * 0.04 * kPi / 180.0);
        frames[i]->SetRotation(refs[i], axes[i], angle);
        applied.rotation[i] = speeds[i];
    }
}

void PlaceManually(Scene& scene, const settings::SceneSettings& s, AppliedPlacement& applied) {
    const std::int32_t camera[3] = {s.CM_X, s.CM_Y, s.CM_Z};
    if (camera[0] != applied.camera[0] || camera[1] != applied.camera[1] ||
        camera[2] != applied.camera[2]) {
        scene.CameraFrame->SetPosition(scene.SceneFrame, {static_cast<float>(camera[0] * 0.5),
                                                          static_cast<float>(camera[1] * 0.5),
                                                          static_cast<float>(camera[2] * 0.5)});
        for (int i = 0; i < 3; ++i) applied.camera[i] = camera[i];
    }
    const std::int32_t object[3] = {s.OJ_X, s.OJ_Y, s.OJ_Z};
    if (object[0] != applied.object[0] || object[1] != applied.object[1] ||
        object[2] != applied.object[2]) {
        scene.AxisXFrame->SetPosition(scene.SceneFrame, {static_cast<float>(object[0] * 0.5),
                                                         static_cast<float>(object[1] * 0.5),
                                                         static_cast<float>(object[2] * 0.5)});
        for (int i = 0; i < 3; ++i) applied.object[i] = object[i];
    }
    if (s.L_AT == 1) {
        scene.CameraFrame->LookAt(scene.ModelFrame, scene.SceneFrame);
        return;
    }
    const std::int32_t* d = s.directionHundredths;
    const std::int32_t* u = s.upHundredths;
    const std::int32_t wanted[6] = {d[0], d[1], d[2], u[0], u[1], u[2]};
    bool differs = false;
    for (int i = 0; i < 6; ++i) differs |= wanted[i] != applied.orientation[i];
    if (!differs) return;
    if (IsZeroVector(d[0], d[1], d[2]) && IsZeroVector(u[0], u[1], u[2])) return;
    scene.CameraFrame->SetOrientation(
        scene.SceneFrame,
        {static_cast<float>(d[0]), static_cast<float>(d[1]), static_cast<float>(d[2])},
        {static_cast<float>(u[0]), static_cast<float>(u[1]), static_cast<float>(u[2])});
    for (int i = 0; i < 6; ++i) applied.orientation[i] = wanted[i];
}

void PlayKeyframes(Scene& scene, const settings::SceneSettings& s, PathPlayer& p) {
    const int t = TableOf(s);
    const settings::StepTable& table = s.AN_VEC;
    // A negative frame count (only a damaged table has one) is taken as 0, so the
    // row is shown once instead of holding the path for ever.
    if (p.framesLeft <= 0) {
        if (p.rowIndex < 0 || p.rowIndex >= settings::kStepRowsPerTable) p.rowIndex = 0;
        p.currentRow = p.rowIndex;
        p.nextRow = p.rowIndex + 1;
        if (p.nextRow == settings::kStepRowsPerTable || table.Row(t, p.nextRow).valid == 0) {
            p.nextRow = 0;
        }
        p.rowIndex = p.nextRow;
        const settings::StepRow& cur = table.Row(t, p.currentRow);
        const settings::StepRow& next = table.Row(t, p.nextRow);
        p.framesLeft = cur.frames > 0 ? cur.frames : 0;
        const int curCamera[3] = {cur.cameraX, cur.cameraY, cur.cameraZ};
        const int nextCamera[3] = {next.cameraX, next.cameraY, next.cameraZ};
        const int curObject[3] = {cur.objectX, cur.objectY, cur.objectZ};
        const int nextObject[3] = {next.objectX, next.objectY, next.objectZ};
        const int curDir[3] = {cur.directionX, cur.directionY, cur.directionZ};
        const int nextDir[3] = {next.directionX, next.directionY, next.directionZ};
        const int curUp[3] = {cur.upX, cur.upY, cur.upZ};
        const int nextUp[3] = {next.upX, next.upY, next.upZ};
        p.currentLookAt = cur.lookAt;
        p.nextLookAt = next.lookAt;
        for (int i = 0; i < 3; ++i) {
            p.cameraPos[i] = curCamera[i] * 0.5;
            p.objectPos[i] = curObject[i] * 0.5;
            if (p.currentLookAt == 0 || p.nextLookAt == 0) {
                p.direction[i] = curDir[i];
                p.up[i] = curUp[i];
            }
            if (p.framesLeft > 0) {
                const double n = p.framesLeft;
                p.cameraStep[i] = (nextCamera[i] - curCamera[i]) / n * 0.5;
                p.objectStep[i] = (nextObject[i] - curObject[i]) / n * 0.5;
                p.directionStep[i] = (nextDir[i] - curDir[i]) / n;
                p.upStep[i] = (nextUp[i] - curUp[i]) / n;
            }
        }
    } else {
        for (int i = 0; i < 3; ++i) {
            p.cameraPos[i] += p.cameraStep[i];
            p.objectPos[i] += p.objectStep[i];
        }
        --p.framesLeft;
    }

    scene.CameraFrame->SetPosition(scene.SceneFrame, Vec(p.cameraPos));
    scene.AxisXFrame->SetPosition(scene.SceneFrame, Vec(p.objectPos));

    const bool lookAtBoth = p.currentLookAt == 1 && p.nextLookAt == 1;
    const bool zeroAndLookAt = IsZero(p.direction) && IsZero(p.up) && p.currentLookAt == 1;
    const bool previousLookAt = p.currentRow > 0 && table.Row(t, p.currentRow - 1).lookAt != 0;
    if (lookAtBoth || zeroAndLookAt) {
        scene.CameraFrame->LookAt(scene.ModelFrame, scene.SceneFrame);
    } else if (previousLookAt) {
        // The first row after a look-at row keeps the orientation it was left with.
    } else {
        // A zero direction or up leaves the orientation as it is.
        scene.CameraFrame->SetOrientation(scene.SceneFrame, Vec(p.direction), Vec(p.up));
        for (int i = 0; i < 3; ++i) {
            p.direction[i] += p.directionStep[i];
            p.up[i] += p.upStep[i];
        }
    }
}

void CaptureCameraOrientation(const Scene& scene, settings::SceneSettings& s) {
    rm::Vec3 dir, up;
    scene.CameraFrame->GetOrientation(scene.SceneFrame, &dir, &up);
    s.COZ[0] = dir.x;
    s.COZ[1] = dir.y;
    s.COZ[2] = dir.z;
    s.COY[0] = up.x;
    s.COY[1] = up.y;
    s.COY[2] = up.z;
}

void LookAtModel() {
    Scene& scene = TheScene();
    if (scene.CameraFrame && scene.ModelFrame) scene.CameraFrame->LookAt(scene.ModelFrame, scene.SceneFrame);
}

void ReadCameraOrientation(settings::SceneSettings& s) {
    const Scene& scene = TheScene();
    if (scene.CameraFrame && scene.SceneFrame) CaptureCameraOrientation(scene, s);
    settings::RefreshHundredths(s);
}

void ForgetAppliedPlacement() {
    AppliedPlacement& a = TheAppliedPlacement();
    for (int i = 0; i < 3; ++i) a.rotation[i] = a.camera[i] = a.object[i] = 0;
}

bool ResetFrameVelocities() {
    Scene& scene = TheScene();
    rm::Frame* frames[4] = {scene.AxisXFrame, scene.AxisYFrame, scene.AxisZFrame, scene.ModelFrame};
    for (rm::Frame* f : frames) {
        if (f) f->SetVelocity(f->Parent(), {0, 0, 0}, false);
    }
    return true;
}

bool UpdateFrame() {
    RenderDevice& d = Device();
    Scene& scene = TheScene();
    settings::SceneSettings& s = settings::Settings();
    if (!d.running || (!d.appActive && !d.windowed)) return false;
    if (!d.viewport || !scene.SceneFrame) return false;

    ApplyRotationSpeeds(scene, s, TheAppliedPlacement());
    RestoreLostSurfaces();
    if (settings::View().mode == settings::SaverMode::Saver)
        sprites::RefreshSpriteSurfaces(sprites::TheSurfaceSet());
    if (s.ANIME == 1) {
        PlayKeyframes(scene, s, ThePathPlayer());
    } else {
        PlaceManually(scene, s, TheAppliedPlacement());
    }

    const settings::ViewState& view = settings::View();
    d.surface->MakeCurrent();
    // A window exactly the frame's size is drawn into directly: the present then
    // copies nothing (with a software GL that copy costs more than a small scene).
    int w = 0, h = 0;
    d.surface->DrawableSize(&w, &h);
    d.rmDevice->SetDrawIntoWindow(d.surface->DrawsIntoTheWindowItself() && w == d.modeWidth &&
                                  h == d.modeHeight);
    d.viewport->ForceUpdate(0, 0, view.ViewWidth, view.ViewHeight);
    if (!d.viewport->Clear()) {
        ReleaseRenderDevice();
        return false;
    }
    scene.SceneFrame->Move(1.0f);
    if (!d.viewport->Render(scene.SceneFrame) || !d.rmDevice->Update()) {
        ReleaseRenderDevice();
        return false;
    }
    if (d.pictures) {
        DeviceCanvas canvas(*d.rmDevice, *d.pictures);
        DrawOverlays(canvas, platform::TimeGetTime());
    }
    PresentFrame();
    CaptureCameraOrientation(scene, s);
    return true;
}

}  // namespace engine
