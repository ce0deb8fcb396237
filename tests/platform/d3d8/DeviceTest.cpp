// Argument checks, state and the lost-device cycle of the shared device, run on the recording backend.
#include "DeviceTestUtil.h"

#include <cstring>

namespace {

struct Vertex {
    float x, y, z;
};

IDirect3DVertexBuffer8* MakeTriangleBuffer(IDirect3DDevice8* device, UINT vertices) {
    IDirect3DVertexBuffer8* vb = nullptr;
    EXPECT_EQ(device->CreateVertexBuffer(vertices * sizeof(Vertex), 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vb),
              D3D_OK);
    return vb;
}

IDirect3DIndexBuffer8* MakeIndexBuffer(IDirect3DDevice8* device, const std::vector<WORD>& indices) {
    IDirect3DIndexBuffer8* ib = nullptr;
    EXPECT_EQ(device->CreateIndexBuffer(static_cast<UINT>(indices.size() * 2), 0, D3DFMT_INDEX16,
                                        D3DPOOL_MANAGED, &ib),
              D3D_OK);
    BYTE* p = nullptr;
    ib->Lock(0, 0, &p, 0);
    std::memcpy(p, indices.data(), indices.size() * 2);
    ib->Unlock();
    return ib;
}

} // namespace

using DeviceTest = RecordingDeviceTest;

TEST_F(DeviceTest, NewDeviceHasDirect3DsInitialState) {
    DWORD v = 0;
    device_->GetRenderState(D3DRS_ZENABLE, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DZB_TRUE)) << "automatic depth buffer";
    device_->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DCULL_CCW));
    device_->GetRenderState(D3DRS_LIGHTING, &v);
    EXPECT_EQ(v, 1u);
    device_->GetRenderState(D3DRS_FOGEND, &v);
    EXPECT_EQ(DWORDToFloat(v), 1.0f);
    device_->GetTextureStageState(0, D3DTSS_COLOROP, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DTOP_MODULATE));
    device_->GetTextureStageState(1, D3DTSS_COLOROP, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DTOP_DISABLE));
    device_->GetTextureStageState(3, D3DTSS_TEXCOORDINDEX, &v);
    EXPECT_EQ(v, 3u);
    D3DVIEWPORT8 vp{};
    device_->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 640u);
    EXPECT_EQ(vp.Height, 480u);
    EXPECT_EQ(vp.MaxZ, 1.0f);
    D3DMATRIX m{};
    device_->GetTransform(D3DTS_WORLDMATRIX(200), &m);
    EXPECT_EQ(m._11, 1.0f);
    EXPECT_EQ(m._44, 1.0f);
    EXPECT_EQ(m._12, 0.0f);
    DWORD shader = 1;
    device_->GetVertexShader(&shader);
    EXPECT_EQ(shader, 0u);
}

TEST_F(DeviceTest, StatesKeepTheirValuesAndUnknownOnesAreRefused) {
    EXPECT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
    EXPECT_EQ(device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(11), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(500), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_ADD), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTextureStageState(0, static_cast<D3DTEXTURESTAGESTATETYPE>(12), 0),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTextureStageState(7, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP), D3D_OK);
    DWORD v = 0;
    device_->GetRenderState(D3DRS_SRCBLEND, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DBLEND_SRCALPHA));
    device_->GetTextureStageState(7, D3DTSS_ADDRESSU, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DTADDRESS_CLAMP));

    D3DMATRIX m{};
    m._11 = 2.0f;
    EXPECT_EQ(device_->SetTransform(D3DTS_WORLDMATRIX(255), &m), D3D_OK);
    EXPECT_EQ(device_->SetTransform(D3DTS_WORLDMATRIX(256), &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(4), &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTransform(D3DTS_VIEW, nullptr), D3DERR_INVALIDCALL);
    D3DMATRIX out{};
    device_->GetTransform(D3DTS_WORLDMATRIX(255), &out);
    EXPECT_EQ(out._11, 2.0f);
}

