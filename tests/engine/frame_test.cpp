// The frame update's motion without a display: rotation speeds, manual placement and
// keyframe playback of step tables on the scene's frames.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/frame.h"
#include "engine/scene.h"

using namespace engine;
namespace rm = platform::rm;

namespace {

class Motion : public ::testing::Test {
protected:
    void SetUp() override {
        settings::InitialiseSettings(s, "/d/", 1252);
        std::memset(&s.AN_VEC, 0, sizeof s.AN_VEC);
        scene.SceneFrame = rm::Frame::Create(nullptr);
        scene.CameraFrame = rm::Frame::Create(scene.SceneFrame);
        scene.AxisXFrame = rm::Frame::Create(scene.SceneFrame);
        scene.AxisYFrame = rm::Frame::Create(scene.AxisXFrame);
        scene.AxisZFrame = rm::Frame::Create(scene.AxisYFrame);
        scene.ModelFrame = rm::Frame::Create(scene.AxisZFrame);
        scene.CameraFrame->SetOrientation(scene.SceneFrame, {0, 0, 1}, {0, 1, 0});
        s.ANIME = 1;
    }
    void TearDown() override { ReleaseScene(scene); }

    settings::StepRow& Row(int r, int t = 0) { return s.AN_VEC.Row(t, r); }
    void SetRow(int r, int x, int y, int z, int frames, int lookAt, int t = 0) {
        settings::StepRow& row = Row(r, t);
        row.cameraX = static_cast<std::int8_t>(x);
        row.cameraY = static_cast<std::int8_t>(y);
        row.cameraZ = static_cast<std::int8_t>(z);
        row.frames = frames;
        row.lookAt = static_cast<std::uint8_t>(lookAt);
        row.valid = 1;
    }
    rm::Vec3 Camera() const { return scene.CameraFrame->GetPosition(scene.SceneFrame); }
    // The camera's x over the next n frames of playback.
    std::vector<float> PlayX(int n) {
        std::vector<float> xs;
        for (int i = 0; i < n; ++i) {
            PlayKeyframes(scene, s, player);
            xs.push_back(Camera().x);
        }
        return xs;
    }
    void Direction(rm::Vec3* dir, rm::Vec3* up) const {
        scene.CameraFrame->GetOrientation(scene.SceneFrame, dir, up);
    }

    settings::SceneSettings s;
    Scene scene;
    PathPlayer player;
    AppliedPlacement applied;
};

}  // namespace

TEST(ZeroVector, SquaredLengthBelowNinetyFiveHundredthsIsZero) {
    EXPECT_TRUE(IsZeroVector(0, 0, 0));
    EXPECT_TRUE(IsZeroVector(0.5, 0.5, 0.5));   // 0.75 + 0.05 < 1
    EXPECT_FALSE(IsZeroVector(0.6, 0.6, 0.6));  // 1.08
    EXPECT_FALSE(IsZeroVector(1, 0, 0));
    EXPECT_FALSE(IsZeroVector(0, -1, 0));
}

// A hostile store can hold any float in COZ and COY; their hundredths saturate at the
// ends of the 32-bit range, and the squared length of such a vector is far outside
// what an integer holds.
TEST(ZeroVector, HugeAndNonFiniteComponentsAreJudgedWithoutOverflow) {
    constexpr double kMin = -2147483648.0, kMax = 2147483647.0;
    EXPECT_FALSE(IsZeroVector(kMin, kMin, kMin));
    EXPECT_FALSE(IsZeroVector(kMax, 0, 0));
    EXPECT_FALSE(IsZeroVector(1e300, 1e300, 0));
    EXPECT_FALSE(IsZeroVector(INFINITY, 0, 0));
    EXPECT_FALSE(IsZeroVector(0, -INFINITY, 0));
    // Not a length at all: counted as zero, so nothing is oriented by it.
    EXPECT_TRUE(IsZeroVector(NAN, 0, 0));
    // Just below and at the threshold.
    EXPECT_TRUE(IsZeroVector(std::sqrt(0.9499), 0, 0));
    EXPECT_FALSE(IsZeroVector(std::sqrt(0.9501), 0, 0));
}

TEST_F(Motion, ARowOfNFramesLastsNPlusOneAndEndsOnTheNextKeyframe) {
    SetRow(0, 0, 0, 0, 2, 0);
    SetRow(1, 10, 0, 0, 0, 0);
    EXPECT_EQ(PlayX(9), (std::vector<float>{0, 2.5f, 5, 5, 0, 2.5f, 5, 5, 0}));
}

TEST_F(Motion, ARowOnItsOwnHoldsItsKeyframe) {
    SetRow(0, 8, 6, -4, 5, 0);
    for (float x : PlayX(12)) EXPECT_FLOAT_EQ(x, 4);
    EXPECT_FLOAT_EQ(Camera().y, 3);
    EXPECT_FLOAT_EQ(Camera().z, -2);
}

