#include "LoaderTestSupport.h"

#include <cmath>
#include <regex>

#include "platform/FileSystem.h"
#include "textscene/SceneLoad.h"

namespace {

using AssemblyTest = SceneLoaderTest;

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

} // namespace

TEST_F(AssemblyTest, EmptyFileIsAnEmptySceneWithDefaultTiming) {
    const std::string path = Write("empty.kzv", "");
    ASSERT_NO_THROW(LoadScene(path.c_str(), &scene, -1, *loader));
    EXPECT_EQ(scene.GetMeshCount() + scene.GetHelperCount() + scene.GetCameraCount() + scene.GetLightCount(),
              0);
    EXPECT_TRUE(entries.empty()) << AllEntries();
    EXPECT_FLOAT_EQ(loader->GetSecondsPerTick(), 1.0f / 4800.0f);
    EXPECT_NEAR(loader->GetSceneLength(), 3.333f, 1e-3f);
    EXPECT_EQ(scene.viewOptions.ambient, 1);
    EXPECT_FLOAT_EQ(scene.viewOptions.fogDensity, 0.008f);
}

TEST_F(AssemblyTest, SceneEntryTellsTheFormsApartByTheFirstBytes) {
    const std::string shortFile = Write("short.kzv", "*GR");
    EXPECT_NO_THROW(LoadScene(shortFile.c_str(), &scene, -1, *loader));
    const std::string binary = Write("scene.3sc", std::string("3SCf\0\0\0\0", 8));
    EXPECT_NE(
        ThrownMessage([&] { LoadScene(binary.c_str(), &scene, -1, *loader); }).find("not be loaded yet"),
        std::string::npos);
    const std::string missing = (dir / "missing.kzv").string();
    EXPECT_EQ(ThrownMessage([&] { LoadScene(missing.c_str(), &scene, -1, *loader); }),
              missing + ": Can not open file " + missing);
}

TEST_F(AssemblyTest, FileCutInsideAnObjectKeepsWhatWasRead) {
    std::string text = SquareObject("First") + SquareObject("Second");
    text.resize(text.size() - 40); // inside the second object's face list
    EXPECT_EQ(Load(text), "");
    EXPECT_EQ(CountEntries("Encountered unexpected end of file at pos " + std::to_string(text.size())), 1)
        << AllEntries();
    ASSERT_EQ(scene.GetMeshCount(), 2);
    EXPECT_STREQ(scene.GetMeshAt(1)->name.Text(), "Second");
    EXPECT_EQ(MeshData(scene.GetMeshAt(0))->faceCount, 2);
}

TEST_F(AssemblyTest, GroupsLeaveNoTraceAndNestAtMost256Deep) {
    const std::string body = SquareObject("A") + "*HELPEROBJECT { *NODE_NAME \"H\" }\n" + SquareObject("B");
    EXPECT_EQ(Load("*GROUP { *GROUP { *GROUP {" + body + "} } }" + SquareObject("C")), "");
    ASSERT_EQ(scene.GetMeshCount(), 3);
    EXPECT_STREQ(scene.GetMeshAt(2)->name.Text(), "C");
    EXPECT_EQ(scene.GetHelperCount(), 1);
    EXPECT_TRUE(entries.empty() || CountEntries("unexpected end") == 0);

    std::string deep;
    for (int i = 0; i < 300; ++i) deep += "*GROUP {";
    EXPECT_EQ(Message(Load(deep)), "Groups nested more than 256 deep");
}