TEST_F(DeviceTest, MultiplyTransformAppliesTheGivenMatrixFirst) {
    D3DMATRIX translate = IdentityMatrix(), scale = IdentityMatrix();
    translate._41 = 5.0f;
    scale._11 = 2.0f;
    device_->SetTransform(D3DTS_WORLD, &translate);
    device_->MultiplyTransform(D3DTS_WORLD, &scale);
    D3DMATRIX m{};
    device_->GetTransform(D3DTS_WORLD, &m);
    EXPECT_EQ(m._11, 2.0f);
    EXPECT_EQ(m._41, 5.0f) << "scale x translate: the translation is not scaled";
}

TEST_F(DeviceTest, LightsAreCheckedAndLightEnableCreatesADefaultLight) {
    D3DLIGHT8 light{};
    light.Type = static_cast<D3DLIGHTTYPE>(4);
    EXPECT_EQ(device_->SetLight(0, &light), D3DERR_INVALIDCALL);
    light.Type = D3DLIGHT_POINT;
    light.Range = -1.0f;
    EXPECT_EQ(device_->SetLight(0, &light), D3DERR_INVALIDCALL);
    light.Range = 100.0f;
    EXPECT_EQ(device_->SetLight(0, &light), D3D_OK);
    BOOL enabled = TRUE;
    EXPECT_EQ(device_->GetLightEnable(0, &enabled), D3D_OK);
    EXPECT_FALSE(enabled);
    EXPECT_EQ(device_->GetLight(5, &light), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->LightEnable(5, TRUE), D3D_OK);
    ASSERT_EQ(device_->GetLight(5, &light), D3D_OK);
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(light.Direction.z, 1.0f);
    EXPECT_EQ(light.Diffuse.r, 1.0f);
}

TEST_F(DeviceTest, BoundObjectsAreReferencedUntilReplaced) {
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    ASSERT_EQ(device_->SetTexture(1, texture), D3D_OK);
    EXPECT_EQ(texture->Release(), 1u) << "the device holds it";
    IDirect3DBaseTexture8* bound = nullptr;
    ASSERT_EQ(device_->GetTexture(1, &bound), D3D_OK);
    EXPECT_EQ(bound, texture);
    bound->Release();
    EXPECT_EQ(device_->SetTexture(1, nullptr), D3D_OK); // releases the last reference
    EXPECT_EQ(device_->SetTexture(8, nullptr), D3DERR_INVALIDCALL);

    IDirect3DTexture8* sysmem = nullptr;
    ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &sysmem), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, sysmem), D3DERR_INVALIDCALL) << "system memory cannot be drawn from";
    sysmem->Release();

    IDirect3DVertexBuffer8* vb = MakeTriangleBuffer(device_, 3);
    ASSERT_EQ(device_->SetStreamSource(0, vb, sizeof(Vertex)), D3D_OK);
    EXPECT_EQ(device_->SetStreamSource(16, vb, sizeof(Vertex)), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Release(), 1u);
    device_->SetStreamSource(0, nullptr, 0);
}

TEST_F(DeviceTest, ScenesBracketDrawing) {
    EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
    IDirect3DVertexBuffer8* vb = MakeTriangleBuffer(device_, 3);
    device_->SetStreamSource(0, vb, sizeof(Vertex));
    device_->SetVertexShader(D3DFVF_XYZ);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL) << "outside a scene";
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL) << "inside a scene";
    EXPECT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    device_->SetStreamSource(0, nullptr, 0);
    vb->Release();
}

