// The scene container: linking by name with its warnings, lookups, camera selection, mesh
// ordering, the per-frame update and the bounds.
#include "SceneTestSupport.h"

#include <chrono>
#include <cstdio>

#include "scene/Scene3d.h"

namespace {

DXC_Mesh& AddMesh(DXC_3dScene& scene, const char* name, int transparent = 0) {
    DXC_Mesh& m = *scene.Meshes().Get(scene.Meshes().AddNew());
    m.name = name;
    m.SetMaterialCount(1);
    m.GetMaterial(0)->transparent = transparent;
    return m;
}

template <class T> T& Add(DynaMem<T>& list, const char* name) {
    T& o = *list.Get(list.AddNew());
    o.name = name;
    return o;
}

std::vector<std::string> MeshOrder(DXC_3dScene& scene) {
    std::vector<std::string> names;
    for (int i = 0; i < scene.GetMeshCount(); ++i) names.push_back(scene.GetMeshAt(i)->name.Text());
    return names;
}

} // namespace

using LinkTest = SceneTest;
using SceneLookupTest = SceneTest;
using SceneUpdateTest = SceneTest;
using SceneBoundsTest = SceneTest;

TEST_F(LinkTest, ParentsBonesAndTargetsAreFoundIgnoringCase) {
    DXC_3dScene scene;
    scene.name = "scene.kzv";
    DXC_3dObject& root = Add(scene.Helpers(), "Root");
    DXC_3dObject& bone = Add(scene.Helpers(), "Bip01 Spine");
    bone.parentName = "ROOT";
    DXC_Mesh& mesh = AddMesh(scene, "Body");
    mesh.parentName = "root";
    BoneRecord rec;
    rec.name = "bip01 spine";
    mesh.GetBones().Add(rec);
    DXC_Camera& cam = Add(scene.Cameras(), "Camera01");
    cam.targetName = "Body";
    cam.parentName = "Root";
    DXC_Light& light = Add(scene.Lights(), "Omni01");
    light.parentName = "Camera01";

    EXPECT_EQ(scene.LinkObjects(nullptr), 1);
    EXPECT_EQ(bone.GetParent(), &root);
    EXPECT_EQ(mesh.GetParent(), &root);
    ASSERT_EQ(mesh.GetBoneObjectCount(), 1);
    EXPECT_EQ(mesh.GetBoneObject(0), &bone);
    EXPECT_EQ(cam.GetTarget(), &mesh);
    EXPECT_EQ(cam.GetParent(), &root);
    EXPECT_EQ(light.GetParent(), &cam);
    EXPECT_TRUE(Warnings().empty());
}

TEST_F(LinkTest, MissingNamesWarnAndLeaveLinksNull) {
    DXC_3dScene scene;
    scene.name = "c:\\scenes\\robot.kzv";
    DXC_Mesh& mesh = AddMesh(scene, "Arm");
    mesh.parentName = "Shoulder";
    BoneRecord rec;
    rec.name = "Bone07";
    mesh.GetBones().Add(rec);
    DXC_Camera& cam = Add(scene.Cameras(), "Camera01");
    cam.targetName = "Nowhere";

    scene.LinkObjects(nullptr);
    EXPECT_EQ(mesh.GetParent(), nullptr);
    EXPECT_EQ(mesh.GetBoneObject(0), nullptr);
    EXPECT_EQ(cam.GetTarget(), nullptr);
    const std::string prefix = "Warning:DXC_3dScene: c:\\scenes\\robot.kzv: ";
    EXPECT_EQ(Warnings(),
              (std::vector<std::string>{
                  prefix + "Parent object 'Shoulder' not found in scene 'c:\\scenes\\robot.kzv'. "
                           "Child: 'Arm'",
                  prefix + "Bone 'Bone07' not found in scene 'c:\\scenes\\robot.kzv'. Child: 'Arm'",
                  prefix + "Parent object 'Nowhere' not found in scene 'c:\\scenes\\robot.kzv'. "
                           "Child: 'Camera01'",
              }));
}