TEST_F(AssemblyTest, BoundsObjectSetsTheSceneBoxAndLeavesTheMeshList) {
    const std::string bounds = SquareObject("bounds", " *NODE_TM { *TM_POS 10 0 0 }\n");
    EXPECT_EQ(Load(SquareObject("Visible") + bounds), "");
    ASSERT_EQ(scene.GetMeshCount(), 1);
    EXPECT_STREQ(scene.GetMeshAt(0)->name.Text(), "Visible");
    // The Bounds mesh's own box (its vertices, 0..1 in x and y) moved by its transform.
    EXPECT_EQ(scene.bounds.mode, 3);
    EXPECT_FLOAT_EQ(scene.bounds.minimum.x, 10.0f);
    EXPECT_FLOAT_EQ(scene.bounds.maximum.x, 11.0f);
    EXPECT_FLOAT_EQ(scene.bounds.maximum.y, 1.0f);
    EXPECT_FLOAT_EQ(scene.bounds.centre.x, 10.5f);
    EXPECT_FLOAT_EQ(scene.bounds.radius, std::sqrt(2.0f) * 0.5f);

    // A mesh after the Bounds mesh computes the scene box again from the meshes.
    EXPECT_EQ(Load(bounds + SquareObject("Visible")), "");
    EXPECT_FLOAT_EQ(scene.bounds.minimum.x, 0.0f);
}

