// Whole loads through LoadScene with the graphics object on the recording device: what the
// scene shows right after the load, the scene's own reports, the scene timing a file may
// break, clone chains and the files the loader refuses to open.
#include "LoaderTestSupport.h"

#include <sys/stat.h>

#include "render/DXC_MeshData.h"
#include "scene/Mesh.h"
#include "textscene/SceneLoad.h"

namespace {

// Loads through LoadScene, which updates the scene at its start time after the text load.
class SceneLoadTest : public SceneLoaderTest {
protected:
    // Loads path; the error message, empty on success.
    std::string LoadPath(const std::string& path) {
        try {
            LoadScene(path.c_str(), &scene, -1, *loader);
        } catch (const ErrorMsg& e) {
            return e.message;
        } catch (const DXC_Error& e) {
            return e.message;
        }
        return {};
    }
    std::string LoadFile(const std::string& text) { return LoadPath(Write("scene.kzv", text)); }

    DXC_Mesh* Mesh(const char* name) { return scene.FindMesh(name, 0); }
    ID3DXMesh* D3DMesh(const char* name) {
        const DXC_MeshData* data = Mesh(name) ? MeshData(Mesh(name)) : nullptr;
        return data ? data->GetMesh() : nullptr;
    }
};

// Position samples at tick 1600 (x = 0) and tick 4800 (x = 10).
const std::string Moving = " *TM_ANIMATION { *CONTROL_POS_TRACK {\n"
                           "  *CONTROL_POS_SAMPLE 1600 0 0 0\n  *CONTROL_POS_SAMPLE 4800 10 0 0 } }\n";

std::string MovingSceneWith(const std::string& sceneBlock) {
    return sceneBlock + SquareObject("Box", Moving) + "*HELPEROBJECT { *NODE_NAME \"H\"\n" + Moving + "}\n";
}

} // namespace

TEST_F(SceneLoadTest, TheLoadEndsShowingTheStartTimeWithKeysInSeconds) {
    // First frame 10 at 30 frames per second and 160 ticks per frame: tick 1600 is 0 s and
    // tick 4800 is 3200 / 4800 = 2/3 s; the start time 10 / 30 = 1/3 s lies halfway, x = 5.
    ASSERT_EQ(LoadFile(MovingSceneWith("*SCENE { *SCENE_FIRSTFRAME 10 *SCENE_FRAMESPEED 30 "
                                       "*SCENE_TICKSPERFRAME 160 }\n")),
              "");
    EXPECT_NEAR(Mesh("Box")->GetCurrentPosition().x, 5.0f, 1e-4f);
    EXPECT_NEAR(Mesh("Box")->worldTM._41, 5.0f, 1e-4f);
    ASSERT_EQ(scene.GetHelperCount(), 1);
    EXPECT_NEAR(scene.GetHelperAt(0)->GetCurrentPosition().x, 5.0f, 1e-4f);
    // The scene bounds are taken at that pose too: the unit square moved to x = 5 spans 5 to
    // 6, and the helper's position, x = 5, lies on its edge.
    EXPECT_NEAR(scene.bounds.minimum.x, 5.0f, 1e-4f);
    EXPECT_NEAR(scene.bounds.maximum.x, 6.0f, 1e-4f);

    // The same keys as a Bezier pair with out tangent 0.001 on the first key and in tangent
    // 0.001 on the second: both are scaled by the 3200 ticks between them (3.2). At s = 1/2
    // the Hermite weights are 1/2, 1/2, 1/8 and -1/8: 5 + 3.2 / 8 + 3.2 / 8 = 5.8.
    ASSERT_EQ(LoadFile("*SCENE { *SCENE_FIRSTFRAME 10 }\n" +
                       SquareObject("Curve", " *TM_ANIMATION { *CONTROL_POS_BEZIER {\n"
                                             "  *CONTROL_BEZIER_POS_KEY 1600 0 0 0 0 0 0 0.001 0 0\n"
                                             "  *CONTROL_BEZIER_POS_KEY 4800 10 0 0 0.001 0 0 0 0 0 } }\n")),
              "");
    EXPECT_NEAR(Mesh("Curve")->GetCurrentPosition().x, 5.8f, 1e-4f);
}

