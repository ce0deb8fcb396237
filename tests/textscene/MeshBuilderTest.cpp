#include "LoaderTestSupport.h"

#include <cmath>
#include <cstring>

#include "textscene/MeshBuilder.h"
#include "textscene/TextDataFileReader.h"

namespace {

class Reporter : public TextDataFileReader {
public:
    Reporter() { SetPath("cube.kzv"); }
};

// A unit cube of 8 vertices and 12 faces, two per side, sides in the order -z, +z, -y, +x,
// +y, -x.
struct Cube {
    MeshVertex vertices[8]{};
    MeshFace faces[12]{};

    Cube() {
        for (int i = 0; i < 8; ++i)
            vertices[i].position = D3DXVECTOR3(float(i & 1), float((i >> 1) & 1), float((i >> 2) & 1));
        const int corners[12][3] = {{0, 2, 3}, {3, 1, 0}, {4, 5, 7}, {7, 6, 4}, {0, 1, 5}, {5, 4, 0},
                                    {1, 3, 7}, {7, 5, 1}, {3, 2, 6}, {6, 7, 3}, {2, 0, 4}, {4, 6, 2}};
        for (int f = 0; f < 12; ++f)
            for (int k = 0; k < 3; ++k) faces[f].corner[k] = static_cast<uint16_t>(corners[f][k]);
    }
    void Group(int face, std::initializer_list<int> groups) {
        faces[face].groupCount = 0;
        for (int g : groups) faces[face].groups[faces[face].groupCount++] = static_cast<uint8_t>(g);
    }
    MeshBuilder::Input Input() {
        MeshBuilder::Input in;
        in.vertices = vertices;
        in.vertexCount = 8;
        in.faces = faces;
        in.faceCount = 12;
        in.objectName = "Box01";
        return in;
    }
};

D3DXVECTOR3 UnitNormal(const BuildVertex& v) {
    D3DXVECTOR3 n = v.normalSum / float(v.faceCount);
    D3DXVec3Normalize(&n, &n);
    return n;
}

using MeshBuilderTest = LoaderTest;

} // namespace

TEST_F(MeshBuilderTest, CubeWithoutSmoothingGroupsGetsAVertexPerCorner) {
    Reporter reporter;
    Cube cube;
    MeshBuilder builder(reporter);
    builder.Build(cube.Input());
    EXPECT_EQ(builder.vertices.size(), 36u);
    EXPECT_EQ(builder.duplicated, 28);
    EXPECT_EQ(CountEntries("cube.kzv: 28 vertices duplicated in mesh 'Box01'"), 1);
    EXPECT_EQ(builder.attributeCount, 1);
    // Flat shading: every vertex carries its own face's normal.
    const D3DXVECTOR3 n = UnitNormal(builder.vertices[static_cast<size_t>(cube.faces[0].output[0])]);
    EXPECT_NEAR(n.z, -1.0f, 1e-6f);
}

TEST_F(MeshBuilderTest, CubeInOneGroupSharesEightVerticesWithAveragedNormals) {
    Reporter reporter;
    Cube cube;
    for (int f = 0; f < 12; ++f) cube.Group(f, {1});
    MeshBuilder builder(reporter);
    builder.Build(cube.Input());
    ASSERT_EQ(builder.vertices.size(), 8u);
    for (const auto& v : builder.vertices) {
        const D3DXVECTOR3 n = UnitNormal(v);
        // Each corner's three sides meet at right angles with equal weights: the diagonal.
        const float k = 1.0f / std::sqrt(3.0f);
        EXPECT_NEAR(std::fabs(n.x), k, 1e-5f);
        EXPECT_NEAR(std::fabs(n.y), k, 1e-5f);
        EXPECT_NEAR(std::fabs(n.z), k, 1e-5f);
        EXPECT_GT(n.x * (v.position.x - 0.5f), 0.0f); // pointing outwards
    }
}

