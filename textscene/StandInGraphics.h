#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/ErrorReport.h"
#include "foundation/String.h"
#include "scene/MeshGeometry.h"
#include "scene/TextMatrixAni.h"
#include "scene/SceneGraphics.h"

class IDirect3DDevice8;

// The graphics seam without drawing, for tests and tools: meshes are created on a given
// device (the recording device) exactly as the graphics object creates them, and textures
// record what was asked of them (slot files, operations, placements) instead of holding
// images. Image files are checked to exist, not decoded: no image counts as partially
// transparent.

// What CreateMesh made for one mesh.
class StandInMeshData : public DXC_MeshGeometry {
public:
    StandInMeshData(ID3DXMesh* mesh, const MeshCreateParams& params, int32_t hardwareBlending);
    ~StandInMeshData() override;
    StandInMeshData(const StandInMeshData&) = delete;
    StandInMeshData& operator=(const StandInMeshData&) = delete;

    std::unique_ptr<DXC_MeshGeometry> CopyShared(DXC_Mesh& owner) const override;

    ID3DXMesh* mesh; // one reference held
    MeshCreateParams params;
    int32_t hardwareBlending;
    DWORD vertexBlend; // D3DVBF_DISABLE .. D3DVBF_3WEIGHTS from the weights per vertex
    int32_t shared;    // 1 for a clone's copy
};

// A material texture that records its slots.
class StandInTexture : public DXC_AnimatedTexture {
public:
    struct Slot {
        String file;        // image loaded into the slot (resolved name)
        String writtenName; // as the scene wrote it
        int32_t operation = 0;
        float factor = 0.0f;
        int32_t matrixSet = 0;
        D3DXMATRIX matrix;
    };

    int32_t GetCurrentSlot() const override { return currentSlot; }
    void SelectSlot(int32_t slot) override;
    void SetSlotMatrix(const D3DXMATRIX* matrix) override;
    const DXC_TextMatrixAni& GetUVAnimation(int32_t slot) const override { return uv[slot & 7]; }
    int32_t GetSequenceCount() const override { return 0; }
    const TextureSequenceTiming& GetSequenceTiming() const override { return timing; }
    void SelectSequenceFrame(int32_t) override {}
    void SetAnimationTime(float t) override { time = t; }

    Slot slots[SlotCount];
    DXC_TextMatrixAni uv[SlotCount];
    TextureSequenceTiming timing;
    float blendAmount = 1.0f;
    float time = 0.0f;
    int32_t currentSlot = 0;
};

class StandInGraphics : public SceneGraphics, public DXC_Base {
public:
    // device: the device meshes are created on (one reference is held). hardwareVertexProcessing
    // 1 lets meshes without bones and without a reflection map be blended in hardware.
    explicit StandInGraphics(IDirect3DDevice8* device, int32_t hardwareVertexProcessing = 0);
    ~StandInGraphics() override;
    StandInGraphics(const StandInGraphics&) = delete;
    StandInGraphics& operator=(const StandInGraphics&) = delete;

    ID3DXMesh* CreateMesh(DXC_Mesh* mesh, const MeshCreateParams& params) override;
    std::unique_ptr<DXC_AnimatedTexture> CreateTexture() override;
    std::unique_ptr<DXC_AnimatedTexture> CopyTexture(const DXC_AnimatedTexture& source) override;
    int32_t SetupMap(DXC_AnimatedTexture& texture, const MapSetup& setup) override;

    IDirect3DDevice8* GetDevice() const { return device; }
    // Every image file loaded, in order (resolved names).
    const std::vector<std::string>& LoadedFiles() const { return loadedFiles; }

private:
    IDirect3DDevice8* device;
    int32_t hardwareVertexProcessing;
    std::vector<std::string> loadedFiles;
};