TEST_F(SceneLoadTest, UnusableFrameSpeedAndTicksGiveWayToTheDefaultsWithWarnings) {
    // With 30 frames per second and 160 ticks per frame in their place the keys and the start
    // time are those of the test above: x = 5; the length is (100 - 10) / 30 = 3 s.
    for (const char* values : {"*SCENE_FRAMESPEED 0 *SCENE_TICKSPERFRAME 0", "*SCENE_FRAMESPEED -30 "
                                                                             "*SCENE_TICKSPERFRAME -1"}) {
        SCOPED_TRACE(values);
        entries.clear();
        ASSERT_EQ(LoadFile(MovingSceneWith(std::string("*SCENE { *SCENE_FIRSTFRAME 10 ") + values + " }\n")),
                  "");
        EXPECT_FLOAT_EQ(loader->GetFrameSpeed(), 30.0f);
        EXPECT_FLOAT_EQ(loader->GetPlaybackFrameRate(), 30.0f);
        EXPECT_FLOAT_EQ(loader->GetTicksPerFrame(), 160.0f);
        EXPECT_FLOAT_EQ(loader->GetSceneLength(), 3.0f);
        EXPECT_NEAR(Mesh("Box")->GetCurrentPosition().x, 5.0f, 1e-4f);
        EXPECT_EQ(CountEntries("Frame speed"), 1) << AllEntries();
        EXPECT_EQ(CountEntries("Ticks per frame"), 1) << AllEntries();
    }
}

TEST_F(SceneLoadTest, SceneMessagesNameTheLoadedFile) {
    const std::string path = Write("named.kzv", SquareObject("Box", " *NODE_PARENT \"nobody\"\n"));
    ASSERT_EQ(LoadPath(path), "");
    EXPECT_STREQ(scene.name.Text(), path.c_str());
    EXPECT_EQ(CountEntries("Parent object 'nobody' not found in scene '" + path + "'. Child: 'Box'"), 1)
        << AllEntries();
}

TEST_F(SceneLoadTest, ClonesOfLaterClonesShareTheGeometryAtTheEndOfTheChain) {
    auto cloneOf = [](const char* name, const char* source) {
        return std::string("*GEOMOBJECT { *NODE_NAME \"") + name + "\" *CLONE \"" + source + "\" }\n";
    };
    ASSERT_EQ(LoadFile(cloneOf("First", "Second") + cloneOf("Second", "Source") + SquareObject("Source")),
              "");
    ASSERT_NE(D3DMesh("Source"), nullptr);
    EXPECT_EQ(D3DMesh("First"), D3DMesh("Source"));
    EXPECT_EQ(D3DMesh("Second"), D3DMesh("Source"));
    EXPECT_FLOAT_EQ(Mesh("First")->bounds.maximum.x, 1.0f); // the square's box

    // A chain that comes back to where it started has no geometry to end at.
    EXPECT_NE(LoadFile(cloneOf("A", "B") + cloneOf("B", "A") + SquareObject("Source"))
                  .find("Clone Mesh 'A' leads back to itself"),
              std::string::npos);
    EXPECT_NE(LoadFile(cloneOf("Self", "Self")).find("Clone Mesh 'Self' leads back to itself"),
              std::string::npos);
}

TEST_F(SceneLoadTest, CloneWithSubMaterialsOfASourceWithoutThemGetsTheNewMeshColours) {
    const std::string materials = "*MATERIAL_LIST { *MATERIAL_COUNT 2\n"
                                  " *MATERIAL 0 { *NUMSUBMTLS 2\n"
                                  "  *SUBMATERIAL 0 { *MATERIAL_DIFFUSE 1 0 0 }\n"
                                  "  *SUBMATERIAL 1 { *MATERIAL_DIFFUSE 0 1 0 } }\n"
                                  " *MATERIAL 1 { *MATERIAL_DIFFUSE 0 0 1 }\n}\n";
    ASSERT_EQ(LoadFile(materials + SquareObject("Source", " *MATERIAL_REF 1\n") +
                       "*GEOMOBJECT { *NODE_NAME \"Copy\" *CLONE \"Source\" *MATERIAL_REF 0 }\n"),
              "");
    // The source has one attribute and no sub-material table, so no sub-material reaches the
    // clone's one material: it is the light grey, opaque one of a new mesh.
    ASSERT_EQ(Mesh("Copy")->GetMaterialCount(), 1);
    const D3DMATERIAL8& m = Mesh("Copy")->GetMaterial(0)->material;
    EXPECT_EQ(
        (std::vector<float>{m.Diffuse.r, m.Diffuse.g, m.Diffuse.b, m.Diffuse.a, m.Ambient.r, m.Specular.a}),
        (std::vector<float>{0.9f, 0.9f, 0.9f, 1.0f, 0.9f, 1.0f}));
    EXPECT_FLOAT_EQ(Mesh("Source")->GetMaterial(0)->material.Diffuse.b, 1.0f);
}

TEST_F(SceneLoadTest, FilesThatAreNotRegularFilesAreRefusedWithoutWaiting) {
    // A pipe with no writer would block an ordinary open; a device would read as endless or
    // empty data.
    const std::string pipe = PathOf("pipe.kzv");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(LoadPath(pipe), pipe + ": Can not open file " + pipe + ": not a regular file");
    EXPECT_EQ(LoadPath("/dev/zero"), "/dev/zero: Can not open file /dev/zero: not a regular file");
    EXPECT_EQ(LoadPath(dir.string()),
              dir.string() + ": Can not open file " + dir.string() + ": not a regular file");
    // Maps and image lists naming a pipe: see the kzvtool special-files test.
}