TEST_F(MeshBuilderTest, CubeWithAGroupPerSideGetsTwentyFourVertices) {
    Reporter reporter;
    Cube cube;
    for (int f = 0; f < 12; ++f) cube.Group(f, {f / 2 + 1});
    MeshBuilder builder(reporter);
    builder.Build(cube.Input());
    EXPECT_EQ(builder.vertices.size(), 24u);
    // Sides in different groups are not joined by the smoothing step either.
    for (const auto& v : builder.vertices) {
        const D3DXVECTOR3 n = UnitNormal(v);
        EXPECT_NEAR(std::fabs(n.x) + std::fabs(n.y) + std::fabs(n.z), 1.0f, 1e-5f);
    }
}

TEST_F(MeshBuilderTest, TextureSeamSplitsVerticesButKeepsTheNormalsJoined) {
    Reporter reporter;
    // Two triangles folded along the edge 0-1 at a right angle, one smoothing group, the
    // shared corners with different texture vertices on either side.
    MeshVertex vertices[4]{};
    vertices[0].position = {0, 0, 0};
    vertices[1].position = {1, 0, 0};
    vertices[2].position = {0, 1, 0};
    vertices[3].position = {0, 0, 1};
    MeshFace faces[2]{};
    const uint16_t corners[2][3] = {{0, 1, 2}, {1, 0, 3}};
    for (int f = 0; f < 2; ++f) {
        std::memcpy(faces[f].corner, corners[f], sizeof corners[f]);
        faces[f].groups[0] = 1;
        faces[f].groupCount = 1;
    }
    TexVertex tv[6] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0.5f, 0.5f, 0}, {0.25f, 0, 0}, {0, 0.25f, 0}};
    TexFace tf[2] = {{{0, 1, 2}}, {{3, 4, 5}}};
    MeshBuilder::Input in;
    in.vertices = vertices;
    in.vertexCount = 4;
    in.faces = faces;
    in.faceCount = 2;
    in.texVertices = tv;
    in.texVertexCount = 6;
    in.texFaces = tf;
    in.texFaceCount = 2;
    in.objectName = "Seam";
    MeshBuilder builder(reporter);
    builder.Build(in);
    ASSERT_EQ(builder.vertices.size(), 6u);
    const BuildVertex& a = builder.vertices[static_cast<size_t>(faces[0].output[0])];
    const BuildVertex& b = builder.vertices[static_cast<size_t>(faces[1].output[1])];
    EXPECT_NE(faces[0].output[0], faces[1].output[1]);
    EXPECT_EQ(b.u, 0.25f);
    EXPECT_EQ(a.faceCount, 2);
    EXPECT_EQ(b.faceCount, 2);
    const D3DXVECTOR3 na = UnitNormal(a), nb = UnitNormal(b);
    EXPECT_NEAR(na.x, nb.x, 1e-6f);
    EXPECT_NEAR(na.y, nb.y, 1e-6f);
    EXPECT_NEAR(na.z, nb.z, 1e-6f);
    EXPECT_NEAR(std::fabs(na.y), std::fabs(na.z), 1e-6f); // halfway between the two faces
}

TEST_F(MeshBuilderTest, MaterialIdsReduceAndAttributeIdsFollowFirstUse) {
    EXPECT_EQ(ReduceMaterialId(5, 3), 2);
    EXPECT_EQ(ReduceMaterialId(-1, 3), 2);
    EXPECT_EQ(ReduceMaterialId(-3, 3), 0);
    EXPECT_EQ(ReduceMaterialId(-2147483647 - 1, 3), 1);
    EXPECT_EQ(ReduceMaterialId(7, 0), 0);

    Reporter reporter;
    Cube cube;
    const int ids[12] = {2, 2, 0, 0, 2, 2, 1, 1, 5, 5, -1, -1}; // sub-materials 2, 0, 2, 1, 2, 2
    for (int f = 0; f < 12; ++f) cube.faces[f].materialId = ids[f];
    MeshBuilder builder(reporter);
    auto in = cube.Input();
    in.subMaterialCount = 3;
    builder.Build(in);
    EXPECT_EQ(builder.attributeCount, 3);
    EXPECT_EQ(builder.remap, (std::vector<int32_t>{1, 2, 0}));
    EXPECT_EQ(cube.faces[0].attributeId, 0);
    EXPECT_EQ(cube.faces[2].attributeId, 1);
    EXPECT_EQ(cube.faces[6].attributeId, 2);
    EXPECT_EQ(cube.faces[11].attributeId, 0);
}

