#pragma once
// One headless GL device for the whole test program (one EGL display per process), reset to
// Direct3D's initial state before each test, with helpers to draw and read pixels.

#include "platform/d3d8/D3D8.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

constexpr UINT kFrameWidth = 64;
constexpr UINT kFrameHeight = 64;

struct Rgba {
    float r, g, b, a;
};

// Vertex of a screen-space quad (position with rhw, diffuse, specular, one uv set).
struct TLVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse, specular;
    float u, v;
};
constexpr DWORD kTLVertexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;

// Vertex with position, normal and one uv set.
struct LitVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
constexpr DWORD kLitVertexFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

class GlDeviceTest : public ::testing::Test {
public:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

protected:
    void SetUp() override;

    static IDirect3DDevice8* Device() { return device_; }
    static IDirect3D8* Direct3D() { return d3d_; }
    static D3DPRESENT_PARAMETERS PresentParameters();

    // Clears target and depth, begins a scene.
    void Begin(D3DCOLOR clear = 0xFF000000);
    void End();
    // The back buffer's pixel (A8R8G8B8 word) after End().
    D3DCOLOR Pixel(int x, int y);
    // All pixels of the back buffer, row by row.
    std::vector<D3DCOLOR> Pixels();
    // Draws a screen quad from (x0, y0) to (x1, y1) with one colour, uv 0..1.
    void DrawScreenQuad(float x0, float y0, float x1, float y1, D3DCOLOR diffuse, float z = 0.5f,
                        D3DCOLOR specular = 0);
    // A texture of the given ARGB pixels (managed pool, one level).
    IDirect3DTexture8* MakeTexture(UINT width, UINT height, const std::vector<D3DCOLOR>& pixels,
                                   D3DFORMAT format = D3DFMT_A8R8G8B8);
    // Sets view identity and a left-handed perspective with a 90 degree field of view.
    void SetPerspective(float nearZ = 1.0f, float farZ = 100.0f);

private:
    static IDirect3D8* d3d_;
    static IDirect3DDevice8* device_;
};

D3DMATRIX Identity();
D3DMATRIX Translation(float x, float y, float z);
D3DMATRIX Scaling(float x, float y, float z);
D3DMATRIX RotationZ(float angle);
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b);

Rgba ToRgba(D3DCOLOR c);
D3DCOLOR FromRgba(const Rgba& c); // channels clamped to 0..1 and rounded
D3DCOLORVALUE ColorValue(float r, float g, float b, float a = 1.0f);

// Fails with both colours shown when any channel differs by more than `tolerance` (0..255).
::testing::AssertionResult ColorNear(D3DCOLOR actual, D3DCOLOR expected, int tolerance = 2);
::testing::AssertionResult ColorNear(D3DCOLOR actual, const Rgba& expected, int tolerance = 2);
