// The data side of meshes on the recording device: buffer locks and their messages, attribute
// sorting, the clone copy that shares the geometry, the vertex blend setting and CreateMesh.
#include "tests/render/TextureTestSupport.h"

#include <cstring>
#include <memory>

#include "render/DXC_MeshData.h"
#include "render/DXC_Texture.h"
#include "render/DXC_VertexFormat.h"
#include "render/MeshPose.h"
#include "scene/Mesh.h"

namespace {

constexpr DWORD PlainFormat = D3DFVF_XYZ | D3DFVF_NORMAL;                            // 0x012
constexpr DWORD SkinFormat = D3DFVF_XYZB2 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL;  // 0x1018
constexpr DWORD SkinFormat4 = D3DFVF_XYZB4 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL; // 0x101C

class MeshDataTest : public RecordingGfxTest {
protected:
    void ReleaseObjects() override { meshes.clear(); }
    DXC_Mesh* NewMesh(const char* name) {
        meshes.push_back(std::make_unique<DXC_Mesh>());
        meshes.back()->name = name;
        return meshes.back().get();
    }
    std::vector<std::unique_ptr<DXC_Mesh>> meshes;
};

class HardwareMeshDataTest : public MeshDataTest {
protected:
    int32_t HardwareVertexProcessing() const override { return 1; }
};

TEST_F(MeshDataTest, CreateMeshGivesDefaultMaterialsFreshTexturesAndTheBlendSetting) {
    DXC_Mesh* mesh = NewMesh("Box01");
    DXC_MeshData* data = CreateMesh(gfx, mesh, 12, 24, 3, PlainFormat, 0, 0, 1, 0, 0);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(GetMeshData(mesh), data);
    ASSERT_NE(data->GetMesh(), nullptr);
    EXPECT_EQ(data->GetMesh()->GetNumFaces(), 12u);
    EXPECT_EQ(data->GetMesh()->GetNumVertices(), 24u);
    EXPECT_EQ(data->GetMesh()->GetFVF(), PlainFormat);
    EXPECT_EQ(data->faceCount, 12);
    EXPECT_EQ(data->vertexCount, 24);
    EXPECT_EQ(data->vertexFormat.size, 24);
    EXPECT_EQ(data->vertexBlend, static_cast<DWORD>(D3DVBF_DISABLE));
    // A software-processing device: every mesh is processed in software, in system memory.
    EXPECT_EQ(data->hardwareBlending, 0);
    EXPECT_EQ(data->GetMesh()->GetOptions(), D3DXMESH_SOFTWAREPROCESSING | D3DXMESH_SYSTEMMEM);
    ASSERT_EQ(mesh->GetMaterialCount(), 3);
    for (int32_t i = 0; i < 3; ++i) {
        const D3DMATERIAL8& m = mesh->GetMaterial(i)->material;
        EXPECT_FLOAT_EQ(m.Diffuse.r, 0.9f);
        EXPECT_FLOAT_EQ(m.Ambient.b, 0.9f);
        EXPECT_FLOAT_EQ(m.Specular.a, 1.0f);
        EXPECT_FLOAT_EQ(m.Emissive.g, 0.0f);
        EXPECT_FLOAT_EQ(m.Power, 0.0f);
        ASSERT_NE(GetMeshTexture(mesh, i), nullptr);
        EXPECT_EQ(GetMeshTexture(mesh, i)->GetGfx(), gfx);
    }

    // Creating again without a new mesh keeps the materials; the counts must agree.
    DXC_MeshData* again = CreateMesh(gfx, mesh, 2, 4, 3, SkinFormat, 0, 2, 0, 0, 0);
    EXPECT_EQ(again, data);
    EXPECT_EQ(again->vertexBlend, static_cast<DWORD>(D3DVBF_1WEIGHTS));
    EXPECT_EQ(GetMeshTexture(mesh, 0)->GetGfx(), gfx);
    EXPECT_EQ(ErrorOf([&] { CreateMesh(gfx, mesh, 2, 4, 2, PlainFormat, 0, 0, 0, 0, 0); }),
              "nrMat does not match!");
}

TEST_F(MeshDataTest, CreateMeshLimitsAndFailures) {
    DXC_Mesh* mesh = NewMesh("Big");
    EXPECT_NE(CreateMesh(gfx, mesh, 1, 65535, 1, PlainFormat, 0, 0, 1, 0, 0), nullptr);
    EXPECT_EQ(ErrorOf([&] { CreateMesh(gfx, mesh, 1, 65536, 1, PlainFormat, 0, 0, 1, 0, 0); }),
              "Number of vertices too high: 65536 - only 65535 allowed");
    EXPECT_EQ(ErrorOf([&] { CreateMesh(gfx, mesh, 0, 3, 1, PlainFormat, 0, 0, 1, 0, 0); }),
              " D3DXCreateMeshFVF failed: D3DERR_INVALIDCALL ");
    EXPECT_EQ(CountEntries("Error:DXC_Gfx:  D3DXCreateMeshFVF failed"), 1);
    EXPECT_EQ(ErrorOf([&] { CreateMesh(gfx, mesh, 1, 3, 1, SkinFormat, 0, 1, 1, 0, 0, 5); }),
              "Big: Invalid weight number");
}

TEST_F(HardwareMeshDataTest, HardwareDeviceBlendsWhatItCanAndKeepsTheBufferOptions) {
    DXC_Mesh* mesh = NewMesh("Hw");
    DXC_MeshData* data = CreateMesh(gfx, mesh, 1, 3, 1, PlainFormat, 0, 0, 1, 0, 0);
    EXPECT_EQ(data->hardwareBlending, 1);
    EXPECT_EQ(data->GetMesh()->GetOptions(), D3DXMESH_MANAGED);
    data = CreateMesh(gfx, mesh, 1, 3, 1, PlainFormat, 1, 0, 1, D3DXMESH_DONOTCLIP, 0);
    EXPECT_EQ(data->GetMesh()->GetOptions(), D3DXMESH_SYSTEMMEM | D3DXMESH_DONOTCLIP);
    data = CreateMesh(gfx, mesh, 1, 3, 1, PlainFormat, 0, 0, 1, 0xFFFFFFFFu, 0);
    EXPECT_EQ(data->GetMesh()->GetOptions(), D3DXMESH_MANAGED);
    // A reflection map forces software processing.
    data = CreateMesh(gfx, mesh, 1, 3, 1, PlainFormat, 0, 0, 1, 0, 1);
    EXPECT_EQ(data->hardwareBlending, 0);
    EXPECT_EQ(data->GetMesh()->GetOptions(), D3DXMESH_SOFTWAREPROCESSING | D3DXMESH_SYSTEMMEM);
}

TEST_F(MeshDataTest, VertexBlendFollowsTheWeightCount) {
    const DWORD expected[5] = {D3DVBF_DISABLE, D3DVBF_0WEIGHTS, D3DVBF_1WEIGHTS, D3DVBF_2WEIGHTS,
                               D3DVBF_3WEIGHTS};
    for (int32_t w = 0; w <= 4; ++w) {
        DWORD blend = 12345;
        EXPECT_EQ(DXC_MeshData::VertexBlendForWeights(w, blend), 1);
        EXPECT_EQ(blend, expected[w]);
    }
    DWORD blend = 0;
    EXPECT_EQ(DXC_MeshData::VertexBlendForWeights(5, blend), 0);
    EXPECT_EQ(DXC_MeshData::VertexBlendForWeights(-1, blend), 0);
    // From the vertex format when no weight count is given: four weights (three stored).
    DXC_Mesh* mesh = NewMesh("Skin");
    EXPECT_EQ(CreateMesh(gfx, mesh, 1, 3, 1, SkinFormat4, 0, 4, 1, 0, 0)->vertexBlend,
              static_cast<DWORD>(D3DVBF_3WEIGHTS));
}

TEST_F(MeshDataTest, LocksAreRememberedAndFailuresNameTheMesh) {
    DXC_Mesh* mesh = NewMesh("Box02");
    DXC_MeshData* data = CreateMesh(gfx, mesh, 2, 4, 1, PlainFormat, 0, 0, 1, 0, 0);
    BYTE* v = data->LockVertexBuffer(0);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(data->LockVertexBuffer(0), v); // already locked: the same lock
    EXPECT_EQ(data->IsVertexBufferLocked(), 1);
    data->UnlockVertexBuffer();
    EXPECT_EQ(data->IsVertexBufferLocked(), 0);
    data->UnlockVertexBuffer(); // not locked: nothing
    // One unlock ended the lock: the mesh can be sorted (which needs its buffers free).
    BYTE* i = data->LockIndexBuffer(0);
    DWORD* a = data->LockAttributeBuffer(0);
    ASSERT_NE(i, nullptr);
    ASSERT_NE(a, nullptr);
    data->UnlockIndexBuffer();
    data->UnlockAttributeBuffer();
    EXPECT_EQ(data->SortByAttribute(), 1);

    DXC_MeshData empty(mesh);
    EXPECT_EQ(empty.SortByAttribute(), 0);
    EXPECT_EQ(ErrorOf([&] { empty.LockIndexBuffer(0); }),
              "Box02: LockIndexBuffer failed: D3DERR_INVALIDCALL");
    EXPECT_EQ(ErrorOf([&] { empty.LockVertexBuffer(0); }),
              "Box02: LockVertexBuffer failed: D3DERR_INVALIDCALL");
    EXPECT_EQ(ErrorOf([&] { empty.LockAttributeBuffer(0); }),
              "Box02: LockAttributeBuffer failed: D3DERR_INVALIDCALL");
    EXPECT_EQ(empty.IsIndexBufferLocked(), 0);
}

TEST_F(MeshDataTest, SortingGroupsFacesByAttributeAndBuildsTheTable) {
    DXC_Mesh* mesh = NewMesh("Sorted");
    DXC_MeshData* data = CreateMesh(gfx, mesh, 4, 6, 3, PlainFormat, 0, 0, 1, 0, 0);
    auto* indices = reinterpret_cast<uint16_t*>(data->LockIndexBuffer(0));
    DWORD* attributes = data->LockAttributeBuffer(0);
    const DWORD ids[4] = {2, 0, 1, 0};
    for (uint16_t f = 0; f < 4; ++f) {
        indices[3 * f] = f;
        indices[3 * f + 1] = static_cast<uint16_t>(f + 1);
        indices[3 * f + 2] = static_cast<uint16_t>(f + 2);
        attributes[f] = ids[f];
    }
    data->UnlockIndexBuffer();
    data->UnlockAttributeBuffer();
    ASSERT_EQ(data->SortByAttribute(), 1);

    indices = reinterpret_cast<uint16_t*>(data->LockIndexBuffer(D3DLOCK_READONLY));
    attributes = data->LockAttributeBuffer(D3DLOCK_READONLY);
    const DWORD sortedIds[4] = {0, 0, 1, 2};
    const uint16_t firstIndex[4] = {1, 3, 2, 0}; // faces keep their order within an id
    for (int f = 0; f < 4; ++f) {
        EXPECT_EQ(attributes[f], sortedIds[f]);
        EXPECT_EQ(indices[3 * f], firstIndex[f]);
    }
    data->UnlockIndexBuffer();
    data->UnlockAttributeBuffer();

    const std::vector<D3DXATTRIBUTERANGE>& table = data->GetAttributeTable();
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0].AttribId, 0u);
    EXPECT_EQ(table[0].FaceStart, 0u);
    EXPECT_EQ(table[0].FaceCount, 2u);
    EXPECT_EQ(table[2].AttribId, 2u);
    EXPECT_EQ(table[2].FaceStart, 3u);
    EXPECT_EQ(table[2].FaceCount, 1u);
}

