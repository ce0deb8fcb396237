// The state cache and composite settings on the recording device: what each setter sends,
// what it skips, and what a reset sends again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "GfxTestSupport.h"

using Lines = std::vector<std::string>;

namespace {

RecordingConfig WithoutWBuffer() {
    RecordingConfig config = DefaultRecordingConfig();
    config.adapter.caps.RasterCaps &= ~D3DPRASTERCAPS_WBUFFER;
    return config;
}

} // namespace

TEST(GfxBlend, ModeOneAndMinusOneOnlySwitchBlendingOffAndRepeatsAreSkipped) {
    RecordingGfx r;
    r.gfx->SetBlendMode(9, 255); // leave mode 1 first, so that mode -1 has something to send
    r.Forget();
    r.gfx->SetBlendMode(-1, 255);
    EXPECT_EQ(r.Calls(), Lines{"SetRenderState(D3DRS_ALPHABLENDENABLE, 0)"});
    EXPECT_EQ(r.gfx->GetBlendMode(), 1);
    r.Forget();
    r.gfx->SetBlendMode(1, 255);
    r.gfx->SetBlendMode(-1, 255);
    EXPECT_TRUE(r.Calls().empty());
    // Another alpha is another setting.
    r.gfx->SetBlendMode(1, 100);
    EXPECT_EQ(r.Calls().size(), 1u);
}

TEST(GfxBlend, ModeSevenSendsAlphaStagesFactorAndFactorsInOrder) {
    RecordingGfx r;
    const D3DCOLOR unlit = 0xFF102030;
    r.gfx->SetLighting(0, &unlit);
    r.Forget();
    r.gfx->SetBlendMode(7, 0x80);
    EXPECT_EQ(r.Calls(), (Lines{"SetRenderState(D3DRS_ALPHABLENDENABLE, 1)",
                                "SetTextureStageState(0, D3DTSS_ALPHAOP, 4)",   // MODULATE
                                "SetTextureStageState(0, D3DTSS_ALPHAARG1, 3)", // TFACTOR
                                "SetTextureStageState(0, D3DTSS_ALPHAARG2, 2)", // TEXTURE
                                "SetRenderState(D3DRS_TEXTUREFACTOR, " + std::to_string(0x80102030u) + ")",
                                "SetRenderState(D3DRS_SRCBLEND, 5)", "SetRenderState(D3DRS_DESTBLEND, 6)"}));
    EXPECT_EQ(r.gfx->GetBlendAlpha(), 0x80);
    r.Forget();
    r.gfx->SetBlendMode(7, 0x80);
    EXPECT_TRUE(r.Calls().empty());
}

TEST(GfxBlend, ModeTenFadesTheBlendAlphaAndContinuesAsModeSeven) {
    RecordingGfx r;
    r.gfx->SetBlendMode(7, 200);
    r.Forget();
    r.gfx->SetBlendMode(10, 128);
    EXPECT_EQ(r.gfx->GetBlendMode(), 7);
    EXPECT_EQ(r.gfx->GetBlendAlpha(), 100); // 200 x 128 / 255 = 100.39
    const Lines calls = r.Calls();
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[4], "SetRenderState(D3DRS_TEXTUREFACTOR, " + std::to_string(0x64FFFFFFu) + ")");
    // A second fade starts from the faded alpha.
    r.gfx->SetBlendMode(10, 128);
    EXPECT_EQ(r.gfx->GetBlendAlpha(), 50);
}

