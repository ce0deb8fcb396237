// Vertex formats and lists, the hardware-processing decision, bone constants, lights and
// screenshots on the recording device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "GfxTestSupport.h"
#include "platform/TemporaryFolder.h"
#include "platform/d3dx/D3DXMesh.h"
#include "render/DXC_VertexShader.h"
#include "scene/Light.h"

using Lines = std::vector<std::string>;

TEST(VertexFormat, OffsetsAndSizesFollowTheFormatBits) {
    VertexFormat tl;
    tl.Set(DXC_TLVertex::Format);
    EXPECT_EQ(tl.size, 32);
    EXPECT_EQ(tl.diffuse, 16);
    EXPECT_EQ(tl.texCoord[0], 24);
    VertexFormat skin;
    skin.Set(D3DFVF_XYZB3 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(1));
    EXPECT_TRUE(skin.indexedBlend);
    EXPECT_EQ(skin.blendValues, 3);
    EXPECT_EQ(skin.blendWeights, 2);
    EXPECT_EQ(skin.normal, 24);
    EXPECT_EQ(skin.texCoord[1], 44);
    EXPECT_EQ(skin.texCoordFloats[1], 3);
    EXPECT_EQ(skin.size, 56);
    // Bits the device refuses give no layout, as the device's buffers have none for them.
    VertexFormat refused;
    refused.Set(D3DFVF_XYZ | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL);
    EXPECT_EQ(refused.size, 0);
}

TEST(VertexList, PrimitiveCountsFollowTheTypeAndUnknownTypesStop) {
    RecordingGfx r;
    DXC_VertexListTemp<DXC_LVertex> list;
    r.gfx->CreateVertexList(&list, 10);
    list.SetPrimitiveType(D3DPT_TRIANGLELIST);
    EXPECT_EQ(list.GetPrimitiveCount(), 3);
    list.SetPrimitiveType(D3DPT_LINELIST);
    EXPECT_EQ(list.GetPrimitiveCount(), 5);
    list.SetPrimitiveType(D3DPT_TRIANGLEFAN);
    EXPECT_EQ(list.GetPrimitiveCount(), 8);
    DXC_VertexListTemp<DXC_LVertex> two;
    r.gfx->CreateVertexList(&two, 2);
    two.SetPrimitiveType(D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(two.GetPrimitiveCount(), 0);
    EXPECT_EQ(GfxErrorOf([&] { list.SetPrimitiveType(7); }), "Invalid PointList mode selected! (7)");
    EXPECT_EQ(GfxErrorOf([&] { r.gfx->CreateVertexList(nullptr, 4); }), "VertexList is NULL pointer");
}

TEST(VertexList, DrawWholeListRangeAndTooMany) {
    RecordingGfx r;
    DXC_VertexListTemp<DXC_LVertex>* lit = r.gfx->GetLList();
    lit->SetPrimitiveType(D3DPT_LINESTRIP);
    r.gfx->BeginScene();
    r.Forget();
    r.gfx->DrawVertexList(lit, 0, 0);
    EXPECT_TRUE(r.Calls().empty());
    r.gfx->DrawVertexList(lit, 0, -1);
    const Lines calls = r.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "DrawPrimitive(D3DPT_LINESTRIP, 0, 31)");
    EXPECT_NE(std::find(calls.begin(), calls.end(), "SetVertexShader(0x1C2)"), calls.end())
        << ::testing::PrintToString(calls);
    EXPECT_EQ(GfxErrorOf([&] { r.gfx->DrawVertexList(lit, 0, 32); }),
              "Number of elements in DrawTriangleList too high! (32)");
}

TEST(VertexList, LockedElementsAreAddressedByVertexIndex) {
    RecordingGfx r;
    DXC_VertexListTemp<DXC_LVertex> list;
    r.gfx->CreateVertexList(&list, 8);
    list.Lock(2, 3);
    ASSERT_NE(list.Position(4), nullptr);
    EXPECT_EQ(list.Position(5), nullptr); // outside the locked range
    *list.Diffuse(3) = 0xFF00FF00;
    list.Position(2)->x = 7.0f;
    list.Unlock();
    EXPECT_EQ(list.Diffuse(3), nullptr);
    list.Lock();
    EXPECT_EQ(*list.Diffuse(3), 0xFF00FF00u);
    EXPECT_EQ(list.At(2)->x, 7.0f);
    list.Unlock();
}

