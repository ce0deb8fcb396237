// Scenes loaded through LoadScene with the graphics object itself on the recording device:
// real D3DX meshes, DXC_Texture materials and map images loaded by its LoadTexture.
#include "LoaderTestSupport.h"

#include <cmath>

#include "platform/FileSystem.h"
#include "platform/d3d8/RecordingDevice.h"
#include "platform/d3dx/D3DXMesh.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_MeshData.h"
#include "render/DXC_Texture.h"
#include "render/GfxSceneGraphics.h"
#include "scene/Mesh.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"
#include "textscene/SceneLoad.h"

namespace {

namespace fs = std::filesystem;

const fs::path SourceDir = KZV_SOURCE_DIR;
const fs::path Samples = SourceDir / "data" / "samples";

class GfxLoaderTest : public SceneLoaderTest {
protected:
    void SetUp() override {
        SceneLoaderTest::SetUp();
        entriesBefore = LiveTextureEntries();
    }

    // Loads the scene file at path as the viewer does; returns the error message, empty on success.
    std::string LoadFile(const fs::path& path, int32_t flags = -1) {
        try {
            LoadScene(path.c_str(), &scene, flags, *loader);
        } catch (const ErrorMsg& e) {
            return e.message;
        } catch (const DXC_Error& e) {
            return std::string(e.name) + ": " + e.message;
        }
        return {};
    }

    DXC_Mesh* Mesh(const char* name) {
        for (int32_t i = 0; i < scene.GetMeshCount(); ++i)
            if (std::strcmp(scene.GetMeshAt(i)->name.Text(), name) == 0) return scene.GetMeshAt(i);
        ADD_FAILURE() << "no mesh " << name;
        return nullptr;
    }
    static bool SameFile(const fs::path& a, const fs::path& b) {
        std::error_code ec;
        return fs::equivalent(a, b, ec);
    }
    int32_t LiveTextureEntries() const {
        ResourceManager& list = gfx->GetTextureList();
        int32_t n = 0;
        for (int32_t i = 0; i < list.GetCount(); ++i)
            if (list.GetAt(i) && list.GetAt(i)->resource) ++n;
        return n;
    }

    int32_t entriesBefore = 0;
};

// A square object with a material reference (see SquareObject), with texture faces so that
// the mesh carries texture coordinates.
std::string MappedSquare(const std::string& name, int ref) {
    return "*GEOMOBJECT {\n *NODE_NAME \"" + name + "\"\n *MATERIAL_REF " + std::to_string(ref) +
           "\n *MESH {\n  *MESH_NUMVERTEX 4\n  *MESH_NUMFACES 2\n"
           "  *MESH_VERTEX_LIST {\n   *MESH_VERTEX 0 0 0 0\n   *MESH_VERTEX 1 1 0 0\n"
           "   *MESH_VERTEX 2 1 1 0\n   *MESH_VERTEX 3 0 1 0\n  }\n"
           "  *MESH_FACE_LIST {\n   *MESH_FACE 0: A: 0 B: 1 C: 2 *MESH_SMOOTHING 1 *MESH_MTLID 0\n"
           "   *MESH_FACE 1: A: 0 B: 2 C: 3 *MESH_SMOOTHING 1 *MESH_MTLID 0\n  }\n"
           "  *MESH_NUMTVERTEX 4\n  *MESH_TVERTLIST {\n   *MESH_TVERT 0 0 0 0\n   *MESH_TVERT 1 1 0 0\n"
           "   *MESH_TVERT 2 1 1 0\n   *MESH_TVERT 3 0 1 0\n  }\n"
           "  *MESH_NUMTVFACES 2\n  *MESH_TFACELIST {\n   *MESH_TFACE 0 0 1 2\n   *MESH_TFACE 1 0 2 3\n  }\n"
           " }\n}\n";
}

std::string Material(int index, const std::string& name, const std::string& body) {
    return " *MATERIAL " + std::to_string(index) + " {\n  *MATERIAL_NAME \"" + name + "\"\n" + body + " }\n";
}

std::string Map(const char* block, const std::string& file, const std::string& extra = "") {
    return std::string("  *") + block + " {\n   *BITMAP \"" + file + "\"\n" + extra + "  }\n";
}

// 8-bit grey image (binary PGM), which loads as an L8 texture.
void WriteGreyImage(const fs::path& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P5\n4 4\n255\n";
    for (int i = 0; i < 16; ++i) out.put(static_cast<char>(i * 16));
}

} // namespace

