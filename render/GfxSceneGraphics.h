#pragma once

#include <cstdint>
#include <memory>

#include "scene/SceneGraphics.h"

class DXC_Gfx;

// The scene loaders' seam on the graphics object itself: meshes get their D3DX mesh and mesh data
// (render/DXC_MeshData) from the graphics object's CreateMesh, material textures are
// DXC_Texture objects attached to it, and map images are loaded by its LoadTexture, so a
// scene loaded through here is ready to draw on that device.
class GfxSceneGraphics : public SceneGraphics {
public:
    explicit GfxSceneGraphics(DXC_Gfx& gfx) : gfx(gfx) {}

    // The D3DX mesh that the mesh's DXC_MeshData holds, with the sphere-map channel and the
    // skinning settings (skinned flag, blend matrix count = bone count) recorded beside it.
    ID3DXMesh* CreateMesh(DXC_Mesh* mesh, const MeshCreateParams& params) override;
    // A DXC_Texture attached to the graphics object.
    std::unique_ptr<DXC_AnimatedTexture> CreateTexture() override;
    // A DXC_Texture sharing source's images; source must be one of this seam's textures.
    std::unique_ptr<DXC_AnimatedTexture> CopyTexture(const DXC_AnimatedTexture& source) override;
    // With an image: selects the slot and loads it through LoadTexture (colour key 0, format
    // -1, the setup's type and mip levels); the slot keeps the name as the scene wrote it,
    // which is what a saved scene records. The partial-alpha test runs on 4-byte images only:
    // other formats carry no alpha that it could read. Without an image the slot is not
    // selected and only takes its operation and placement. The timing, blend amount,
    // operation and uv placement and animation follow as the setup asks.
    int32_t SetupMap(DXC_AnimatedTexture& texture, const MapSetup& setup) override;
    // Mesh data attached to the graphics object, ready to read its stored record.
    std::unique_ptr<DXC_MeshGeometry> CreateGeometry(DXC_Mesh& mesh) override;

    DXC_Gfx& GetGfx() const { return gfx; }

private:
    DXC_Gfx& gfx;
};
