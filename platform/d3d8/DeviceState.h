// The state of a Direct3D 8 device: render and texture-stage states, transforms, viewport,
// material, lights, bound textures and streams, shader handles and constants, with the values
// Direct3D gives a new or reset device. Every backend keeps one; the GL device reads it when it
// draws. The object references here are not counted by this record: DeviceCommon adds and
// releases the references of what it binds.
#pragma once

#include "platform/d3d8/D3D8.h"

#include <array>
#include <map>

constexpr UINT kMaxStreams = 16;
constexpr UINT kMaxWorldMatrices = 256;
constexpr UINT kMaxVertexShaderConstants = 96;
constexpr UINT kMaxPixelShaderConstants = 8;

struct LightSlot {
    D3DLIGHT8 light;
    bool enabled;
};

struct StreamSlot {
    IDirect3DVertexBuffer8* buffer;
    UINT stride;
};

struct DeviceState {
    std::array<DWORD, D3DRS_MAX> renderStates;
    std::array<std::array<DWORD, D3DTSS_MAX>, D3DTSS_MAXSTAGES> stageStates;
    D3DMATRIX view, projection;
    std::array<D3DMATRIX, D3DTSS_MAXSTAGES> textureTransforms;
    std::array<D3DMATRIX, kMaxWorldMatrices> world;
    D3DVIEWPORT8 viewport;
    D3DMATERIAL8 material;
    std::map<DWORD, LightSlot> lights; // by light index; an index is created by SetLight or LightEnable
    std::array<IDirect3DBaseTexture8*, D3DTSS_MAXSTAGES> textures;
    std::array<StreamSlot, kMaxStreams> streams;
    IDirect3DIndexBuffer8* indices;
    UINT baseVertexIndex;
    DWORD vertexShader; // a flexible vertex format, or a shader handle (low bit set); 0 = none
    DWORD pixelShader;  // 0 = fixed function
    std::array<std::array<float, 4>, kMaxVertexShaderConstants> vertexShaderConstants;
    std::array<std::array<float, 4>, kMaxPixelShaderConstants> pixelShaderConstants;

    // Direct3D's initial values; the viewport covers the render target, depth testing is on when
    // the device has an automatic depth buffer. Object pointers become null (not released).
    void SetDefaults(UINT targetWidth, UINT targetHeight, bool autoDepth, bool softwareVertexProcessing);

    DWORD RenderState(D3DRENDERSTATETYPE state) const { return renderStates[state]; }
    float RenderStateFloat(D3DRENDERSTATETYPE state) const { return DWORDToFloat(renderStates[state]); }
    DWORD StageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const { return stageStates[stage][type]; }
    // The matrix slot of a transform state; null for a state Direct3D does not know.
    D3DMATRIX* Transform(D3DTRANSFORMSTATETYPE state);
    const D3DMATRIX* Transform(D3DTRANSFORMSTATETYPE state) const;
};

// The light LightEnable creates for an index that was never set: white directional light along +z.
D3DLIGHT8 DefaultLight();
D3DMATRIX IdentityMatrix();

bool IsRenderState(DWORD state);
bool IsTextureStageState(DWORD type);
constexpr bool IsVertexShaderHandle(DWORD handle) {
    return (handle & D3DFVF_RESERVED0) != 0;
}

// Names for logs: "D3DRS_ZENABLE", "D3DTSS_COLOROP", "D3DTS_WORLDMATRIX(3)"; the number for
// unknown values.
const char* RenderStateName(DWORD state);
const char* TextureStageStateName(DWORD type);
const char* PrimitiveTypeName(DWORD type);
const char* FormatName(DWORD format);
const char* PoolName(DWORD pool);
void TransformName(DWORD state, char* buffer, size_t size);