TEST_F(LinkTest, CameraWithParentAndNoTargetKeepsItsParent) {
    DXC_3dScene scene;
    DXC_3dObject& rig = Add(scene.Helpers(), "Rig");
    DXC_Camera& cam = Add(scene.Cameras(), "Camera01");
    cam.parentName = "Rig";
    cam.SetTarget(&rig); // a stale link from before is cleared
    scene.LinkObjects(nullptr);
    EXPECT_EQ(cam.GetParent(), &rig);
    EXPECT_EQ(cam.GetTarget(), nullptr);
    EXPECT_TRUE(Warnings().empty());
}

TEST_F(LinkTest, ParentCyclesAreDroppedWithAWarning) {
    DXC_3dScene scene;
    scene.name = "loop.3sc";
    DXC_3dObject& a = Add(scene.Helpers(), "A");
    DXC_3dObject& b = Add(scene.Helpers(), "B");
    DXC_3dObject& c = Add(scene.Helpers(), "C");
    DXC_3dObject& self = Add(scene.Helpers(), "Self");
    a.parentName = "C";
    b.parentName = "A";
    c.parentName = "B";
    self.parentName = "self";
    scene.LinkObjects(nullptr);
    int broken = (a.GetParent() == nullptr) + (b.GetParent() == nullptr) + (c.GetParent() == nullptr);
    EXPECT_EQ(broken, 1);
    EXPECT_EQ(self.GetParent(), nullptr);
    EXPECT_EQ(Warnings().size(), 2u);
    // Evaluation terminates and the remaining chain still combines.
    scene.Update(1, 1);
}

TEST_F(LinkTest, LinkingSearchesTheGivenSource) {
    DXC_3dScene scene, library;
    library.name = "library";
    DXC_3dObject& there = Add(library.Helpers(), "Anchor");
    DXC_Mesh& mesh = AddMesh(scene, "Thing");
    mesh.parentName = "Anchor";
    scene.LinkObjects(&library);
    EXPECT_EQ(mesh.GetParent(), &there);

    // Marks left on the source's objects by linking the source itself are no cycle here.
    DXC_3dObject& below = Add(library.Helpers(), "Below");
    below.parentName = "Anchor";
    library.LinkObjects(nullptr);
    DXC_Mesh& second = AddMesh(scene, "Other");
    second.parentName = "Below";
    scene.LinkObjects(&library);
    EXPECT_EQ(mesh.GetParent(), &there);
    EXPECT_EQ(second.GetParent(), &below);
    EXPECT_TRUE(Warnings().empty());
}

TEST_F(LinkTest, LinkingTakesTheFirstObjectInSearchOrder) {
    // Searched as FindObject(name, 1): meshes, then helpers, then cameras, then lights, each in
    // position order, case ignored.
    DXC_3dScene scene;
    Add(scene.Lights(), "Anchor");
    Add(scene.Cameras(), "ANCHOR");
    DXC_3dObject& firstHelper = Add(scene.Helpers(), "anchor");
    DXC_3dObject& secondHelper = Add(scene.Helpers(), "Anchor");
    AddMesh(scene, "aNCHOR");
    DXC_Camera& viewer = Add(scene.Cameras(), "Viewer");
    viewer.parentName = "Anchor";
    viewer.targetName = "anchor";

    scene.LinkObjects(nullptr);
    EXPECT_EQ(viewer.GetParent(), scene.GetMeshAt(0));
    EXPECT_EQ(viewer.GetTarget(), scene.GetMeshAt(0));
    scene.Meshes().DeleteAt(0);
    scene.LinkObjects(nullptr);
    EXPECT_EQ(viewer.GetParent(), &firstHelper);
    scene.Helpers().DeleteAt(0);
    scene.LinkObjects(nullptr);
    EXPECT_EQ(viewer.GetParent(), &secondHelper);
    scene.Helpers().DeleteAt(0);
    scene.LinkObjects(nullptr);
    EXPECT_EQ(viewer.GetParent(), scene.GetCameraAt(0));
    EXPECT_TRUE(Warnings().empty());
}