TEST_F(Motion, ATableWithoutUsedRowsStandsAtTheOrigin) {
    s.AN_NUM = 3;
    scene.CameraFrame->SetPosition(scene.SceneFrame, {5, 5, 5});
    scene.AxisXFrame->SetPosition(scene.SceneFrame, {1, 1, 1});
    PlayX(3);
    EXPECT_FLOAT_EQ(Camera().x, 0);
    EXPECT_FLOAT_EQ(Camera().z, 0);
    EXPECT_FLOAT_EQ(scene.AxisXFrame->GetPosition(scene.SceneFrame).y, 0);
}

TEST_F(Motion, AfterTheLastOfAHundredRowsComesRowZero) {
    for (int r = 0; r < 100; ++r) SetRow(r, r, 0, 0, 0, 0);
    const auto xs = PlayX(102);
    EXPECT_FLOAT_EQ(xs[99], 49.5f);
    EXPECT_FLOAT_EQ(xs[100], 0);
    EXPECT_FLOAT_EQ(xs[101], 0.5f);
}

TEST_F(Motion, ObjectFollowsTheSameStepsAsTheCamera) {
    SetRow(0, 0, 0, 0, 4, 0);
    Row(0).objectY = 0;
    SetRow(1, 0, 0, 0, 0, 0);
    Row(1).objectY = 8;
    std::vector<float> ys;
    for (int i = 0; i < 5; ++i) {
        PlayKeyframes(scene, s, player);
        ys.push_back(scene.AxisXFrame->GetPosition(scene.SceneFrame).y);
    }
    EXPECT_EQ(ys, (std::vector<float>{0, 1, 2, 3, 4}));
}

TEST_F(Motion, ExplicitOrientationStepsAfterItIsApplied) {
    SetRow(0, 0, 0, -10, 2, 0);
    Row(0).directionX = 0;
    Row(0).directionZ = 100;
    Row(0).upY = 100;
    SetRow(1, 0, 0, -10, 0, 0);
    Row(1).directionX = 100;
    Row(1).directionZ = 0;
    Row(1).upY = 100;
    rm::Vec3 dir, up;
    PlayKeyframes(scene, s, player);
    Direction(&dir, &up);
    EXPECT_NEAR(dir.x, 0, 1e-5);
    EXPECT_NEAR(dir.z, 1, 1e-5);
    PlayKeyframes(scene, s, player);
    Direction(&dir, &up);  // (50, 0, 50): halfway
    EXPECT_NEAR(dir.x, std::sqrt(0.5), 1e-5);
    PlayKeyframes(scene, s, player);
    Direction(&dir, &up);
    EXPECT_NEAR(dir.x, 1, 1e-5);
    EXPECT_NEAR(dir.z, 0, 1e-5);
}

TEST_F(Motion, BuiltInFlightLooksThenFliesOnWithTheLastLookAtOrientation) {
    settings::PutBuiltInFlight(s.AN_VEC);
    int frame = 0;
    // Through the 18 look-at rows: the camera faces the model at the origin.
    int lookAtFrames = 0;
    for (int r = 0; r < 18; ++r) lookAtFrames += Row(r).frames + 1;
    rm::Vec3 dir, up;
    for (; frame < lookAtFrames; ++frame) {
        PlayKeyframes(scene, s, player);
        const rm::Vec3 p = Camera();
        Direction(&dir, &up);
        const float len = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
        if (len > 1) {
            EXPECT_NEAR(dir.x, -p.x / len, 1e-3) << frame;
            EXPECT_NEAR(dir.z, -p.z / len, 1e-3) << frame;
        }
    }
    EXPECT_EQ(player.currentRow, 17);
    const rm::Vec3 held = dir;
    // The 13 free rows keep that orientation while the camera moves.
    int freeFrames = 0;
    for (int r = 18; r < 31; ++r) freeFrames += Row(r).frames + 1;
    rm::Vec3 start = Camera();
    bool moved = false;
    for (int i = 0; i < freeFrames; ++i) {
        PlayKeyframes(scene, s, player);
        Direction(&dir, &up);
        EXPECT_NEAR(dir.x, held.x, 1e-5);
        EXPECT_NEAR(dir.y, held.y, 1e-5);
        EXPECT_NEAR(dir.z, held.z, 1e-5);
        const rm::Vec3 p = Camera();
        moved |= p.x != start.x || p.y != start.y;
    }
    EXPECT_TRUE(moved);
    EXPECT_EQ(player.currentRow, 30);
    PlayKeyframes(scene, s, player);
    EXPECT_EQ(player.currentRow, 0);
    EXPECT_FLOAT_EQ(Camera().z, -40);
}

