// Binary scene files through LoadScene and SaveBinary with the graphics object on the recording
// device: files written here byte by byte in the stored layout (versions 100 to 102), the
// version and damage errors, and saves that fail.
#include "LoaderTestSupport.h"

#include <cstring>

#include "platform/d3dx/D3DXMesh.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_MeshData.h"
#include "render/GfxSceneGraphics.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"
#include "textscene/SceneLoad.h"

namespace {

namespace fs = std::filesystem;

// Little-endian bytes in the stored layout.
struct Bytes {
    std::string data;
    Bytes& raw(const void* p, std::size_t n) {
        data.append(static_cast<const char*>(p), n);
        return *this;
    }
    Bytes& u8(uint8_t v) { return raw(&v, 1); }
    Bytes& i16(int16_t v) { return raw(&v, 2); }
    Bytes& i32(int32_t v) { return raw(&v, 4); }
    Bytes& f32(float v) { return raw(&v, 4); }
    Bytes& str(const std::string& s) { return i32(static_cast<int32_t>(s.size())).raw(s.data(), s.size()); }
    Bytes& floats(std::initializer_list<float> values) {
        for (float v : values) f32(v);
        return *this;
    }
    Bytes& zeros(std::size_t n) { return raw(std::string(n, '\0').data(), n); }
};

constexpr DWORD Skinned2 = D3DFVF_XYZB2 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL | D3DFVF_TEX1;

// An object record without keys (or with one position key at time 0 moving it to x = 5).
void ObjectRecord(Bytes& b, const std::string& name, const std::string& parent = "", bool posKey = false) {
    b.i16(0x1234).i32(7);
    b.floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}); // node matrix
    b.floats({1, 1, 1, 0, 0, 0, 1, 1, 1, 0, 0, 1, 0});          // mirror, position, scale, axis, angle
    b.floats({1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});             // pivot rows
    b.str(name).str(parent).u8(0x0F);
    b.i32(posKey ? 1 : 0);
    if (posKey) b.f32(0).i16(0).floats({5, 0, 0, 0, 0, 0, 0, 0, 0}).u8(0);
    b.i32(0).i32(0).i32(0).f32(100);
}

void EmptyTrack(Bytes& b) {
    b.i32(0).i32(1).u8(0).u8(0).f32(0);
}

void MaterialRecord(Bytes& b) {
    b.floats({0.5f, 0.25f, 1, 1, 0.1f, 0.1f, 0.1f, 1, 0, 0, 0, 1, 0, 0, 0, 1});
    b.f32(8).i32(0).i32(0).i32(-1).f32(0);
    for (int i = 0; i < 5; ++i) EmptyTrack(b);
    b.u8(0).u8(0).u8(1).u8(1).u8(1).i32(0);
}

void TextureRecord(Bytes& b, int32_t slot0Operation) {
    b.i32(0).f32(0).f32(0.2f).i32(0).i32(0).i32(0);
    for (int s = 0; s < 8; ++s) {
        for (int i = 0; i < 5; ++i) EmptyTrack(b);
        b.floats({0, 0, 1, 1, 0}).str("").i32(s == 0 ? slot0Operation : 0).f32(1);
    }
}

struct MeshOptions {
    int version = 102;
    DWORD fvf = Skinned2;
    int32_t boneIndex = 0;
    uint16_t lastIndex = 2;
    uint16_t attribute = 0;
    uint8_t unusedIndex = 0; // the fourth bone index, which no weight uses
    std::string clone;
    int32_t slot0Operation = 1;
};
MeshOptions Version(int version, DWORD fvf = Skinned2) {
    MeshOptions o;
    o.version = version;
    o.fvf = fvf;
    return o;
}

// One triangle with one material, skinned to one bone.
void MeshRecord(Bytes& b, const MeshOptions& o) {
    ObjectRecord(b, "Tri", "", true);
    b.i32(3).f32(1).floats({0.5f, 0.5f, 0, 0, 0, 0, 1, 1, 0}); // bounds
    b.i32(1).i32(1).i32(-1).i32(1); // texture faces, visible, transparency, materials
    MaterialRecord(b);
    TextureRecord(b, o.slot0Operation);
    b.str(o.clone).i32(1);
    if (o.clone.empty()) {
        b.i32(3).i32(1).i32(static_cast<int32_t>(o.fvf));
        const float corners[3][2] = {{0, 0}, {1, 0}, {0, 1}};
        for (const auto& c : corners) {
            if (o.version == 100) { // raw XYZB2 | UBYTE4 | NORMAL | TEX1 vertex
                b.floats({c[0], c[1], 0, 0.75f}).u8(static_cast<uint8_t>(o.boneIndex)).u8(0).u8(0).u8(0);
                b.floats({0, 0, 1, c[0], c[1]});
            } else { // position, two texture floats, normal, one weight, the four indices
                b.floats({c[0], c[1], 0, c[0], c[1]}).i16(0).i16(0).i16(32767);
                if (o.fvf == Skinned2)
                    b.i16(static_cast<int16_t>(49151)).u8(static_cast<uint8_t>(o.boneIndex)).zeros(3);
            }
        }
        b.i16(0).i16(1).i16(static_cast<int16_t>(o.lastIndex)).i16(static_cast<int16_t>(o.attribute));
    }
    b.i32(-1);
    b.str("Bone01").floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    b.floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
}

