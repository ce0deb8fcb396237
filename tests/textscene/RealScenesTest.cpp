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