TEST_F(LinkTest, LinkingManyObjectsIsNotQuadratic) {
    // A file may hold tens of thousands of named objects; linking looks every name up through
    // an index, so this takes a fraction of a second even in an instrumented build, where a
    // search through the lists for every name would take minutes.
    constexpr int kCount = 50000;
    DXC_3dScene scene;
    scene.Helpers().SetSize(kCount);
    char name[32];
    for (int i = 0; i < kCount; ++i) {
        std::snprintf(name, sizeof name, "Node%05d", i);
        DXC_3dObject& o = Add(scene.Helpers(), name);
        if (i == 0) continue;
        std::snprintf(name, sizeof name, "NODE%05d", i / 2); // a binary tree
        o.parentName = name;
    }
    DXC_Mesh& mesh = AddMesh(scene, "Skin");
    for (int j = 0; j < 100; ++j) {
        BoneRecord rec;
        std::snprintf(name, sizeof name, "node%05d", kCount - 1 - j);
        rec.name = name;
        mesh.GetBones().Add(rec);
    }

    const auto start = std::chrono::steady_clock::now();
    scene.LinkObjects(nullptr);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 3.0);

    EXPECT_TRUE(Warnings().empty());
    EXPECT_EQ(scene.GetHelperAt(0)->GetParent(), nullptr);
    for (int i = 1; i < kCount; ++i)
        ASSERT_EQ(scene.GetHelperAt(i)->GetParent(), scene.GetHelperAt(i / 2)) << i;
    for (int j = 0; j < 100; ++j) ASSERT_EQ(mesh.GetBoneObject(j), scene.GetHelperAt(kCount - 1 - j)) << j;
}

TEST_F(SceneLookupTest, FindObjectSearchesMeshesHelpersCamerasLights) {
    DXC_3dScene scene;
    DXC_Light& light = Add(scene.Lights(), "Same");
    DXC_Camera& cam = Add(scene.Cameras(), "Same");
    EXPECT_EQ(scene.FindObject("Same", 0), &cam);
    DXC_3dObject& helper = Add(scene.Helpers(), "Same");
    EXPECT_EQ(scene.FindObject("Same", 0), &helper);
    DXC_Mesh& mesh = AddMesh(scene, "Same");
    EXPECT_EQ(scene.FindObject("Same", 0), &mesh);
    EXPECT_EQ(scene.FindObject("same", 0), nullptr);
    EXPECT_EQ(scene.FindObject("same", 1), &mesh);
    Add(scene.Lights(), "OnlyLight");
    EXPECT_NE(scene.FindObject("onlylight", 1), nullptr);
    EXPECT_EQ(scene.FindObject("Nothing", 1), nullptr);
    (void)light;
}

TEST_F(SceneLookupTest, FindMeshByPrefixOrExactName) {
    DXC_3dScene scene;
    DXC_Mesh& box = AddMesh(scene, "Box01");
    DXC_Mesh& box2 = AddMesh(scene, "box02");
    EXPECT_EQ(scene.FindMesh("BOX", 1), &box);
    EXPECT_EQ(scene.FindMesh("box0", 1), &box);
    EXPECT_EQ(scene.FindMesh("Box02", 1), &box2);
    EXPECT_EQ(scene.FindMesh("Box02", 0), nullptr);
    EXPECT_EQ(scene.FindMesh("box02", 0), &box2);
    EXPECT_EQ(scene.FindMesh("Box01x", 1), nullptr);
}

TEST_F(SceneLookupTest, GetLightAndHelperReportBadNumbers) {
    DXC_3dScene scene;
    scene.name = "s.kzv";
    Add(scene.Lights(), "L0");
    Add(scene.Helpers(), "H0");
    EXPECT_NE(scene.GetLight(0), nullptr);
    EXPECT_NE(scene.GetHelper(0), nullptr);
    try {
        scene.GetLight(1);
        FAIL();
    } catch (const DXC_Error& e) {
        EXPECT_STREQ(e.message, "s.kzv: Light number 1 does not exist.");
    }
    try {
        scene.GetHelper(-1);
        FAIL();
    } catch (const DXC_Error& e) {
        EXPECT_STREQ(e.message, "s.kzv: Helper object number -1 does not exist.");
    }
    scene.Lights().Delete(0);
    EXPECT_THROW(scene.GetLight(0), DXC_Error); // an emptied slot
    EXPECT_EQ(scene.GetMesh(500), nullptr);
}