TEST_F(GfxLoaderTest, ShowcaseMeshesGetD3DXMeshesOfTheirSize) {
    ASSERT_EQ(LoadFile(Samples / "showcase.kzv"), "") << AllEntries();
    // Every side in a smoothing group of its own: 24 vertices; Hand shares one group over
    // two sides. Texture faces add one coordinate set to XYZ | NORMAL.
    const struct {
        const char* name;
        DWORD vertices;
    } expected[] = {{"Base", 24}, {"Arm", 24}, {"Hand", 20}, {"Multi", 24}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        DXC_MeshData* data = GetMeshData(Mesh(e.name));
        ASSERT_NE(data, nullptr);
        ID3DXMesh* d3dx = data->GetMesh();
        ASSERT_NE(d3dx, nullptr);
        EXPECT_EQ(d3dx->GetNumVertices(), e.vertices);
        EXPECT_EQ(d3dx->GetNumFaces(), 12u);
        EXPECT_EQ(d3dx->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
        EXPECT_EQ(data->vertexCount, static_cast<int32_t>(e.vertices));
        EXPECT_EQ(data->faceCount, 12);
        EXPECT_EQ(data->vertexFormat.fvf, d3dx->GetFVF());
        EXPECT_EQ(data->vertexBlend, static_cast<DWORD>(D3DVBF_DISABLE));
        EXPECT_EQ(data->skinned, 0);
        EXPECT_EQ(data->sphereMapChannel, -1);
        // The device processes vertices in software, so the mesh is in system memory.
        EXPECT_EQ(d3dx->GetOptions() & D3DXMESH_SOFTWAREPROCESSING, D3DXMESH_SOFTWAREPROCESSING);
    }
    // Multi uses both sub-materials: two subsets after the attribute sort, covering all faces.
    const auto& table = GetMeshData(Mesh("Multi"))->GetAttributeTable();
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].FaceCount + table[1].FaceCount, 12u);

    // The clone draws its source's D3DX mesh, one more reference on it.
    DXC_MeshData* arm = GetMeshData(Mesh("Arm"));
    DXC_MeshData* clone = GetMeshData(Mesh("ArmClone"));
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->GetMesh(), arm->GetMesh());
    EXPECT_EQ(clone->GetOwner(), Mesh("ArmClone"));
    EXPECT_EQ(clone->vertexCount, 24);
}

