#include "LoaderTestSupport.h"

#include "platform/d3dx/D3DXMesh.h"
#include "textscene/SceneLoad.h"

namespace {

std::filesystem::path RealDir() {
    return std::filesystem::path(KZV_SOURCE_DIR) / "data" / "real";
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

TEST_F(RealScenesTest, FaceListsReadByTwoThreadsGiveTheSameScenes) {
    // Every mesh's buffers and the log, read and built on one thread, and with every face list
    // long enough split between two and every mesh's face geometry computed on two.
    const auto load = [this](const std::filesystem::path& path, int32_t splitBytes) {
        loader->SetListSplitBytes(splitBytes);
        loader->SetParallelFaces(splitBytes); // 1: every face block on two threads
        ResetReportState();                  // repeated warnings fold across loads otherwise
        entries.clear();
        std::string all;
        try {
            LoadScene(path.c_str(), &scene, -1, *loader);
        } catch (const ErrorMsg& e) {
            all += std::string("error ") + e.message + "\n";
        }
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