TEST(GfxBlend, EveryModeSelectsItsBlendFactorsAndAlphaRule) {
    struct Row {
        int mode;
        DWORD src, dest;
        int alphaAfter; // blend alpha after SetBlendMode(mode, 77) from 255
    };
    const Row rows[] = {{2, D3DBLEND_ONE, D3DBLEND_INVSRCCOLOR, 255},
                        {3, D3DBLEND_SRCALPHA, D3DBLEND_ONE, 255},
                        {4, D3DBLEND_INVDESTCOLOR, D3DBLEND_INVSRCCOLOR, 255},
                        {5, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, 255},
                        {6, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, 255},
                        {7, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 77},
                        {9, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 255},
                        {11, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, 255},
                        {12, D3DBLEND_SRCALPHA, D3DBLEND_ONE, 77},
                        {13, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 77},
                        {14, D3DBLEND_ZERO, D3DBLEND_ONE, 255},
                        {15, D3DBLEND_ONE, D3DBLEND_ZERO, 255},
                        {16, D3DBLEND_ONE, D3DBLEND_ONE, 255},
                        {17, D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, 255}};
    RecordingGfx r;
    for (const Row& row : rows) {
        r.gfx->SetBlendMode(2, 255); // blend alpha back to 255
        r.gfx->SetBlendMode(1, 255);
        r.Forget();
        r.gfx->SetBlendMode(row.mode, 77);
        const Lines calls = r.Calls();
        ASSERT_GE(calls.size(), 3u) << row.mode;
        EXPECT_EQ(calls.front(), "SetRenderState(D3DRS_ALPHABLENDENABLE, 1)") << row.mode;
        EXPECT_EQ(calls[calls.size() - 2], "SetRenderState(D3DRS_SRCBLEND, " + std::to_string(row.src) + ")")
            << row.mode;
        EXPECT_EQ(calls.back(), "SetRenderState(D3DRS_DESTBLEND, " + std::to_string(row.dest) + ")")
            << row.mode;
        EXPECT_EQ(r.gfx->GetBlendAlpha(), row.alphaAfter) << row.mode;
    }
}

TEST(GfxBlend, ModesThirteenFifteenAndFourteenTouchOnlyTheirStates) {
    RecordingGfx r;
    r.gfx->SetBlendMode(13, 0x40);
    Lines calls = r.Calls();
    // Mode 13: the factor carries the alpha with black colour.
    EXPECT_NE(std::find(calls.begin(), calls.end(),
                        "SetRenderState(D3DRS_TEXTUREFACTOR, " + std::to_string(0x40000000u) + ")"),
              calls.end());
    r.gfx->SetBlendMode(1, 255);
    r.Forget();
    r.gfx->SetBlendMode(14, 0x40);
    EXPECT_EQ(r.Calls(), (Lines{"SetRenderState(D3DRS_ALPHABLENDENABLE, 1)",
                                "SetRenderState(D3DRS_SRCBLEND, 1)", "SetRenderState(D3DRS_DESTBLEND, 2)"}));
    r.gfx->SetColorArg1(0, D3DTA_DIFFUSE);
    r.Forget();
    r.gfx->SetBlendMode(15, 0x40);
    calls = r.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "SetTextureStageState(0, D3DTSS_COLOROP, 2)"),
              calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "SetTextureStageState(0, D3DTSS_COLORARG1, 2)"),
              calls.end());
}

TEST(GfxBlend, ModeEightAndUnknownModesAreRejected) {
    RecordingGfx r;
    EXPECT_EQ(GfxErrorOf([&] { r.gfx->SetBlendMode(8, 255); }), "Invalid Blending mode selected!");
    EXPECT_EQ(GfxErrorOf([&] { r.gfx->SetBlendMode(18, 255); }), "Invalid Blending mode selected!");
    EXPECT_EQ(GfxErrorOf([&] { r.gfx->SetBlendMode(0, 255); }), "Invalid Blending mode selected!");
}

TEST(GfxZBuffer, WBufferFallsBackToZWithoutDeviceSupport) {
    RecordingGfx without(false, WithoutWBuffer());
    without.gfx->SetZBufferMode(2);
    EXPECT_EQ(without.Calls(), Lines{"SetRenderState(D3DRS_ZENABLE, 1)"});
    RecordingGfx with;
    with.gfx->SetZBufferMode(2);
    EXPECT_EQ(with.Calls(), Lines{"SetRenderState(D3DRS_ZENABLE, 2)"});
}

TEST(GfxZBuffer, NestedSuspendNeedsAsManyResumes) {
    RecordingGfx r;
    r.gfx->SetZBufferMode(1);
    r.Forget();
    r.gfx->SuspendZBuffer();
    r.gfx->SuspendZBuffer();
    EXPECT_EQ(r.Calls(), Lines{"SetRenderState(D3DRS_ZENABLE, 0)"});
    r.gfx->ResumeZBuffer();
    EXPECT_EQ(r.Calls().size(), 1u);
    r.gfx->ResumeZBuffer();
    EXPECT_EQ(r.Calls().back(), "SetRenderState(D3DRS_ZENABLE, 1)");
    r.Forget();
    r.gfx->ResumeZBuffer(); // one too many: nothing
    EXPECT_TRUE(r.Calls().empty());
}