TEST_F(DeviceTest, DrawsOutsideTheirBuffersAreRefused) {
    IDirect3DVertexBuffer8* vb = MakeTriangleBuffer(device_, 4);
    device_->BeginScene();
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL) << "no stream";
    device_->SetStreamSource(0, vb, sizeof(Vertex));
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL) << "no vertex format";
    device_->SetVertexShader(D3DFVF_XYZ);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL)
        << "vertex 4 does not exist";
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_LINESTRIP, 0, 3), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(7), 0, 1), D3DERR_INVALIDCALL);

    IDirect3DIndexBuffer8* ib = MakeIndexBuffer(device_, {0, 1, 2, 2, 1, 3, 0, 1, 9});
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL)
        << "no indices";
    device_->SetIndices(ib, 0);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 3, 2), D3DERR_INVALIDCALL)
        << "index 9 lies outside the vertex range";
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 2), D3DERR_INVALIDCALL)
        << "index 3 lies outside a range of 3 vertices";
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 6, 2), D3DERR_INVALIDCALL)
        << "indices beyond the buffer";
    device_->SetIndices(ib, 1);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 1), D3DERR_INVALIDCALL)
        << "the base index moves the range past the buffer";
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1), D3D_OK);

    BYTE* p = nullptr;
    vb->Lock(0, 0, &p, 0);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL) << "locked buffer";
    vb->Unlock();
    device_->EndScene();
    device_->SetStreamSource(0, nullptr, 0);
    device_->SetIndices(nullptr, 0);
    vb->Release();
    ib->Release();
}

TEST_F(DeviceTest, IndicesWrittenAgainAreCheckedAgain) {
    IDirect3DVertexBuffer8* vb = MakeTriangleBuffer(device_, 4);
    IDirect3DIndexBuffer8* ib = MakeIndexBuffer(device_, {0, 1, 2, 2, 1, 3});
    device_->SetStreamSource(0, vb, sizeof(Vertex));
    device_->SetVertexShader(D3DFVF_XYZ);
    device_->SetIndices(ib, 0);
    device_->BeginScene();
    // The same ranges, drawn again, are answered from what the first check found.
    for (int frame = 0; frame < 2; ++frame) {
        EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1), D3D_OK);
        EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 3, 3, 1), D3D_OK);
        EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 3, 1), D3DERR_INVALIDCALL);
    }
    BYTE* p = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
    const WORD beyond = 3;
    std::memcpy(p + 2 * sizeof(WORD), &beyond, sizeof beyond); // the first triangle now uses vertex 3
    ib->Unlock();
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 1), D3D_OK);
    device_->EndScene();
    device_->SetStreamSource(0, nullptr, 0);
    device_->SetIndices(nullptr, 0);
    vb->Release();
    ib->Release();
}

TEST_F(DeviceTest, DrawsFromUserMemoryUnbindStreamZero) {
    IDirect3DVertexBuffer8* vb = MakeTriangleBuffer(device_, 3);
    device_->SetStreamSource(0, vb, sizeof(Vertex));
    device_->SetVertexShader(D3DFVF_XYZ);
    const Vertex v[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    device_->BeginScene();
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(Vertex)), D3D_OK);
    IDirect3DVertexBuffer8* bound = vb;
    UINT stride = 1;
    device_->GetStreamSource(0, &bound, &stride);
    EXPECT_EQ(bound, nullptr);
    EXPECT_EQ(stride, 0u);
    EXPECT_EQ(vb->Release(), 0u);
    const WORD bad[3] = {0, 1, 3};
    EXPECT_EQ(
        device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, bad, D3DFMT_INDEX16, v, sizeof(Vertex)),
        D3DERR_INVALIDCALL);
    device_->EndScene();
}

