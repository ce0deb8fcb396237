#include "LoaderTestSupport.h"

#include "platform/d3dx/D3DXMesh.h"
#include "textscene/SceneLoad.h"

namespace {

std::filesystem::path RealDir() {
    return std::filesystem::path(KZV_SOURCE_DIR) / "data" / "real";
}

// Every mesh's name and buffers (vertices, indices, attribute ids) of a loaded scene.
std::string MeshBytes(DXC_3dScene& scene) {
    std::string all;
    for (int32_t i = 0; i < scene.GetMeshCount(); ++i) {
        DXC_MeshData* data = MeshData(scene.GetMeshAt(i));
        ID3DXMesh* mesh = data ? data->GetMesh() : nullptr;
        if (!mesh) continue;
        BYTE* vertices = nullptr;
        BYTE* indices = nullptr;
        DWORD* attributes = nullptr;
        mesh->LockVertexBuffer(0, &vertices);
        mesh->LockIndexBuffer(0, &indices);
        mesh->LockAttributeBuffer(0, &attributes);
        all += scene.GetMeshAt(i)->name.Text();
        all.append(reinterpret_cast<const char*>(vertices),
                   mesh->GetNumVertices() * mesh->GetNumBytesPerVertex());
        all.append(reinterpret_cast<const char*>(indices), mesh->GetNumFaces() * 3 * sizeof(uint16_t));
        all.append(reinterpret_cast<const char*>(attributes), mesh->GetNumFaces() * sizeof(DWORD));
        mesh->UnlockVertexBuffer();
        mesh->UnlockIndexBuffer();
        mesh->UnlockAttributeBuffer();
    }
    return all;
}

// A scene of one grid mesh of 2 * side * side faces with texture coordinates, several MB long.
std::string GridScene(int32_t side) {
    const int32_t n = side + 1;
    std::string text = "*3DSMAX_KZVEXPORT 211\n*GEOMOBJECT {\n\t*NODE_NAME \"Grid\"\n\t*MESH {\n";
    text += "\t\t*MESH_NUMVERTEX " + std::to_string(n * n) + "\n\t\t*MESH_NUMFACES " +
            std::to_string(2 * side * side) + "\n\t\t*MESH_VERTEX_LIST {\n";
    for (int32_t i = 0; i < n * n; ++i)
        text += "\t\t\t*MESH_VERTEX " + std::to_string(i) + "\t" + std::to_string(i % n) + ".0000\t" +
                std::to_string(i / n) + ".0000\t" + std::to_string(i % 5) + ".2500\n";
    text += "\t\t}\n\t\t*MESH_FACE_LIST {\n";
    for (int32_t f = 0; f < 2 * side * side; ++f) {
        const int32_t q = f / 2, a = q / side * n + q % side;
        const int32_t c[3] = {a, f % 2 ? a + n + 1 : a + 1, f % 2 ? a + n : a + n + 1};
        text += "\t\t\t*MESH_FACE " + std::to_string(f) + ":    A: " + std::to_string(c[0]) +
                " B: " + std::to_string(c[1]) + " C: " + std::to_string(c[2]) +
                " AB: 1 BC: 1 CA: 0\t *MESH_SMOOTHING " + std::to_string(q % 3 + 1) + " \t*MESH_MTLID 0\n";
    }
    text += "\t\t}\n\t\t*MESH_NUMTVERTEX " + std::to_string(n * n) + "\n\t\t*MESH_TVERTLIST {\n";
    for (int32_t i = 0; i < n * n; ++i)
        text += "\t\t\t*MESH_TVERT " + std::to_string(i) + "\t0." + std::to_string(1000 + i % n) + "\t0." +
                std::to_string(1000 + i / n) + "\t0.0000\n";
    text += "\t\t}\n\t\t*MESH_NUMTVFACES " + std::to_string(2 * side * side) + "\n\t\t*MESH_TFACELIST {\n";
    for (int32_t f = 0; f < 2 * side * side; ++f) {
        const int32_t q = f / 2, a = q / side * n + q % side;
        text += "\t\t\t*MESH_TFACE " + std::to_string(f) + "\t" + std::to_string(a) + "\t" +
                std::to_string(f % 2 ? a + n + 1 : a + 1) + "\t" + std::to_string(f % 2 ? a + n : a + n + 1) +
                "\n";
    }
    return text + "\t\t}\n\t}\n}\n";
}

using RealScenesTest = SceneLoaderTest;

} // namespace