TEST(GfxState, AlphaTestComparesEqualOnlyForMode255AndSkipsRepeats) {
    RecordingGfx r;
    r.gfx->SetAlphaTest(255, 10);
    EXPECT_EQ(r.Calls(), (Lines{"SetRenderState(D3DRS_ALPHATESTENABLE, 255)",
                                "SetRenderState(D3DRS_ALPHAFUNC, 3)", "SetRenderState(D3DRS_ALPHAREF, 10)"}));
    r.Forget();
    r.gfx->SetAlphaTest(255, 10);
    EXPECT_TRUE(r.Calls().empty());
    r.gfx->SetAlphaTest(1, 10);
    EXPECT_EQ(r.Calls()[1], "SetRenderState(D3DRS_ALPHAFUNC, 5)");
    r.Forget();
    r.gfx->SetAlphaTest(0, 10);
    EXPECT_EQ(r.Calls(), Lines{"SetRenderState(D3DRS_ALPHATESTENABLE, 0)"});
}

TEST(GfxState, PointSizeMaxIsClampedToTheSoftwareLimitWithOneWarning) {
    RecordingGfx r; // software vertex processing, device maximum 64
    ResetReportState();
    PointParameters p;
    p.scale = 1;
    p.sizeMax = 100.0f;
    r.gfx->ApplyPointParameters(p, 0);
    EXPECT_EQ(p.sizeMax, 64.0f);
    EXPECT_STREQ(DXC_Base::GetReportState().last.message,
                 "Point size max adjusted from 100.000000 to 64.000000");
    EXPECT_EQ(DXC_Base::GetReportState().warningCount, 1);
    const Lines calls = r.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(),
                        "SetRenderState(D3DRS_POINTSIZE_MAX, " + std::to_string(FloatToDWORD(64.0f)) + ")"),
              calls.end());
    // Sent states are cached: the same record again sends nothing.
    r.Forget();
    r.gfx->ApplyPointParameters(p, 0);
    EXPECT_TRUE(r.Calls().empty());
}

TEST(GfxState, PointParametersWithoutScalingSendOnlySpriteScaleAndSize) {
    RecordingGfx r;
    PointParameters p;
    p.size = 3.0f;
    r.gfx->ApplyPointParameters(p, 1);
    EXPECT_EQ(
        r.Calls(),
        (Lines{"SetRenderState(D3DRS_POINTSPRITEENABLE, 0)", "SetRenderState(D3DRS_POINTSCALEENABLE, 0)",
               "SetRenderState(D3DRS_POINTSIZE, " + std::to_string(FloatToDWORD(3.0f)) + ")"}));
}

TEST(GfxState, CachedSettersSkipRepeatsAndUncachedOnesAlwaysSend) {
    RecordingGfx r;
    r.gfx->SetZWrite(0);
    r.gfx->SetZWrite(0);
    r.gfx->SetColorOp(2, D3DTOP_ADD);
    r.gfx->SetColorOp(2, D3DTOP_ADD);
    r.gfx->SetAddressU(3, D3DTADDRESS_MIRROR);
    r.gfx->SetAddressU(3, D3DTADDRESS_MIRROR);
    r.gfx->SetAmbient(0x11223344);
    r.gfx->SetAmbient(0x11223344);
    r.gfx->SetTexCoordIndex(1, 1);
    r.gfx->SetTexCoordIndex(1, 1);
    EXPECT_EQ(r.Calls(),
              (Lines{"SetRenderState(D3DRS_ZWRITEENABLE, 0)", "SetTextureStageState(2, D3DTSS_COLOROP, 7)",
                     "SetTextureStageState(3, D3DTSS_ADDRESSU, 2)",
                     "SetRenderState(D3DRS_AMBIENT, " + std::to_string(0x11223344u) + ")",
                     "SetRenderState(D3DRS_AMBIENT, " + std::to_string(0x11223344u) + ")",
                     "SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1)",
                     "SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1)"}));
}

TEST(GfxState, SoftwareVertexProcessingIsSentOnlyOnAHardwareDevice) {
    RecordingGfx software(false);
    software.gfx->SetSoftwareVertexProcessing(1);
    EXPECT_TRUE(software.Calls().empty());
    RecordingGfx hardware(true);
    ASSERT_EQ(hardware.gfx->UsesHardwareVertexProcessing(), 1);
    hardware.gfx->SetSoftwareVertexProcessing(1);
    EXPECT_EQ(hardware.Calls(), Lines{"SetRenderState(D3DRS_SOFTWAREVERTEXPROCESSING, 1)"});
}

