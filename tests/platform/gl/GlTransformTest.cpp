// Vertex blending with world-matrix palettes, and the program cache.

#include "GlTestDevice.h"

#include "platform/d3d8/GlDevice.h"
#include "platform/d3d8/GlPipeline.h"

#include <algorithm>

namespace {

class GlTransformTest : public GlDeviceTest {
protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        SetPerspective();
        Device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }
    // Column of the lit pixels' centre on row 32, -1 when none is lit.
    int LitColumn() {
        const std::vector<D3DCOLOR> p = Pixels();
        int first = -1, last = -1;
        for (int x = 0; x < 64; ++x)
            if (p[32 * 64 + x] & 0xFFFFFF) {
                if (first < 0) first = x;
                last = x;
            }
        return first < 0 ? -1 : (first + last) / 2;
    }
};

// A square of half size 1 at z = 10 around x = 0: the frame centre, 6.4 pixels wide.
template <class V> void Square(V (&v)[4], float z) {
    const float xs[4] = {-1, 1, -1, 1}, ys[4] = {1, 1, -1, -1};
    for (int i = 0; i < 4; ++i) {
        v[i].x = xs[i];
        v[i].y = ys[i];
        v[i].z = z;
    }
}

struct BlendVertex {
    float x, y, z;
    float weight;
    D3DCOLOR diffuse;
};

struct IndexedVertex {
    float x, y, z;
    float weight;
    DWORD indices; // byte 0: first matrix, byte 1: second
    D3DCOLOR diffuse;
};

TEST_F(GlTransformTest, TwoMatrixBlendingMixesPositionsByWeight) {
    const D3DMATRIX left = Translation(-5, 0, 0), right = Translation(5, 0, 0);
    Device()->SetTransform(D3DTS_WORLDMATRIX(0), &left);
    Device()->SetTransform(D3DTS_WORLDMATRIX(1), &right);
    Device()->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_1WEIGHTS);
    // x = w * (x - 5) + (1 - w) * (x + 5): w 1 lands at -5 (NDC -0.5, pixel 16), w 0 at +5 (pixel 48).
    const struct {
        float weight;
        int column;
    } cases[] = {{1.0f, 16}, {0.0f, 48}, {0.5f, 32}, {0.75f, 24}};
    for (const auto& c : cases) {
        BlendVertex v[4];
        Square(v, 10);
        for (BlendVertex& b : v) {
            b.weight = c.weight;
            b.diffuse = 0xFFFFFFFF;
        }
        Begin();
        Device()->SetVertexShader(D3DFVF_XYZB1 | D3DFVF_DIFFUSE);
        ASSERT_EQ(Device()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(BlendVertex)), D3D_OK);
        End();
        EXPECT_NEAR(LitColumn(), c.column, 1) << "weight " << c.weight;
    }
    // Blending off: world matrix 0 alone.
    Device()->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
    BlendVertex v[4];
    Square(v, 10);
    for (BlendVertex& b : v) {
        b.weight = 0.0f;
        b.diffuse = 0xFFFFFFFF;
    }
    Begin();
    ASSERT_EQ(Device()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(BlendVertex)), D3D_OK);
    End();
    EXPECT_NEAR(LitColumn(), 16, 1);
}

TEST_F(GlTransformTest, IndexedBlendingPicksPaletteEntries) {
    const D3DMATRIX left = Translation(-5, 0, 0), right = Translation(5, 0, 0), far = Translation(0, 0, 1000);
    Device()->SetTransform(D3DTS_WORLDMATRIX(0), &far); // would hide the square if used
    Device()->SetTransform(D3DTS_WORLDMATRIX(1), &far);
    Device()->SetTransform(D3DTS_WORLDMATRIX(7), &left);
    Device()->SetTransform(D3DTS_WORLDMATRIX(200), &right);
    Device()->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_1WEIGHTS);
    Device()->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, TRUE);
    for (const auto& c : {std::pair{1.0f, 16}, std::pair{0.0f, 48}, std::pair{0.25f, 40}}) {
        IndexedVertex v[4];
        Square(v, 10);
        for (IndexedVertex& b : v) {
            b.weight = c.first;
            b.indices = 7 | (200 << 8);
            b.diffuse = 0xFFFFFFFF;
        }
        Begin();
        Device()->SetVertexShader(D3DFVF_XYZB2 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_DIFFUSE);
        ASSERT_EQ(Device()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(IndexedVertex)), D3D_OK);
        End();
        EXPECT_NEAR(LitColumn(), c.second, 1) << "weight " << c.first;
    }
}

struct FourMatrixVertex {
    float x, y, z;
    float weights[3];
    DWORD indices;
    D3DCOLOR diffuse;
};