TEST_F(MeshDataTest, CloneCopySharesTheGeometryAndOutlivesItsSource) {
    DXC_Mesh* source = NewMesh("Source");
    DXC_MeshData* data = CreateMesh(gfx, source, 2, 4, 1, SkinFormat, 0, 2, 1, 0, 0);
    data->skinned = 1;
    data->blendMatrixCount = 2;
    data->sphereMapChannel = 1;
    data->SortByAttribute();
    DXC_Mesh* clone = NewMesh("Clone");
    clone->SetGeometry(source->GetGeometry()->CopyShared(*clone));
    DXC_MeshData* copy = GetMeshData(clone);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, data);
    EXPECT_EQ(copy->GetOwner(), clone);
    ASSERT_EQ(copy->GetMesh(), data->GetMesh());
    EXPECT_EQ(copy->vertexBlend, data->vertexBlend);
    EXPECT_EQ(copy->skinned, 1);
    EXPECT_EQ(copy->blendMatrixCount, 2);
    EXPECT_EQ(copy->sphereMapChannel, 1);
    EXPECT_EQ(copy->vertexFormat.fvf, SkinFormat);
    EXPECT_EQ(copy->GetAttributeTable().size(), 1u);
    // Two holders now: one more reference than before.
    ID3DXMesh* shared = data->GetMesh();
    shared->AddRef();
    EXPECT_EQ(shared->Release(), 2u);
    // The clone's own locks and messages.
    EXPECT_NE(copy->LockVertexBuffer(0), nullptr);
    EXPECT_EQ(data->IsVertexBufferLocked(), 0);
    copy->UnlockVertexBuffer();
    source->SetGeometry(nullptr);
    EXPECT_EQ(copy->GetMesh()->GetNumFaces(), 2u);
    EXPECT_EQ(ErrorOf([&] { copy->SetVertexBlendFromWeights(7); }), "Clone: Invalid weight number");
}

