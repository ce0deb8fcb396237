#include "LoaderTestSupport.h"

#include <cstring>

#include "platform/d3d8/FvfLayout.h"
#include "platform/d3dx/D3DXMesh.h"

namespace {

using GeometryBlocksTest = SceneLoaderTest;

// The vertices of a built mesh as the vertex buffer holds them.
struct Vertices {
    FvfLayout layout;
    std::vector<BYTE> bytes;
    DWORD count = 0;

    explicit Vertices(DXC_Mesh* mesh) {
        ID3DXMesh* d3d = MeshData(mesh)->GetMesh();
        DecodeFvf(d3d->GetFVF(), &layout);
        count = d3d->GetNumVertices();
        BYTE* data = nullptr;
        d3d->LockVertexBuffer(0, &data);
        bytes.assign(data, data + count * layout.size);
        d3d->UnlockVertexBuffer();
    }
    const float* At(DWORD i, int offset) const {
        return reinterpret_cast<const float*>(bytes.data() + i * layout.size + offset);
    }
    const BYTE* Indices(DWORD i) const { return bytes.data() + i * layout.size + layout.indicesOffset; }
};

// A one-triangle mesh of three vertices with a MESH_WEIGHTS block.
std::string SkinnedTriangle(const std::string& weights) {
    return "*GEOMOBJECT { *NODE_NAME \"Skin\" *MESH { *MESH_NUMVERTEX 3 *MESH_NUMFACES 1\n"
           " *MESH_VERTEX_LIST { *MESH_VERTEX 0 0 0 0 *MESH_VERTEX 1 1 0 0 *MESH_VERTEX 2 0 1 0 }\n"
           " *MESH_FACE_LIST { *MESH_FACE 0: A: 0 B: 1 C: 2 *MESH_SMOOTHING 1 }\n"
           " *MESH_WEIGHTS {\n" +
           weights + "\n } } }\n";
}

std::string Bone(const std::string& name, const std::string& weights) {
    return "*BONE_WEIGHT { *BONE_NAME \"" + name + "\" *BONE_INIT_TM { *TM_POS 0 0 0 }\n" + weights + " }\n";
}

} // namespace

TEST_F(GeometryBlocksTest, ObjectWithoutFacesBecomesAHelper) {
    EXPECT_EQ(Load("*GEOMOBJECT { *NODE_NAME \"Empty\" *NODE_PARENT \"P\" *NODE_TM { *TM_POS 1 2 3 }\n"
                   " *MESH { *MESH_NUMVERTEX 0 *MESH_NUMFACES 0 }\n"
                   " *TM_ANIMATION { *CONTROL_POS_TRACK { *CONTROL_POS_SAMPLE 0 1 2 3 } } }"),
              "");
    EXPECT_EQ(scene.GetMeshCount(), 0);
    ASSERT_EQ(scene.GetHelperCount(), 1);
    DXC_3dObject* helper = scene.GetHelperAt(0);
    EXPECT_STREQ(helper->name.Text(), "Empty");
    EXPECT_STREQ(helper->parentName.Text(), "P");
    EXPECT_EQ(helper->objectType, ObjectTypeHelper);
    EXPECT_FLOAT_EQ(helper->nodeTransform.position.z, 3.0f);
    EXPECT_EQ(helper->posKeys.Count(), 1);
}

TEST_F(GeometryBlocksTest, CloneNameDecidesWhetherTheMeshIsRead) {
    const std::string text = SquareObject("Src") +
                             "*GEOMOBJECT { *NODE_NAME \"A\" *CLONE \"Src\" *MESH { *MESH_NUMFACES -5 } }\n" +
                             SquareObject("B", " *CLONE \"Src\"\n");
    EXPECT_EQ(Load(text), ""); // A's mesh block is passed over, count and all
    ASSERT_EQ(scene.GetMeshCount(), 3);
    ID3DXMesh* source = MeshData(scene.GetMeshAt(0))->GetMesh();
    EXPECT_EQ(MeshData(scene.GetMeshAt(1))->GetMesh(), source);
    EXPECT_EQ(MeshData(scene.GetMeshAt(2))->GetMesh(), source); // read, then discarded for the source's
}