TEST_F(DeviceTest, VertexFormatsAndShaderHandlesAreChecked) {
    EXPECT_EQ(device_->SetVertexShader(D3DFVF_NORMAL), D3DERR_INVALIDCALL) << "no position";
    EXPECT_EQ(device_->SetVertexShader(3), D3DERR_INVALIDCALL) << "an odd value is a shader handle";
    const DWORD declaration[] = {0x20000000, 0x40020000, 0xFFFFFFFF}; // stream 0, one float3, end
    DWORD handle = 0;
    ASSERT_EQ(device_->CreateVertexShader(declaration, nullptr, &handle, 0), D3D_OK);
    EXPECT_EQ(handle & 1u, 1u);
    EXPECT_EQ(device_->SetVertexShader(handle), D3D_OK);
    EXPECT_EQ(device_->DeleteVertexShader(handle), D3D_OK);
    DWORD current = 1;
    device_->GetVertexShader(&current);
    EXPECT_EQ(current, 0u);
    EXPECT_EQ(device_->SetVertexShader(handle), D3DERR_INVALIDCALL);

    float constants[4 * 4] = {};
    EXPECT_EQ(device_->SetVertexShaderConstant(92, constants, 4), D3D_OK);
    EXPECT_EQ(device_->SetVertexShaderConstant(93, constants, 4), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, PixelShadersAndTheirEightConstants) {
    const DWORD function[] = {D3DPS_VERSION(1, 1), 0x0000FFFF};
    DWORD handle = 0;
    ASSERT_EQ(device_->CreatePixelShader(function, &handle), D3D_OK);
    EXPECT_EQ(device_->SetPixelShader(handle), D3D_OK);
    EXPECT_EQ(device_->DeletePixelShader(handle), D3D_OK);
    DWORD current = 1;
    device_->GetPixelShader(&current);
    EXPECT_EQ(current, 0u);
    EXPECT_EQ(device_->DeletePixelShader(handle), D3DERR_INVALIDCALL);

    float constants[4 * 4] = {};
    EXPECT_EQ(device_->SetPixelShaderConstant(4, constants, 4), D3D_OK);
    EXPECT_EQ(device_->SetPixelShaderConstant(5, constants, 4), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetPixelShaderConstant(0, nullptr, 1), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, ViewportsMustFitTheRenderTarget) {
    D3DVIEWPORT8 vp{0, 0, 640, 480, 0.0f, 1.0f};
    EXPECT_EQ(device_->SetViewport(&vp), D3D_OK);
    vp = {10, 10, 640, 470, 0.0f, 1.0f};
    EXPECT_EQ(device_->SetViewport(&vp), D3DERR_INVALIDCALL);
    vp = {0, 0, 100, 100, 0.5f, 0.2f};
    EXPECT_EQ(device_->SetViewport(&vp), D3DERR_INVALIDCALL);
    vp = {0, 0, 0, 100, 0.0f, 1.0f};
    EXPECT_EQ(device_->SetViewport(&vp), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, ClearChecksItsTargetsAndFillsTheViewport) {
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL)
        << "D16 has no stencil";
    EXPECT_EQ(device_->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->Clear(0, nullptr, 0, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    D3DVIEWPORT8 vp{0, 0, 320, 480, 0.0f, 1.0f};
    device_->SetViewport(&vp);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF112233, 1.0f, 0), D3D_OK);
    const D3DRECT r{600, 0, 640, 10}; // outside the viewport
    ASSERT_EQ(device_->Clear(1, &r, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    // The front buffer has the display mode's size; the 640 x 480 window image sits at its top left.
    IDirect3DSurface8* shot = nullptr;
    ASSERT_EQ(device_->CreateImageSurface(1024, 768, D3DFMT_A8R8G8B8, &shot), D3D_OK);
    ASSERT_EQ(device_->GetFrontBuffer(shot), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(shot->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto pixel = [&](int x, int y) {
        DWORD v;
        std::memcpy(&v, static_cast<BYTE*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
        return v;
    };
    EXPECT_EQ(pixel(0, 0), 0xFF112233u);
    EXPECT_EQ(pixel(319, 479), 0xFF112233u);
    EXPECT_EQ(pixel(320, 0), 0xFF000000u) << "outside the viewport stays as it was";
    EXPECT_EQ(pixel(620, 5), 0xFF000000u) << "clear rectangles are clipped to the viewport";
    EXPECT_EQ(pixel(1000, 700), 0xFF000000u);
    shot->UnlockRect();
    shot->Release();

    IDirect3DSurface8* small = nullptr;
    ASSERT_EQ(device_->CreateImageSurface(640, 480, D3DFMT_A8R8G8B8, &small), D3D_OK);
    EXPECT_EQ(device_->GetFrontBuffer(small), D3DERR_INVALIDCALL) << "must have the display mode's size";
    small->Release();
}

TEST_F(DeviceTest, CopyRectsCopiesBetweenSurfacesOfOneFormat) {
    IDirect3DSurface8 *a = nullptr, *b = nullptr, *c = nullptr;
    ASSERT_EQ(device_->CreateImageSurface(8, 8, D3DFMT_A8R8G8B8, &a), D3D_OK);
    ASSERT_EQ(device_->CreateImageSurface(8, 8, D3DFMT_A8R8G8B8, &b), D3D_OK);
    ASSERT_EQ(device_->CreateImageSurface(8, 8, D3DFMT_R5G6B5, &c), D3D_OK);
    D3DLOCKED_RECT l{};
    a->LockRect(&l, nullptr, 0);
    for (int i = 0; i < 64; ++i) static_cast<DWORD*>(l.pBits)[i] = static_cast<DWORD>(i);
    a->UnlockRect();
    const RECT src{1, 1, 3, 2};
    const POINT dst{5, 6};
    ASSERT_EQ(device_->CopyRects(a, &src, 1, b, &dst), D3D_OK);
    b->LockRect(&l, nullptr, D3DLOCK_READONLY);
    EXPECT_EQ(static_cast<DWORD*>(l.pBits)[6 * 8 + 5], 9u);
    EXPECT_EQ(static_cast<DWORD*>(l.pBits)[6 * 8 + 6], 10u);
    EXPECT_EQ(static_cast<DWORD*>(l.pBits)[6 * 8 + 7], 0u);
    b->UnlockRect();
    const POINT far{7, 7};
    EXPECT_EQ(device_->CopyRects(a, &src, 1, b, &far), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CopyRects(a, nullptr, 0, c, nullptr), D3DERR_INVALIDCALL) << "formats differ";
    a->Release();
    b->Release();
    c->Release();
}

TEST_F(DeviceTest, LostDeviceRecoversOnlyAfterDefaultPoolResourcesAreGone) {
    IDirect3DTexture8* managed = nullptr;
    IDirect3DTexture8* video = nullptr;
    ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed), D3D_OK);
    ASSERT_EQ(
        device_->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &video),
        D3D_OK);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);

    recording_->MarkLost(2);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    D3DPRESENT_PARAMETERS pp = recording_->PresentParameters();
    EXPECT_EQ(device_->Reset(&pp), D3DERR_DEVICELOST) << "still lost";
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);

    EXPECT_EQ(device_->Reset(&pp), D3DERR_INVALIDCALL) << "a default-pool texture is alive";
    video->Release();
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    EXPECT_EQ(device_->Reset(&pp), D3DERR_INVALIDCALL) << "the back buffer is still held";
    back->Release();
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    ASSERT_EQ(device_->Reset(&pp), D3D_OK);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    DWORD lighting = 0;
    device_->GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, 1u) << "reset restores the initial state";
    D3DLOCKED_RECT l{};
    EXPECT_EQ(managed->LockRect(0, &l, nullptr, 0), D3D_OK) << "managed resources survive";
    managed->UnlockRect(0);
    managed->Release();
}

TEST_F(DeviceTest, ResetTakesANewBackBufferSize) {
    D3DPRESENT_PARAMETERS pp = recording_->PresentParameters();
    pp.BackBufferWidth = 800;
    pp.BackBufferHeight = 500;
    ASSERT_EQ(device_->Reset(&pp), D3D_OK);
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 800u);
    EXPECT_EQ(desc.Height, 500u);
    EXPECT_EQ(desc.Usage, D3DUSAGE_RENDERTARGET);
    D3DLOCKED_RECT l{};
    EXPECT_EQ(back->LockRect(&l, nullptr, 0), D3DERR_INVALIDCALL) << "back buffers lock only when asked for";
    back->Release();
    D3DVIEWPORT8 vp{};
    device_->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 800u);
    IDirect3DSurface8* depth = nullptr;
    ASSERT_EQ(device_->GetDepthStencilSurface(&depth), D3D_OK);
    depth->GetDesc(&desc);
    EXPECT_EQ(desc.Format, D3DFMT_D16);
    EXPECT_EQ(desc.Width, 800u);
    depth->Release();
}
