// The D3DX mesh: creation limits, attribute sorting with its table and remaps, subset drawing as
// the recording device sees it, cloning.
#include "platform/d3d8/RecordingDevice.h"
#include "platform/d3dx/D3DXMesh.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_NORMAL; // 24 bytes

class MeshTest : public ::testing::Test {
protected:
    void SetUp() override {
        device_ = CreateRecordingDevice();
        ASSERT_NE(device_, nullptr);
        recording_ = AsRecordingDevice(device_);
    }
    void TearDown() override {
        if (mesh_) {
            EXPECT_EQ(mesh_->Release(), 0u);
        }
        EXPECT_EQ(device_->Release(), 0u) << "the mesh must give its device back";
    }

    // A strip of faces over 2 + faces vertices; face f uses f, f+1, f+2 and has attribute ids[f].
    void MakeStrip(const std::vector<DWORD>& ids, DWORD options = D3DXMESH_MANAGED) {
        const DWORD faces = static_cast<DWORD>(ids.size());
        ASSERT_EQ(D3DXCreateMeshFVF(faces, faces + 2, options, kFvf, device_, &mesh_), D3D_OK);
        BYTE* v = nullptr;
        ASSERT_EQ(mesh_->LockVertexBuffer(0, &v), D3D_OK);
        for (DWORD i = 0; i < faces + 2; ++i) {
            const float p[6] = {static_cast<float>(i), 0, 0, 0, 0, 1};
            std::memcpy(v + 24 * i, p, sizeof p);
        }
        mesh_->UnlockVertexBuffer();
        SetIndices([&](DWORD f, int k) { return f + k; });
        DWORD* attributes = nullptr;
        ASSERT_EQ(mesh_->LockAttributeBuffer(0, &attributes), D3D_OK);
        std::copy(ids.begin(), ids.end(), attributes);
        mesh_->UnlockAttributeBuffer();
    }

    template <class F> void SetIndices(F index) {
        BYTE* bytes = nullptr;
        ASSERT_EQ(mesh_->LockIndexBuffer(0, &bytes), D3D_OK);
        const bool wide = mesh_->GetOptions() & D3DXMESH_32BIT;
        for (DWORD f = 0; f < mesh_->GetNumFaces(); ++f)
            for (int k = 0; k < 3; ++k) {
                const DWORD value = index(f, k);
                if (wide)
                    std::memcpy(bytes + 4 * (3 * f + k), &value, 4);
                else {
                    const WORD w = static_cast<WORD>(value);
                    std::memcpy(bytes + 2 * (3 * f + k), &w, 2);
                }
            }
        mesh_->UnlockIndexBuffer();
    }

    std::vector<DWORD> Indices() {
        BYTE* bytes = nullptr;
        EXPECT_EQ(mesh_->LockIndexBuffer(D3DLOCK_READONLY, &bytes), D3D_OK);
        std::vector<DWORD> out;
        const bool wide = mesh_->GetOptions() & D3DXMESH_32BIT;
        for (DWORD i = 0; i < mesh_->GetNumFaces() * 3; ++i) {
            DWORD value = 0;
            std::memcpy(&value, bytes + (wide ? 4 : 2) * i, wide ? 4 : 2);
            out.push_back(value);
        }
        mesh_->UnlockIndexBuffer();
        return out;
    }

    std::vector<D3DXATTRIBUTERANGE> Table() {
        DWORD size = 0;
        EXPECT_EQ(mesh_->GetAttributeTable(nullptr, &size), D3D_OK);
        std::vector<D3DXATTRIBUTERANGE> table(size);
        EXPECT_EQ(mesh_->GetAttributeTable(table.data(), &size), D3D_OK);
        return table;
    }

    IDirect3DDevice8* device_ = nullptr;
    RecordingDevice* recording_ = nullptr;
    ID3DXMesh* mesh_ = nullptr;
};

} // namespace

