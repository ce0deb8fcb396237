#include "LoaderTestSupport.h"

#include <cmath>

namespace {

class MaterialBlocksTest : public SceneLoaderTest {
protected:
    // Loads one material (the body of its block) on a square mesh that uses it; returns the
    // load's error message (empty on success).
    std::string LoadMaterial(const std::string& body, int version = 211, const std::string& faceTail = "") {
        std::string text = "*3DSMAX_KZVEXPORT " + std::to_string(version) +
                           "\n*MATERIAL_LIST {\n *MATERIAL 0 {\n" + body + "\n }\n}\n";
        text += faceTail.empty() ? SquareObject("M", " *MATERIAL_REF 0\n")
                                 : SquareObject("M", " *MATERIAL_REF 0\n", faceTail);
        return Load(text);
    }
    DXC_Mesh* Mesh() { return scene.GetMeshAt(0); }
    MeshMaterial& Material(int32_t i = 0) { return *Mesh()->GetMaterial(i); }
    DXC_Texture& Texture(int32_t i = 0) { return *GetMeshTexture(Mesh(), i); }
};

} // namespace

TEST_F(MaterialBlocksTest, SceneTimingAndColoursFromTheSceneBlock) {
    EXPECT_EQ(Load("*SCENE { *SCENE_FIRSTFRAME 10 *SCENE_LASTFRAME 70 *SCENE_FRAMESPEED 25 "
                   "*SCENE_TICKSPERFRAME 192 *SCENE_BACKGROUND_STATIC 1.2 0.5 0 *SCENE_AMBIENT_STATIC 0 0 1 "
                   "*SCENE_SOUNDFILE \"tone.wav\" }"),
              "");
    EXPECT_FLOAT_EQ(loader->GetSecondsPerTick(), 1.0f / (192.0f * 25.0f));
    EXPECT_FLOAT_EQ(loader->GetSceneLength(), 60.0f / 25.0f);
    EXPECT_FLOAT_EQ(loader->GetFirstFrame(), 10.0f);
    EXPECT_STREQ(loader->GetSoundFile().Text(), "tone.wav");
    // 1.2 x 255 = 306 keeps its low byte, 50; 0.5 gives 127; the alpha byte stays.
    EXPECT_EQ(scene.backgroundColour, 0xFF327F00u);
    EXPECT_EQ(scene.ambientColour, 0xFF0000FFu);
}

TEST_F(MaterialBlocksTest, FinalisedColoursAndFlags) {
    ASSERT_EQ(
        LoadMaterial("*MATERIAL_DIFFUSE 0.5 0.25 1 *MATERIAL_SPECULAR 1 0.5 0 *MATERIAL_SHINESTRENGTH 0.5 "
                     "*MATERIAL_SHINE 0.2 *MATERIAL_SELFILLUM_COLOR 0.1 0.2 0.3 *MATERIAL_TRANSPARENCY 0.4 "
                     "*MATERIAL_TRANSPARENCY_TYPE additive *MATERIAL_TWOSIDED\n"),
        "");
    const D3DMATERIAL8& m = Material().material;
    EXPECT_FLOAT_EQ(m.Diffuse.g, 0.25f);
    EXPECT_FLOAT_EQ(m.Diffuse.a, 1.0f);
    EXPECT_FLOAT_EQ(m.Specular.r, 0.5f);
    EXPECT_FLOAT_EQ(m.Specular.g, 0.25f);
    EXPECT_FLOAT_EQ(m.Emissive.b, 0.3f);
    EXPECT_FLOAT_EQ(m.Power, 20.0f);
    EXPECT_EQ(Material().transparencyType, 1); // lower case is accepted
    EXPECT_EQ(Material().transparent, 1);
    EXPECT_EQ(Material().twoSided, 1); // the keyword alone
    EXPECT_EQ(Mesh()->IsTransparent(), 1);

    ASSERT_EQ(LoadMaterial("*MATERIAL_TRANSPARENCY_TYPE Subtractive *MATERIAL_TWOSIDED 0"), "");
    EXPECT_EQ(Material().transparencyType, 0); // without transparency the type is ignored
    EXPECT_EQ(Material().twoSided, 0);
    EXPECT_EQ(Material().transparent, 0);
}