TEST_F(AssemblyTest, ClonesShareGeometryAndKeepTheirOwnMaterial) {
    const std::string materials = "*MATERIAL_LIST { *MATERIAL_COUNT 2\n"
                                  " *MATERIAL 0 { *MATERIAL_DIFFUSE 1 0 0 }\n"
                                  " *MATERIAL 1 { *MATERIAL_DIFFUSE 0 0 1 }\n}\n";
    const std::string text = materials + SquareObject("Source", " *MATERIAL_REF 0\n") +
                             "*GEOMOBJECT { *NODE_NAME \"Copy\" *CLONE \"Source\" *MATERIAL_REF 1\n"
                             " *NODE_TM { *TM_POS 5 0 0 } }\n";
    EXPECT_EQ(Load(text), "");
    ASSERT_EQ(scene.GetMeshCount(), 2);
    DXC_Mesh* copy = scene.GetMeshAt(1);
    EXPECT_STREQ(copy->name.Text(), "Copy");
    EXPECT_STREQ(copy->cloneName.Text(), "Source");
    ASSERT_NE(MeshData(copy), nullptr);
    EXPECT_EQ(MeshData(copy)->GetMesh(), MeshData(scene.GetMeshAt(0))->GetMesh());
    EXPECT_EQ(MeshData(copy)->GetOwner(), copy);
    EXPECT_FLOAT_EQ(copy->GetMaterial(0)->material.Diffuse.b, 1.0f);
    EXPECT_FLOAT_EQ(scene.GetMeshAt(0)->GetMaterial(0)->material.Diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(copy->nodeTransform.position.x, 5.0f);

    EXPECT_EQ(Message(Load("*GEOMOBJECT { *NODE_NAME \"C\" *CLONE \"Nobody\" }")),
              "Clone Mesh 'Nobody' not found");
}

TEST_F(AssemblyTest, FogColourBecomesTheBackgroundAndCameraZeroIsCurrent) {
    const std::string text = "*SCENE { *SCENE_BACKGROUND_STATIC 1 1 1 }\n"
                             "*ATMOSPHERIC { *STDFOG { *FOG_COLOR 0.5 0 1 *FOG_NEAR 3 } }\n"
                             "*CAMERAOBJECT { *NODE_NAME \"One\" }\n*CAMERAOBJECT { *NODE_NAME \"Two\" }\n";
    EXPECT_EQ(Load(text), "");
    EXPECT_EQ(scene.viewOptions.fog, 1);
    EXPECT_EQ(scene.viewOptions.fogColour, 0xFF7F00FFu);
    EXPECT_EQ(scene.backgroundColour, 0xFF7F00FFu);
    EXPECT_EQ(scene.GetCurrentCamera(), 0);

    // The next scene, without fog, loaded into the same scene object shows none.
    EXPECT_EQ(Load("*SCENE { *SCENE_BACKGROUND_STATIC 0 0 1 }\n"), "");
    EXPECT_EQ(scene.viewOptions.fog, 0);
    EXPECT_EQ(scene.backgroundColour, 0xFF0000FFu);
}

TEST_F(AssemblyTest, WindowsMadeSceneFindsItsTextures) {
    // Maps as a Windows tool writes them: backslashes, other letter case, a drive letter
    // path from the author's machine, CRLF line ends.
    WriteImage("scenes/maps/brick.bmp");
    WriteImage("scenes/wood.png", ImageFileKind::Png);
    const std::string text =
        "*3DSMAX_KZVEXPORT 211\n"
        "*MATERIAL_LIST {\n *MATERIAL_COUNT 2\n"
        " *MATERIAL 0 { *MATERIAL_NAME \"Brick\" *MAP_DIFFUSE { *BITMAP \"Maps\\BRICK.BMP\" } }\n"
        " *MATERIAL 1 { *MATERIAL_NAME \"Wood\"\n"
        "  *MAP_DIFFUSE { *BITMAP \"C:\\Users\\artist\\textures\\Wood.PNG\" *UVW_U_TILING 2 } }\n"
        "}\n" +
        SquareObject("Wall", " *MATERIAL_REF 0\n") + SquareObject("Floor", " *MATERIAL_REF 1\n");
    const std::string path = Write("scenes/Windows.kzv", WithCrLf(text));
    ASSERT_NO_THROW(LoadScene(path.c_str(), &scene, -1, *loader)) << AllEntries();
    EXPECT_EQ(CountEntries("Can not open"), 0) << AllEntries();
    ASSERT_EQ(scene.GetMeshCount(), 2);
    DXC_Texture* brick = Texture(scene.GetMeshAt(0));
    DXC_Texture* wood = Texture(scene.GetMeshAt(1));
    ASSERT_TRUE(brick && wood);
    ASSERT_NE(brick->GetSlotTexture(0), nullptr);
    ASSERT_NE(wood->GetSlotTexture(0), nullptr);
    EXPECT_TRUE(
        std::filesystem::equivalent(LoadedFrom(brick->GetSlot(0).listIndex), dir / "scenes/maps/brick.bmp"));
    EXPECT_STREQ(brick->GetSlot(0).fileName.Text(), "Maps\\BRICK.BMP");
    EXPECT_TRUE(std::filesystem::equivalent(LoadedFrom(wood->GetSlot(0).listIndex), dir / "scenes/wood.png"));
    EXPECT_FLOAT_EQ(wood->GetUVAnimation(0).baseValues[2], 2.0f);
    // A textured material shows the texture unshaded by its colour.
    EXPECT_FLOAT_EQ(scene.GetMeshAt(0)->GetMaterial(0)->material.Diffuse.r, 1.0f);
}

TEST_F(AssemblyTest, MissingMapsWarnWithTheNameAsWritten) {
    const std::string text =
        "*MATERIAL_LIST { *MATERIAL 0 { *MAP_DIFFUSE { *BITMAP \"C:\\nowhere\\gone.jpg\" }\n"
        " *MAP_REFLECT { *BITMAP \"env.jpg\" } } }\n" +
        SquareObject("M", " *MATERIAL_REF 0\n");
    EXPECT_EQ(Load(text), "");
    EXPECT_EQ(CountEntries("Can not open diffuse map 'C:\\nowhere\\gone.jpg'"), 1) << AllEntries();
    EXPECT_EQ(CountEntries("Can not open reflection map 'env.jpg'"), 1);
    // No texture loading: no lookups and no warnings.
    entries.clear();
    EXPECT_EQ(Load(text, "scene.kzv", 4), "");
    EXPECT_EQ(CountEntries("Can not open"), 0);
}

TEST_F(AssemblyTest, LoadFromMemoryNamesTheSceneInMessages) {
    const std::string text = "*GEOMOBJECT { *MESH { *MESH_NUMVERTEX 99999999 } }";
    const std::string message = ThrownMessage([&] {
        loader->LoadTextFromMemory(&scene, "memory.kzv", reinterpret_cast<const unsigned char*>(text.data()),
                                   static_cast<int32_t>(text.size()), -1);
    });
    EXPECT_EQ(message, "memory.kzv: Vertex count 99999999 is more than the rest of the file can hold");
}