TEST(GfxState, CullModesMapAndAnInvalidOneStops) {
    RecordingGfx r;
    r.gfx->SetCullMode(1);
    r.gfx->SetCullMode(1);
    r.gfx->SetCullMode(0);
    EXPECT_EQ(r.Calls(), (Lines{"SetRenderState(D3DRS_CULLMODE, 2)", "SetRenderState(D3DRS_CULLMODE, 1)"}));
    EXPECT_EQ(GfxErrorOf([&] { r.gfx->SetCullMode(2); }), "Invalid culling mode");
}

TEST(GfxState, RenderSourcesAndFilterPresets) {
    RecordingGfx r;
    r.gfx->SetRenderSource(3, 1, 0xFF00FF00);
    EXPECT_EQ(r.Calls(), (Lines{"SetTextureStageState(1, D3DTSS_COLOROP, 3)",
                                "SetTextureStageState(1, D3DTSS_COLORARG2, 3)",
                                "SetRenderState(D3DRS_TEXTUREFACTOR, " + std::to_string(0xFF00FF00u) + ")"}));
    EXPECT_EQ(r.gfx->GetRenderSource(1), 3);
    EXPECT_EQ(GfxErrorOf([&] { r.gfx->SetRenderSource(4, 0); }), "Invalid render source selected");
    EXPECT_EQ(GfxErrorOf([&] { r.gfx->SetRenderSource(1, 8); }), "Invalid stage: 8");
    r.Forget();
    EXPECT_EQ(r.gfx->SetTextureFilter(8, 2), 1);
    EXPECT_EQ(r.gfx->SetTextureFilter(-1, 2), 1);
    EXPECT_EQ(r.gfx->SetTextureFilter(10, 2), 0);
    EXPECT_EQ(r.Calls(), (Lines{"SetTextureStageState(2, D3DTSS_ADDRESSU, 3)",
                                "SetTextureStageState(2, D3DTSS_ADDRESSV, 3)"}));
}

TEST(GfxState, FogSendsVertexOrTableStatesAndDensityOrRange) {
    RecordingGfx r;
    FogParameters linear;
    linear.mode = 3;
    linear.vertexFog = 0;
    linear.start = 2.0f;
    linear.end = 8.0f;
    r.gfx->SetFog(linear);
    EXPECT_EQ(r.Calls(), (Lines{"SetRenderState(D3DRS_FOGCOLOR, 0)", "SetRenderState(D3DRS_FOGTABLEMODE, 3)",
                                "SetRenderState(D3DRS_FOGSTART, " + std::to_string(FloatToDWORD(2.0f)) + ")",
                                "SetRenderState(D3DRS_FOGEND, " + std::to_string(FloatToDWORD(8.0f)) + ")"}));
}

TEST(GfxState, TextureTransformAndMipmapMode) {
    RecordingGfx r;
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, 2.0f, 2.0f, 1.0f);
    r.gfx->SetTextureTransform(&m, 3);
    Lines calls = r.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], "SetTextureStageState(3, D3DTSS_TEXTURETRANSFORMFLAGS, 3)");
    EXPECT_EQ(calls[1].rfind("SetTransform(D3DTS_TEXTURE3", 0), 0u);
    r.Forget();
    r.gfx->SetTextureTransform(nullptr, 3);
    EXPECT_EQ(r.Calls(), Lines{"SetTextureStageState(3, D3DTSS_TEXTURETRANSFORMFLAGS, 0)"});
    EXPECT_TRUE(D3DXMatrixIsIdentity(&r.gfx->GetTextureMatrix(3)));
    EXPECT_EQ(GfxErrorOf([&] { r.gfx->SetTextureTransform(&m, 8); }),
              "Invalid texture stage in SetTextureTransform()");
    EXPECT_EQ(GfxErrorOf([&] { r.gfx->SetMipmapMode(3, 0.0f, 0); }), "Wrong mipmap mode!");
}