TEST_F(GfxLoaderTest, ShowcaseMapsLoadFromWindowsStylePaths) {
    ASSERT_EQ(LoadFile(Samples / "showcase.kzv"), "") << AllEntries();
    EXPECT_EQ(CountEntries("Can not open"), 0) << AllEntries();

    // "maps\BRICK.BMP" relative to the scene: maps/brick.bmp, 64 x 64, a full mip chain.
    DXC_Texture* brick = GetMeshTexture(Mesh("Base"), 0);
    ASSERT_NE(brick, nullptr);
    const DXC_Texture::Slot& slot = brick->GetSlot(0);
    ASSERT_NE(brick->GetSlotTexture(0), nullptr);
    EXPECT_TRUE(SameFile(LoadedFrom(slot.listIndex), Samples / "maps" / "brick.bmp"))
        << LoadedFrom(slot.listIndex);
    EXPECT_STREQ(slot.fileName.Text(), "maps\\BRICK.BMP"); // as written, for a saved scene
    EXPECT_EQ(brick->GetTextureWidth(), 64.0f);
    EXPECT_EQ(brick->GetSlotTexture(0)->GetLevelCount(), 7u);
    EXPECT_EQ(slot.mapType, 1);
    EXPECT_EQ(slot.factor, 1.0f);
    EXPECT_EQ(brick->blendAmount, 1.0f);
    // Tiling 2 x 3 about the centre: the slot's matrix scales and moves by 0.5 - tiling / 2.
    ASSERT_EQ(slot.matrixSet, 1);
    EXPECT_FLOAT_EQ(slot.uvMatrix._11, 2.0f);
    EXPECT_FLOAT_EQ(slot.uvMatrix._22, 3.0f);
    EXPECT_FLOAT_EQ(slot.uvMatrix._31, -0.5f);
    EXPECT_FLOAT_EQ(slot.uvMatrix._32, -1.0f);
    // The textured material shows the map unchanged.
    const D3DMATERIAL8& m = Mesh("Base")->GetMaterial(0)->material;
    EXPECT_EQ(m.Diffuse.r, 1.0f);
    EXPECT_EQ(m.Ambient.g, 1.0f);

    // Meshes of one material share its image through the texture list.
    DXC_Texture* armBrick = GetMeshTexture(Mesh("Arm"), 0);
    ASSERT_NE(armBrick, nullptr);
    EXPECT_EQ(armBrick->GetSlotTexture(0), brick->GetSlotTexture(0));
    EXPECT_NE(armBrick, brick);
    // Base, Arm and Hand; the material records are gone after the load.
    EXPECT_EQ(gfx->GetTextureList().Get(slot.listIndex)->refCount, 3);

    // "C:\3dsmax\maps\Glass.PNG" exists nowhere: the file of that name beside the scene.
    DXC_Texture* glass = GetMeshTexture(Mesh("ArmClone"), 0);
    ASSERT_NE(glass, nullptr);
    ASSERT_NE(glass->GetSlotTexture(0), nullptr);
    EXPECT_TRUE(SameFile(LoadedFrom(glass->GetSlot(0).listIndex), Samples / "glass.png"));
    EXPECT_STREQ(glass->GetSlot(0).fileName.Text(), "C:\\3dsmax\\maps\\Glass.PNG");
    EXPECT_EQ(glass->GetTextureWidth(), 32.0f);
    EXPECT_FLOAT_EQ(glass->blendAmount, 0.75f);
    // Its uv animation: offset U and angle W tracks, 14400 ticks = 3 s.
    const DXC_TextMatrixAni& uv = glass->GetUVAnimation(0);
    ASSERT_EQ(uv.tracks[DXC_TextMatrixAni::UOffset].Count(), 2);
    ASSERT_EQ(uv.tracks[DXC_TextMatrixAni::WAngle].Count(), 2);
    EXPECT_FLOAT_EQ(uv.tracks[DXC_TextMatrixAni::UOffset].keys[1].time, 3.0f);
    EXPECT_FLOAT_EQ(uv.baseValues[DXC_TextMatrixAni::WAngle], 0.5f);
    EXPECT_EQ(uv.tracks[DXC_TextMatrixAni::VOffset].Count(), 0);
}

TEST_F(GfxLoaderTest, ImageListGivesAFrameSequence) {
    ASSERT_EQ(LoadFile(Samples / "showcase.kzv"), "") << AllEntries();
    DXC_Mesh* multi = Mesh("Multi");
    ASSERT_EQ(multi->GetMaterialCount(), 2);
    // Sub-material 0 "Sequence" is used first: attribute 0.
    DXC_Texture* sequence = GetMeshTexture(multi, 0);
    ASSERT_NE(sequence, nullptr);
    ASSERT_EQ(sequence->GetSequenceCount(), 4);
    for (int32_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const DXC_Texture::Frame* frame = sequence->GetFrame(i);
        ASSERT_NE(frame, nullptr);
        ASSERT_NE(frame->texture, nullptr);
        // The list names bare files: they are found in the list's folder.
        EXPECT_TRUE(SameFile(LoadedFrom(frame->listIndex),
                             Samples / "maps" / ("frame" + std::to_string(i) + ".png")));
    }
    EXPECT_NE(sequence->GetFrame(0)->texture, sequence->GetFrame(1)->texture);
    EXPECT_STREQ(sequence->GetSlot(0).fileName.Text(), "Maps\\Sequence.IFL");
    const TextureSequenceTiming& timing = sequence->GetSequenceTiming();
    EXPECT_FLOAT_EQ(timing.frameDuration, 1.0f / 30.0f);
    EXPECT_EQ(timing.startTime, 0.0f);
    EXPECT_EQ(timing.endCondition, SequencePingPong);
    // The scene advances the sequence: at 2.5 frames the third image shows.
    UpdateTexture(*sequence, 2.5f / 30.0f);
    EXPECT_EQ(sequence->GetCurrentTexture(), sequence->GetFrame(2)->texture);
    // Mirror U of the sub-material: U tiling doubled, U offset moved by 0.25.
    EXPECT_FLOAT_EQ(sequence->GetUVAnimation(0).baseValues[DXC_TextMatrixAni::UTiling], 2.0f);
    EXPECT_FLOAT_EQ(sequence->GetUVAnimation(0).baseValues[DXC_TextMatrixAni::UOffset], -0.25f);
    // "Pulse" has no map: an empty texture.
    DXC_Texture* pulse = GetMeshTexture(multi, 1);
    ASSERT_NE(pulse, nullptr);
    EXPECT_EQ(pulse->GetSlotTexture(0), nullptr);
    EXPECT_EQ(pulse->GetSequenceCount(), 0);
}

