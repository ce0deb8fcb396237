// spincube: renders a lit, textured, spinning cube on the headless GL device and writes
// each frame as a PNG file.
//
//   spincube OUTPUT_DIR FRAME_COUNT
//
// Files are OUTPUT_DIR/spincube_000.png and so on. Exit code 0 on success, 1 when the device
// cannot be created or a file cannot be written, 2 for wrong arguments.

#include "platform/d3d8/D3D8.h"
#include "platform/d3d8/ErrorText.h"
#include "platform/d3dx/D3DXMath.h"
#include "platform/d3dx/D3DXSurface.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr UINT kSize = 256;

struct CubeVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
constexpr DWORD kCubeFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

int Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "spincube: %s failed: %s\n", what, ErrorText(hr));
    return 1;
}

// Six faces of four vertices, each face with its own normal and a full uv square.
void FillCube(CubeVertex* v, WORD* indices) {
    static const float kFaces[6][3][3] = {
        // normal, u axis, v axis (u cross v is the normal)
        {{0, 0, -1}, {1, 0, 0}, {0, -1, 0}},  {{0, 0, 1}, {-1, 0, 0}, {0, -1, 0}},
        {{-1, 0, 0}, {0, 0, -1}, {0, -1, 0}}, {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},   {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
    };
    for (int f = 0; f < 6; ++f) {
        const float* n = kFaces[f][0];
        const float* a = kFaces[f][1];
        const float* b = kFaces[f][2];
        for (int c = 0; c < 4; ++c) {
            const float su = (c & 1) ? 1.0f : -1.0f, sv = (c & 2) ? 1.0f : -1.0f;
            CubeVertex& out = v[f * 4 + c];
            out.x = n[0] + su * a[0] + sv * b[0];
            out.y = n[1] + su * a[1] + sv * b[1];
            out.z = n[2] + su * a[2] + sv * b[2];
            out.nx = n[0];
            out.ny = n[1];
            out.nz = n[2];
            out.u = (su + 1) * 0.5f;
            out.v = (sv + 1) * 0.5f;
        }
        // Clockwise seen from outside, which the default cull mode keeps.
        const WORD base = static_cast<WORD>(f * 4);
        const WORD quad[6] = {0, 1, 2, 2, 1, 3};
        for (int i = 0; i < 6; ++i) indices[f * 6 + i] = static_cast<WORD>(base + quad[i]);
    }
}

// A checker board with a soft gradient, so rotation and filtering are visible.
HRESULT FillTexture(IDirect3DTexture8* texture) {
    D3DLOCKED_RECT locked{};
    const HRESULT hr = texture->LockRect(0, &locked, nullptr, 0);
    if (FAILED(hr)) return hr;
    for (UINT y = 0; y < 64; ++y) {
        auto* row = reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
        for (UINT x = 0; x < 64; ++x) {
            const bool dark = ((x / 8) + (y / 8)) % 2 == 0;
            row[x] =
                dark ? D3DCOLOR_XRGB(40 + x * 2, 60, 160 - y) : D3DCOLOR_XRGB(250, 200 + x / 2, 90 + y * 2);
        }
    }
    return texture->UnlockRect(0);
}

struct Scene {
    IDirect3DVertexBuffer8* vertices = nullptr;
    IDirect3DIndexBuffer8* indices = nullptr;
    IDirect3DTexture8* texture = nullptr;
    IDirect3DSurface8* shot = nullptr;
    ~Scene() {
        SafeRelease(vertices);
        SafeRelease(indices);
        SafeRelease(texture);
        SafeRelease(shot);
    }
};

HRESULT Build(IDirect3DDevice8* device, Scene& scene) {
    HRESULT hr = device->CreateVertexBuffer(24 * sizeof(CubeVertex), D3DUSAGE_WRITEONLY, kCubeFvf,
                                            D3DPOOL_MANAGED, &scene.vertices);
    if (FAILED(hr)) return hr;
    hr = device->CreateIndexBuffer(36 * sizeof(WORD), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                   &scene.indices);
    if (FAILED(hr)) return hr;
    BYTE* vertexBytes = nullptr;
    BYTE* indexBytes = nullptr;
    if (FAILED(hr = scene.vertices->Lock(0, 0, &vertexBytes, 0))) return hr;
    if (FAILED(hr = scene.indices->Lock(0, 0, &indexBytes, 0))) return hr;
    FillCube(reinterpret_cast<CubeVertex*>(vertexBytes), reinterpret_cast<WORD*>(indexBytes));
    scene.vertices->Unlock();
    scene.indices->Unlock();
    hr = device->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &scene.texture);
    if (FAILED(hr) || FAILED(hr = FillTexture(scene.texture))) return hr;
    D3DDISPLAYMODE mode{};
    if (FAILED(hr = device->GetDisplayMode(&mode))) return hr;
    return device->CreateImageSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, &scene.shot);
}

