// Adapter and display-mode selection, device creation, clearing, scene bracketing, the lost
// device and the initial state, on the recording device.
#include <gtest/gtest.h>

#include <algorithm>

#include "GfxTestSupport.h"

using Lines = std::vector<std::string>;

namespace {

// True when every line of wanted appears in calls in the same order.
bool InOrder(const Lines& calls, const Lines& wanted) {
    auto at = calls.begin();
    for (const std::string& w : wanted) {
        at = std::find(at, calls.end(), w);
        if (at == calls.end()) return false;
        ++at;
    }
    return true;
}

DXC_Gfx* NewRecordingGfx(RecordingConfig config = DefaultRecordingConfig()) {
    return new DXC_Gfx(CreateRecordingDirect3D8(config));
}

} // namespace

TEST(GfxDisplayMode, RefreshZeroTakesTheHighestListedRate) {
    std::unique_ptr<DXC_Gfx> gfx(NewRecordingGfx());
    D3DDISPLAYMODE mode{1024, 768, 0, D3DFMT_A8R8G8B8}; // looked up as X8R8G8B8
    EXPECT_EQ(gfx->CheckDisplayMode(&mode), 1);
    EXPECT_EQ(mode.RefreshRate, 85u);
    D3DDISPLAYMODE exact{800, 600, 75, D3DFMT_R5G6B5};
    EXPECT_EQ(gfx->CheckDisplayMode(&exact), 1);
    D3DDISPLAYMODE unlisted{800, 600, 70, D3DFMT_R5G6B5};
    EXPECT_EQ(gfx->CheckDisplayMode(&unlisted), 0);
    D3DDISPLAYMODE size{1000, 700, 0, D3DFMT_R5G6B5};
    EXPECT_EQ(gfx->CheckDisplayMode(&size), 0);
}

