// Ray casts into meshes and scenes: distances in multiples of the direction, the bounding
// sphere's early out, the scene's and the meshes' own transforms, and the name filters.
#include <gtest/gtest.h>

#include <string>

#include "GfxTestSupport.h"
#include "PassTestScene.h"
#include "render/RayCast.h"

namespace {

// Quads of size 2 facing -Z, their faces spanning -1..1 in x and y around their node position.
class RayCastTest : public ::testing::Test {
protected:
    DXC_Mesh* Quad(const char* name, float z) {
        QuadSpec quad;
        quad.position = D3DXVECTOR3(0.0f, 0.0f, z);
        quad.size = 2.0f;
        return AddQuad(*r.gfx, scene, name, quad);
    }
    RecordingGfx r;
    DXC_3dScene scene;
};

const D3DXVECTOR3 Origin(0.5f, 0.5f, 0.0f);
const D3DXVECTOR3 AlongZ(0.0f, 0.0f, 1.0f);

} // namespace

TEST_F(RayCastTest, MeshDistanceIsInMultiplesOfTheDirectionAndOnlyAhead) {
    DXC_Mesh& mesh = *Quad("Wall", 10.0f);
    // The mesh stands 10 along z: the ray enters its space moved, not turned.
    EXPECT_FLOAT_EQ(RayIntersectMesh(mesh, Origin, AlongZ), 10.0f);
    EXPECT_FLOAT_EQ(RayIntersectMesh(mesh, Origin, D3DXVECTOR3(0.0f, 0.0f, 2.0f)), 5.0f);
    EXPECT_EQ(RayIntersectMesh(mesh, Origin, D3DXVECTOR3(0.0f, 0.0f, -1.0f)), -1.0f); // behind
    // Inside the bounding sphere (radius 1.414) but beside the faces.
    EXPECT_EQ(RayIntersectMesh(mesh, D3DXVECTOR3(1.2f, 0.0f, 0.0f), AlongZ), -1.0f);
    // A mesh scaled to nothing has no inverse: missed, not a division by zero.
    D3DXMatrixScaling(&mesh.worldTM, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(RayIntersectMesh(mesh, Origin, AlongZ), -1.0f);
}

TEST_F(RayCastTest, RayPassingTheBoundingSphereSkipsTheFaces) {
    DXC_Mesh& mesh = *Quad("Wall", 10.0f);
    // A sphere placed away from the faces: the ray would hit a face, but the sphere says no.
    mesh.bounds.centre = D3DXVECTOR3(5.0f, 5.0f, 0.0f);
    mesh.bounds.radius = 1.0f;
    EXPECT_EQ(RayIntersectMesh(mesh, Origin, AlongZ), -1.0f);
    // Without the sphere bit the faces decide.
    mesh.bounds.mode = 2;
    EXPECT_FLOAT_EQ(RayIntersectMesh(mesh, Origin, AlongZ), 10.0f);
    // The sphere is tested against the line of the ray, scaled direction or not.
    mesh.bounds.mode = 3;
    mesh.bounds.centre = D3DXVECTOR3(0.5f, 1.4f, 0.0f);
    EXPECT_FLOAT_EQ(RayIntersectMesh(mesh, Origin, D3DXVECTOR3(0.0f, 0.0f, 4.0f)), 2.5f);
}

TEST_F(RayCastTest, SceneGivesTheNearestVisibleMeshInItsOwnSpace) {
    Quad("WallFar", 20.0f);
    DXC_Mesh& near = *Quad("WallNear", 10.0f);
    EXPECT_FLOAT_EQ(RayCastScene(scene, Origin, AlongZ), 10.0f);
    near.visible = 0;
    EXPECT_FLOAT_EQ(RayCastScene(scene, Origin, AlongZ), 20.0f);
    near.visible = 1;
    // The scene moved 5 along z: both walls move with it.
    D3DXMatrixTranslation(&scene.worldTM, 0.0f, 0.0f, 5.0f);
    EXPECT_FLOAT_EQ(RayCastScene(scene, Origin, AlongZ), 15.0f);
    EXPECT_EQ(RayCastScene(scene, D3DXVECTOR3(3.0f, 0.0f, 0.0f), AlongZ), -1.0f);
}

TEST_F(RayCastTest, NamePrefixChoosesMeshesVisibleOrNotAndAnEmptyOneReceivesTheHit) {
    Quad("WallFar", 20.0f);
    DXC_Mesh& near = *Quad("WallNear", 10.0f);
    near.visible = 0;
    std::string prefix = "walln"; // case ignored, hidden meshes included
    EXPECT_FLOAT_EQ(RayCastScene(scene, Origin, AlongZ, &prefix), 10.0f);
    prefix = "WALLF";
    EXPECT_FLOAT_EQ(RayCastScene(scene, Origin, AlongZ, &prefix), 20.0f);
    prefix = "Door";
    EXPECT_EQ(RayCastScene(scene, Origin, AlongZ, &prefix), -1.0f);

    // An empty text: the visible meshes, and the name of the one hit comes back, however long.
    near.visible = 1;
    const std::string longName = "WallNear" + std::string(300, 'x');
    near.name = longName.c_str();
    std::string hit;
    EXPECT_FLOAT_EQ(RayCastScene(scene, Origin, AlongZ, &hit), 10.0f);
    EXPECT_EQ(hit, longName);
    std::string missed;
    EXPECT_EQ(RayCastScene(scene, D3DXVECTOR3(3.0f, 0.0f, 0.0f), AlongZ, &missed), -1.0f);
    EXPECT_EQ(missed, "");
}