TEST_F(SceneLookupTest, SetCamera) {
    DXC_3dScene scene;
    scene.name = "s.kzv";
    Add(scene.Cameras(), "C0");
    Add(scene.Cameras(), "C1");
    EXPECT_EQ(scene.GetCurrentCamera(), -1);
    EXPECT_EQ(scene.SetCamera(1), 1);
    EXPECT_STREQ(scene.GetActiveCamera()->name.Text(), "C1");
    EXPECT_EQ(scene.SetCamera(-1), 1);
    EXPECT_EQ(scene.GetActiveCamera(), nullptr);
    EXPECT_EQ(scene.SetCamera(2), 0);
    EXPECT_EQ(Warnings().back(), "Warning:DXC_3dScene: s.kzv: Camera nr 2 does not exist");
    EXPECT_EQ(scene.SetCamera(-5), 0);
    EXPECT_EQ(scene.GetCurrentCamera(), -1);
}

TEST_F(SceneLookupTest, SortMeshesPutsOpaqueFirst) {
    DXC_3dScene scene;
    AddMesh(scene, "m1", 1);
    AddMesh(scene, "m2", 0);
    AddMesh(scene, "m3", 0);
    EXPECT_EQ(scene.SortMeshes(), 2);
    EXPECT_EQ(MeshOrder(scene), (std::vector<std::string>{"m2", "m3", "m1"}));
    EXPECT_EQ(scene.GetOpaqueCount(), 2);

    DXC_3dScene all;
    AddMesh(all, "a", 0);
    AddMesh(all, "b", 0);
    EXPECT_EQ(all.SortMeshes(), 2);
    DXC_3dScene none;
    AddMesh(none, "a", 1);
    AddMesh(none, "b", 1);
    EXPECT_EQ(none.SortMeshes(), 0);
    // A mesh with a transparent material among opaque ones counts as transparent.
    DXC_3dScene mixed;
    DXC_Mesh& m = AddMesh(mixed, "mixed", 0);
    m.SetMaterialCount(2);
    m.GetMaterial(1)->transparent = 1;
    AddMesh(mixed, "opaque", 0);
    EXPECT_EQ(mixed.SortMeshes(), 1);
    EXPECT_EQ(MeshOrder(mixed), (std::vector<std::string>{"opaque", "mixed"}));
}

TEST_F(SceneLookupTest, ReserveAndClear) {
    DXC_3dScene scene;
    AddMesh(scene, "m");
    Add(scene.Helpers(), "h");
    scene.Reserve(10, 3, 2);
    EXPECT_EQ(scene.Meshes().GetCapacity(), 11);
    EXPECT_EQ(scene.Lights().GetCapacity(), 3);
    EXPECT_EQ(scene.Cameras().GetCapacity(), 2);
    EXPECT_EQ(scene.Helpers().GetCapacity(), 1);
    scene.SetEnvironmentTexture(std::make_unique<FakeTexture>());
    scene.SetCamera(-1);
    scene.timeScale = 2;
    scene.Clear();
    EXPECT_EQ(scene.GetMeshCount(), 0);
    EXPECT_EQ(scene.GetHelperCount(), 0);
    EXPECT_EQ(scene.GetEnvironmentTexture(), nullptr);
    EXPECT_EQ(scene.timeScale, 1.0f);
    EXPECT_EQ(scene.fileSize, -1);
    EXPECT_EQ(scene.sceneMaterial.material.Diffuse.r, 1.0f);
    EXPECT_EQ(scene.sceneMaterial.material.Emissive.r, 0.0f);
}

TEST_F(SceneUpdateTest, UpdateEvaluatesEverythingAtScaledTime) {
    DXC_3dScene scene;
    scene.timeScale = 2;
    DXC_Mesh& mesh = AddMesh(scene, "m");
    mesh.AddPosKey(PosKey(0, 0, 0, 0));
    mesh.AddPosKey(PosKey(10, 10, 0, 0));
    mesh.BuildKeyIndex();
    DXC_Camera& cam = Add(scene.Cameras(), "c");
    DXC_Light& light = Add(scene.Lights(), "l");
    light.nodeTransform.position = D3DXVECTOR3(0, 7, 0);
    scene.Update(1.5f, 1);
    ExpectVec3(Row4(mesh.worldTM), 3, 0, 0);
    EXPECT_FLOAT_EQ(scene.lastTime, 3.0f);
    ExpectVec3(cam.direction, 0, 0, -1); // cameras get their direction computed
    ExpectVec3(light.light.Position, 0, 7, 0);
}

