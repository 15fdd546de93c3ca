// Frame tree algebra: the rotation sense, orientation from direction and up,
// placement relative to other frames, per-tick motion, look-at, and lifetime.
#include <gtest/gtest.h>

#include <cstring>
#include <numbers>

#include "platform/rm/frame.h"
#include "platform/rm/light.h"
#include "platform/rm/mesh_builder.h"

namespace rm = platform::rm;
using rm::Frame;
using rm::Ref;
using rm::Vec3;

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void ExpectVec(Vec3 got, Vec3 want, float tol = 1e-5f) {
    EXPECT_NEAR(got.x, want.x, tol);
    EXPECT_NEAR(got.y, want.y, tol);
    EXPECT_NEAR(got.z, want.z, tol);
}

void ExpectRows(const rm::Mat4& m, Vec3 r0, Vec3 r1, Vec3 r2, float tol = 1e-5f) {
    ExpectVec(m.Row(0), r0, tol);
    ExpectVec(m.Row(1), r1, tol);
    ExpectVec(m.Row(2), r2, tol);
}

Ref<Frame> NewFrame(Frame* parent) { return Ref<Frame>::Adopt(Frame::Create(parent)); }

}  // namespace

TEST(RotationSense, PositiveAngleAboutXTurnsYIntoZ) {
    ExpectRows(rm::RotationMatrix({1, 0, 0}, kPi / 2), {1, 0, 0}, {0, 0, 1}, {0, -1, 0});
    ExpectRows(rm::RotationMatrix({0, 0, 1}, kPi / 2), {0, 1, 0}, {-1, 0, 0}, {0, 0, 1});
    // A zero axis behaves like +x.
    ExpectRows(rm::RotationMatrix({0, 0, 0}, kPi / 2), {1, 0, 0}, {0, 0, 1}, {0, -1, 0});
}

TEST(RotationSense, RotatingAVectorAboutZMatchesTheRowFormula) {
    const Vec3 r = rm::Normalize(rm::TransformDirection({3, 4, 0}, rm::RotationMatrix({0, 0, 1}, 2 * kPi / 3)));
    const float s3 = std::sqrt(3.0f);
    ExpectVec(r, {-0.3f - 0.4f * s3, 0.3f * s3 - 0.4f, 0});
}

TEST(FrameTransform, ChildMapsThroughItsParent) {
    auto root = NewFrame(nullptr);
    auto parent = NewFrame(root.get());
    auto child = NewFrame(parent.get());
    // Parent: diag(2, 4, 8) with translation 64; child: translation 11.
    rm::Mat4 scale;
    scale.m[0][0] = 2, scale.m[1][1] = 4, scale.m[2][2] = 8;
    scale.m[3][0] = scale.m[3][1] = scale.m[3][2] = 64;
    ASSERT_TRUE(parent->AddTransform(rm::Combine::Replace, scale));
    child->SetPosition(parent.get(), {11, 11, 11});
    ExpectVec(rm::TransformPoint({3, 5, 7}, parent->World()), {70, 84, 120});
    ExpectVec(rm::TransformPoint({3, 5, 7}, child->World()), {92, 128, 208});
}

TEST(FrameTransform, CombineRulesBeforeAndAfter) {
    auto root = NewFrame(nullptr);
    auto f = NewFrame(root.get());
    rm::Mat4 two, move;
    two.m[0][0] = two.m[1][1] = two.m[2][2] = 2;
    move.m[3][0] = move.m[3][1] = move.m[3][2] = 3;
    auto pos = [&] { return f->Local().Row(3); };
    ASSERT_TRUE(f->AddTransform(rm::Combine::Replace, two));
    ASSERT_TRUE(f->AddTransform(rm::Combine::Before, move));
    ExpectVec(pos(), {6, 6, 6});
    ASSERT_TRUE(f->AddTransform(rm::Combine::Replace, two));
    ASSERT_TRUE(f->AddTransform(rm::Combine::After, move));
    ExpectVec(pos(), {3, 3, 3});
    ASSERT_TRUE(f->AddTransform(rm::Combine::Replace, move));
    ASSERT_TRUE(f->AddTransform(rm::Combine::After, rm::RotationMatrix({1, 0, 0}, kPi / 2)));
    ExpectVec(pos(), {3, -3, 3});
    ASSERT_TRUE(f->AddTransform(rm::Combine::Replace, move));
    ASSERT_TRUE(f->AddTransform(rm::Combine::Before, two));
    ExpectVec(pos(), {3, 3, 3});
    rm::Mat4 bad;
    bad.m[3][3] = 2;
    EXPECT_FALSE(f->AddTransform(rm::Combine::Replace, bad));
    ExpectVec(pos(), {3, 3, 3});
}

