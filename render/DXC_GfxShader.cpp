// The hardware-processing decision for vertex formats, bone constants and vertex shader selection.
#include "render/DXC_Gfx.h"

#include "platform/d3d8/ErrorText.h"
#include "render/DXC_VertexShader.h"

namespace {

// Writes the transposed matrix as 4 registers of 4 floats.
void PutTransposed(float (*registers)[4], const D3DXMATRIX& m) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) registers[r][c] = m.m[c][r];
}

} // namespace

int32_t DXC_Gfx::CanProcessInHardware(const VertexFormat& format, int32_t matrixCount,
                                      int32_t forceSoftware) {
    if (forceSoftware) return 0;
    if (format.indexedBlend) {
        if (!hardwareSkinning || matrixCount < 0) return 0;
        if (caps.MaxVertexBlendMatrixIndex < static_cast<DWORD>(matrixCount) + 1) return 0;
        if (boneLimit >= 0 && matrixCount > boneLimit) return 0;
    } else if (format.blendWeights > 0) {
        if (caps.MaxVertexBlendMatrices < static_cast<DWORD>(format.blendWeights)) return 0;
    }
    if (format.pointSize >= 0 && !(caps.MaxPointSize > 1.0f)) return 0;
    return 1;
}

void DXC_Gfx::SetBoneConstants(int32_t matrixCount, int32_t firstRegister) {
    if (matrixCount < 0 || matrixCount > WorldMatrices || firstRegister < 0 ||
        firstRegister + 4 * matrixCount > 254)
        Error("Number of Bones for vertex shader too high: %i", matrixCount);
    const D3DXMATRIX viewProjection = viewMatrix * projectionMatrix;
    float registers[4][4];
    for (int32_t i = 0; i < matrixCount; ++i) {
        PutTransposed(registers, worldMatrix[i] * viewProjection);
        result = device->SetVertexShaderConstant(static_cast<DWORD>(firstRegister + 4 * i), registers, 4);
        if (FAILED(result)) Error("Failed to set vertex shader constants (bone TMs): %s", ErrorText(result));
    }
}

void DXC_Gfx::SelectVertexShader(DXC_MultiVertexShader* multi, DWORD fvf) {
    if (fvf == 0) {
        activeMultiShader = multi;
        return;
    }
    DXC_VertexShader* variant = multi ? multi->Find(fvf) : nullptr;
    if (!variant)
        Error("No vertex shader matches vertex format %X in multi vertex shader", static_cast<unsigned>(fvf));
    SetVertexShaderObject(variant);
}

void DXC_Gfx::SetVertexShaderObject(DXC_VertexShader* shader) {
    activeShader = shader;
    if (!shader) {
        SetVertexFormat(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
        return;
    }
    if (hardwareVertexProcessing && !shader->IsSoftware() && caps.VertexShaderVersion < D3DVS_VERSION(1, 1))
        Error("Vertex shader v1.1 not supported by the video hardware");
    const D3DXMATRIX& world = worldMatrix[0];
    if (shader->uploadEyePosition) {
        D3DXMATRIX inverseView;
        D3DXMatrixInverse(&inverseView, nullptr, &viewMatrix);
        float* eye = shader->constants[8];
        eye[0] = inverseView._41;
        eye[1] = inverseView._42;
        eye[2] = inverseView._43;
        eye[3] = 1.0f;
    }
    if (shader->uploadWorld) PutTransposed(&shader->constants[4], world);
    if (shader->uploadWorldViewProjection) {
        D3DXMATRIX wvp = world * viewMatrix * projectionMatrix;
        if (shader->screenSpace) {
            // Pixels to clip space: x / (width / 2) - 1, 1 - y / (height / 2).
            D3DXMATRIX toClip;
            D3DXMatrixIdentity(&toClip);
            toClip._11 = viewport.Width ? 2.0f / static_cast<float>(viewport.Width) : 0.0f;
            toClip._22 = viewport.Height ? -2.0f / static_cast<float>(viewport.Height) : 0.0f;
            toClip._41 = -1.0f;
            toClip._42 = 1.0f;
            wvp = toClip;
        }
        PutTransposed(&shader->constants[0], wvp);
    }
    if (shader->uploadTextureMatrix) PutTransposed(&shader->constants[13], textureMatrix[0]);
    for (DWORD stage = 0; stage < Stages; ++stage) {
        SetTextureTransformFlags(stage, D3DTTFF_DISABLE);
        SetTexCoordIndex(stage, stage);
    }
    const int32_t count = shader->uploadRegisters < 0 ? 0
                          : shader->uploadRegisters > DXC_VertexShader::Registers
                              ? DXC_VertexShader::Registers
                              : shader->uploadRegisters;
    result = device->SetVertexShaderConstant(0, shader->constants, static_cast<DWORD>(count));
    if (FAILED(result)) Error("Failed to set vertex shader constants: %s", ErrorText(result));
    result = device->SetVertexShader(shader->GetHandle());
    if (FAILED(result)) Error("Failed to set vertex shader: %s", ErrorText(result));
    currentShader = shader->GetHandle();
    currentFormat = 0xFFFFFFFFu;
}
