#include "GlTestDevice.h"

#include <algorithm>
#include <cstdio>

IDirect3D8* GlDeviceTest::d3d_ = nullptr;
IDirect3DDevice8* GlDeviceTest::device_ = nullptr;

D3DPRESENT_PARAMETERS GlDeviceTest::PresentParameters() {
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = kFrameWidth;
    p.BackBufferHeight = kFrameHeight;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D24S8;
    p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    return p;
}

void GlDeviceTest::SetUpTestSuite() {
    if (device_) return;
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr) << "no GL Direct3D object";
    D3DPRESENT_PARAMETERS p = PresentParameters();
    // No window: the device draws headless through EGL. Failing to get it fails every test.
    const HRESULT hr = d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                          D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device_);
    ASSERT_EQ(hr, D3D_OK) << "headless GL device could not be created";
}

void GlDeviceTest::TearDownTestSuite() {
    SafeRelease(device_);
    SafeRelease(d3d_);
}

void GlDeviceTest::SetUp() {
    ASSERT_NE(device_, nullptr) << "headless GL device could not be created";
    D3DPRESENT_PARAMETERS p = PresentParameters();
    ASSERT_EQ(device_->Reset(&p), D3D_OK);
    // Lighting is on by default in Direct3D; tests that light switch it on again.
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
}

void GlDeviceTest::Begin(D3DCOLOR clear) {
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clear, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
}

void GlDeviceTest::End() {
    ASSERT_EQ(device_->EndScene(), D3D_OK);
}

std::vector<D3DCOLOR> GlDeviceTest::Pixels() {
    std::vector<D3DCOLOR> out(kFrameWidth * kFrameHeight, 0);
    IDirect3DSurface8* back = nullptr;
    EXPECT_EQ(device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    if (!back) return out;
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    if (locked.pBits) {
        for (UINT y = 0; y < kFrameHeight; ++y) {
            const auto* row = reinterpret_cast<const D3DCOLOR*>(static_cast<const BYTE*>(locked.pBits) +
                                                                static_cast<size_t>(y) * locked.Pitch);
            std::copy(row, row + kFrameWidth, out.begin() + y * kFrameWidth);
        }
        back->UnlockRect();
    }
    back->Release();
    return out;
}

D3DCOLOR GlDeviceTest::Pixel(int x, int y) {
    return Pixels()[static_cast<size_t>(y) * kFrameWidth + x];
}

void GlDeviceTest::DrawScreenQuad(float x0, float y0, float x1, float y1, D3DCOLOR diffuse, float z,
                                  D3DCOLOR specular) {
    const TLVertex quad[4] = {{x0, y0, z, 1.0f, diffuse, specular, 0.0f, 0.0f},
                              {x1, y0, z, 1.0f, diffuse, specular, 1.0f, 0.0f},
                              {x0, y1, z, 1.0f, diffuse, specular, 0.0f, 1.0f},
                              {x1, y1, z, 1.0f, diffuse, specular, 1.0f, 1.0f}};
    ASSERT_EQ(device_->SetVertexShader(kTLVertexFvf), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TLVertex)), D3D_OK);
}

IDirect3DTexture8* GlDeviceTest::MakeTexture(UINT width, UINT height, const std::vector<D3DCOLOR>& pixels,
                                             D3DFORMAT format) {
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &texture), D3D_OK);
    if (!texture) return nullptr;
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x) {
            BYTE* row = static_cast<BYTE*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
            reinterpret_cast<D3DCOLOR*>(row)[x] = pixels[y * width + x];
        }
    texture->UnlockRect(0);
    return texture;
}

void GlDeviceTest::SetPerspective(float nearZ, float farZ) {
    D3DMATRIX view = Identity();
    device_->SetTransform(D3DTS_VIEW, &view);
    // Left-handed perspective, 90 degrees: h = 1, q = far / (far - near).
    D3DMATRIX p{};
    const float q = farZ / (farZ - nearZ);
    p._11 = 1.0f;
    p._22 = 1.0f;
    p._33 = q;
    p._34 = 1.0f;
    p._43 = -nearZ * q;
    device_->SetTransform(D3DTS_PROJECTION, &p);
}

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

D3DMATRIX Translation(float x, float y, float z) {
    D3DMATRIX m = Identity();
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}

D3DMATRIX Scaling(float x, float y, float z) {
    D3DMATRIX m = Identity();
    m._11 = x;
    m._22 = y;
    m._33 = z;
    return m;
}

D3DMATRIX RotationZ(float angle) {
    D3DMATRIX m = Identity();
    m._11 = std::cos(angle);
    m._12 = std::sin(angle);
    m._21 = -std::sin(angle);
    m._22 = std::cos(angle);
    return m;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

Rgba ToRgba(D3DCOLOR c) {
    return {((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f, (c >> 24) / 255.0f};
}

D3DCOLOR FromRgba(const Rgba& c) {
    auto channel = [](float v) {
        return static_cast<DWORD>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    };
    return D3DCOLOR_ARGB(channel(c.a), channel(c.r), channel(c.g), channel(c.b));
}

D3DCOLORVALUE ColorValue(float r, float g, float b, float a) {
    return {r, g, b, a};
}

::testing::AssertionResult ColorNear(D3DCOLOR actual, D3DCOLOR expected, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF),
                  e = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance) {
            char text[96];
            std::snprintf(text, sizeof text, "colour 0x%08X, expected 0x%08X (+-%d)", actual, expected,
                          tolerance);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ColorNear(D3DCOLOR actual, const Rgba& expected, int tolerance) {
    return ColorNear(actual, FromRgba({expected.r, expected.g, expected.b, 1.0f}), tolerance);
}
