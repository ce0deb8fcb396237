// What the GL device keeps bound between draws: texture units, buffers whose names GL hands out
// again after a delete, the stream of user-memory vertices, and the matrix palette sent in part.

#include "GlTestDevice.h"

namespace {

class GlBindingTest : public GlDeviceTest {
protected:
    void TearDown() override {
        for (DWORD stage = 0; stage < 2; ++stage) Device()->SetTexture(stage, nullptr);
        Device()->SetStreamSource(0, nullptr, 0);
    }

    // Stage 0 shows its texture; with `passStageOne` stage 1 runs but passes stage 0's result.
    void ShowStageZero(bool passStageOne) {
        IDirect3DDevice8* d = Device();
        d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        d->SetTextureStageState(1, D3DTSS_COLOROP, passStageOne ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE);
        d->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
        d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        d->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
    }

    D3DCOLOR DrawQuad() {
        Begin();
        DrawScreenQuad(0, 0, 16, 16, 0xFFFFFFFF);
        End();
        return Pixel(8, 8);
    }
};

TEST_F(GlBindingTest, NewTextureOnALaterStageLeavesStageZeroItsOwn) {
    IDirect3DTexture8* red = MakeTexture(1, 1, {0xFFFF0000});
    Device()->SetTexture(0, red);
    ShowStageZero(false);
    EXPECT_TRUE(ColorNear(DrawQuad(), 0xFFFF0000u));
    // The green texture reaches GL first in this draw, on stage 1.
    IDirect3DTexture8* green = MakeTexture(1, 1, {0xFF00FF00});
    Device()->SetTexture(1, green);
    ShowStageZero(true);
    EXPECT_TRUE(ColorNear(DrawQuad(), 0xFFFF0000u)) << "first draw with the new texture";
    EXPECT_TRUE(ColorNear(DrawQuad(), 0xFFFF0000u)) << "second draw";
    TearDown();
    red->Release();
    green->Release();
}

TEST_F(GlBindingTest, ObjectsMadeUnderFreedNamesAreBoundWhereUsed) {
    // A texture on unit 0 is freed; the next one may get its GL name while made on unit 1.
    IDirect3DTexture8* red = MakeTexture(1, 1, {0xFFFF0000});
    Device()->SetTexture(0, red);
    ShowStageZero(false);
    EXPECT_TRUE(ColorNear(DrawQuad(), 0xFFFF0000u));
    Device()->SetTexture(0, nullptr);
    red->Release();
    IDirect3DTexture8* blue = MakeTexture(1, 1, {0xFF0000FF});
    IDirect3DTexture8* white = MakeTexture(1, 1, {0xFFFFFFFF});
    Device()->SetTexture(0, white);
    Device()->SetTexture(1, blue);
    ShowStageZero(true);
    DrawQuad();
    Device()->SetTexture(0, blue);
    Device()->SetTexture(1, nullptr);
    ShowStageZero(false);
    EXPECT_TRUE(ColorNear(DrawQuad(), 0xFF0000FFu));

    // The same for a vertex buffer freed after a draw and one made after it.
    Device()->SetTexture(0, nullptr);
    Device()->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    for (const D3DCOLOR colour : {0xFFFF0000u, 0xFF00FF00u}) {
        IDirect3DVertexBuffer8* vb = nullptr;
        ASSERT_EQ(Device()->CreateVertexBuffer(4 * sizeof(TLVertex), 0, kTLVertexFvf, D3DPOOL_MANAGED, &vb),
                  D3D_OK);
        TLVertex* v = nullptr;
        ASSERT_EQ(vb->Lock(0, 0, reinterpret_cast<BYTE**>(&v), 0), D3D_OK);
        v[0] = {0, 0, 0.5f, 1, colour, 0, 0, 0};
        v[1] = {16, 0, 0.5f, 1, colour, 0, 0, 0};
        v[2] = {0, 16, 0.5f, 1, colour, 0, 0, 0};
        v[3] = {16, 16, 0.5f, 1, colour, 0, 0, 0};
        vb->Unlock();
        Begin();
        Device()->SetStreamSource(0, vb, sizeof(TLVertex));
        Device()->SetVertexShader(kTLVertexFvf);
        ASSERT_EQ(Device()->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        End();
        EXPECT_TRUE(ColorNear(Pixel(8, 8), colour));
        Device()->SetStreamSource(0, nullptr, 0);
        vb->Release();
    }
    blue->Release();
    white->Release();
}

TEST_F(GlBindingTest, EveryUserMemoryDrawOfAFrameKeepsItsOwnVertices) {
    // One pixel-sized quad per pixel, each with its own colour: far more vertex data than the
    // stream buffer holds at once, so it fills and starts over within the frame.
    auto colourOf = [](int x, int y) {
        return 0xFF000000u | (static_cast<DWORD>(x * 4) << 16) | (y * 4 << 8) | 0x80;
    };
    Begin();
    for (int y = 0; y < static_cast<int>(kFrameHeight); ++y)
        for (int x = 0; x < static_cast<int>(kFrameWidth); ++x)
            DrawScreenQuad(static_cast<float>(x), static_cast<float>(y), x + 1.0f, y + 1.0f, colourOf(x, y));
    End();
    const std::vector<D3DCOLOR> p = Pixels();
    int wrong = 0;
    for (int y = 0; y < static_cast<int>(kFrameHeight); ++y)
        for (int x = 0; x < static_cast<int>(kFrameWidth); ++x)
            wrong += p[y * kFrameWidth + x] != colourOf(x, y);
    EXPECT_EQ(wrong, 0);
}

struct IndexedVertex {
    float x, y, z;
    float weight;
    DWORD indices;
    D3DCOLOR diffuse;
};

// Column of the centre of the lit pixels on row 32, -1 when none is lit.
int LitColumn(const std::vector<D3DCOLOR>& p) {
    int first = -1, last = -1;
    for (int x = 0; x < 64; ++x)
        if (p[32 * 64 + x] & 0xFFFFFF) {
            if (first < 0) first = x;
            last = x;
        }
    return first < 0 ? -1 : (first + last) / 2;
}

TEST_F(GlBindingTest, PaletteMatricesChangedBeyondADrawsReachArriveLater) {
    SetPerspective();
    Device()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    Device()->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_1WEIGHTS);
    Device()->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, TRUE);
    const D3DMATRIX left = Translation(-5, 0, 0), right = Translation(5, 0, 0);
    // Two squares at the centre whose vertices take matrix 3 or matrix 9 (weight 1).
    auto makeSquare = [&](DWORD matrix) {
        IDirect3DVertexBuffer8* vb = nullptr;
        const DWORD fvf = D3DFVF_XYZB2 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_DIFFUSE;
        EXPECT_EQ(Device()->CreateVertexBuffer(4 * sizeof(IndexedVertex), 0, fvf, D3DPOOL_MANAGED, &vb),
                  D3D_OK);
        IndexedVertex* v = nullptr;
        vb->Lock(0, 0, reinterpret_cast<BYTE**>(&v), 0);
        const float xs[4] = {-1, 1, -1, 1}, ys[4] = {1, 1, -1, -1};
        for (int i = 0; i < 4; ++i) v[i] = {xs[i], ys[i], 10, 1.0f, matrix | (matrix << 8), 0xFFFFFFFF};
        vb->Unlock();
        return vb;
    };
    auto drawColumn = [&](IDirect3DVertexBuffer8* vb) {
        Begin();
        Device()->SetStreamSource(0, vb, sizeof(IndexedVertex));
        Device()->SetVertexShader(D3DFVF_XYZB2 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_DIFFUSE);
        EXPECT_EQ(Device()->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        End();
        return LitColumn(Pixels());
    };
    IDirect3DVertexBuffer8* three = makeSquare(3);
    IDirect3DVertexBuffer8* nine = makeSquare(9);
    Device()->SetTransform(D3DTS_WORLDMATRIX(3), &left);
    Device()->SetTransform(D3DTS_WORLDMATRIX(9), &left);
    Device()->SetTransform(D3DTS_WORLDMATRIX(12), &right);
    EXPECT_NEAR(drawColumn(three), 16, 1);
    EXPECT_NEAR(drawColumn(nine), 16, 1);
    // Both matrices move; the first draw reaches only matrix 3, the second then needs 9.
    Device()->SetTransform(D3DTS_WORLDMATRIX(3), &right);
    Device()->SetTransform(D3DTS_WORLDMATRIX(9), &right);
    EXPECT_NEAR(drawColumn(three), 48, 1);
    EXPECT_NEAR(drawColumn(nine), 48, 1);
    // New indices in the buffer reach further: matrix 12, set before any draw reached it.
    IndexedVertex* v = nullptr;
    nine->Lock(0, 0, reinterpret_cast<BYTE**>(&v), 0);
    for (int i = 0; i < 4; ++i) v[i].indices = 12 | (12 << 8);
    nine->Unlock();
    EXPECT_NEAR(drawColumn(nine), 48, 1);
    Device()->SetTransform(D3DTS_WORLDMATRIX(12), &left);
    EXPECT_NEAR(drawColumn(nine), 16, 1);
    Device()->SetStreamSource(0, nullptr, 0);
    three->Release();
    nine->Release();
}

} // namespace
