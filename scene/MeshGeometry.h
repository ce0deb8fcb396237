#pragma once

#include <memory>

class DXC_Mesh;

// The drawable data of a mesh, kept for it by the graphics layer (render/DXC_MeshData): the
// Direct3D mesh with its buffers and attribute table and what drawing needs to know about
// them. The scene model only owns it and hands it to clones.
class DXC_MeshGeometry {
public:
    virtual ~DXC_MeshGeometry() = default;
    // The clone copy: the same Direct3D geometry (one more reference on it) and a copy of the
    // rest, reporting for its new owner.
    virtual std::unique_ptr<DXC_MeshGeometry> CopyShared(DXC_Mesh& owner) const = 0;
};