// A scene with the triangle (and a clone of it with clone set) and its bone as a helper.
std::string SceneFile(const MeshOptions& o, char versionByte = 0) {
    Bytes b;
    b.raw("3SC", 3).u8(versionByte ? static_cast<uint8_t>(versionByte) : static_cast<uint8_t>(o.version));
    b.f32(25).f32(10).f32(50).str("tone.wav").str("");
    ObjectRecord(b, "Scene");
    b.i32(static_cast<int32_t>(0xFF102030u)).i32(static_cast<int32_t>(0xFF000000u)).u8(0);
    b.i32(0).i32(0).i32(0).i32(-2).i32(-2).i32(1).i32(1).i32(0).i32(1).i32(0).i32(0).i32(1).i32(1);
    b.floats({0, 1, 0.008f});
    b.i32(o.clone.empty() ? 1 : 2);
    MeshOptions source = o;
    source.clone.clear();
    MeshRecord(b, source);
    if (!o.clone.empty()) MeshRecord(b, o);
    b.i32(0).i32(1);
    ObjectRecord(b, "Bone01");
    b.i32(0);
    return b.data;
}

class BinarySceneTest : public LoaderTest {
protected:
    void SetUp() override {
        LoaderTest::SetUp();
        gfx = CreateRecordingGfx();
        graphics = std::make_unique<GfxSceneGraphics>(*gfx);
        loader = std::make_unique<KZVLoader>();
        loader->SetGraphics(graphics.get());
        scene = std::make_unique<DXC_3dScene>();
    }
    void TearDown() override {
        scene.reset();
        loader.reset();
        graphics.reset();
        gfx.reset();
        LoaderTest::TearDown();
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
    std::string Load(const std::string& path, int32_t flags = -1) {
        try {
            LoadScene(path.c_str(), scene.get(), flags, *loader);
        } catch (const ErrorMsg& e) {
            return e.message;
        } catch (const DXC_Error& e) {
            return std::string(e.name) + ": " + e.message;
        }
        return {};
    }
    std::string Save(const std::string& path) {
        try {
            SaveBinary(scene.get(), path.c_str(), *loader);
        } catch (const ErrorMsg& e) {
            return e.message;
        } catch (const DXC_Error& e) {
            return std::string(e.name) + ": " + e.message;
        }
        return {};
    }
    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The vertices of a mesh as floats, vertex after vertex.
    std::vector<float> Vertices(DXC_Mesh* mesh, DWORD& fvf) {
        DXC_MeshData* data = GetMeshData(mesh);
        ID3DXMesh* d3dx = data ? data->GetMesh() : nullptr;
        if (!d3dx) return {};
        fvf = d3dx->GetFVF();
        BYTE* bytes = nullptr;
        d3dx->LockVertexBuffer(D3DLOCK_READONLY, &bytes);
        std::vector<float> out(d3dx->GetNumVertices() * D3DXGetFVFVertexSize(fvf) / 4);
        std::memcpy(out.data(), bytes, out.size() * 4);
        d3dx->UnlockVertexBuffer();
        return out;
    }

    std::unique_ptr<DXC_Gfx> gfx;
    std::unique_ptr<GfxSceneGraphics> graphics;
    std::unique_ptr<KZVLoader> loader;
    std::unique_ptr<DXC_3dScene> scene;
};

// Versions 100 and 101 written as their layout says load into the same scene: header values
// back in the loader, keys, links, bones, the geometry in the mesh's own vertex layout.
TEST_F(BinarySceneTest, HandWrittenOlderVersionsLoad) {
    for (int version : {100, 101, 102}) {
        SCOPED_TRACE(version);
        const std::string path = Write("v.3sc", SceneFile(Version(version)));
        ASSERT_EQ(Load(path), "");
        EXPECT_FLOAT_EQ(loader->GetFrameSpeed(), 25.0f);
        EXPECT_FLOAT_EQ(loader->GetFirstFrame(), 10.0f);
        EXPECT_FLOAT_EQ(loader->GetLastFrame(), 50.0f);
        EXPECT_STREQ(loader->GetSoundFile().Text(), "tone.wav");
        EXPECT_STREQ(scene->name.Text(), path.c_str());
        ASSERT_EQ(scene->GetMeshCount(), 1);
        DXC_Mesh* mesh = scene->GetMeshAt(0);
        EXPECT_EQ(mesh->posKeys.Count(), 1);
        EXPECT_FLOAT_EQ(mesh->worldTM._41, 5.0f); // updated at first frame / speed = 0.4 s
        EXPECT_EQ(mesh->GetBoneObject(0), scene->GetHelperAt(0));
        EXPECT_EQ(scene->GetHelperAt(0)->objectType, 2);
        EXPECT_EQ(scene->ambientColour, 0xFF102030u);
        EXPECT_NEAR(scene->viewOptions.fogDensity, 0.008f, 1e-7f);
        EXPECT_GT(scene->bounds.radius, 0.0f);
        EXPECT_NE(fs::current_path(), dir); // the scene's folder only during the load

        DWORD fvf = 0;
        const std::vector<float> v = Vertices(mesh, fvf);
        ASSERT_EQ(fvf, Skinned2);
        ASSERT_EQ(v.size(), 3u * 10u); // x y z, weight, indices, normal, u v
        EXPECT_FLOAT_EQ(v[10 + 0], 1.0f);
        EXPECT_NEAR(v[10 + 3], 0.75f, 1.0f / 65535.0f);
        EXPECT_NEAR(v[10 + 7], 1.0f, 1.0f / 32767.0f);
        EXPECT_FLOAT_EQ(v[10 + 8], 1.0f); // u of the second corner
        EXPECT_EQ(GetMeshData(mesh)->blendMatrixCount, 1);
    }
}

// Version 101 always stores two texture floats, also for a format without coordinates.
TEST_F(BinarySceneTest, Version101SkipsTextureFloatsOfAFormatWithout) {
    MeshOptions o = Version(101, D3DFVF_XYZ | D3DFVF_NORMAL);
    ASSERT_EQ(Load(Write("v101.3sc", SceneFile(o))), "");
    DWORD fvf = 0;
    const std::vector<float> v = Vertices(scene->GetMeshAt(0), fvf);
    ASSERT_EQ(v.size(), 3u * 6u);
    EXPECT_FLOAT_EQ(v[6 + 0], 1.0f);
    EXPECT_NEAR(v[6 + 5], 1.0f, 1.0f / 32767.0f);
}

TEST_F(BinarySceneTest, LoadOptionsChangeTheVertexFormat) {
    // Bit 3: diffuse white and specular black in every vertex.
    ASSERT_EQ(Load(Write("c.3sc", SceneFile(MeshOptions{})), 8), "");
    DWORD fvf = 0;
    std::vector<float> v = Vertices(scene->GetMeshAt(0), fvf);
    EXPECT_EQ(fvf, Skinned2 | D3DFVF_DIFFUSE | D3DFVF_SPECULAR);
    uint32_t diffuse = 0;
    std::memcpy(&diffuse, &v[8], 4);
    EXPECT_EQ(diffuse, 0xFFFFFFFFu);
    // Bit 1 with a reflection map: one more coordinate set for it; with two sets already, an error.
    MeshOptions reflection;
    reflection.slot0Operation = 3;
    ASSERT_EQ(Load(Write("r.3sc", SceneFile(reflection)), 2), "");
    v = Vertices(scene->GetMeshAt(0), fvf);
    EXPECT_EQ(fvf, (Skinned2 & ~D3DFVF_TEXCOUNT_MASK) | D3DFVF_TEX2);
    EXPECT_EQ(GetMeshData(scene->GetMeshAt(0))->sphereMapChannel, 1);
    reflection.fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2;
    reflection.version = 100;
    EXPECT_EQ(Load(Write("r2.3sc", SceneFile(reflection)), 2),
              "DXC_Mesh: Tri: Multiple texture coords not supported");
}

TEST_F(BinarySceneTest, VersionsOutsideTheRangeAreRefused) {
    const std::string newer = Write("g.3sc", SceneFile(MeshOptions{}, 'g'));
    EXPECT_EQ(Load(newer), newer + ": Unknown file version: 103");
    const std::string older = Write("c.3sc", SceneFile(MeshOptions{}, 'c'));
    EXPECT_EQ(Load(older), older + ": '" + older + "': Obsolete 3sc file version: 99");
}

// Damaged and hostile files: a clear error naming the byte, never a crash or a huge allocation.
TEST_F(BinarySceneTest, DamagedFilesGiveClearErrors) {
    const std::string good = SceneFile(MeshOptions{});
    // Every cut of the file ends in an error that names where reading stopped, and the working
    // directory (the scene's folder during the load) is the caller's again.
    const fs::path start = fs::current_path();
    for (std::size_t n = 5; n < good.size(); n += 7) {
        const std::string message = Load(Write("cut.3sc", good.substr(0, n)));
        ASSERT_NE(message.find(" at byte "), std::string::npos) << n << ": " << message;
        ASSERT_EQ(fs::current_path(), start);
    }
    // The mesh count (after header, scene object, colours, environment flag, view options).
    const std::size_t meshCount = 4 + 12 + 12 + 4 + 4 + 199 + 5 + 8 + 1 + 64;
    int32_t stored = 0;
    std::memcpy(&stored, good.data() + meshCount - 4, 4);
    ASSERT_EQ(stored, 1);
    for (int32_t count : {0x7FFFFFFF, -1}) {
        std::string bad = good;
        std::memcpy(bad.data() + meshCount - 4, &count, 4);
        const std::string path = Write("count.3sc", bad);
        EXPECT_EQ(Load(path), path + ": Invalid mesh count " + std::to_string(count) + " at byte " +
                                  std::to_string(meshCount));
    }
    std::string badId = good;
    badId[meshCount] = 0x35;
    const std::string idPath = Write("id.3sc", badId);
    EXPECT_EQ(Load(idPath), "DXC_Mesh: *undefined*: Invalid file read id, file: " + idPath);

    MeshOptions bone = Version(100);
    bone.boneIndex = 5;
    EXPECT_EQ(Load(Write("bone.3sc", SceneFile(bone))), "DXC_Mesh: Tri: Invalid bone index: 5");
    // An index that no weight uses is harmless: it reads as bone 0.
    MeshOptions unused;
    unused.unusedIndex = 200;
    ASSERT_EQ(Load(Write("unused.3sc", SceneFile(unused))), "");
    DWORD fvf = 0;
    const std::vector<float> v = Vertices(scene->GetMeshAt(0), fvf);
    ASSERT_EQ(v.size(), 30u);
    uint8_t indices[4];
    std::memcpy(indices, &v[4], 4);
    EXPECT_EQ(indices[3], 0);
    // Indices and formats the mesh can not have: the file and the byte in the message.
    auto expectAtByte = [&](const MeshOptions& o, const std::string& message) {
        const std::string path = Write("index.3sc", SceneFile(o));
        const std::string got = Load(path);
        EXPECT_EQ(got.rfind(path + ": " + message + " of mesh 'Tri' at byte ", 0), 0u) << got;
    };
    MeshOptions vertex;
    vertex.lastIndex = 7;
    expectAtByte(vertex, "Invalid vertex index 7 of face 0");
    MeshOptions attribute;
    attribute.attribute = 1;
    expectAtByte(attribute, "Invalid attribute id 1 of face 0");
    MeshOptions format;
    format.fvf = D3DFVF_XYZ | D3DFVF_NORMAL | 0x8000;
    expectAtByte(format, "Invalid vertex format 0x8012");
    MeshOptions clone;
    clone.clone = "Nope";
    EXPECT_EQ(Load(Write("clone.3sc", SceneFile(clone))), "DXC_Mesh: Tri: Clone Mesh 'Nope' not found");
    clone.clone = "Tri";
    EXPECT_EQ(Load(Write("clone2.3sc", SceneFile(clone))), "");
    ASSERT_EQ(scene->GetMeshCount(), 2);
    EXPECT_EQ(GetMeshData(scene->GetMeshAt(1))->GetMesh(), GetMeshData(scene->GetMeshAt(0))->GetMesh());
}

// A save that fails half way leaves the file it was to replace as it was, and no temporary file.
TEST_F(BinarySceneTest, FailedSaveLeavesTheOldFile) {
    ASSERT_EQ(Load((fs::path(KZV_SOURCE_DIR) / "data" / "samples" / "skinned.kzv").string()), "");
    const std::string path = (dir / "kept.3sc").string();
    ASSERT_EQ(Save(path), "");
    const std::string before = Contents(path);
    ASSERT_EQ(before.substr(0, 4), "3SCf");
    const std::size_t filesBefore = std::distance(fs::directory_iterator(dir), fs::directory_iterator());

    DXC_3dObject* animated = nullptr;
    for (int32_t i = 0; i < scene->GetHelperCount() && !animated; ++i)
        if (scene->GetHelperAt(i)->rotKeys.Count() > 0) animated = scene->GetHelperAt(i);
    ASSERT_NE(animated, nullptr);
    animated->rotKeys.SetCount(animated->rotKeys.Count() + 1);
    EXPECT_EQ(Save(path), std::string(animated->GetObjectName()) + ": " + animated->name.Text() +
                              ": numRotKey does not match actual size");
    EXPECT_EQ(Contents(path), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), filesBefore);

    // A loaded binary scene saves to the same bytes.
    animated->rotKeys.SetCount(animated->rotKeys.Count() - 1);
    ASSERT_EQ(Load(path), "");
    const std::string again = (dir / "again.3sc").string();
    ASSERT_EQ(Save(again), "");
    EXPECT_EQ(Contents(again), before);
}

} // namespace