TEST(GfxState, ResetSendsEveryRememberedSettingAgainInOrder) {
    RecordingGfx r;
    const D3DCOLOR unlit = 0xFF203040;
    r.gfx->SetLighting(0, &unlit);
    r.gfx->SetSpecular(1);
    r.gfx->SetBlendMode(12, 0x20);
    r.gfx->SetCullMode(1);
    r.gfx->SetFogEnable(1);
    r.gfx->SetClipping(0);
    r.gfx->SetAlphaTest(1, 7);
    r.gfx->SetEdgeAntialias(1);
    r.gfx->SetMipmapMode(2, 0.5f, 0);
    r.gfx->SetZWrite(0);
    r.gfx->SetAddressMode(D3DTADDRESS_MIRROR, 0);
    r.gfx->SetProjection(2.0f, 500.0f, 1.0f);
    r.Forget();
    r.gfx->ResetDevice();
    const std::string bits = std::to_string(FloatToDWORD(0.5f));
    Lines calls = r.Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], "TestCooperativeLevel()");
    EXPECT_EQ(calls[1], "Reset(640x480, D3DFMT_X8R8G8B8, windowed 1)");
    EXPECT_EQ(calls[3].rfind("SetTransform(D3DTS_PROJECTION", 0), 0u);
    calls.erase(calls.begin(), calls.begin() + 2);
    calls.erase(calls.begin() + 1); // the projection matrix, checked below
    EXPECT_EQ(calls, (Lines{
                         "SetViewport(0, 0, 640, 480, 0, 1)",
                         "SetTransform(D3DTS_VIEW, [ 1 0 0 0 | 0 1 0 0 | 0 0 1 0 | 0 0 0 1 ])",
                         // The unlit colour is not part of the remembered lighting: white again.
                         "SetRenderState(D3DRS_LIGHTING, 0)",
                         "SetRenderState(D3DRS_SPECULARENABLE, 1)",
                         "SetRenderState(D3DRS_ALPHABLENDENABLE, 1)",
                         "SetTextureStageState(0, D3DTSS_ALPHAOP, 4)",
                         "SetTextureStageState(0, D3DTSS_ALPHAARG1, 3)",
                         "SetTextureStageState(0, D3DTSS_ALPHAARG2, 2)",
                         "SetRenderState(D3DRS_TEXTUREFACTOR, " + std::to_string(0x20FFFFFFu) + ")",
                         "SetRenderState(D3DRS_SRCBLEND, 5)",
                         "SetRenderState(D3DRS_DESTBLEND, 2)",
                         "SetRenderState(D3DRS_CULLMODE, 2)",
                         "SetRenderState(D3DRS_FOGCOLOR, 0)",
                         "SetRenderState(D3DRS_FOGVERTEXMODE, 0)",
                         "SetRenderState(D3DRS_RANGEFOGENABLE, 1)",
                         "SetRenderState(D3DRS_FOGDENSITY, " + bits + ")",
                         "SetRenderState(D3DRS_FOGENABLE, 1)",
                         "SetRenderState(D3DRS_CLIPPING, 0)",
                         "SetRenderState(D3DRS_ALPHATESTENABLE, 1)",
                         "SetRenderState(D3DRS_ALPHAFUNC, 5)",
                         "SetRenderState(D3DRS_ALPHAREF, 7)",
                         "SetRenderState(D3DRS_EDGEANTIALIAS, 1)",
                         "SetTextureStageState(0, D3DTSS_MIPFILTER, 2)",
                         "SetTextureStageState(0, D3DTSS_MIPMAPLODBIAS, " + bits + ")",
                         "SetRenderState(D3DRS_FILLMODE, 3)",
                         "SetRenderState(D3DRS_ZWRITEENABLE, 0)",
                         "SetTextureStageState(0, D3DTSS_ADDRESSU, 2)",
                         "SetTextureStageState(0, D3DTSS_ADDRESSV, 2)",
                         "SetRenderState(D3DRS_NORMALIZENORMALS, 1)",
                         "SetTextureStageState(0, D3DTSS_MAGFILTER, 2)",
                         "SetTextureStageState(0, D3DTSS_MINFILTER, 2)",
                         "SetTextureStageState(1, D3DTSS_MAGFILTER, 2)",
                         "SetTextureStageState(1, D3DTSS_MINFILTER, 2)",
                     }));
    // The projection keeps the remembered planes with a field of view of 0.7854.
    const D3DXMATRIX& p = r.gfx->GetProjectionMatrix();
    const float h = 1.0f / std::tan(0.7854f / 2.0f);
    EXPECT_NEAR(p._22, h, 1e-5f);
    EXPECT_NEAR(p._11, h * 480.0f / 640.0f, 1e-5f);
    EXPECT_NEAR(p._33, 500.0f / 498.0f, 1e-5f);
    EXPECT_NEAR(p._43, -2.0f * 500.0f / 498.0f, 1e-5f);
    EXPECT_EQ(p._34, 1.0f);
}