TEST(VertexList, SoftwareProcessingUsageAndPointUsage) {
    RecordingGfx software(false);
    DXC_VertexListTemp<DXC_PointVertex> points;
    points.pointList = 1;
    software.gfx->CreateVertexList(&points, 4);
    EXPECT_EQ(points.IsHardware(), 0);
    EXPECT_EQ(software.Calls().back(), "CreateVertexBuffer(64, 0x50, 0x42, D3DPOOL_MANAGED)");

    RecordingGfx hardware(true);
    DXC_VertexListTemp<DXC_LVertex> lit;
    hardware.gfx->CreateVertexList(&lit, 4, 0, 1);
    EXPECT_EQ(lit.IsHardware(), 1);
    EXPECT_EQ(hardware.Calls().back(), "CreateVertexBuffer(112, 0x0, 0x1C2, D3DPOOL_SYSTEMMEM)");
}

TEST(Skinning, HardwareProcessingDecision) {
    RecordingConfig smallPoints = DefaultRecordingConfig();
    smallPoints.adapter.caps.MaxPointSize = 1.0f;
    RecordingGfx r(true, smallPoints);
    VertexFormat indexed;
    indexed.Set(D3DFVF_XYZB4 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL);
    EXPECT_EQ(r.gfx->CanProcessInHardware(indexed, 3, 0), 0); // no /hwskin
    r.gfx->hardwareSkinning = 1;
    EXPECT_EQ(r.gfx->CanProcessInHardware(indexed, 3, 0), 1);
    EXPECT_EQ(r.gfx->CanProcessInHardware(indexed, 3, 1), 0);
    r.gfx->boneLimit = 2;
    EXPECT_EQ(r.gfx->CanProcessInHardware(indexed, 3, 0), 0);
    VertexFormat weights;
    weights.Set(D3DFVF_XYZB5 | D3DFVF_NORMAL); // 5 weights, the device blends 4 matrices
    EXPECT_EQ(r.gfx->CanProcessInHardware(weights, 0, 0), 0);
    VertexFormat sized;
    sized.Set(D3DFVF_XYZ | D3DFVF_PSIZE);
    EXPECT_EQ(r.gfx->CanProcessInHardware(sized, 0, 0), 0);
    DXC_VertexList list;
    list.SetFormat(D3DFVF_XYZ | D3DFVF_PSIZE);
    r.gfx->CreateVertexList(&list, 4);
    EXPECT_EQ(list.IsHardware(), 0);
}

TEST(Skinning, BoneConstantsFitFiftyEightMatricesFromRegisterTwenty) {
    RecordingGfx r(true);
    r.gfx->SetBoneConstants(19, 20); // registers 20 to 95, all the device has
    const auto constants = r.Device().Filter(DeviceCallKind::SetVertexShaderConstant);
    ASSERT_EQ(constants.size(), 19u);
    EXPECT_EQ(constants.back().args[0], 20u + 4u * 18u);
    EXPECT_EQ(constants.back().args[1], 4u);
    // 58 matrices pass the limit (20 + 232 = 252); this device then refuses register 96.
    EXPECT_EQ(GfxErrorOf([&] { r.gfx->SetBoneConstants(58, 20); }),
              "Failed to set vertex shader constants (bone TMs): D3DERR_INVALIDCALL");
    EXPECT_EQ(GfxErrorOf([&] { r.gfx->SetBoneConstants(59, 20); }),
              "Number of Bones for vertex shader too high: 59");
}

TEST(Skinning, MultiShaderWithoutAMatchingVariantStops) {
    RecordingGfx r(true);
    DXC_MultiVertexShader multi;
    r.gfx->SelectVertexShader(&multi, 0);
    EXPECT_EQ(r.gfx->GetActiveMultiShader(), &multi);
    EXPECT_EQ(GfxErrorOf([&] { r.gfx->SelectVertexShader(&multi, 0x142); }),
              "No vertex shader matches vertex format 142 in multi vertex shader");
    r.gfx->SelectVertexShader(nullptr, 0);
    r.Forget();
    r.gfx->SetVertexShaderObject(nullptr);
    EXPECT_EQ(r.Calls(), Lines{"SetVertexShader(0x112)"});
}