TEST_F(RealScenesTest, EverySceneLoadsWithGeometry) {
    int loaded = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(RealDir())) {
        if (entry.path().extension() != ".kzv") continue;
        if (entry.path().parent_path().filename() == "invalid") continue;
        SCOPED_TRACE(entry.path().string());
        ASSERT_NO_THROW(LoadScene(entry.path().c_str(), &scene, -1, *loader)) << AllEntries();
        EXPECT_GT(scene.GetMeshCount(), 0);
        for (int32_t i = 0; i < scene.GetMeshCount(); ++i) {
            DXC_MeshData* data = MeshData(scene.GetMeshAt(i));
            ASSERT_NE(data, nullptr) << scene.GetMeshAt(i)->name.Text();
            EXPECT_GT(data->GetMesh()->GetNumFaces(), 0u);
        }
        ++loaded;
    }
    EXPECT_EQ(loaded, 16);
}

TEST_F(RealScenesTest, InvalidScenesEndInAClearError) {
    for (const auto& entry : std::filesystem::directory_iterator(RealDir() / "invalid")) {
        SCOPED_TRACE(entry.path().string());
        const std::string message =
            ThrownMessage([&] { LoadScene(entry.path().c_str(), &scene, -1, *loader); });
        EXPECT_NE(message.find(entry.path().string()), std::string::npos) << message;
    }
}

TEST_F(RealScenesTest, ListsReadByTwoThreadsGiveTheSameScenes) {
    // Every mesh's buffers and the log, read and built on one thread, and with every list
    // long enough split between two and every mesh's face geometry computed on two.
    const auto load = [this](const std::filesystem::path& path, int32_t splitBytes) {
        loader->SetListSplitBytes(splitBytes);
        loader->SetWaitForSecondReaders(true);
        loader->SetParallelFaces(splitBytes); // 1: every face block on two threads
        ResetReportState();                   // repeated warnings fold across loads otherwise
        entries.clear();
        std::string all;
        try {
            LoadScene(path.c_str(), &scene, -1, *loader);
        } catch (const ErrorMsg& e) {
            all += std::string("error ") + e.message + "\n";
        }
        all += MeshBytes(scene);
        return all + AllEntries();
    };
    int compared = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(RealDir())) {
        if (entry.path().extension() != ".kzv") continue;
        SCOPED_TRACE(entry.path().string());
        const std::string one = load(entry.path(), 1 << 30);
        const int64_t splitBefore = loader->GetSplitListCount();
        const std::string two = load(entry.path(), 1);
        if (entry.path().parent_path().filename() != "invalid") {
            EXPECT_GT(loader->GetSplitListCount(), splitBefore);
        }
        if (entry.path().parent_path().filename() != "invalid") {
            EXPECT_GT(one.size(), 500u); // geometry bytes, not just names and log lines
        }
        const auto differ = std::mismatch(one.begin(), one.end(), two.begin(), two.end()).first - one.begin();
        EXPECT_TRUE(one == two) << "the scene read by two threads differs from byte " << differ
                                << " on: " << one.substr(static_cast<std::size_t>(differ), 200) << " / "
                                << two.substr(static_cast<std::size_t>(differ), 200);
        ++compared;
    }
    EXPECT_EQ(compared, 17);
}

TEST_F(RealScenesTest, LargeFilesLoadAsTheSameBytesInMemoryDo) {
    // A file this long is mapped rather than read; its scene, its log and its errors are those
    // of the same bytes loaded from memory.
    const std::string good = GridScene(120);
    ASSERT_GT(good.size(), static_cast<std::size_t>(KZVLoader::MapFileBytes));
    const std::string bad = [&good] {
        std::string text = good;
        text.replace(text.find("*MESH_TFACE 20000\t"), 18, "*MESH_TFACE 20001\t");
        return text;
    }();
    for (const std::string* text : {&good, &bad}) {
        const std::string path = Write("large.kzv", *text);
        const auto load = [&](bool fromFile) {
            ResetReportState();
            entries.clear();
            std::string all;
            try {
                if (fromFile)
                    loader->LoadText(&scene, path.c_str(), -1);
                else
                    loader->LoadTextFromMemory(&scene, path.c_str(),
                                               reinterpret_cast<const unsigned char*>(text->data()),
                                               static_cast<int32_t>(text->size()), -1);
            } catch (const ErrorMsg& e) {
                all += std::string("error ") + e.message + "\n";
            }
            return all + MeshBytes(scene) + AllEntries();
        };
        const std::string mapped = load(true);
        EXPECT_TRUE(mapped == load(false));
        if (text == &good) {
            EXPECT_EQ(scene.GetMeshCount(), 1);
            EXPECT_GT(mapped.size(), 28800u * 6);
        } else {
            EXPECT_NE(mapped.find("Wrong face list order!"), std::string::npos);
        }
    }
}