TEST(GfxDisplayMode, OnlyThirtyTwoBitsSelectsTheAlphaFormat) {
    GraphicsOptions options;
    options.bitsPerPixel = 24;
    EXPECT_EQ(RequestedDisplayMode(options).Format, D3DFMT_R5G6B5);
    options.bitsPerPixel = 32;
    options.width = 800;
    options.refreshRate = 75;
    const D3DDISPLAYMODE mode = RequestedDisplayMode(options);
    EXPECT_EQ(mode.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(mode.Width, 800u);
    EXPECT_EQ(mode.RefreshRate, 75u);
}

TEST(GfxDisplayMode, AdapterOutsideTheListStops) {
    std::unique_ptr<DXC_Gfx> gfx(NewRecordingGfx());
    EXPECT_EQ(GfxErrorOf([&] { gfx->SelectAdapter(1); }), "Wrong adapter selected: 1");
    gfx->SelectAdapter(0);
}

TEST(GfxDevice, FullScreenPresentParametersFollowModeDepthAndVsync) {
    std::unique_ptr<DXC_Gfx> gfx(NewRecordingGfx());
    D3DDISPLAYMODE mode{800, 600, 75, D3DFMT_X8R8G8B8};
    gfx->InitDevice(nullptr, 0, &mode, 24, 2, 0, 0);
    const D3DPRESENT_PARAMETERS& pp = gfx->GetPresentParameters();
    EXPECT_EQ(pp.BackBufferWidth, 800u);
    EXPECT_EQ(pp.BackBufferHeight, 600u);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(pp.Windowed, 0);
    EXPECT_EQ(pp.FullScreen_RefreshRateInHz, 75u);
    EXPECT_EQ(pp.FullScreen_PresentationInterval, D3DPRESENT_INTERVAL_TWO);
    EXPECT_EQ(pp.AutoDepthStencilFormat, D3DFMT_D24S8);
    EXPECT_EQ(pp.SwapEffect, D3DSWAPEFFECT_FLIP);
    EXPECT_EQ(gfx->GetAlphaFormat(), D3DFMT_A8R8G8B8);
    EXPECT_EQ(gfx->GetDisplayFormat(), D3DFMT_X8R8G8B8);
    EXPECT_EQ(gfx->GetViewport().Width, 800u);
}

TEST(GfxDevice, WindowedDepth24HasNoStencilAndBadParametersStop) {
    std::unique_ptr<DXC_Gfx> windowed(NewRecordingGfx());
    D3DDISPLAYMODE mode{640, 480, 0, D3DFMT_R5G6B5};
    windowed->InitDevice(nullptr, 1, &mode, 24, 0, 0, 0);
    EXPECT_EQ(windowed->GetPresentParameters().AutoDepthStencilFormat, D3DFMT_D24X8);
    EXPECT_EQ(windowed->GetPresentParameters().Windowed, 1);
    std::unique_ptr<DXC_Gfx> a(NewRecordingGfx());
    EXPECT_EQ(GfxErrorOf([&] { a->InitDevice(nullptr, 0, nullptr, 16, 0, 0, 0); }),
              "No displaymode specified!");
    std::unique_ptr<DXC_Gfx> b(NewRecordingGfx());
    EXPECT_EQ(GfxErrorOf([&] { b->InitDevice(nullptr, 0, &mode, 16, 5, 0, 0); }), "Wrong vsync parameter: 5");
    std::unique_ptr<DXC_Gfx> c(NewRecordingGfx());
    EXPECT_EQ(GfxErrorOf([&] { c->InitDevice(nullptr, 1, &mode, 8, 0, 0, 0); }), "Invalid Z-buffer: 8");
}

TEST(GfxDevice, HardwareVertexProcessingNeedsTheCapability) {
    RecordingConfig noTnl = DefaultRecordingConfig();
    noTnl.adapter.caps.DevCaps &= ~D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    RecordingGfx without(true, noTnl);
    EXPECT_EQ(without.gfx->UsesHardwareVertexProcessing(), 0);
    EXPECT_TRUE(without.Device().SoftwareVertexProcessing());
    RecordingGfx with(true);
    EXPECT_EQ(with.gfx->UsesHardwareVertexProcessing(), 1);
}

TEST(GfxDevice, InitialStateFollowsTheStartUpOrder) {
    std::unique_ptr<DXC_Gfx> gfx(NewRecordingGfx());
    D3DDISPLAYMODE mode{640, 480, 0, D3DFMT_R5G6B5};
    gfx->InitDevice(nullptr, 1, &mode, 16, 0, 0, 0);
    RecordingDevice& device = *AsRecordingDevice(gfx->GetDevice());
    Lines calls;
    for (const DeviceCall& call : device.Calls()) calls.push_back(device.Text(call));
    EXPECT_TRUE(InOrder(
        calls, {"SetRenderState(D3DRS_FILLMODE, 3)", "SetRenderState(D3DRS_ZENABLE, 1)",
                "SetViewport(0, 0, 640, 480, 0, 1)", "SetRenderState(D3DRS_LIGHTING, 1)",
                "SetRenderState(D3DRS_SPECULARENABLE, 0)", "SetRenderState(D3DRS_ALPHABLENDENABLE, 0)",
                "SetTextureStageState(0, D3DTSS_MIPFILTER, 0)", "SetRenderState(D3DRS_DITHERENABLE, 1)",
                "SetTextureStageState(0, D3DTSS_ADDRESSU, 1)", "SetTextureStageState(0, D3DTSS_ADDRESSV, 1)",
                "SetTextureStageState(0, D3DTSS_COLOROP, 4)", "SetTextureStageState(0, D3DTSS_COLORARG1, 2)",
                "SetTextureStageState(0, D3DTSS_COLORARG2, 0)", "SetRenderState(D3DRS_NORMALIZENORMALS, 1)",
                "SetTextureStageState(1, D3DTSS_MINFILTER, 2)", "SetRenderState(D3DRS_CULLMODE, 3)",
                "SetRenderState(D3DRS_FOGVERTEXMODE, 0)", "SetRenderState(D3DRS_FOGENABLE, 0)"}));
    // The immediate lists exist with their sizes and types.
    EXPECT_EQ(gfx->GetTLList()->GetVertexCount(), 32);
    EXPECT_EQ(gfx->GetLList()->GetVertexCount(), 32);
    EXPECT_EQ(gfx->GetPointList()->GetPrimitiveType(), D3DPT_POINTLIST);
    EXPECT_EQ(gfx->GetImmediateQuad()->GetPrimitiveCount(), 2);
    EXPECT_EQ(gfx->GetFog().mode, 0);
}

TEST(GfxDevice, ClearTakesTheZBufferOnlyWhenThereIsOne) {
    RecordingGfx r;
    r.gfx->Clear(0xFF112233, 1.0f);
    EXPECT_EQ(r.Calls(), Lines{"Clear(0, 0x3, 0xFF112233, 1, 0)"});
    r.Forget();
    EXPECT_EQ(r.gfx->ClearZBuffer(0.5f), 1);
    EXPECT_EQ(r.Calls(), Lines{"Clear(0, 0x2, 0x00000000, 0.5, 0)"});

    std::unique_ptr<DXC_Gfx> flat(NewRecordingGfx());
    D3DDISPLAYMODE mode{640, 480, 0, D3DFMT_R5G6B5};
    flat->InitDevice(nullptr, 1, &mode, 0, 0, 0, 0);
    RecordingDevice& device = *AsRecordingDevice(flat->GetDevice());
    device.ClearCalls();
    EXPECT_EQ(flat->ClearZBuffer(1.0f), 0);
    flat->Clear(0, 1.0f);
    ASSERT_EQ(device.Calls().size(), 1u);
    EXPECT_EQ(device.Text(device.Calls()[0]), "Clear(0, 0x1, 0x00000000, 1, 0)");
}

TEST(GfxDevice, SceneBracketsSetTheInSceneFlagAndFailuresStop) {
    RecordingGfx r;
    EXPECT_EQ(r.gfx->GetInScene(), -1);
    r.gfx->BeginScene();
    EXPECT_EQ(r.gfx->GetInScene(), 1);
    EXPECT_EQ(GfxErrorOf([&] { r.gfx->BeginScene(); }), "BeginScene failed: D3DERR_INVALIDCALL");
    r.gfx->EndScene();
    EXPECT_EQ(r.gfx->GetInScene(), 0);
    EXPECT_EQ(GfxErrorOf([&] { r.gfx->EndScene(); }), "EndScene failed: D3DERR_INVALIDCALL");
}

TEST(GfxDevice, LostDeviceSkipsTheFrameAndResetsWithEveryState) {
    RecordingGfx r;
    EXPECT_EQ(r.gfx->Present(), 1);
    r.gfx->SetZWrite(0);
    r.Device().MarkLost(2);
    r.Forget();
    EXPECT_EQ(r.gfx->Present(), 0);
    const Lines calls = r.Calls();
    EXPECT_TRUE(InOrder(
        calls,
        {"Present() -> D3DERR_DEVICELOST", "TestCooperativeLevel() -> D3DERR_DEVICELOST",
         "TestCooperativeLevel() -> D3DERR_DEVICELOST", "TestCooperativeLevel() -> D3DERR_DEVICENOTRESET",
         "Reset(640x480, D3DFMT_X8R8G8B8, windowed 1)", "SetRenderState(D3DRS_ZWRITEENABLE, 0)"}))
        << ::testing::PrintToString(calls);
    EXPECT_EQ(r.gfx->Present(), 1);
    // A reset of a device that was not lost reports 1.
    EXPECT_EQ(r.gfx->ResetDevice(), 1);
}

TEST(GfxDevice, ViewportFailureWarnsInWindowedMode) {
    RecordingGfx r;
    ResetReportState();
    EXPECT_EQ(r.gfx->SetViewPort(0, 0, 2000, 2000), 0);
    EXPECT_STREQ(DXC_Base::GetReportState().last.message, "SetViewPort failed: D3DERR_INVALIDCALL");
    EXPECT_EQ(r.gfx->GetViewport().Width, 2000u); // stored as asked
    EXPECT_EQ(r.gfx->IsFrustumDirty(), 1);
}

TEST(GfxDevice, TextureFormatCheckWarnsForUnsupportedFormats) {
    RecordingGfx r;
    EXPECT_EQ(r.gfx->CheckTextureFormat(D3DFMT_A8R8G8B8, 0), 1);
    EXPECT_EQ(r.gfx->CheckTextureFormat(D3DFMT_R5G6B5, 3), 1);
    ResetReportState();
    EXPECT_EQ(r.gfx->CheckTextureFormat(D3DFMT_D16, 3), 0);
    EXPECT_STREQ(DXC_Base::GetReportState().last.message, "Texture format 80 mode 3 not supported by device");
}
