// The scene render pass on the recording device: which draws it issues, in which order and
// with which states, and the clear stops for hostile content.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "GfxTestSupport.h"
#include "PassTestScene.h"
#include "platform/d3dx/D3DXMesh.h"
#include "render/DXC_MeshData.h"
#include "render/DXC_Texture.h"
#include "render/ScenePass.h"
#include "scene/Camera.h"
#include "support/LogCapture.h"

namespace {

constexpr float Pi = 3.14159265f;

class ScenePassTest : public LogCaptureTest {
protected:
    void SetUp() override {
        LogCaptureTest::SetUp();
        rec = std::make_unique<RecordingGfx>();
        gfx = rec->gfx;
        scene = std::make_unique<DXC_3dScene>();
        pass = std::make_unique<DXC_ScenePass>(*gfx);
        PlainView(*scene);
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        gfx->SetViewMatrix(identity);
        gfx->SetProjection(1.0f, 100.0f, Pi / 2);
        gfx->BeginScene();
        rec->Forget();
    }
    void TearDown() override {
        gfx->EndScene();
        pass.reset();
        scene.reset();
        rec.reset();
        LogCaptureTest::TearDown();
    }
    DXC_Mesh* Quad(const char* name, float x, float y, float z, float id = 0.0f) {
        QuadSpec spec;
        spec.position = D3DXVECTOR3(x, y, z);
        spec.emissive = D3DCOLORVALUE{id, 0.0f, 0.0f, 1.0f};
        return AddQuad(*gfx, *scene, name, spec);
    }
    std::vector<DeviceCall> Calls(DeviceCallKind kind) const { return rec->Device().Filter(kind); }
    // The emissive red of the material in force at each indexed draw: the tests' mesh ids.
    std::vector<float> DrawnIds() const {
        std::vector<float> ids;
        float current = -1.0f;
        for (const DeviceCall& c : rec->Device().Calls()) {
            if (c.kind == DeviceCallKind::SetMaterial) current = c.material.Emissive.r;
            if (c.kind == DeviceCallKind::DrawIndexedPrimitive) ids.push_back(current);
        }
        return ids;
    }
    // Cull modes sent before each indexed draw.
    std::vector<DWORD> CullAtDraws() const {
        std::vector<DWORD> modes;
        DWORD current = D3DCULL_CCW; // the graphics object's start (-1)
        for (const DeviceCall& c : rec->Device().Calls()) {
            if (c.kind == DeviceCallKind::SetRenderState && c.args[0] == D3DRS_CULLMODE) current = c.args[1];
            if (c.kind == DeviceCallKind::DrawIndexedPrimitive) modes.push_back(current);
        }
        return modes;
    }
    // A texture with a 4 x 4 image in the slot, of the map type.
    std::unique_ptr<DXC_Texture> TextureWithSlot(int32_t slot, int32_t mapType) {
        auto texture = std::make_unique<DXC_Texture>(gfx);
        texture->SelectSlot(slot);
        gfx->CreateTexture(texture.get(), 4, 4, 4, D3DFMT_A8R8G8B8, 1);
        texture->SetSlotOperation(slot, mapType, 1.0f);
        texture->SelectSlot(0);
        return texture;
    }