TEST_F(MeshBuilderTest, DegenerateFacesAreDroppedWithAWarning) {
    Reporter reporter;
    Cube cube;
    cube.faces[3].corner[1] = cube.faces[3].corner[0];
    MeshBuilder builder(reporter);
    builder.Build(cube.Input());
    EXPECT_EQ(builder.invalidFaces, 1);
    EXPECT_EQ(cube.faces[3].attributeId, -1);
    EXPECT_EQ(builder.vertices.size(), 33u);
    EXPECT_EQ(CountEntries("cube.kzv: Invalid face 3 in mesh 'Box01'"), 1);

    Cube flat;
    for (auto& v : flat.vertices) v.position = {1, 1, 1};
    EXPECT_EQ(ThrownMessage([&] { builder.Build(flat.Input()); }),
              "cube.kzv: Mesh without vertices: 'Box01'");
}

TEST_F(MeshBuilderTest, IndicesOutsideTheirListsEndTheBuild) {
    Reporter reporter;
    MeshBuilder builder(reporter);
    Cube cube;
    cube.faces[4].corner[2] = 8;
    EXPECT_EQ(ThrownMessage([&] { builder.Build(cube.Input()); }),
              "cube.kzv: Invalid vertex index 8 in face 4 of mesh 'Box01'");

    Cube textured;
    TexVertex tv[3]{};
    TexFace tf[12]{};
    tf[7].corner[1] = 3;
    auto in = textured.Input();
    in.texVertices = tv;
    in.texVertexCount = 3;
    in.texFaces = tf;
    in.texFaceCount = 11;
    EXPECT_EQ(ThrownMessage([&] { builder.Build(in); }),
              "cube.kzv: Only 11 t-faces for 12 faces in mesh 'Box01'");
    in.texFaceCount = 12;
    EXPECT_EQ(ThrownMessage([&] { builder.Build(in); }),
              "cube.kzv: Invalid t-vertex index 3 in t-face 7 of mesh 'Box01'");
}

TEST_F(MeshBuilderTest, VertexWithMoreThan128SplitsMergesIntoItsFirst) {
    Reporter reporter;
    // 130 flat triangles around vertex 0: each corner at vertex 0 needs a vertex of its own.
    const int n = 130;
    std::vector<MeshVertex> vertices(n + 2);
    for (int i = 0; i <= n; ++i) {
        const float a = float(i) * 0.04f;
        vertices[static_cast<size_t>(i + 1)].position = {std::cos(a), std::sin(a), 0.0f};
    }
    std::vector<MeshFace> faces(n);
    for (int f = 0; f < n; ++f) {
        faces[static_cast<size_t>(f)].corner[0] = 0;
        faces[static_cast<size_t>(f)].corner[1] = static_cast<uint16_t>(f + 1);
        faces[static_cast<size_t>(f)].corner[2] = static_cast<uint16_t>(f + 2);
    }
    MeshBuilder::Input in;
    in.vertices = vertices.data();
    in.vertexCount = n + 2;
    in.faces = faces.data();
    in.faceCount = n;
    in.objectName = "Fan";
    MeshBuilder builder(reporter);
    builder.Build(in);
    EXPECT_EQ(vertices[0].splitCount, 128);
    EXPECT_EQ(faces[128].output[0], faces[0].output[0]);
    EXPECT_EQ(faces[129].output[0], faces[0].output[0]);
    EXPECT_EQ(builder.vertices[static_cast<size_t>(faces[0].output[0])].faceCount, 3);
    EXPECT_GE(CountEntries("Too many smoothing groups on vertex 0!"), 1);
}