TEST_F(Motion, BuiltInFlightPositionsWorkedOutByHand) {
    settings::PutBuiltInFlight(s.AN_VEC);
    // Row 0 (0, 50, -80) for 50 frames to row 1 at the same place: frames 0..50.
    // Row 1 from frame 51, 40 steps to (0, 50, -2): z gains 78 / 40 / 2 = 0.975.
    // Row 2 starts at frame 92 at (0, 25, -1).
    std::vector<rm::Vec3> at(93);
    for (int f = 0; f < 93; ++f) {
        PlayKeyframes(scene, s, player);
        at[f] = Camera();
    }
    auto expect = [&](int f, float x, float y, float z) {
        EXPECT_NEAR(at[f].x, x, 1e-4) << "frame " << f;
        EXPECT_NEAR(at[f].y, y, 1e-4) << "frame " << f;
        EXPECT_NEAR(at[f].z, z, 1e-4) << "frame " << f;
    };
    expect(0, 0, 25, -40);
    expect(50, 0, 25, -40);
    expect(51, 0, 25, -40);
    expect(52, 0, 25, -39.025f);
    expect(71, 0, 25, -20.5f);
    expect(91, 0, 25, -1);
    expect(92, 0, 25, -1);
    EXPECT_EQ(player.currentRow, 2);
}

TEST_F(Motion, ANegativeFrameCountShowsTheRowOnceInsteadOfStopping) {
    SetRow(0, 2, 0, 0, -5, 0);
    SetRow(1, 4, 0, 0, 0, 0);
    EXPECT_EQ(PlayX(4), (std::vector<float>{1, 2, 1, 2}));
}

TEST_F(Motion, ManualPlacementAppliesOnlyWhatChanged) {
    s.ANIME = 0;
    s.CM_X = 0;
    s.CM_Y = 30;
    s.CM_Z = -30;
    s.L_AT = 1;
    PlaceManually(scene, s, applied);
    EXPECT_FLOAT_EQ(Camera().y, 15);
    EXPECT_FLOAT_EQ(Camera().z, -15);
    rm::Vec3 dir, up;
    Direction(&dir, &up);
    EXPECT_NEAR(dir.y, -std::sqrt(0.5), 1e-5);
    EXPECT_NEAR(dir.z, std::sqrt(0.5), 1e-5);

    // A value that did not change is not handed over again.
    scene.CameraFrame->SetPosition(scene.SceneFrame, {9, 9, 9});
    PlaceManually(scene, s, applied);
    EXPECT_FLOAT_EQ(Camera().x, 9);
    Direction(&dir, &up);  // look-at turns the camera in every frame

    // Without look-at: a zero orientation keeps what the camera has.
    s.L_AT = 0;
    std::memset(s.directionHundredths, 0, sizeof s.directionHundredths);
    std::memset(s.upHundredths, 0, sizeof s.upHundredths);
    PlaceManually(scene, s, applied);
    rm::Vec3 kept, keptUp;
    Direction(&kept, &keptUp);
    EXPECT_NEAR(kept.z, dir.z, 1e-6);
    EXPECT_EQ(applied.orientation[0], 201);

    s.directionHundredths[0] = 100;
    s.upHundredths[1] = 100;
    PlaceManually(scene, s, applied);
    Direction(&dir, &up);
    EXPECT_NEAR(dir.x, 1, 1e-6);
    EXPECT_EQ(applied.orientation[0], 100);
}

TEST_F(Motion, RotationSpeedsAreHandedOverWhenTheyChange) {
    s.ROT_Y = 50;
    ApplyRotationSpeeds(scene, s, applied);
    rm::Vec3 axis;
    float theta = 0;
    scene.AxisYFrame->GetRotation(&axis, &theta);
    EXPECT_NEAR(theta, 2.0 * 3.14159265358979 / 180.0, 1e-7);
    EXPECT_FLOAT_EQ(axis.y, 1);
    scene.AxisXFrame->GetRotation(&axis, &theta);
    EXPECT_EQ(theta, 0);
    EXPECT_EQ(applied.rotation[1], 50);

    // Two degrees per Move about Y.
    scene.SceneFrame->Move(1.0f);
    rm::Vec3 dir, up;
    scene.AxisYFrame->GetOrientation(scene.SceneFrame, &dir, &up);
    EXPECT_NEAR(std::atan2(dir.x, dir.z), 2.0 * 3.14159265358979 / 180.0, 1e-5);

    s.ROT_Y = -50;
    ApplyRotationSpeeds(scene, s, applied);
    scene.AxisYFrame->GetRotation(&axis, &theta);
    EXPECT_NEAR(theta, -2.0 * 3.14159265358979 / 180.0, 1e-7);
}

TEST_F(Motion, CameraOrientationIsCapturedIntoTheSettings) {
    scene.CameraFrame->SetOrientation(scene.SceneFrame, {1, 0, 0}, {0, 0, -1});
    CaptureCameraOrientation(scene, s);
    EXPECT_NEAR(s.COZ[0], 1, 1e-6);
    EXPECT_NEAR(s.COY[2], -1, 1e-6);
}