TEST_F(MeshTest, CreationChecksCountsFormatAndIndexWidth) {
    ID3DXMesh* m = nullptr;
    EXPECT_EQ(D3DXCreateMeshFVF(0, 3, D3DXMESH_MANAGED, kFvf, device_, &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateMeshFVF(1, 0, D3DXMESH_MANAGED, kFvf, device_, &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateMeshFVF(1, 3, D3DXMESH_MANAGED, D3DFVF_NORMAL, device_, &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateMeshFVF(1, 3, D3DXMESH_MANAGED, kFvf, nullptr, &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(m, nullptr);
    // 16-bit indices reach 65535 vertices; one more needs 32-bit indices.
    EXPECT_EQ(D3DXCreateMeshFVF(1, 65536, D3DXMESH_MANAGED, kFvf, device_, &m), D3DERR_INVALIDCALL);
    ASSERT_EQ(D3DXCreateMeshFVF(1, 65535, D3DXMESH_MANAGED, kFvf, device_, &m), D3D_OK);
    m->Release();
    ASSERT_EQ(D3DXCreateMeshFVF(2, 65536, D3DXMESH_MANAGED | D3DXMESH_32BIT, kFvf, device_, &m), D3D_OK);
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(m->GetIndexBuffer(&ib), D3D_OK);
    D3DINDEXBUFFER_DESC desc{};
    ib->GetDesc(&desc);
    EXPECT_EQ(desc.Format, D3DFMT_INDEX32);
    EXPECT_EQ(desc.Size, 2u * 3u * 4u);
    ib->Release();
    m->Release();
}

TEST_F(MeshTest, OptionsChooseBufferPoolsAndUsage) {
    ASSERT_EQ(D3DXCreateMeshFVF(4, 6, 0x18110, kFvf, device_, &mesh_),
              D3D_OK); // software processing, system memory
    EXPECT_EQ(mesh_->GetNumBytesPerVertex(), 24u);
    EXPECT_EQ(mesh_->GetFVF(), kFvf);
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(mesh_->GetVertexBuffer(&vb), D3D_OK);
    D3DVERTEXBUFFER_DESC desc{};
    vb->GetDesc(&desc);
    EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(desc.Usage, D3DUSAGE_SOFTWAREPROCESSING);
    EXPECT_EQ(desc.Size, 6u * 24u);
    EXPECT_EQ(desc.FVF, kFvf);
    vb->Release();
    DWORD* attributes = nullptr;
    ASSERT_EQ(mesh_->LockAttributeBuffer(D3DLOCK_READONLY, &attributes), D3D_OK);
    EXPECT_EQ(attributes[3], 0u) << "new meshes start with attribute 0";
    EXPECT_EQ(mesh_->LockAttributeBuffer(0, &attributes), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh_->UnlockAttributeBuffer(), D3D_OK);
    EXPECT_EQ(mesh_->UnlockAttributeBuffer(), D3DERR_INVALIDCALL);
}

TEST_F(MeshTest, AttributeSortIsStableAndBuildsTheTable) {
    MakeStrip({2, 0, 2, 1, 0});
    std::vector<DWORD> remap(5);
    ASSERT_EQ(mesh_->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, remap.data(), nullptr), D3D_OK);
    EXPECT_EQ(remap, (std::vector<DWORD>{1, 4, 3, 0, 2}));
    EXPECT_EQ(Indices(), (std::vector<DWORD>{1, 2, 3, 4, 5, 6, 3, 4, 5, 0, 1, 2, 2, 3, 4}));
    DWORD* attributes = nullptr;
    mesh_->LockAttributeBuffer(D3DLOCK_READONLY, &attributes);
    EXPECT_EQ(std::vector<DWORD>(attributes, attributes + 5), (std::vector<DWORD>{0, 0, 1, 2, 2}));
    mesh_->UnlockAttributeBuffer();

    const auto table = Table();
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0].AttribId, 0u);
    EXPECT_EQ(table[0].FaceStart, 0u);
    EXPECT_EQ(table[0].FaceCount, 2u);
    EXPECT_EQ(table[0].VertexStart, 1u);
    EXPECT_EQ(table[0].VertexCount, 6u);
    EXPECT_EQ(table[1].AttribId, 1u);
    EXPECT_EQ(table[1].FaceStart, 2u);
    EXPECT_EQ(table[1].VertexStart, 3u);
    EXPECT_EQ(table[1].VertexCount, 3u);
    EXPECT_EQ(table[2].FaceStart, 3u);
    EXPECT_EQ(table[2].VertexStart, 0u);
    EXPECT_EQ(table[2].VertexCount, 5u);
    DWORD one = 1;
    D3DXATTRIBUTERANGE first{};
    ASSERT_EQ(mesh_->GetAttributeTable(&first, &one), D3D_OK);
    EXPECT_EQ(one, 1u);
    EXPECT_EQ(first.FaceCount, 2u);
}

TEST_F(MeshTest, SortedSubsetsDrawWithOneIndexedCallEach) {
    MakeStrip({2, 0, 2, 1, 0});
    ASSERT_EQ(mesh_->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    recording_->ClearCalls();
    ASSERT_EQ(mesh_->DrawSubset(2), D3D_OK);
    ASSERT_EQ(mesh_->DrawSubset(7), D3D_OK); // no such subset: nothing
    const auto calls = recording_->Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(recording_->Text(calls[0]), "SetVertexShader(0x12)");
    EXPECT_EQ(calls[1].kind, DeviceCallKind::SetStreamSource);
    EXPECT_EQ(calls[1].args[1], 24u);
    EXPECT_EQ(calls[2].kind, DeviceCallKind::SetIndices);
    EXPECT_EQ(recording_->Text(calls[3]), "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 5, 9, 2)");
    device_->EndScene();
    device_->SetStreamSource(0, nullptr, 0);
    device_->SetIndices(nullptr, 0);
}

TEST_F(MeshTest, UnsortedSubsetsDrawEveryRunOfFaces) {
    MakeStrip({1, 1, 0, 1});
    device_->BeginScene();
    recording_->ClearCalls();
    ASSERT_EQ(mesh_->DrawSubset(1), D3D_OK);
    const auto draws = recording_->Filter(DeviceCallKind::DrawIndexedPrimitive);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(recording_->Text(draws[0]), "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 6, 0, 2)");
    EXPECT_EQ(recording_->Text(draws[1]), "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 6, 9, 1)");
    device_->EndScene();
    device_->SetStreamSource(0, nullptr, 0);
    device_->SetIndices(nullptr, 0);
}

TEST_F(MeshTest, ChangedIndicesOrAttributesKeepDrawingCorrect) {
    MakeStrip({0, 1, 0});
    ASSERT_EQ(mesh_->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // Subset 0 now reaches vertex 4: its range must grow with it.
    SetIndices([](DWORD f, int k) { return f == 1 ? 4u - k : f + k; });
    auto table = Table();
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].VertexStart, 0u);
    EXPECT_EQ(table[0].VertexCount, 5u);
    // New attribute ids void the table until the next sort.
    DWORD* attributes = nullptr;
    mesh_->LockAttributeBuffer(0, &attributes);
    attributes[0] = 3;
    mesh_->UnlockAttributeBuffer();
    EXPECT_TRUE(Table().empty());
    device_->BeginScene();
    recording_->ClearCalls();
    ASSERT_EQ(mesh_->DrawSubset(3), D3D_OK);
    EXPECT_EQ(recording_->Count(DeviceCallKind::DrawIndexedPrimitive), 1u);
    EXPECT_EQ(recording_->Last(DeviceCallKind::DrawIndexedPrimitive)->result, D3D_OK);
    device_->EndScene();
    device_->SetStreamSource(0, nullptr, 0);
    device_->SetIndices(nullptr, 0);
}

TEST_F(MeshTest, AdjacencyFollowsTheNewFaceOrder) {
    MakeStrip({1, 0, 1});
    const DWORD adjacencyIn[9] = {1, 0xFFFFFFFF, 0xFFFFFFFF, 0, 2, 0xFFFFFFFF, 1, 0xFFFFFFFF, 0xFFFFFFFF};
    DWORD adjacencyOut[9] = {};
    EXPECT_EQ(mesh_->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, adjacencyOut, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    ASSERT_EQ(mesh_->OptimizeInplace(D3DXMESHOPT_ATTRSORT, adjacencyIn, adjacencyOut, nullptr, nullptr),
              D3D_OK);
    // New order: old faces 1, 0, 2.
    const DWORD expected[9] = {1, 2, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0xFFFFFFFF};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(adjacencyOut[i], expected[i]) << i;
    EXPECT_EQ(mesh_->OptimizeInplace(0, nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(MeshTest, CompactDropsUnusedVerticesAndReportsTheRemap) {
    MakeStrip({0, 0, 0}); // 5 vertices
    SetIndices([](DWORD f, int k) {
        const DWORD faces[3][3] = {{4, 2, 0}, {0, 2, 4}, {2, 4, 0}};
        return faces[f][k];
    });
    ID3DXBuffer* remap = nullptr;
    ASSERT_EQ(mesh_->OptimizeInplace(D3DXMESHOPT_COMPACT, nullptr, nullptr, nullptr, &remap), D3D_OK);
    ASSERT_NE(remap, nullptr);
    EXPECT_EQ(mesh_->GetNumVertices(), 3u);
    ASSERT_EQ(remap->GetBufferSize(), 3u * sizeof(DWORD));
    const DWORD* r = static_cast<const DWORD*>(remap->GetBufferPointer());
    EXPECT_EQ(r[0], 0u);
    EXPECT_EQ(r[1], 2u);
    EXPECT_EQ(r[2], 4u);
    remap->Release();
    EXPECT_EQ(Indices(), (std::vector<DWORD>{2, 1, 0, 0, 1, 2, 1, 2, 0}));
    BYTE* v = nullptr;
    mesh_->LockVertexBuffer(D3DLOCK_READONLY, &v);
    float x = 0;
    std::memcpy(&x, v + 2 * 24, 4);
    EXPECT_EQ(x, 4.0f) << "old vertex 4 moved to slot 2";
    mesh_->UnlockVertexBuffer();
}

TEST_F(MeshTest, CloneAddsElementsAndKeepsGeometry) {
    MakeStrip({1, 0});
    ASSERT_EQ(mesh_->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ID3DXMesh* clone = nullptr;
    const DWORD fvf = kFvf | D3DFVF_TEX1;
    ASSERT_EQ(mesh_->CloneMeshFVF(D3DXMESH_SYSTEMMEM | D3DXMESH_32BIT, fvf, device_, &clone), D3D_OK);
    EXPECT_EQ(clone->GetFVF(), fvf);
    EXPECT_EQ(clone->GetNumBytesPerVertex(), 32u);
    EXPECT_EQ(clone->GetNumVertices(), 4u);
    BYTE* v = nullptr;
    ASSERT_EQ(clone->LockVertexBuffer(D3DLOCK_READONLY, &v), D3D_OK);
    float vertex3[8];
    std::memcpy(vertex3, v + 3 * 32, sizeof vertex3);
    EXPECT_EQ(vertex3[0], 3.0f);
    EXPECT_EQ(vertex3[5], 1.0f) << "normal z";
    EXPECT_EQ(vertex3[6], 0.0f) << "the new coordinates start at 0";
    clone->UnlockVertexBuffer();
    BYTE* i = nullptr;
    ASSERT_EQ(clone->LockIndexBuffer(D3DLOCK_READONLY, &i), D3D_OK);
    DWORD first[3];
    std::memcpy(first, i, sizeof first);
    EXPECT_EQ(first[0], 1u) << "sorted order carried over, now 32-bit";
    clone->UnlockIndexBuffer();
    DWORD size = 0;
    clone->GetAttributeTable(nullptr, &size);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(clone->Release(), 0u);
}