TEST(Lights, UnsetLightsAreSkippedAndPointLightsAreSet) {
    RecordingGfx r;
    D3DLIGHT8 point{};
    point.Type = D3DLIGHT_POINT;
    point.Range = 10.0f;
    EXPECT_EQ(r.gfx->SetLight(0, point, 1), 0);
    EXPECT_TRUE(r.Calls().empty());
    EXPECT_EQ(r.gfx->SetLight(0, point, 0), 1);
    ASSERT_EQ(r.Device().Count(DeviceCallKind::SetLight), 1u);
    EXPECT_EQ(r.Device().Last(DeviceCallKind::SetLight)->light.Type, D3DLIGHT_POINT);

    DXC_Light light;
    light.light.Type = D3DLIGHT_DIRECTIONAL;
    EXPECT_EQ(r.gfx->SetLight(1, &light), 0); // never given a type by a loader: unset
    light.unset = 0;
    EXPECT_EQ(r.gfx->SetLight(1, &light), 1);
}

TEST(Lights, IndexEightIsAcceptedAndHigherOnesAreSkippedWithOneWarning) {
    RecordingGfx r;
    ResetReportState();
    EXPECT_EQ(r.gfx->EnableLight(8, 1), 1);
    EXPECT_EQ(r.gfx->EnableLight(8, 1), 1); // cached
    EXPECT_EQ(r.Calls(), Lines{"LightEnable(8, 1)"});
    EXPECT_EQ(r.gfx->EnableLight(9, 1), 0);
    EXPECT_EQ(r.gfx->EnableLight(12, 1), 0);
    D3DLIGHT8 spot{};
    spot.Type = D3DLIGHT_SPOT;
    EXPECT_EQ(r.gfx->SetLight(10, spot), 0);
    EXPECT_EQ(r.Calls().size(), 1u);
    EXPECT_STREQ(DXC_Base::GetReportState().last.message, "Light index >8");
    EXPECT_EQ(DXC_Base::GetReportState().warningCount, 1);
}

TEST(ScreenShotFiles, CounterNamesTheFilesAndRisesOnFailureToo) {
    namespace fs = std::filesystem;
    const TemporaryFolder folder("kzv_gfx_shots_");
    const fs::path dir = folder.Path();
    RecordingGfx r;
    r.gfx->Clear(0xFF336699);
    r.gfx->Present();
    const std::string prefix = (dir / "ScreenShot").string();
    for (int i = 0; i < 3; ++i) r.gfx->ScreenShot(prefix.c_str(), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(fs::exists(dir / ("ScreenShot" + std::to_string(i) + ".bmp"))) << i;
    const std::string bad = (dir / "missing" / "Shot").string();
    EXPECT_NE(GfxErrorOf([&] {
                  r.gfx->ScreenShot(bad.c_str(), 0);
              }).find("D3DXSaveSurfaceToFile in ScreenShot failed"),
              std::string::npos);
    EXPECT_EQ(r.gfx->GetScreenShotCounter(), 4);
}

TEST(VertexList, MeshFaceRangeIsDrawnAsAnIndexedTriangleList) {
    RecordingGfx r;
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3DXCreateMeshFVF(3, 5, 0, D3DFVF_XYZ | D3DFVF_NORMAL, r.gfx->GetDevice(), &mesh), D3D_OK);
    r.gfx->BeginScene();
    r.Forget();
    EXPECT_EQ(r.gfx->DrawIndexedSubset(mesh, 1, 0, 0), 0);
    EXPECT_TRUE(r.Calls().empty());
    EXPECT_EQ(r.gfx->DrawIndexedSubset(mesh, 1, 2, 0), 1);
    const Lines calls = r.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 5, 3, 2)");
    EXPECT_NE(std::find(calls.begin(), calls.end(), "SetVertexShader(0x12)"), calls.end());
    r.gfx->EndScene();
    mesh->Release();
}