    std::unique_ptr<RecordingGfx> rec;
    DXC_Gfx* gfx = nullptr;
    std::unique_ptr<DXC_3dScene> scene;
    std::unique_ptr<DXC_ScenePass> pass;
};

TEST_F(ScenePassTest, MeshOutsideTheFrustumIssuesNoDraw) {
    DXC_Mesh* inside = Quad("inside", 0, 0, 10);
    DXC_Mesh* right = Quad("right", 50, 0, 10);   // 45 degrees each side: x 50 at depth 10 is far out
    DXC_Mesh* behind = Quad("behind", 0, 0, -10); // behind the eye
    DXC_Mesh* beyond = Quad("beyond", 0, 0, 150); // past the far plane
    EXPECT_EQ(pass->RenderMesh(right, nullptr, nullptr, 0, 0), 0);
    EXPECT_EQ(pass->RenderMesh(behind, nullptr, nullptr, 0, 0), 0);
    EXPECT_EQ(pass->RenderMesh(beyond, nullptr, nullptr, 0, 0), 0);
    EXPECT_TRUE(Calls(DeviceCallKind::DrawIndexedPrimitive).empty());
    EXPECT_EQ(pass->RenderMesh(inside, nullptr, nullptr, 0, 0), 1);
    EXPECT_EQ(Calls(DeviceCallKind::DrawIndexedPrimitive).size(), 1u);
    // A quad crossing the edge of the view is drawn.
    EXPECT_EQ(pass->RenderMesh(Quad("edge", 13.5f, 0, 10), nullptr, nullptr, 0, 0), 1);
    EXPECT_EQ(Calls(DeviceCallKind::DrawIndexedPrimitive).size(), 2u);
}

TEST_F(ScenePassTest, FrustumHoldsUnderTheMirroredProjectionAndIsRebuiltOnlyWhenTheViewChanges) {
    scene->viewOptions.mirror = 1;
    Quad("left", -8, 0, 10, 0.25f); // the view reaches x = 13.3 at depth 10
    Quad("outside", -16, 0, 10, 0.5f);
    pass->RenderScene(scene.get());
    EXPECT_EQ(DrawnIds(), std::vector<float>({0.25f}));
}

TEST_F(ScenePassTest, SortedMeshesAreDrawnFarthestFirstAfterTheOpaqueOnesInListOrder) {
    Quad("opaqueFar", 0, 0, 40, 0.1f);
    Quad("opaqueNear", 0, 0, 3, 0.2f);
    Quad("a", 0, 0, 5, 0.3f);
    Quad("b", 0, 0, 30, 0.4f);
    Quad("c", 0, 0, 12, 0.5f);
    scene->opaqueCount = 2;
    pass->RenderScene(scene.get());
    EXPECT_EQ(DrawnIds(), std::vector<float>({0.1f, 0.2f, 0.4f, 0.5f, 0.3f}));
    // Without sorting the list order holds.
    rec->Forget();
    scene->viewOptions.sort = 0;
    pass->RenderScene(scene.get());
    EXPECT_EQ(DrawnIds(), std::vector<float>({0.1f, 0.2f, 0.3f, 0.4f, 0.5f}));
}

TEST_F(ScenePassTest, MaterialPassesSkipFullTransparencyAndDrawTheTransparentPassLast) {
    QuadSpec spec;
    spec.materials = 3;
    spec.position = D3DXVECTOR3(0, 0, 10);
    DXC_Mesh* mesh = AddQuad(*gfx, *scene, "three", spec);
    for (int32_t i = 0; i < 3; ++i)
        mesh->GetMaterial(i)->material.Emissive.r = 0.1f * static_cast<float>(i + 1);
    mesh->GetMaterial(0)->transparent = 1;
    mesh->GetMaterial(0)->transparency = 0.99f;
    mesh->GetMaterial(2)->transparency = 1.0f;
    pass->RenderMesh(mesh, nullptr, nullptr, 0, 0);
    EXPECT_EQ(DrawnIds(), std::vector<float>({0.2f, 0.1f}));
    // Fully transparent in the transparent pass is not drawn either.
    rec->Forget();
    mesh->GetMaterial(0)->transparency = 1.0f;
    pass->RenderMesh(mesh, nullptr, nullptr, 0, 0);
    EXPECT_EQ(DrawnIds(), std::vector<float>({0.2f}));
}

TEST_F(ScenePassTest, MirroringMatrixTurnsTheCullModeForItsMeshOnlyAndTwoSidedDisablesIt) {
    QuadSpec spec;
    spec.twoSided = 0;
    spec.position = D3DXVECTOR3(0, 0, 10);
    DXC_Mesh* plain = AddQuad(*gfx, *scene, "plain", spec);
    DXC_Mesh* mirrored = AddQuad(*gfx, *scene, "mirrored", spec);
    mirrored->nodeTransform.mirror.x = -1.0f;
    mirrored->RebuildFromNode();
    spec.twoSided = 1;
    DXC_Mesh* twoSided = AddQuad(*gfx, *scene, "twoSided", spec);
    gfx->SetCullMode(-1);
    pass->RenderMesh(plain, nullptr, nullptr, 0, 0);
    pass->RenderMesh(mirrored, nullptr, nullptr, 0, 0);
    pass->RenderMesh(twoSided, nullptr, nullptr, 0, 0);
    pass->RenderMesh(plain, nullptr, nullptr, 0, 0);
    EXPECT_EQ(CullAtDraws(), std::vector<DWORD>({D3DCULL_CCW, D3DCULL_CW, D3DCULL_NONE, D3DCULL_CCW}));
    EXPECT_EQ(gfx->GetCullMode(), -1);
}

TEST_F(ScenePassTest, MirroredSceneNegatesProjectionAndCullModeAndPutsBothBack) {
    Quad("q", 0, 0, 10);
    scene->viewOptions.mirror = 1;
    const D3DXMATRIX before = gfx->GetProjectionMatrix();
    gfx->SetCullMode(-1);
    rec->Forget();
    pass->RenderScene(scene.get());
    std::vector<DeviceCall> projections;
    for (const DeviceCall& c : Calls(DeviceCallKind::SetTransform))
        if (c.args[0] == D3DTS_PROJECTION) projections.push_back(c);
    ASSERT_EQ(projections.size(), 2u);
    EXPECT_FLOAT_EQ(projections[0].matrix._11, -before._11);
    EXPECT_FLOAT_EQ(projections[0].matrix._22, before._22);
    EXPECT_FLOAT_EQ(projections[1].matrix._11, before._11);
    EXPECT_EQ(CullAtDraws(), std::vector<DWORD>({D3DCULL_NONE}));
    EXPECT_EQ(gfx->GetCullMode(), -1);
}

TEST_F(ScenePassTest, HostileMaterialsStopWithTheirMessage) {
    DXC_Mesh* mesh = Quad("hostile", 0, 0, 10);
    mesh->GetMaterial(0)->transparencyType = 7;
    // Without a texture an unknown type changes nothing; with one it is an error.
    EXPECT_EQ(GfxErrorOf([&] { pass->RenderMesh(mesh, nullptr, nullptr, 0, 0); }), "");
    mesh->SetTexture(0, TextureWithSlot(0, 1));
    EXPECT_EQ(GfxErrorOf([&] { pass->RenderMesh(mesh, nullptr, nullptr, 0, 0); }),
              "Unknown material blend mode: 7");

    DXC_Mesh* second = Quad("second", 0, 0, 10);
    second->SetTexture(0, TextureWithSlot(1, 1)); // a diffuse map in slot 1, none in slot 0
    EXPECT_EQ(GfxErrorOf([&] { pass->RenderMesh(second, nullptr, nullptr, 0, 0); }),
              "More than one diffuse map requires a diffuse map at stage 0");
}

TEST_F(ScenePassTest, MaterialBlendFollowsTypeTransparencyAndTexture) {
    MeshMaterial m;
    m.transparencyType = 0;
    m.transparency = 0.5f;
    m.mirrorU = 1;
    m.tileV = 0;
    pass->ApplyMaterialBlend(m, 1, 1, 255, 1);
    EXPECT_EQ(gfx->GetBlendMode(), 7);
    EXPECT_EQ(gfx->GetBlendAlpha(), 127);
    EXPECT_EQ(gfx->GetAddressU(0), static_cast<DWORD>(D3DTADDRESS_MIRROR));
    EXPECT_EQ(gfx->GetAddressV(0), static_cast<DWORD>(D3DTADDRESS_CLAMP));
    // An additive default keeps additive blending for a transparent map.
    pass->ApplyMaterialBlend(m, 1, 3, 200, 1);
    EXPECT_EQ(gfx->GetBlendMode(), 12);
    EXPECT_EQ(gfx->GetBlendAlpha(), 100);
    m.transparencyType = 1;
    m.transparency = 0.0f;
    pass->ApplyMaterialBlend(m, 1, 1, 255, 1);
    EXPECT_EQ(gfx->GetBlendMode(), 3);
    EXPECT_EQ(gfx->GetZWrite(), 0);
    m.transparencyType = 2;
    m.transparency = 0.25f;
    pass->ApplyMaterialBlend(m, 1, 1, 255, 1);
    EXPECT_EQ(gfx->GetBlendMode(), 17);
    DWORD factor = 0;
    for (const DeviceCall& c : Calls(DeviceCallKind::SetRenderState))
        if (c.args[0] == D3DRS_TEXTUREFACTOR) factor = c.args[1];
    EXPECT_EQ(factor >> 24, 191u);
    // Without a texture the type alone decides, and the address modes stay.
    gfx->SetAddressU(0, D3DTADDRESS_WRAP);
    pass->ApplyMaterialBlend(m, 0, 1, 255, 1);
    EXPECT_EQ(gfx->GetBlendMode(), 17);
    EXPECT_EQ(gfx->GetAddressU(0), static_cast<DWORD>(D3DTADDRESS_WRAP));
}

TEST_F(ScenePassTest, TooManyBonesForTheHardwareWarnsAndStillDraws) {
    DXC_Mesh* mesh = Quad("skin", 0, 0, 10);
    DXC_MeshData* data = GetMeshData(mesh);
    data->skinned = 1;
    data->hardwareBlending = 1;
    data->blendMatrixCount = static_cast<int32_t>(gfx->GetCaps().MaxVertexBlendMatrixIndex) + 2;
    pass->RenderMesh(mesh, nullptr, nullptr, 0, 0);
    EXPECT_EQ(CountEntries("Number of bones too high for hardware vertex blending: " +
                           std::to_string(data->blendMatrixCount)),
              1);
    EXPECT_EQ(Calls(DeviceCallKind::DrawIndexedPrimitive).size(), 1u);
}

TEST_F(ScenePassTest, NoSceneOrMeshWarnsAndDrawsNothing) {
    EXPECT_EQ(pass->RenderScene(nullptr), 0);
    EXPECT_EQ(pass->RenderMesh(nullptr, nullptr, nullptr, 0, 0), 0);
    EXPECT_EQ(CountEntries("Pointer to 3dScene is zero"), 1);
    EXPECT_EQ(CountEntries("Pointer to mesh is zero"), 1);
    DXC_Mesh* hidden = Quad("hidden", 0, 0, 10);
    hidden->visible = 0;
    EXPECT_EQ(pass->RenderMesh(hidden, nullptr, nullptr, 0, 0), 1);
    EXPECT_TRUE(Calls(DeviceCallKind::DrawIndexedPrimitive).empty());
}

// Reads the first uv set of the four quad corners.
std::vector<float> CornerU(DXC_MeshData& data) {
    std::vector<float> u;
    const BYTE* v = data.LockVertexBuffer(D3DLOCK_READONLY);
    for (int32_t i = 0; i < 4; ++i) u.push_back(*reinterpret_cast<const float*>(v + i * 32 + 24));
    data.UnlockVertexBuffer();
    return u;
}

TEST_F(ScenePassTest, SphereMapIsWrittenPerMaterialAndLeavesASharingCloneAlone) {
    DXC_Mesh* source = Quad("source", 0, 0, 10);
    DXC_Mesh* clone = Quad("clone", 3, 0, 10);
    clone->SetGeometry(source->GetGeometry()->CopyShared(*clone));
    for (DXC_Mesh* m : {source, clone}) {
        GetMeshData(m)->sphereMapChannel = 0;
        m->GetMaterial(0)->reflectionChannel = 1;
    }
    const std::vector<float> before = CornerU(*GetMeshData(source));
    pass->RenderMesh(clone, nullptr, nullptr, 0, 0);
    EXPECT_NE(GetMeshData(clone)->GetMesh(), GetMeshData(source)->GetMesh());
    EXPECT_EQ(CornerU(*GetMeshData(source)), before);
    // Mirror-symmetric corners of a quad straight ahead get u mirrored about 0.5.
    pass->RenderMesh(source, nullptr, nullptr, 0, 0);
    const std::vector<float> u = CornerU(*GetMeshData(source));
    EXPECT_NEAR(u[0] + u[2], 1.0f, 1e-5f);
    EXPECT_LT(u[0], 0.5f);
    // A material without a reflection map is drawn by the mesh itself, coordinates untouched.
    source->GetMaterial(0)->reflectionChannel = -1;
    EXPECT_EQ(DXC_ScenePass::SphereMapChannel(*source, 0), -1);
}

TEST_F(ScenePassTest, MarkersAndLinksUseTheirColoursWithoutDepthTest) {
    DXC_Mesh* child = Quad("child", 0, 0, 10);
    DXC_Mesh* parent = Quad("parent", 1, 0, 10);
    child->SetParent(parent);
    DXC_3dObject* helper = scene->Helpers().Get(scene->Helpers().AddNew());
    helper->SetNodePosition(0, 1, 10, 1);
    scene->viewOptions.showLinks = 1;
    scene->viewOptions.selectedHelper = -1;
    pass->RenderScene(scene.get());
    std::vector<DWORD> zEnable;
    for (const DeviceCall& c : Calls(DeviceCallKind::SetRenderState))
        if (c.args[0] == D3DRS_ZENABLE) zEnable.push_back(c.args[1]);
    EXPECT_EQ(zEnable, std::vector<DWORD>({D3DZB_FALSE, D3DZB_TRUE}));
    std::vector<D3DPRIMITIVETYPE> primitives;
    for (const DeviceCall& c : Calls(DeviceCallKind::DrawPrimitive))
        primitives.push_back(static_cast<D3DPRIMITIVETYPE>(c.args[0]));
    EXPECT_EQ(primitives, std::vector<D3DPRIMITIVETYPE>({D3DPT_LINESTRIP, D3DPT_POINTLIST}));
}

} // namespace