TEST_F(MaterialBlocksTest, TilingDefaultsDependOnTheVersion) {
    ASSERT_EQ(LoadMaterial("*MATERIAL_NAME \"new\"", 210), "");
    EXPECT_EQ(Material().tileU, 0);
    EXPECT_EQ(Material().tileV, 0);
    ASSERT_EQ(LoadMaterial("*MATERIAL_NAME \"old\"", 209), "");
    EXPECT_EQ(Material().tileU, 1);
    EXPECT_EQ(Material().tileV, 1);
    ASSERT_EQ(LoadMaterial("*MAP_DIFFUSE { *UVW_TILE_U \"tile\" *UVW_TILE_V \"Mirror\" }", 211), "");
    EXPECT_EQ(Material().tileU, 1);
    EXPECT_EQ(Material().mirrorV, 1);
    EXPECT_EQ(Material().tileV, 0);
}

TEST_F(MaterialBlocksTest, MirroredMapDoublesItsTilingAboutTheCentre) {
    WriteImage("map.bmp");
    ASSERT_EQ(
        LoadMaterial("*MAP_DIFFUSE { *BITMAP \"map.bmp\" *UVW_TILE_U \"Mirror\" *UVW_U_TILING 2 "
                     "*UVW_V_OFFSET 0.25 *UVW_W_ANGLE 0.5 *MAP_AMOUNT 0.75 *TIME_ENDCONDITION \"PingPong\" "
                     "*TIME_PLAYBACKRATE 2 *TIME_STARTFRAME 15 }"),
        "");
    DXC_Texture& t = Texture();
    EXPECT_FLOAT_EQ(t.GetUVAnimation(0).baseValues[UVParameters::UTiling], 4.0f);
    EXPECT_FLOAT_EQ(t.GetUVAnimation(0).baseValues[UVParameters::UOffset], -0.125f);
    EXPECT_FLOAT_EQ(t.GetUVAnimation(0).baseValues[UVParameters::VOffset], 0.25f);
    EXPECT_FLOAT_EQ(t.GetUVAnimation(0).baseValues[UVParameters::WAngle], 0.5f);
    EXPECT_EQ(t.GetSlot(0).mapType, 1);
    EXPECT_EQ(t.GetSlot(0).matrixSet, 1);
    D3DXMATRIX expected;
    ComputeUVTransform(-0.125f, 0.25f, 4.0f, 1.0f, 0.5f, &expected);
    EXPECT_FLOAT_EQ(t.GetSlot(0).uvMatrix._31, expected._31);
    EXPECT_FLOAT_EQ(t.GetSlot(0).uvMatrix._11, expected._11);
    EXPECT_FLOAT_EQ(t.blendAmount, 0.75f);
    EXPECT_EQ(t.GetSequenceTiming().endCondition, 1);
    EXPECT_FLOAT_EQ(t.GetSequenceTiming().frameDuration, 1.0f / 60.0f);
    EXPECT_FLOAT_EQ(t.GetSequenceTiming().startTime, 0.5f);
    EXPECT_FLOAT_EQ(Material().material.Diffuse.r, 1.0f);

    ASSERT_EQ(LoadMaterial("*MAP_DIFFUSE { *BITMAP \"map.bmp\" *TIME_ENDCONDITION \"forever\" }"), "");
    EXPECT_EQ(CountEntries("Unknown end condition for map time parameter"), 1);
}