TEST_F(MeshDataTest, MaterialAssignmentSharesTheTextureImages) {
    const std::string file = WriteSolid("skin.png", 8, 8, 0xFF445566);
    DXC_Texture source(gfx);
    gfx->LoadTexture(&source, file.c_str(), 0, 0, static_cast<D3DFORMAT>(0xFFFFFFFFu), 1);
    DXC_Mesh* mesh = NewMesh("Textured");
    CreateMesh(gfx, mesh, 1, 3, 2, PlainFormat, 0, 0, 1, 0, 0);
    MeshMaterial material;
    material.transparent = 1;
    material.material.Diffuse = D3DCOLORVALUE{0.25f, 0.5f, 0.75f, 1.0f};
    EXPECT_EQ(mesh->IsTransparent(), 0);
    SetMeshMaterial(gfx, mesh, 1, material, &source);
    EXPECT_FLOAT_EQ(mesh->GetMaterial(1)->material.Diffuse.g, 0.5f);
    EXPECT_EQ(mesh->IsTransparent(), 1);
    DXC_Texture* texture = GetMeshTexture(mesh, 1);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetSlot(0).texture, source.GetSlot(0).texture);
    EXPECT_EQ(gfx->GetTextureList().Get(source.GetSlot(0).listIndex)->refCount, 2);
    SetMeshMaterial(gfx, mesh, 5, material, &source); // no such subset: nothing
    meshes.clear();
    EXPECT_EQ(gfx->GetTextureList().Get(source.GetSlot(0).listIndex)->refCount, 1);
}

} // namespace

// A palette blend uses four matrices at most: a format that stores four weights before its
// index word keeps the first three, and the fourth matrix gets what they leave.
TEST(VertexBlendTest, FourStoredWeightsBlendFourMatrices) {
    VertexFormat format;
    format.Set(D3DFVF_XYZB5 | D3DFVF_LASTBETA_UBYTE4);
    ASSERT_EQ(format.blendWeights, 4);
    std::vector<BYTE> vertex(static_cast<std::size_t>(format.size));
    const float weights[4] = {0.5f, 0.25f, 0.125f, 0.0625f};
    std::memcpy(vertex.data() + format.blend, weights, sizeof weights);
    const BYTE indices[4] = {3, 2, 1, 0};
    std::memcpy(vertex.data() + format.blend + 16, indices, sizeof indices);

    const VertexBlend blend = ReadVertexBlend(format, vertex.data());
    ASSERT_EQ(blend.count, 4);
    EXPECT_FLOAT_EQ(blend.weights[2], 0.125f);
    EXPECT_FLOAT_EQ(blend.weights[3], 0.125f); // 1 - 0.5 - 0.25 - 0.125
    EXPECT_EQ(blend.indices[0], 3);
    EXPECT_EQ(blend.indices[3], 0);
}
