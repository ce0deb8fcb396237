#include "viewer/MeshDataFiles.h"

#include <cstring>

#include "foundation/File.h"
#include "platform/d3dx/D3DXMesh.h"
#include "render/DXC_MeshData.h"

namespace {

std::string PathIn(const std::string& folder, const char* name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Read-only locks of the index and vertex buffers, given back however the writing ends.
class ReadLocks {
public:
    explicit ReadLocks(DXC_MeshData& d) : data(d) {
        indices = data.LockIndexBuffer(D3DLOCK_READONLY);
        vertices = data.LockVertexBuffer(D3DLOCK_READONLY);
    }
    ~ReadLocks() {
        data.UnlockVertexBuffer();
        data.UnlockIndexBuffer();
    }
    ReadLocks(const ReadLocks&) = delete;
    ReadLocks& operator=(const ReadLocks&) = delete;

    DXC_MeshData& data;
    const BYTE* indices = nullptr;
    const BYTE* vertices = nullptr;
};

uint32_t IndexAt(const BYTE* indices, size_t i, bool wide) {
    if (wide) {
        uint32_t v;
        std::memcpy(&v, indices + i * 4, 4);
        return v;
    }
    uint16_t v;
    std::memcpy(&v, indices + i * 2, 2);
    return v;
}

void WriteFaces(File& file, ID3DXMesh& mesh, const BYTE* indices) {
    const bool wide = (mesh.GetOptions() & D3DXMESH_32BIT) != 0;
    const size_t faces = mesh.GetNumFaces();
    for (size_t f = 0; f < faces; ++f)
        file.Printf("%i  %i  %i\n", static_cast<int>(IndexAt(indices, f * 3, wide)),
                    static_cast<int>(IndexAt(indices, f * 3 + 1, wide)),
                    static_cast<int>(IndexAt(indices, f * 3 + 2, wide)));
}

// Every mesh format begins with the position, three floats.
void WriteVertices(File& file, ID3DXMesh& mesh, const BYTE* vertices) {
    const size_t stride = mesh.GetNumBytesPerVertex();
    const size_t count = mesh.GetNumVertices();
    for (size_t v = 0; v < count; ++v) {
        float p[3];
        std::memcpy(p, vertices + v * stride, sizeof p);
        file.Printf("%f  %f  %f\n", static_cast<double>(p[0]), static_cast<double>(p[1]),
                    static_cast<double>(p[2]));
    }
}

} // namespace

MeshDataFilesResult WriteMeshDataFiles(DXC_Mesh* mesh, const std::string& folder) {
    DXC_MeshData* data = GetMeshData(mesh);
    ID3DXMesh* d3dxMesh = data ? data->GetMesh() : nullptr;
    if (!d3dxMesh) return MeshDataFilesResult::NoGeometry;

    File faces, vertices;
    if (!faces.Create(PathIn(folder, "FaceData.txt").c_str())) return MeshDataFilesResult::NotCreated;
    if (!vertices.Create(PathIn(folder, "VertexData.txt").c_str())) return MeshDataFilesResult::NotCreated;
    {
        ReadLocks locks(*data);
        WriteFaces(faces, *d3dxMesh, locks.indices);
        WriteVertices(vertices, *d3dxMesh, locks.vertices);
    }
    // A full disk shows at the flush at the latest; it is the file's error.
    faces.Flush();
    vertices.Flush();
    return MeshDataFilesResult::Written;
}