TEST_F(MaterialBlocksTest, ListWithoutMaterialsHasOneDefaultAndNoListHasNone) {
    EXPECT_EQ(Load("*MATERIAL_LIST { *MATERIAL_COUNT 0 }\n" + SquareObject("A", " *MATERIAL_REF 0\n")), "");
    EXPECT_FLOAT_EQ(scene.GetMeshAt(0)->GetMaterial(0)->material.Diffuse.r, 0.0f);
    EXPECT_FLOAT_EQ(scene.GetMeshAt(0)->GetMaterial(0)->material.Diffuse.a, 1.0f);
    EXPECT_EQ(scene.GetMeshAt(0)->GetMaterial(0)->tileU, 1);

    // Without a list the mesh shows its wire colour.
    EXPECT_EQ(Load(SquareObject("A", " *WIREFRAME_COLOR 0.2 0.4 0.6\n")), "");
    EXPECT_FLOAT_EQ(scene.GetMeshAt(0)->GetMaterial(0)->material.Diffuse.g, 0.4f);
    EXPECT_FLOAT_EQ(scene.GetMeshAt(0)->GetMaterial(0)->material.Ambient.b, 0.6f);
    EXPECT_FLOAT_EQ(scene.GetMeshAt(0)->GetMaterial(0)->material.Diffuse.a, 1.0f);
    // A reference to a material the list does not hold ends the load.
    EXPECT_EQ(Message(Load(SquareObject("A", " *MATERIAL_REF 0\n"))),
              "Invalid material reference 0 in object 'A' (0 materials)");
}

TEST_F(MaterialBlocksTest, SubMaterialsCountByTheirDeclaredNumber) {
    const std::string subs = "*NUMSUBMTLS 3\n *SUBMATERIAL 0 { *MATERIAL_DIFFUSE 1 0 0 }\n"
                             " *SUBMATERIAL 1 { *MATERIAL_DIFFUSE 0 1 0 }\n";
    // Face ids 5 and -1 both reduce to 2, which the material does not define.
    ASSERT_EQ(LoadMaterial(subs, 211, "*MESH_SMOOTHING 1 *MESH_MTLID 4"), "");
    EXPECT_FLOAT_EQ(Material(0).material.Diffuse.g, 1.0f);
    ASSERT_EQ(LoadMaterial(subs, 211, "*MESH_SMOOTHING 1 *MESH_MTLID -1"), "");
    EXPECT_EQ(CountEntries("Sub-material 2 of material '' is not defined (object 'M')"), 1) << AllEntries();
    EXPECT_FLOAT_EQ(Material(0).material.Diffuse.r, 0.9f); // left as created

    EXPECT_EQ(Message(LoadMaterial("*SUBMATERIAL 1 { }")), "Submaterial in wrong order!");
    EXPECT_EQ(Message(Load("*MATERIAL_LIST { *MATERIAL 1 { } }")), "Material in wrong order!");
    std::string deep;
    for (int i = 0; i < 300; ++i) deep += "*SUBMATERIAL 0 {";
    EXPECT_EQ(Message(LoadMaterial(deep)), "Sub-materials nested more than 256 deep");
}

TEST_F(MaterialBlocksTest, AnimationAttributesSelectTracks) {
    WriteImage("map.bmp");
    const std::string body =
        "*MAP_DIFFUSE { *BITMAP \"map.bmp\" *MAP_ANIMATION {\n"
        "  *MAP_ATTRIBUTE \"offsetu\" *CONTROL_FLOAT_BEZIER { *CONTROL_BEZIER_FLOAT_KEY 0 1 0 0 }\n"
        "  *MAP_ATTRIBUTE \"TileV\" *CONTROL_FLOAT_BEZIER { *CONTROL_BEZIER_FLOAT_KEY 0 2 0 0\n"
        "   *CONTROL_BEZIER_FLOAT_KEY 4800 3 0 0 } } }\n"
        "*MATERIAL_ANIMATION { *MATERIAL_ATTRIBUTE \"diffuse\"\n"
        "  *CONTROL_COLOR_LINEAR { *CONTROL_POINT3_KEY 0 1 0 0 *CONTROL_POINT3_KEY 4800 0 1 0 }\n"
        "  *MATERIAL_ATTRIBUTE \"Opacity\"\n"
        "  *CONTROL_FLOAT_BEZIER { *CONTROL_BEZIER_FLOAT_KEY 0 0.25 0.5 -0.5\n"
        "   *CONTROL_BEZIER_FLOAT_KEY 9600 1 0 0 } }";
    ASSERT_EQ(LoadMaterial(body), "");
    DXC_Texture& t = Texture();
    EXPECT_EQ(t.GetUVAnimation(0).tracks[UVParameters::UOffset].Count(), 0); // case matters here
    ASSERT_EQ(t.GetUVAnimation(0).tracks[UVParameters::VTiling].Count(), 2);
    EXPECT_FLOAT_EQ(t.GetUVAnimation(0).tracks[UVParameters::VTiling].keys[1].time, 1.0f); // seconds
    const ColourTrack& diffuse = Material().diffuseTrack;
    ASSERT_EQ(diffuse.Count(), 2);
    EXPECT_EQ(diffuse.type, 0);
    EXPECT_FLOAT_EQ(diffuse.keys[1].value.g, 1.0f);
    const FloatTrack& opacity = Material().opacityTrack;
    ASSERT_EQ(opacity.Count(), 2);
    // Kept as transparency; the tangents are scaled by the 9600-tick interval.
    EXPECT_FLOAT_EQ(opacity.keys[0].value, 0.75f);
    EXPECT_FLOAT_EQ(opacity.keys[0].inTangent, -0.5f);
    EXPECT_FLOAT_EQ(opacity.keys[0].outTangent, 0.5f * 9600.0f);
    EXPECT_EQ(Material().transparent, 1);
}

