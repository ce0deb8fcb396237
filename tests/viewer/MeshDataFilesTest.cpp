// The mesh data files of Ctrl + E: the faces and the stored vertex positions of a mesh whose
// buffers the test fills, for both index sizes, and what happens without geometry or when a
// file cannot be created.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/d3dx/D3DXMesh.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_MeshData.h"
#include "scene/Mesh.h"
#include "support/LogCapture.h"
#include "viewer/MeshDataFiles.h"

namespace {

// Position, then a normal that must not show in the files.
struct Vertex {
    float x, y, z, nx, ny, nz;
};

class MeshDataFilesTest : public LogCaptureTest {
protected:
    void SetUp() override {
        LogCaptureTest::SetUp();
        gfx = CreateRecordingGfx(1); // hardware processing keeps the index size asked for
        g_Gfx = gfx.get();
    }
    void TearDown() override {
        mesh.reset();
        gfx.reset();
        g_Gfx = nullptr;
        LogCaptureTest::TearDown();
    }
    // A quad of two triangles with known corners.
    void MakeQuad(DWORD options) {
        mesh = std::make_unique<DXC_Mesh>();
        mesh->name = "Quad";
        DXC_MeshData* data =
            CreateMesh(gfx.get(), mesh.get(), 2, 4, 1, D3DFVF_XYZ | D3DFVF_NORMAL, 0, 0, 1, options, 0);
        ASSERT_NE(data, nullptr);
        ASSERT_EQ(data->GetMesh()->GetOptions() & D3DXMESH_32BIT, options & D3DXMESH_32BIT);
        const Vertex corners[4] = {{-1.5f, 0.0f, 2.25f, 9, 9, 9},
                                   {1.5f, 0.0f, 2.25f, 9, 9, 9},
                                   {1.5f, -0.125f, 0.0f, 9, 9, 9},
                                   {-1.5f, 1000000.5f, 0.0f, 9, 9, 9}};
        std::memcpy(data->LockVertexBuffer(0), corners, sizeof corners);
        data->UnlockVertexBuffer();
        const uint32_t faces[6] = {0, 1, 2, 0, 2, 3};
        BYTE* indices = data->LockIndexBuffer(0);
        for (int i = 0; i < 6; ++i) {
            if (options & D3DXMESH_32BIT)
                std::memcpy(indices + 4 * i, &faces[i], 4);
            else {
                const uint16_t narrow = static_cast<uint16_t>(faces[i]);
                std::memcpy(indices + 2 * i, &narrow, 2);
            }
        }
        data->UnlockIndexBuffer();
    }
    std::string Read(const char* name) const {
        std::ifstream in(dir / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::unique_ptr<DXC_Gfx> gfx;
    std::unique_ptr<DXC_Mesh> mesh;
};

} // namespace

TEST_F(MeshDataFilesTest, FacesAndStoredPositionsOneLineEachWithASingleLineFeed) {
    for (DWORD options : {DWORD{0}, DWORD{D3DXMESH_32BIT}}) {
        MakeQuad(options);
        ASSERT_EQ(WriteMeshDataFiles(mesh.get(), dir.string()), MeshDataFilesResult::Written);
        EXPECT_EQ(Read("FaceData.txt"), "0  1  2\n0  2  3\n") << options;
        EXPECT_EQ(Read("VertexData.txt"), "-1.500000  0.000000  2.250000\n"
                                          "1.500000  0.000000  2.250000\n"
                                          "1.500000  -0.125000  0.000000\n"
                                          "-1.500000  1000000.500000  0.000000\n")
            << options;
        // The buffers are given back: the mesh can be locked for writing again.
        DXC_MeshData* data = GetMeshData(mesh.get());
        EXPECT_FALSE(data->IsVertexBufferLocked());
        EXPECT_FALSE(data->IsIndexBufferLocked());
    }
}

TEST_F(MeshDataFilesTest, NoGeometryWritesNothingAndAFileThatCannotBeCreatedStops) {
    DXC_Mesh bare;
    EXPECT_EQ(WriteMeshDataFiles(&bare, dir.string()), MeshDataFilesResult::NoGeometry);
    EXPECT_EQ(WriteMeshDataFiles(nullptr, dir.string()), MeshDataFilesResult::NoGeometry);
    EXPECT_FALSE(std::filesystem::exists(dir / "FaceData.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "VertexData.txt"));

    // A folder in the way of the vertex file: the face file is made, and stays empty.
    MakeQuad(0);
    std::filesystem::create_directory(dir / "VertexData.txt");
    EXPECT_EQ(WriteMeshDataFiles(mesh.get(), dir.string()), MeshDataFilesResult::NotCreated);
    EXPECT_EQ(Read("FaceData.txt"), "");
    EXPECT_EQ(WriteMeshDataFiles(mesh.get(), (dir / "missing").string()), MeshDataFilesResult::NotCreated);
}

// Buffered text reaches the disk only at the flush: a full disk must be an error there, never a
// success announced over files that stayed short.
TEST_F(MeshDataFilesTest, AFullDiskIsTheFilesErrorNotASuccess) {
    MakeQuad(0);
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 8; // stands in for a full disk, for root too
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    try {
        WriteMeshDataFiles(mesh.get(), dir.string());
    } catch (const ErrorMsg& e) {
        error = std::string(e.name) + ": " + e.message;
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldSignal);
    EXPECT_NE(error.find("FaceData.txt"), std::string::npos) << error;
    EXPECT_NE(error.find("Error writing to file"), std::string::npos) << error;
}
