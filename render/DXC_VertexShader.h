#pragma once

#include <cstdint>

#include "foundation/ErrorReport.h"
#include "platform/d3d8/D3D8Types.h"

class DXC_Gfx;

// A vertex shader handle with its vertex format and the constants the graphics object fills
// before it selects the shader (DXC_Gfx::SetVertexShaderObject). Handles are counted in the
// graphics object's vertex shader list: copies share one handle, the last holder deletes it.
// The viewer itself makes no shaders; they arrive by copying a texture that has one.
class DXC_VertexShader : public DXC_Base {
public:
    static constexpr int32_t Registers = 96;

    explicit DXC_VertexShader(DXC_Gfx* gfx = nullptr);
    ~DXC_VertexShader() override;
    DXC_VertexShader(const DXC_VertexShader&) = delete;
    DXC_VertexShader& operator=(const DXC_VertexShader&) = delete;

    // Takes a handle the device made (entered in the shader list under name).
    void SetHandle(DWORD shaderHandle, DWORD vertexFormat, int32_t software, const char* name);
    // Shares the other shader's handle and copies its constants and switches.
    void CopyFrom(const DXC_VertexShader& other);
    void ReleaseHandle();

    DWORD GetHandle() const { return handle; }
    DWORD GetFormat() const { return format; }
    int32_t IsSoftware() const { return software; }

    float constants[Registers][4];
    int32_t uploadRegisters = 17; // registers sent from register 0
    int32_t uploadWorldViewProjection = 1;
    int32_t uploadWorld = 1;
    int32_t uploadEyePosition = 0;
    int32_t uploadTextureMatrix = 0;
    int32_t screenSpace = 0;

private:
    DXC_Gfx* gfx;
    DWORD handle = 0;
    DWORD format = 0;
    int32_t software = 0;
    int32_t listId = -1;
};

// Variants of one shader for different vertex formats (0 = variant unused).
class DXC_MultiVertexShader : public DXC_Base {
public:
    static constexpr int32_t Variants = 8;
    DXC_MultiVertexShader() { SetObjectName("DXC_MultiVertexShader"); }
    ~DXC_MultiVertexShader() override;
    DXC_MultiVertexShader(const DXC_MultiVertexShader&) = delete;
    DXC_MultiVertexShader& operator=(const DXC_MultiVertexShader&) = delete;

    // Takes ownership of the shader as variant slot for its format.
    void SetVariant(int32_t slot, DXC_VertexShader* shader);
    DXC_VertexShader* Find(DWORD vertexFormat) const;

private:
    DXC_VertexShader* variants[Variants] = {};
};

// A pixel shader handle, counted in the graphics object's pixel shader list like a vertex
// shader handle.
class DXC_PixelShader : public DXC_Base {
public:
    explicit DXC_PixelShader(DXC_Gfx* gfx = nullptr);
    ~DXC_PixelShader() override;
    DXC_PixelShader(const DXC_PixelShader&) = delete;
    DXC_PixelShader& operator=(const DXC_PixelShader&) = delete;

    void SetHandle(DWORD shaderHandle, const char* name);
    void CopyFrom(const DXC_PixelShader& other);
    void ReleaseHandle();
    DWORD GetHandle() const { return handle; }

private:
    DXC_Gfx* gfx;
    DWORD handle = 0;
    int32_t listId = -1;
};