TEST(FrameOrientation, DirectionKeptExactAndUpMadePerpendicular) {
    auto root = NewFrame(nullptr);
    auto f = NewFrame(root.get());
    ASSERT_TRUE(f->SetOrientation(root.get(), {1, 0, 0}, {0, 1, 0}));
    ExpectRows(f->Local(), {0, 0, -1}, {0, 1, 0}, {1, 0, 0});
    // Same matrix as a quarter turn about +y.
    ExpectRows(rm::RotationMatrix({0, 1, 0}, kPi / 2), {0, 0, -1}, {0, 1, 0}, {1, 0, 0});

    ASSERT_TRUE(f->SetOrientation(root.get(), {0, 0, 5}, {0, 3, 3}));
    Vec3 d, u;
    f->GetOrientation(root.get(), &d, &u);
    ExpectVec(d, {0, 0, 1});
    ExpectVec(u, {0, 1, 0});
}

TEST(FrameOrientation, ZeroOrParallelPairLeavesFrameUnchanged) {
    auto root = NewFrame(nullptr);
    auto f = NewFrame(root.get());
    ASSERT_TRUE(f->SetOrientation(root.get(), {0, 1, 1}, {0, 1, 0}));
    const rm::Mat4 before = f->Local();
    EXPECT_FALSE(f->SetOrientation(root.get(), {0, 2, 0}, {0, 1, 0}));
    EXPECT_FALSE(f->SetOrientation(root.get(), {0, 2, 0}, {0, -1, 0}));
    EXPECT_FALSE(f->SetOrientation(root.get(), {0, 0, 0}, {0, 1, 0}));
    EXPECT_FALSE(f->SetOrientation(root.get(), {0, 0, 1}, {0, 0, 0}));
    EXPECT_EQ(0, std::memcmp(&before, &f->Local(), sizeof before));
}

TEST(FrameOrientation, RelativeToAnotherFrame) {
    auto root = NewFrame(nullptr);
    auto turned = NewFrame(root.get());
    ASSERT_TRUE(turned->SetOrientation(root.get(), {1, 0, 0}, {0, 1, 0}));  // its +z is world +x
    auto f = NewFrame(root.get());
    ASSERT_TRUE(f->SetOrientation(turned.get(), {0, 0, 1}, {0, 1, 0}));
    Vec3 d, u;
    f->GetOrientation(root.get(), &d, &u);
    ExpectVec(d, {1, 0, 0});
    ExpectVec(u, {0, 1, 0});
    f->GetOrientation(turned.get(), &d, &u);
    ExpectVec(d, {0, 0, 1});
}

TEST(FramePosition, RelativeToAnyReference) {
    auto root = NewFrame(nullptr);
    auto a = NewFrame(root.get());
    a->SetPosition(root.get(), {1, 2, 3});
    ASSERT_TRUE(a->SetOrientation(root.get(), {1, 0, 0}, {0, 1, 0}));
    auto b = NewFrame(a.get());
    b->SetPosition(root.get(), {10, 0, 0});
    ExpectVec(b->GetPosition(root.get()), {10, 0, 0});
    ExpectVec(b->GetPosition(nullptr), {10, 0, 0});
    // In a's axes: world (9, -2, -3) offset; a's +z is world +x, a's +x is world -z.
    ExpectVec(b->GetPosition(a.get()), {3, -2, 9});
    b->SetPosition(a.get(), {0, 0, 1});
    ExpectVec(b->GetPosition(root.get()), {2, 2, 3});
}

TEST(FrameMotion, RotationSpinsAboutTheFramesOwnOrigin) {
    auto root = NewFrame(nullptr);
    auto f = NewFrame(root.get());
    f->SetPosition(root.get(), {5, 0, 0});
    f->SetRotation(root.get(), {0, 1, 0}, kPi / 2);
    root->Move(1.0f);
    ExpectVec(f->GetPosition(root.get()), {5, 0, 0});
    // A positive angle about +y turns +z toward +x.
    Vec3 d, u;
    f->GetOrientation(root.get(), &d, &u);
    ExpectVec(d, {1, 0, 0});
    // Half a tick turns half as far.
    f->SetOrientation(root.get(), {0, 0, 1}, {0, 1, 0});
    root->Move(0.5f);
    f->GetOrientation(root.get(), &d, &u);
    ExpectVec(d, {std::sqrt(0.5f), 0, std::sqrt(0.5f)});
}

TEST(FrameMotion, NestedAxesComposeAndChildrenOrbitTheParent) {
    auto root = NewFrame(nullptr);
    auto ax = NewFrame(root.get());
    auto ay = NewFrame(ax.get());
    auto child = NewFrame(ay.get());
    child->SetPosition(ay.get(), {0, 0, 2});
    ax->SetRotation(root.get(), {1, 0, 0}, kPi / 2);
    root->Move(1.0f);
    // ax turned +y into +z, so its +z is now world -y: the child orbits there.
    ExpectVec(child->GetPosition(root.get()), {0, -2, 0});
    ay->SetRotation(ax.get(), {0, 1, 0}, kPi / 2);
    ax->SetRotation(root.get(), {1, 0, 0}, 0);
    root->Move(1.0f);
    // ay's +z turned to ax's +x, which is world +x.
    ExpectVec(child->GetPosition(root.get()), {2, 0, 0}, 1e-4f);
}