namespace {

bool Finite(const D3DXMATRIX& m) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (!std::isfinite(m.m[r][c])) return false;
    return true;
}

TEST_F(ScenePassTest, CameraLooksAtItsTargetWithItsOwnUpAndNeverDegenerates) {
    DXC_Camera camera;
    DXC_3dObject target;
    camera.SetNodePosition(0, -10, 0, 1);
    // The node turned a quarter about Y: its local +Y (up) stays world +Y, -Z looks along -X.
    camera.nodeTransform.rotationAxis = D3DXVECTOR3(0, 1, 0);
    camera.nodeTransform.rotationAngle = Pi / 2;
    camera.RebuildFromNode();
    camera.fov = Pi / 2;
    target.SetNodePosition(0, 5, 0, 1);
    camera.SetTarget(&target);
    pass->SetCamera(camera);
    const D3DXMATRIX& view = gfx->GetViewMatrix();
    D3DXVECTOR3 p(0, 5, 0), seen;
    D3DXVec3TransformCoord(&seen, &p, &view);
    EXPECT_NEAR(seen.x, 0.0f, 1e-4f);
    EXPECT_NEAR(seen.y, 0.0f, 1e-4f);
    EXPECT_NEAR(seen.z, 15.0f, 1e-4f);
    // Up is the node's +Y, which lies along the line of sight here: the stored up (Z) is used.
    D3DXVECTOR3 above(0, 5, 1);
    D3DXVec3TransformCoord(&seen, &above, &view);
    EXPECT_GT(seen.y, 0.5f);
    EXPECT_NEAR(gfx->GetProjectionMatrix()._22, 1.0f, 1e-5f);
    // A target on the eye: the camera's own axis.
    target.SetNodePosition(0, -10, 0, 1);
    pass->SetCamera(camera);
    EXPECT_TRUE(Finite(gfx->GetViewMatrix()));
}