TEST_F(GfxLoaderTest, SkinnedMeshIsBlendedInSoftware) {
    ASSERT_EQ(LoadFile(Samples / "skinned.kzv"), "") << AllEntries();
    DXC_Mesh* skin = Mesh("Skin");
    DXC_MeshData* data = GetMeshData(skin);
    ASSERT_NE(data, nullptr);
    ID3DXMesh* d3dx = data->GetMesh();
    ASSERT_NE(d3dx, nullptr);
    // Two weights at most: one stored blend weight and the packed bone indices.
    EXPECT_EQ(d3dx->GetFVF(), static_cast<DWORD>(D3DFVF_XYZB2 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL));
    EXPECT_EQ(d3dx->GetNumVertices(), 12u);
    EXPECT_EQ(d3dx->GetNumFaces(), 18u);
    EXPECT_EQ(data->vertexBlend, static_cast<DWORD>(D3DVBF_1WEIGHTS));
    EXPECT_EQ(data->skinned, 1);
    EXPECT_EQ(data->blendMatrixCount, 3); // the mesh itself and its two bones
    EXPECT_EQ(data->hardwareBlending, 0);
    // No material list: the wire colour, and a texture without images.
    EXPECT_EQ(skin->GetMaterialCount(), 1);
    EXPECT_FLOAT_EQ(skin->GetMaterial(0)->material.Diffuse.g, 0.6f);
    DXC_Texture* texture = GetMeshTexture(skin, 0);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetSlotTexture(0), nullptr);
}

TEST_F(GfxLoaderTest, UnloadingGivesBackEveryTexture) {
    ASSERT_EQ(LoadFile(Samples / "showcase.kzv"), "") << AllEntries();
    EXPECT_GT(LiveTextureEntries(), entriesBefore + 5); // brick, glass, 4 frames
    // A second load into a fresh scene reuses the loader, whose old materials go.
    scene.Clear();
    ASSERT_EQ(LoadFile(Samples / "skinned.kzv"), "") << AllEntries();
    scene.Clear();
    loader.reset();
    EXPECT_EQ(LiveTextureEntries(), entriesBefore);
}