TEST_F(GeometryBlocksTest, SmoothingListsAndTextureVertices) {
    // Two faces sharing an edge: in a common group they share its two vertices.
    EXPECT_EQ(Load(SquareObject("S", "", "*MESH_SMOOTHING 1,2,5 *MESH_MTLID 0")), "");
    EXPECT_EQ(MeshData(scene.GetMeshAt(0))->GetMesh()->GetNumVertices(), 4u);
    EXPECT_EQ(Load(SquareObject("S", "", "*MESH_SMOOTHING *MESH_MTLID 0")), "");
    EXPECT_EQ(MeshData(scene.GetMeshAt(0))->GetMesh()->GetNumVertices(), 6u); // no group: flat

    const std::string textured = SquareObject("T").insert(
        SquareObject("T").rfind(" }\n}"),
        " *MESH_NUMTVERTEX 2 *MESH_TVERTLIST { *MESH_TVERT 0 0.5 0.25 0 *MESH_TVERT 1 1 1 0 }\n"
        " *MESH_NUMTVFACES 2 *MESH_TFACELIST { *MESH_TFACE 0 0 0 0 *MESH_TFACE 1 1 1 1 }\n");
    EXPECT_EQ(Load(textured), "");
    Vertices v(scene.GetMeshAt(0));
    ASSERT_EQ(v.layout.texCoordCount, 1u);
    bool found = false;
    for (DWORD i = 0; i < v.count; ++i) {
        const float* uv = v.At(i, v.layout.texCoordOffset[0]);
        if (uv[0] == 0.5f) {
            EXPECT_FLOAT_EQ(uv[1], 0.75f); // v is stored as 1 - v
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(GeometryBlocksTest, ListOrderAndCountErrors) {
    EXPECT_EQ(Message(Load(
                  "*GEOMOBJECT { *MESH { *MESH_NUMVERTEX 2 *MESH_VERTEX_LIST { *MESH_VERTEX 1 0 0 0 } } }")),
              "Wrong vertex list order!");
    EXPECT_EQ(Message(Load("*GEOMOBJECT { *MESH { *MESH_VERTEX_LIST { *MESH_VERTEX 0 0 0 0 } } }")),
              "Too many vertices");
    EXPECT_EQ(
        Message(Load("*GEOMOBJECT { *MESH { *MESH_NUMFACES 1 *MESH_FACE_LIST { *MESH_FACE 0: A: 0 B: 0 C: 0 "
                     "*MESH_FACE 1: A: 0 B: 0 C: 0 } } }")),
        "Too many faces");
    EXPECT_EQ(Message(Load("*GEOMOBJECT { *MESH { *MESH_NUMTVERTEX 1 *MESH_TVERTLIST { *MESH_TVERT 0 0 0 0 "
                           "*MESH_TVERT 1 0 0 0 } } }")),
              "Too many t-vertices");
    EXPECT_EQ(Message(Load("*GEOMOBJECT { *MESH { *MESH_TFACELIST { *MESH_TFACE 0 0 0 0 } } }")),
              "Too many t-faces");
    EXPECT_EQ(Message(Load("*GEOMOBJECT { *MESH { *MESH_NUMFACES -1 } }")), "Invalid Face count: -1");
    EXPECT_EQ(Message(Load("*GEOMOBJECT { *MESH { *MESH_NUMTVFACES 2000000000 } }")),
              "T-face count 2000000000 is more than the rest of the file can hold");
    // Smoothing and material id lines before any face are passed over.
    EXPECT_EQ(Load(SquareObject("X").insert(SquareObject("X").find("*MESH_FACE_LIST {") + 17,
                                            " *MESH_SMOOTHING 3 *MESH_MTLID 2\n")),
              "");
}

TEST_F(GeometryBlocksTest, FaceCornersMustNameVertices) {
    std::string text = SquareObject("Bad");
    text.replace(text.find("C: 3"), 4, "C: 70000"); // 70000 keeps 16 bits: 4464
    EXPECT_EQ(Message(Load(text)), "Invalid vertex index 4464 in face 1 of mesh 'Bad'");
}

TEST_F(GeometryBlocksTest, WeightsKeepTheFourLargestAndNormalise) {
    const std::string weights = Bone("B0", "*INDEX_WEIGHT 0 0.5") + Bone("B1", "*INDEX_WEIGHT 0 0.2") +
                                Bone("B2", "*INDEX_WEIGHT 0 0.4") + Bone("B3", "*INDEX_WEIGHT 0 0.6") +
                                Bone("B4", "*INDEX_WEIGHT 0 0.3 *INDEX_WEIGHT 1 0.1 *INDEX_WEIGHT 2 0.0999");
    EXPECT_EQ(Load(SkinnedTriangle(weights)), "");
    EXPECT_EQ(CountEntries("More than 4 bones in vertex of object 'Skin'"), 1);
    DXC_Mesh* mesh = scene.GetMeshAt(0);
    EXPECT_EQ(mesh->GetBones().GetCount(), 5);
    EXPECT_EQ(MeshData(mesh)->vertexBlend, static_cast<DWORD>(D3DVBF_3WEIGHTS)); // four weights
    EXPECT_EQ(MeshData(mesh)->GetMesh()->GetFVF(), 0x101Cu);
    EXPECT_EQ(mesh->bounds.mode, 0);
    EXPECT_EQ(loader->IsSkinned(), 1);
    EXPECT_EQ(CountEntries("Skinned meshes without 'Bounds' object"), 1);
    Vertices v(mesh);
    for (DWORD i = 0; i < v.count; ++i) {
        const float* position = v.At(i, 0);
        const float* w = v.At(i, v.layout.weightsOffset);
        const BYTE* bones = v.Indices(i);
        if (position[0] == 0.0f && position[1] == 0.0f) {
            // 0.2 of bone 1 gave way to 0.3 of bone 4; weights divided by their sum 1.8.
            EXPECT_EQ(bones[1], 4);
            EXPECT_NEAR(w[0], 0.5f / 1.8f, 1e-6f);
            EXPECT_NEAR(w[1], 0.3f / 1.8f, 1e-6f);
        } else if (position[0] == 1.0f) {
            EXPECT_EQ(bones[0], 4); // 0.1 is kept
            EXPECT_NEAR(w[0], 1.0f, 1e-6f);
        } else {
            EXPECT_EQ(bones[0], 0); // 0.0999 is dropped: bound fully to bone 0
            EXPECT_NEAR(w[0], 1.0f, 1e-6f);
        }
    }
}

TEST_F(GeometryBlocksTest, BoneListNamesAndLimits) {
    // The mesh itself is bone 0 after its init transform; a bone of its name reuses it.
    EXPECT_EQ(Load(SkinnedTriangle("*MESH_INIT_TM { *TM_POS 0 0 0 }\n" + Bone("Skin", "*INDEX_WEIGHT 1 1") +
                                   Bone("Other", "*INDEX_WEIGHT 1 1"))),
              "");
    EXPECT_EQ(scene.GetMeshAt(0)->GetBones().GetCount(), 2);
    EXPECT_EQ(CountEntries("Only one bone in object Skin"), 0);
    EXPECT_EQ(Load(SkinnedTriangle(Bone("Single", "*INDEX_WEIGHT 0 1"))), "");
    EXPECT_EQ(CountEntries("Only one bone in object Skin"), 1);
    EXPECT_EQ(MeshData(scene.GetMeshAt(0))->GetMesh()->GetFVF(), 0x1018u);

    // A weights block without "MESH_INIT_TM" takes the one an earlier mesh of the same file
    // left, but never one of an earlier load.
    const std::string initTm = "*MESH_INIT_TM { *TM_ROW3 5 0 0 }\n";
    EXPECT_EQ(Load(SkinnedTriangle(initTm + Bone("A", "*INDEX_WEIGHT 0 1")) +
                   SkinnedTriangle(Bone("B", "*INDEX_WEIGHT 0 1"))),
              "");
    EXPECT_FLOAT_EQ(scene.GetMeshAt(1)->GetBones().GetAt(0)->meshInit._41, 5.0f);
    EXPECT_EQ(Load(SkinnedTriangle(Bone("B", "*INDEX_WEIGHT 0 1"))), "");
    EXPECT_FLOAT_EQ(scene.GetMeshAt(0)->GetBones().GetAt(0)->meshInit._41, 0.0f);

    EXPECT_EQ(Message(Load(SkinnedTriangle(Bone("B", "*INDEX_WEIGHT 3 1")))), "Invalid weight index: 3");
    EXPECT_EQ(Message(Load(SkinnedTriangle("*BONE_WEIGHT { *INDEX_WEIGHT 0 1 }"))),
              "Bone weights without bones in object 'Skin'");
    std::string many;
    for (int i = 0; i < 257; ++i) many += Bone("B" + std::to_string(i), "");
    EXPECT_EQ(Message(Load(SkinnedTriangle(many))), "More than 256 bones in object 'Skin'");
}

TEST_F(GeometryBlocksTest, TransformMirrorAndPivot) {
    EXPECT_EQ(Load("*3DSMAX_KZVEXPORT 200\n"
                   "*GEOMOBJECT { *NODE_NAME \"M\" *NODE_TM { *TM_ROW0 -2 0 0 *TM_ROW1 0 2 0 *TM_ROW2 0 0 2 "
                   "*TM_ROW3 1 2 3 *TM_POS 1 2 3 *TM_SCALE 2 2 2 *TM_ROTAXIS 0 0 1 *TM_ROTANGLE 0 }\n"
                   " *PIVOT_TM { *TM_ROW3 5 0 0 } *MESH { *MESH_NUMFACES 0 } }\n" +
                   SquareObject("P", " *PIVOT_TM { *TM_ROW3 5 0 0 }\n")),
              "");
    const NodeTransform& tm = scene.GetHelperAt(0)->nodeTransform;
    EXPECT_FLOAT_EQ(tm.mirror.x, -1.0f);
    EXPECT_FLOAT_EQ(tm.mirror.y, 1.0f);
    EXPECT_FLOAT_EQ(tm.mirror.z, 1.0f);
    EXPECT_FLOAT_EQ(tm.matrix._44, 1.0f);
    EXPECT_FLOAT_EQ(tm.matrix._14, 0.0f);
    EXPECT_FLOAT_EQ(scene.GetHelperAt(0)->pivotTM._41, 5.0f);
    EXPECT_FLOAT_EQ(scene.GetMeshAt(0)->pivotTM._41, 5.0f);

    EXPECT_EQ(Load("*3DSMAX_KZVEXPORT 150\n" + SquareObject("P", " *PIVOT_TM { *TM_ROW3 5 0 0 }\n")), "");
    EXPECT_FLOAT_EQ(scene.GetMeshAt(0)->pivotTM._41, 0.0f); // version 1 meshes have no pivot

    EXPECT_EQ(Load("*HELPEROBJECT { *NODE_TM { *TM_ROW0 0 0 0 *TM_SCALE 1 1 1 } }"), "");
    EXPECT_EQ(CountEntries("Determinant in TM is zero."), 1);
}

TEST_F(GeometryBlocksTest, VertexFormatFollowsMaterialAndOptions) {
    EXPECT_EQ(Load(SquareObject("Plain")), "");
    EXPECT_EQ(MeshData(scene.GetMeshAt(0))->GetMesh()->GetFVF(), 0x012u);
    EXPECT_EQ(Load(SquareObject("Coloured"), "scene.kzv", 8), "");
    EXPECT_EQ(MeshData(scene.GetMeshAt(0))->GetMesh()->GetFVF(), 0x0D2u);
    WriteImage("env.bmp");
    EXPECT_EQ(Load("*MATERIAL_LIST { *MATERIAL 0 { *MAP_DIFFUSE { *BITMAP \"x.bmp\" }\n"
                   " *MAP_REFLECT { *BITMAP \"env.bmp\" } } }\n" +
                   SquareObject("Shiny", " *MATERIAL_REF 0\n")),
              "");
    const DXC_MeshData* data = MeshData(scene.GetMeshAt(0));
    EXPECT_EQ(data->GetMesh()->GetFVF(), 0x212u); // two coordinate sets: diffuse and sphere map
    EXPECT_EQ(data->sphereMapChannel, 1);
    EXPECT_EQ(scene.GetMeshAt(0)->GetMaterial(0)->reflectionChannel, 0); // only the reflection loaded
}

TEST_F(GeometryBlocksTest, SixteenBitIndicesLimitTheVertexCount) {
    // Triangles of their own three vertices: 21845 give 65535 vertices, 21846 one too many.
    auto mesh = [](int faces) {
        std::string s = "*GEOMOBJECT { *NODE_NAME \"Big\" *MESH { *MESH_NUMVERTEX " +
                        std::to_string(3 * faces) + " *MESH_NUMFACES " + std::to_string(faces) +
                        "\n *MESH_VERTEX_LIST {\n";
        for (int v = 0; v < 3 * faces; ++v)
            s += "*MESH_VERTEX " + std::to_string(v) + " " + std::to_string(v % 3 == 1) + " " +
                 std::to_string(v % 3 == 2) + " " + std::to_string(v / 3) + "\n";
        s += "}\n *MESH_FACE_LIST {\n";
        for (int f = 0; f < faces; ++f)
            s += "*MESH_FACE " + std::to_string(f) + ": A: " + std::to_string(3 * f) +
                 " B: " + std::to_string(3 * f + 1) + " C: " + std::to_string(3 * f + 2) +
                 " *MESH_SMOOTHING 1\n";
        return s + "} } }";
    };
    EXPECT_EQ(Load(mesh(21845)), "");
    EXPECT_EQ(MeshData(scene.GetMeshAt(0))->GetMesh()->GetNumVertices(), 65535u);
    EXPECT_EQ(Message(Load(mesh(21846))), "Number of vertices too high: 65536 - only 65535 allowed");
}

TEST_F(GeometryBlocksTest, MeshesAreBlendedInHardwareOnlyWhereTheDeviceCanBlendThem) {
    // Hardware blending needs hardware vertex processing; a mesh left to software gets
    // software-processed system-memory buffers, a blended one managed buffers.
    const std::string skinned = SkinnedTriangle(Bone("B0", "*INDEX_WEIGHT 0 0.5 *INDEX_WEIGHT 1 1") +
                                                Bone("B1", "*INDEX_WEIGHT 0 0.5 *INDEX_WEIGHT 2 1"));
    struct Case {
        bool hardwareVertexProcessing, hardwareSkinning;
        int32_t plain, skin; // hardware blending of the plain square and the skinned triangle
    } cases[] = {{false, false, 0, 0}, {false, true, 0, 0}, {true, false, 1, 0}, {true, true, 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.hardwareVertexProcessing) + std::to_string(c.hardwareSkinning));
        MakeGfx(c.hardwareVertexProcessing, c.hardwareSkinning);
        ASSERT_EQ(Load(SquareObject("Plain")), "");
        const DXC_MeshData* plain = MeshData(scene.GetMeshAt(0));
        EXPECT_EQ(plain->hardwareBlending, c.plain);
        EXPECT_EQ(plain->GetMesh()->GetOptions(),
                  c.plain ? DWORD{D3DXMESH_MANAGED}
                          : DWORD{D3DXMESH_SOFTWAREPROCESSING | D3DXMESH_SYSTEMMEM});
        // Indexed blending of a skinned mesh is done in hardware only with hardware skinning on.
        ASSERT_EQ(Load(skinned), "");
        const DXC_MeshData* skin = MeshData(scene.GetMeshAt(0));
        EXPECT_EQ(skin->hardwareBlending, c.skin);
        EXPECT_EQ(skin->blendMatrixCount, 2); // one matrix per bone
    }
}