TEST_F(ScenePassTest, RolledCameraTurnsThePicture) {
    DXC_Camera camera;
    // Looking along +Y (node: -Z turned onto +Y), then rolled 90 degrees about the sight line.
    camera.nodeTransform.rotationAxis = D3DXVECTOR3(1, 0, 0);
    camera.nodeTransform.rotationAngle = Pi / 2;
    camera.RebuildFromNode();
    pass->SetCamera(camera);
    D3DXVECTOR3 up(0, 10, 1), seen;
    D3DXVec3TransformCoord(&seen, &up, &gfx->GetViewMatrix());
    EXPECT_GT(seen.z, 9.0f);
    const float levelY = seen.y;
    D3DXMATRIX roll;
    const D3DXVECTOR3 sightAxis(0, 1, 0);
    D3DXMatrixRotationAxis(&roll, &sightAxis, Pi / 2);
    D3DXMATRIX rolled;
    D3DXMatrixMultiply(&rolled, &camera.worldTM, &roll);
    camera.worldTM = rolled;
    pass->SetCamera(camera);
    D3DXVec3TransformCoord(&seen, &up, &gfx->GetViewMatrix());
    EXPECT_NEAR(std::fabs(seen.x), std::fabs(levelY), 1e-3f);
    EXPECT_NEAR(seen.y, 0.0f, 1e-3f);
}