TEST_F(MaterialBlocksTest, LongKeyListsAreCutWithoutLosingTheBlockStructure) {
    WriteImage("map.bmp");
    std::string keys;
    for (int i = 0; i < 1100; ++i) keys += "*CONTROL_BEZIER_FLOAT_KEY " + std::to_string(i * 10) + " 1 0 0\n";
    ASSERT_EQ(LoadMaterial("*MAP_DIFFUSE { *BITMAP \"map.bmp\" *MAP_ANIMATION { *MAP_ATTRIBUTE \"TileU\"\n"
                           " *CONTROL_FLOAT_BEZIER {\n" +
                           keys +
                           " } } *UVW_V_TILING 3 }\n*MATERIAL_ANIMATION { *MATERIAL_ATTRIBUTE \"Opacity\"\n"
                           " *CONTROL_FLOAT_BEZIER {\n" +
                           keys + " } }\n*MATERIAL_DIFFUSE 0 0 1"),
              "");
    EXPECT_EQ(CountEntries("More than 1024 float bezier keys"), 1);
    EXPECT_GE(CountEntries("Not more than 1024 float bezier keys allowed"), 1);
    EXPECT_EQ(Texture().GetUVAnimation(0).tracks[UVParameters::UTiling].Count(), 1024);
    EXPECT_EQ(Material().opacityTrack.Count(), 1023);
    // What follows the cut blocks is still read where it belongs.
    EXPECT_FLOAT_EQ(Texture().GetUVAnimation(0).baseValues[UVParameters::VTiling], 3.0f);
    EXPECT_FLOAT_EQ(Material().material.Diffuse.r, 1.0f); // textured
    EXPECT_EQ(scene.GetMeshCount(), 1);
}

TEST_F(MaterialBlocksTest, ASecondMaterialListLeavesTheFirstListsKeysAlone) {
    // Key times are converted from ticks to seconds once; a second list in the file must not
    // convert the first list's tracks again.
    const std::string opacity = "  *MATERIAL_ANIMATION {\n   *MATERIAL_ATTRIBUTE \"Opacity\"\n"
                                "   *CONTROL_FLOAT_LINEAR {\n    *CONTROL_FLOAT_KEY 0 1.0\n"
                                "    *CONTROL_FLOAT_KEY 4800 0.5\n   }\n  }\n";
    const std::string text = "*MATERIAL_LIST {\n *MATERIAL 0 {\n" + opacity + " }\n}\n" +
                             "*MATERIAL_LIST {\n *MATERIAL 1 {\n" + opacity + " }\n}\n" +
                             SquareObject("A", " *MATERIAL_REF 0\n") +
                             SquareObject("B", " *MATERIAL_REF 1\n");
    ASSERT_EQ(Load(text), "");
    ASSERT_EQ(scene.GetMeshAt(0)->GetMaterial(0)->opacityTrack.Count(), 2);
    EXPECT_FLOAT_EQ(scene.GetMeshAt(0)->GetMaterial(0)->opacityTrack.keys[1].time, 1.0f);
    EXPECT_FLOAT_EQ(scene.GetMeshAt(1)->GetMaterial(0)->opacityTrack.keys[1].time, 1.0f);
}