TEST(FrameMotion, ManyTicksKeepTheAxesOrthonormal) {
    auto root = NewFrame(nullptr);
    auto f = NewFrame(root.get());
    f->SetRotation(root.get(), {0.3f, 1, 0.2f}, 0.0123f);
    for (int i = 0; i < 200000; ++i) root->Move(1.0f);
    const rm::Mat4& m = f->Local();
    for (int r = 0; r < 3; ++r) EXPECT_NEAR(rm::Length(m.Row(r)), 1.0f, 1e-5f);
    EXPECT_NEAR(rm::Dot(m.Row(0), m.Row(1)), 0.0f, 1e-5f);
    EXPECT_NEAR(rm::Dot(m.Row(1), m.Row(2)), 0.0f, 1e-5f);
}

TEST(FrameMotion, VelocityRelativeToSelfAddsToCurrentMotion) {
    auto root = NewFrame(nullptr);
    auto f = NewFrame(root.get());
    ASSERT_TRUE(f->SetOrientation(root.get(), {1, 0, 0}, {0, 1, 0}));
    f->SetVelocity(root.get(), {0, 1, 0}, false);
    f->SetVelocity(f.get(), {0, 0, 2}, false);  // +2 along its own +z = world +x
    root->Move(1.0f);
    ExpectVec(f->GetPosition(root.get()), {2, 1, 0});
    f->SetVelocity(root.get(), {0, 0, 0}, false);
    root->Move(1.0f);
    ExpectVec(f->GetPosition(root.get()), {2, 1, 0});
}

TEST(FrameLookAt, FacesTheTargetWithoutRoll) {
    auto root = NewFrame(nullptr);
    auto camera = NewFrame(root.get());
    auto target = NewFrame(root.get());
    camera->SetPosition(root.get(), {0, 15, -15});
    ASSERT_TRUE(camera->LookAt(target.get(), root.get()));
    Vec3 d, u;
    camera->GetOrientation(root.get(), &d, &u);
    ExpectVec(d, {0, -std::sqrt(0.5f), std::sqrt(0.5f)});
    ExpectVec(u, {0, std::sqrt(0.5f), std::sqrt(0.5f)});
    EXPECT_NEAR(camera->Local().Row(0).y, 0.0f, 1e-6f);  // x axis stays level: no roll
}

TEST(FrameLookAt, TargetStraightAboveOrAtTheOriginChangesNothing) {
    auto root = NewFrame(nullptr);
    auto camera = NewFrame(root.get());
    auto target = NewFrame(root.get());
    ASSERT_TRUE(camera->SetOrientation(root.get(), {1, 0, 1}, {0, 1, 0}));
    const rm::Mat4 before = camera->Local();
    EXPECT_FALSE(camera->LookAt(target.get(), root.get()));  // same origin
    target->SetPosition(root.get(), {0, 7, 0});
    EXPECT_FALSE(camera->LookAt(target.get(), root.get()));  // straight above
    target->SetPosition(root.get(), {0, -7, 0});
    EXPECT_FALSE(camera->LookAt(target.get(), root.get()));  // straight below
    EXPECT_EQ(0, std::memcmp(&before, &camera->Local(), sizeof before));
}

TEST(FrameLifetime, ReleasingTheRootFreesTheTreeButNotHeldFrames) {
    Frame* root = Frame::Create(nullptr);
    Frame* child = Frame::Create(root);
    Frame* grandchild = Frame::Create(child);
    rm::Light* light = rm::Light::Create(rm::LightType::Ambient, 1, 1, 1);
    rm::MeshBuilder* mesh = rm::MeshBuilder::Create();
    grandchild->AddLight(light);
    grandchild->AddVisual(mesh);
    EXPECT_EQ(2, light->RefCount());
    EXPECT_EQ(2, child->RefCount());
    grandchild->Release();  // the tree still holds it
    light->Release();
    root->Release();        // frees root; child survives, detached, with its subtree
    EXPECT_EQ(nullptr, child->Parent());
    EXPECT_EQ(1, child->RefCount());
    EXPECT_EQ(2, mesh->RefCount());
    child->Release();
    EXPECT_EQ(1, mesh->RefCount());
    mesh->Release();
}

TEST(Colour, RealsBecomeBytesByTruncation) {
    auto root = NewFrame(nullptr);
    root->SetSceneBackgroundRGB(0.5f, 255 / 256.0f, 1.0f);
    EXPECT_EQ(0xff7ffeffu, rm::PackColor(root->SceneBackground()));
    Ref<rm::Light> l = Ref<rm::Light>::Adopt(rm::Light::Create(rm::LightType::Ambient, 0.5f, 0.5f, 0.5f));
    EXPECT_EQ(0xff7f7f7fu, rm::PackColor(l->Colour()));
}