TEST_F(GfxLoaderTest, MapSlotsOfDiffuseBumpAndReflection) {
    MakeGfx(true); // hardware vertex processing: only a reflection map forces software
    const std::string glass = (Samples / "glass.png").string();
    const std::string brick = (Samples / "maps" / "brick.bmp").string();
    const std::string frame = (Samples / "maps" / "frame0.png").string();
    const std::string text = "*3DSMAX_KZVEXPORT 211\n*SCENE {\n *SCENE_ENVMAP {\n  *BITMAP \"" + frame +
                             "\"\n }\n}\n*MATERIAL_LIST {\n *MATERIAL_COUNT 3\n" +
                             Material(0, "Layers",
                                      Map("MAP_DIFFUSE", brick, "   *MAP_AMOUNT 0.5\n   *UVW_U_TILING 2\n") +
                                          Map("MAP_BUMP", frame, "   *UVW_U_TILING 5\n") +
                                          Map("MAP_REFLECT", glass, "   *MAP_AMOUNT 0.25\n")) +
                             Material(1, "Plain", Map("MAP_DIFFUSE", frame)) + "}\n" +
                             MappedSquare("Layered", 0) + MappedSquare("Flat", 1);
    ASSERT_EQ(LoadFile(Write("layers.kzv", text)), "") << AllEntries();

    DXC_Texture* layers = GetMeshTexture(Mesh("Layered"), 0);
    ASSERT_NE(layers, nullptr);
    // Slot 0 diffuse with its own placement; slot 1 the bump map's operation and placement
    // without an image (bump maps are off); slot 2 the reflection map.
    const DXC_Texture::Slot& diffuse = layers->GetSlot(0);
    EXPECT_EQ(diffuse.mapType, 1);
    ASSERT_NE(layers->GetSlotTexture(0), nullptr);
    EXPECT_FLOAT_EQ(diffuse.uvMatrix._11, 2.0f);
    const DXC_Texture::Slot& bump = layers->GetSlot(1);
    EXPECT_EQ(bump.mapType, 2);
    EXPECT_EQ(layers->GetSlotTexture(1), nullptr);
    EXPECT_FLOAT_EQ(bump.uvMatrix._11, 5.0f);
    const DXC_Texture::Slot& reflect = layers->GetSlot(2);
    EXPECT_EQ(reflect.mapType, 3);
    ASSERT_NE(layers->GetSlotTexture(2), nullptr);
    EXPECT_EQ(layers->GetSlotTexture(2)->GetLevelCount(), 1u); // reflection maps: one level
    EXPECT_TRUE(SameFile(LoadedFrom(reflect.listIndex), glass));
    EXPECT_FLOAT_EQ(layers->blendAmount, 0.25f); // the reflection's amount is set last
    EXPECT_EQ(Mesh("Layered")->GetMaterial(0)->reflectionChannel, 2);

    // The reflection map forces software processing and names the sphere-map coordinate set.
    DXC_MeshData* layered = GetMeshData(Mesh("Layered"));
    EXPECT_EQ(layered->hardwareBlending, 0);
    EXPECT_EQ(layered->sphereMapChannel, 1);
    DXC_MeshData* flat = GetMeshData(Mesh("Flat"));
    EXPECT_EQ(flat->hardwareBlending, 1);
    EXPECT_EQ(flat->sphereMapChannel, -1);
    EXPECT_EQ(flat->GetMesh()->GetOptions() & D3DXMESH_MANAGED, D3DXMESH_MANAGED);

    // The environment map: one level.
    auto* environment = dynamic_cast<DXC_Texture*>(scene.GetEnvironmentTexture());
    ASSERT_NE(environment, nullptr);
    ASSERT_NE(environment->GetSlotTexture(0), nullptr);
    EXPECT_EQ(environment->GetSlotTexture(0)->GetLevelCount(), 1u);
}

TEST_F(GfxLoaderTest, ImageListBesideOtherMaps) {
    const std::string list = (Samples / "maps" / "sequence.ifl").string();
    // With bump mapping off the bump map only takes its slot's operation and placement, which
    // a sequence does not stop.
    const std::string bumped = "*3DSMAX_KZVEXPORT 211\n*MATERIAL_LIST {\n *MATERIAL_COUNT 1\n" +
                               Material(0, "Animated",
                                        Map("MAP_DIFFUSE", list, "   *UVW_U_TILING 2\n") +
                                            Map("MAP_BUMP", list, "   *UVW_U_TILING 5\n")) +
                               "}\n" + MappedSquare("Square", 0);
    ASSERT_EQ(LoadFile(Write("bumped.kzv", bumped)), "") << AllEntries();
    DXC_Texture* texture = GetMeshTexture(Mesh("Square"), 0);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetSequenceCount(), 4);
    EXPECT_FLOAT_EQ(texture->GetSlot(0).uvMatrix._11, 2.0f);
    EXPECT_EQ(texture->GetSlot(1).mapType, 2);
    EXPECT_FLOAT_EQ(texture->GetSlot(1).uvMatrix._11, 5.0f);

    // A second image beside a sequence would replace one of its frames: refused.
    scene.Clear();
    const std::string reflected =
        "*3DSMAX_KZVEXPORT 211\n*MATERIAL_LIST {\n *MATERIAL_COUNT 1\n" +
        Material(0, "Animated",
                 Map("MAP_DIFFUSE", list) + Map("MAP_REFLECT", (Samples / "glass.png").string())) +
        "}\n" + MappedSquare("Square", 0);
    EXPECT_EQ(LoadFile(Write("reflected.kzv", reflected)),
              "DXC_Texture: No stages with texture sequence allowed");
}