TEST_F(GlTransformTest, FourIndexedMatricesWithTheLastWeightImplied) {
    // Palette entries up to the last one; each moves the square sideways.
    const DWORD index[4] = {3, 50, 128, 255};
    const float shift[4] = {-6, -2, 2, 6};
    for (int i = 0; i < 4; ++i) {
        const D3DMATRIX m = Translation(shift[i], 0, 0);
        Device()->SetTransform(D3DTS_WORLDMATRIX(index[i]), &m);
    }
    Device()->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_3WEIGHTS);
    Device()->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, TRUE);
    const struct {
        float w[3];
    } cases[] = {{{0.25f, 0.25f, 0.25f}}, {{0.0f, 0.0f, 0.0f}}, {{0.5f, 0.0f, 0.5f}}, {{0.0f, 0.75f, 0.0f}}};
    for (const auto& c : cases) {
        const float last = 1.0f - c.w[0] - c.w[1] - c.w[2];
        const float x = c.w[0] * shift[0] + c.w[1] * shift[1] + c.w[2] * shift[2] + last * shift[3];
        FourMatrixVertex v[4];
        Square(v, 10);
        for (FourMatrixVertex& b : v) {
            std::copy(c.w, c.w + 3, b.weights);
            b.indices = index[0] | index[1] << 8 | index[2] << 16 | index[3] << 24;
            b.diffuse = 0xFFFFFFFF;
        }
        Begin();
        Device()->SetVertexShader(D3DFVF_XYZB4 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_DIFFUSE);
        ASSERT_EQ(Device()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(FourMatrixVertex)), D3D_OK);
        End();
        // x at depth 10 lands at pixel 32 + 3.2 x.
        EXPECT_NEAR(LitColumn(), 32 + 3.2f * x, 1) << "weights " << c.w[0] << " " << c.w[1] << " " << c.w[2];
    }
}

TEST(GlPipelineKeyTest, UnusedStagesAndLightsDoNotSplitPrograms) {
    DWORD rs[D3DRS_MAX] = {};
    DWORD tss[D3DTSS_MAXSTAGES][D3DTSS_MAX] = {};
    for (auto& stage : tss) stage[D3DTSS_COLOROP] = D3DTOP_DISABLE;
    tss[0][D3DTSS_COLOROP] = D3DTOP_MODULATE;
    FvfLayout layout{};
    ASSERT_TRUE(DecodeFvf(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, &layout));
    GlPipelineInputs in{};
    in.renderStates = rs;
    in.stageStates = tss;
    in.layout = &layout;
    GlShaderKey a{}, b{};
    GlPipeline::BuildKey(in, &a);
    // States of a stage after the first disabled one, and lights while lighting is off, change nothing.
    tss[2][D3DTSS_COLOROP] = D3DTOP_ADD;
    tss[2][D3DTSS_TEXCOORDINDEX] = 3;
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_SPOT;
    const D3DLIGHT8* lights[1] = {&light};
    in.activeLights = lights;
    in.activeLightCount = 1;
    GlPipeline::BuildKey(in, &b);
    EXPECT_TRUE(a == b);
    // With lighting on the spot light shapes the program.
    rs[D3DRS_LIGHTING] = TRUE;
    GlPipeline::BuildKey(in, &b);
    EXPECT_FALSE(a == b);
    EXPECT_EQ(b.lightType[0], D3DLIGHT_SPOT);
    // Pre-transformed vertices are never lit.
    ASSERT_TRUE(DecodeFvf(D3DFVF_XYZRHW | D3DFVF_DIFFUSE, &layout));
    GlPipeline::BuildKey(in, &b);
    EXPECT_EQ(b.lighting, 0);
}

} // namespace

namespace {

class GlProgramCacheTest : public GlDeviceTest {};

TEST_F(GlProgramCacheTest, ProgramsAreBuiltOncePerStateAndOutliveResets) {
    auto* gl = dynamic_cast<GlDevice*>(Device());
    ASSERT_NE(gl, nullptr);
    auto drawFrame = [&] {
        Begin();
        DrawScreenQuad(0, 0, 8, 8, 0xFFFFFFFF);
        End();
    };
    drawFrame(); // a warm-up frame builds what the state needs
    const size_t built = gl->ProgramCount();
    drawFrame();
    EXPECT_EQ(gl->ProgramCount(), built) << "the same state builds nothing new";
    D3DPRESENT_PARAMETERS p = PresentParameters();
    ASSERT_EQ(Device()->Reset(&p), D3D_OK);
    Device()->SetRenderState(D3DRS_LIGHTING, FALSE);
    drawFrame();
    EXPECT_EQ(gl->ProgramCount(), built) << "a reset keeps the programs";
    Device()->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    Device()->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    drawFrame();
    EXPECT_EQ(gl->ProgramCount(), built + 1) << "a new state shape builds one program";
    Device()->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    drawFrame();
    EXPECT_EQ(gl->ProgramCount(), built + 1);
}

TEST_F(GlProgramCacheTest, StatesDifferingOnlyInWhatNothingReadsShareAProgram) {
    auto* gl = dynamic_cast<GlDevice*>(Device());
    ASSERT_NE(gl, nullptr);
    auto drawFrame = [&] {
        Begin();
        DrawScreenQuad(0, 0, 8, 8, 0xFF8040C0);
        End();
        return Pixel(4, 4);
    };
    IDirect3DDevice8* d = Device();
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    drawFrame();
    const size_t built = gl->ProgramCount();
    // The second and the extra argument of a selection, a point scale for triangles and a
    // texture that no argument reads change nothing drawn.
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    d->SetTextureStageState(0, D3DTSS_COLORARG0, D3DTA_SPECULAR);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TEXTURE);
    d->SetRenderState(D3DRS_POINTSCALEENABLE, TRUE);
    IDirect3DTexture8* texture = MakeTexture(1, 1, {0xFF00FF00});
    d->SetTexture(0, texture);
    EXPECT_TRUE(ColorNear(drawFrame(), 0xFF8040C0u));
    EXPECT_EQ(gl->ProgramCount(), built);
    // Reading the texture is a new program, and shows the texture.
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    EXPECT_TRUE(ColorNear(drawFrame(), 0xFF00FF00u));
    EXPECT_EQ(gl->ProgramCount(), built + 1);
    d->SetTexture(0, nullptr);
    texture->Release();
}

} // namespace