TEST_F(SceneUpdateTest, HelpersThatAreParentsMoveEvenWithoutHelperUpdate) {
    DXC_3dScene scene;
    DXC_3dObject& parent = Add(scene.Helpers(), "P");
    parent.AddPosKey(PosKey(0, 0, 0, 0));
    parent.AddPosKey(PosKey(1, 0, 10, 0));
    parent.BuildKeyIndex();
    DXC_3dObject& loner = Add(scene.Helpers(), "Loner");
    loner.AddPosKey(PosKey(0, 0, 0, 0));
    loner.AddPosKey(PosKey(1, 0, 0, 10));
    loner.BuildKeyIndex();
    DXC_Mesh& mesh = AddMesh(scene, "m");
    mesh.parentName = "P";
    scene.LinkObjects(nullptr);
    scene.Update(0.5f, 0);
    ExpectVec3(Row4(parent.worldTM), 0, 5, 0);
    ExpectVec3(Row4(mesh.worldTM), 0, 5, 0);
    EXPECT_EQ(loner.lastTime, 0.0f); // not evaluated
    scene.Update(0.5f, 1);
    ExpectVec3(Row4(loner.worldTM), 0, 0, 5);
}

TEST_F(SceneUpdateTest, MeshAdvancesMaterialsAndTexturesAtItsLoopedTime) {
    DXC_3dScene scene;
    DXC_Mesh& mesh = AddMesh(scene, "m");
    mesh.SetLoop(1);
    mesh.SetLoopLength(2);
    MeshMaterial& mat = *mesh.GetMaterial(0);
    mat.opacityTrack.type = 0;
    mat.opacityTrack.keys = {{0, 0, 0, 0}, {2, 1, 0, 0}};
    auto tex = std::make_unique<FakeTexture>();
    FakeTexture* fake = tex.get();
    mesh.SetTexture(0, std::move(tex));
    scene.Update(2.5f, 1);
    EXPECT_FLOAT_EQ(mat.transparency, 0.25f);
    EXPECT_FLOAT_EQ(fake->time, 0.5f);
    EXPECT_EQ(mesh.GetTexture(0), fake);
}

TEST_F(SceneBoundsTest, BoundsFromMeshBoxesAndHelperPositions) {
    DXC_3dScene scene;
    DXC_Mesh& mesh = AddMesh(scene, "m");
    mesh.SetBoundingBox(D3DXVECTOR3(-1, -1, -1), D3DXVECTOR3(1, 1, 1));
    mesh.nodeTransform.position = D3DXVECTOR3(10, 0, 0);
    D3DXMatrixScaling(&mesh.pivotTM, 2, 1, 1);
    DXC_3dObject& helper = Add(scene.Helpers(), "h");
    helper.nodeTransform.position = D3DXVECTOR3(0, 0, 20);
    scene.Update(0, 1);
    scene.bounds.mode = 3;
    BoundsRecord peek;
    ASSERT_EQ(scene.ComputeBounds(&peek), 1);
    EXPECT_EQ(scene.bounds.radius, 0.0f); // the variant does not store
    scene.ComputeBounds();
    ExpectVec3(scene.bounds.minimum, 0, -1, -1); // box x: (-2..2) + 10 -> 8..12; helper at x 0
    ExpectVec3(scene.bounds.maximum, 12, 1, 20);
    ExpectVec3(scene.bounds.centre, 6, 0, 9.5f);
    EXPECT_NEAR(scene.bounds.radius, std::sqrt(6.0f * 6 + 1 + 10.5f * 10.5f), 1e-4f);
    EXPECT_EQ(scene.bounds.mode, 3);
    EXPECT_EQ(peek.radius, scene.bounds.radius);
}

TEST_F(SceneBoundsTest, EmptySceneKeepsItsBounds) {
    DXC_3dScene scene;
    Add(scene.Cameras(), "c");
    scene.bounds.radius = 7;
    scene.ComputeBounds();
    EXPECT_EQ(scene.bounds.radius, 7.0f);
    BoundsRecord b;
    EXPECT_EQ(scene.ComputeBounds(&b), 0);
}