TEST_F(GfxLoaderTest, PartialAlphaOfTheDiffuseMapMakesTheMaterialTransparent) {
    const fs::path grey = dir / "grey.pgm";
    WriteGreyImage(grey);
    const std::string text =
        "*3DSMAX_KZVEXPORT 211\n*MATERIAL_LIST {\n *MATERIAL_COUNT 3\n" +
        Material(0, "HalfAlpha", Map("MAP_DIFFUSE", (Samples / "glass.png").string())) +
        Material(1, "Opaque", Map("MAP_DIFFUSE", (Samples / "maps/frame0.png").string())) +
        Material(2, "Grey", Map("MAP_DIFFUSE", "grey.pgm")) + "}\n" + MappedSquare("A", 0) +
        MappedSquare("B", 1) + MappedSquare("C", 2);
    // No mip maps (flag bit 0): one level each.
    ASSERT_EQ(LoadFile(Write("alpha.kzv", text), 1), "") << AllEntries();
    EXPECT_EQ(Mesh("A")->GetMaterial(0)->transparent, 1);
    EXPECT_EQ(Mesh("B")->GetMaterial(0)->transparent, 0);
    // A one-channel image has no alpha to test, and the probe does not stop the load.
    DXC_Texture* c = GetMeshTexture(Mesh("C"), 0);
    ASSERT_NE(c, nullptr);
    ASSERT_NE(c->GetSlotTexture(0), nullptr);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(c->GetSlotTexture(0)->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_L8);
    EXPECT_EQ(c->GetSlotTexture(0)->GetLevelCount(), 1u);
    EXPECT_EQ(Mesh("C")->GetMaterial(0)->transparent, 0);
}

TEST_F(GfxLoaderTest, RealScenesLoadWithoutErrors) {
    const fs::path real = SourceDir / "data" / "real";
    int loaded = 0;
    for (const auto& entry : fs::recursive_directory_iterator(real)) {
        if (entry.path().extension() != ".kzv" || entry.path().parent_path().filename() == "invalid")
            continue;
        SCOPED_TRACE(entry.path().string());
        entries.clear();
        scene.Clear();
        ASSERT_EQ(LoadFile(entry.path()), "") << AllEntries();
        EXPECT_EQ(CountEntries("Error"), 0) << AllEntries();
        ASSERT_GT(scene.GetMeshCount(), 0);
        for (int32_t i = 0; i < scene.GetMeshCount(); ++i) {
            DXC_Mesh* mesh = scene.GetMeshAt(i);
            DXC_MeshData* data = GetMeshData(mesh);
            ASSERT_NE(data, nullptr) << mesh->name.Text();
            ASSERT_NE(data->GetMesh(), nullptr) << mesh->name.Text();
            EXPECT_GT(data->GetMesh()->GetNumFaces(), 0u);
            EXPECT_EQ(data->GetMesh()->GetFVF(), data->vertexFormat.fvf);
            // Every map that was found is loaded; the ones not found were warned about.
            for (int32_t m = 0; m < mesh->GetMaterialCount(); ++m) {
                DXC_Texture* texture = GetMeshTexture(mesh, m);
                ASSERT_NE(texture, nullptr);
                for (int32_t s = 0; s < DXC_AnimatedTexture::SlotCount; ++s) {
                    if (texture->GetSlot(s).fileName.IsEmpty()) continue;
                    EXPECT_NE(texture->GetSlotTexture(s), nullptr) << texture->GetSlot(s).fileName.Text();
                }
            }
        }
        ++loaded;
    }
    EXPECT_EQ(loaded, 16);

    // Rifle's map lies beside the scene.
    scene.Clear();
    ASSERT_EQ(LoadFile(real / "Rifle.kzv"), "");
    DXC_Texture* rifle = GetMeshTexture(scene.GetMeshAt(0), 0);
    ASSERT_NE(rifle, nullptr);
    EXPECT_TRUE(SameFile(LoadedFrom(rifle->GetSlot(0).listIndex), real / "mp5sil.bmp"));

    scene.Clear();
    const std::string message = LoadFile(real / "invalid" / "InvalidUVIndex.kzv");
    EXPECT_NE(message.find("Invalid t-vertex index 7 in t-face 0 of mesh 'Box01'"), std::string::npos)
        << message;
}