TEST_F(ScenePassTest, VertexFormatCacheAgreesWithTheDeviceAfterAMeshDraws) {
    pass->DrawLine(D3DXVECTOR3(0, 0, 5), D3DXVECTOR3(1, 0, 5), 0xFFFFFFFF);
    pass->RenderMesh(Quad("q", 0, 0, 10), nullptr, nullptr, 0, 0);
    EXPECT_EQ(gfx->GetVertexFormat(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
    rec->Forget();
    pass->DrawLine(D3DXVECTOR3(0, 0, 5), D3DXVECTOR3(1, 0, 5), 0xFFFFFFFF);
    ASSERT_FALSE(Calls(DeviceCallKind::SetVertexShader).empty());
    EXPECT_EQ(Calls(DeviceCallKind::SetVertexShader).back().args[0], static_cast<DWORD>(DXC_LVertex::Format));
}

} // namespace

namespace {

TEST_F(ScenePassTest, PrepareDrawsTheSceneOnceAndDiscardsTheFrame) {
    Quad("q", 0, 0, 10);
    gfx->EndScene(); // Prepare makes its own scene outside one
    rec->Forget();
    pass->Prepare(*scene);
    EXPECT_EQ(Calls(DeviceCallKind::DrawIndexedPrimitive).size(), 1u);
    EXPECT_EQ(Calls(DeviceCallKind::Present).size(), 0u);
    const std::vector<DeviceCall>& calls = rec->Device().Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().kind, DeviceCallKind::Clear);
    EXPECT_EQ(gfx->GetInScene(), 0);
    gfx->BeginScene();
}

} // namespace
