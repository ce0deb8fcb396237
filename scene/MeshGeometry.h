#pragma once

#include <cstdint>
#include <memory>

#include "platform/d3d8/D3D8Types.h"

class DXC_Mesh;
class File;

// How a stored geometry record is read.
struct MeshGeometryReadOptions {
    int32_t version = 102;      // of the scene file: 100 raw vertices, 101 always 2 texture floats
    int32_t boneCount = 0;      // a vertex's bone index must lie below it
    DWORD addFormat = 0;        // vertex format bits added to the stored format (colours)
    int32_t addTexCoordSet = 0; // one more texture coordinate set (for a reflection map)
    int32_t reflectionMap = 0;  // a material has one: its coordinates are the last set, generated
    int32_t systemMemory = 0;
};

// The drawable data of a mesh, kept for it by the graphics layer (render/DXC_MeshData): the
// Direct3D mesh with its buffers and attribute table and what drawing needs to know about
// them. The scene model owns it, hands it to clones and has it write and read its record.
class DXC_MeshGeometry {
public:
    virtual ~DXC_MeshGeometry() = default;
    // The clone copy: the same Direct3D geometry (one more reference on it) and a copy of the
    // rest, reporting for its new owner.
    virtual std::unique_ptr<DXC_MeshGeometry> CopyShared(DXC_Mesh& owner) const = 0;

    // The stored geometry record: vertex count, face count, vertex format, the vertices, the
    // faces and their attribute ids. Geometry that cannot be stored returns 0 without writing
    // or reading, and the caller reports it. Read builds the Direct3D mesh for the owner's
    // materials; a damaged record is an error naming the byte where reading stopped.
    virtual int32_t Write(File& /*file*/) { return 0; }
    virtual int32_t Read(File& /*file*/, const MeshGeometryReadOptions& /*options*/) { return 0; }
};