void SetFixedState(IDirect3DDevice8* device, const Scene& scene) {
    D3DXMATRIX view, projection;
    const D3DXVECTOR3 eye(0, 1.5f, -5), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 0.785398f, 1.0f, 1.0f, 100.0f);
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    D3DMATERIAL8 material{};
    material.Diffuse = {1, 1, 1, 1};
    material.Ambient = {1, 1, 1, 1};
    material.Specular = {0.6f, 0.6f, 0.6f, 1};
    material.Power = 20;
    device->SetMaterial(&material);
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {0.9f, 0.85f, 0.8f, 1};
    light.Specular = {1, 1, 1, 1};
    light.Direction = {0.5f, -0.7f, 1.0f};
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0xFF303030);
    device->SetTexture(0, scene.texture);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    device->SetStreamSource(0, scene.vertices, sizeof(CubeVertex));
    device->SetIndices(scene.indices, 0);
    device->SetVertexShader(kCubeFvf);
}

int Render(IDirect3DDevice8* device, const std::string& dir, int frames) {
    Scene scene;
    HRESULT hr = Build(device, scene);
    if (FAILED(hr)) return Fail("creating the cube", hr);
    SetFixedState(device, scene);
    for (int frame = 0; frame < frames; ++frame) {
        const float turn = 6.2831853f * static_cast<float>(frame) / static_cast<float>(frames);
        D3DXMATRIX world;
        D3DXMatrixRotationYawPitchRoll(&world, turn, turn * 0.5f, 0.0f);
        device->SetTransform(D3DTS_WORLD, &world);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF202838, 1.0f, 0);
        if (FAILED(hr = device->BeginScene())) return Fail("BeginScene", hr);
        hr = device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 24, 0, 12);
        device->EndScene();
        if (FAILED(hr)) return Fail("DrawIndexedPrimitive", hr);
        if (FAILED(hr = device->Present(nullptr, nullptr, nullptr, nullptr))) return Fail("Present", hr);
        if (FAILED(hr = device->GetFrontBuffer(scene.shot))) return Fail("GetFrontBuffer", hr);
        char name[32];
        std::snprintf(name, sizeof name, "/spincube_%03d.png", frame);
        const RECT area{0, 0, static_cast<LONG>(kSize), static_cast<LONG>(kSize)};
        const std::string path = dir + name;
        if (FAILED(hr = D3DXSaveSurfaceToFile(path.c_str(), D3DXIFF_PNG, scene.shot, nullptr, &area)))
            return Fail(path.c_str(), hr);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: spincube OUTPUT_DIR FRAME_COUNT\n");
        return 2;
    }
    char* end = nullptr;
    const long frames = std::strtol(argv[2], &end, 10);
    if (!end || *end != '\0' || frames < 1 || frames > 100000) {
        std::fprintf(stderr, "spincube: FRAME_COUNT must be a number from 1 to 100000\n");
        return 2;
    }
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (!d3d) return Fail("Direct3DCreate8", E_FAIL);
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = kSize;
    p.BackBufferHeight = kSize;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D24S8;
    IDirect3DDevice8* device = nullptr;
    // No window: the device renders headless.
    HRESULT hr = d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                   D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device);
    if (FAILED(hr)) {
        d3d->Release();
        return Fail("CreateDevice", hr);
    }
    const int result = Render(device, argv[1], static_cast<int>(frames));
    device->Release();
    d3d->Release();
    return result;
}
