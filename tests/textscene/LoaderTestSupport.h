#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/LogCapture.h"

using LoaderTest = LogCaptureTest;

// Runs statement, expects it to throw ErrorMsg and returns the message (empty when nothing
// was thrown, which fails the test).
template <class F> std::string ThrownMessage(F&& statement) {
    try {
        statement();
    } catch (const ErrorMsg& e) {
        return e.message;
    }
    ADD_FAILURE() << "no ErrorMsg thrown";
    return {};
}

#include <fstream>
#include <memory>

#include "platform/FileSystem.h"
#include "platform/d3d8/RecordingDevice.h"
#include "platform/d3dx/ImageCodecWrite.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_MeshData.h"
#include "render/DXC_Texture.h"
#include "render/GfxSceneGraphics.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"

// A loader on the graphics object of a recording device, as the viewer and kzvtool load, with
// a scene to load into; files written by the test go into the temporary folder. Meshes get
// their D3DX meshes and materials their DXC_Texture images through the program's own path.
class SceneLoaderTest : public LoaderTest {
protected:
    void SetUp() override {
        LoaderTest::SetUp();
        MakeGfx(false);
    }
    void TearDown() override {
        scene.Clear();
        LoaderTest::TearDown();
    }

    // A fresh graphics object, windowed and off-screen as the viewer starts it; hardware vertex
    // processing and hardware skinning on request. Loads after this create on the new one.
    void MakeGfx(bool hardwareVertexProcessing, bool hardwareSkinning = false) {
        scene.Clear();
        loader = std::make_unique<KZVLoader>(); // its materials hold textures of the old object
        graphics.reset();
        gfx.reset();
        gfx = CreateRecordingGfx(hardwareVertexProcessing ? 1 : 0, 0);
        gfx->hardwareSkinning = hardwareSkinning ? 1 : 0;
        graphics = std::make_unique<GfxSceneGraphics>(*gfx);
        loader->SetGraphics(graphics.get());
    }

    // Writes text to a file in the temporary folder and returns its path.
    std::string Write(const std::string& name, const std::string& text) {
        const auto path = dir / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    // Writes a 4 x 4 image of one opaque colour in the given file form; returns its path.
    std::string WriteImage(const std::string& name, ImageFileKind kind = ImageFileKind::Bmp) {
        PixelImage image;
        EXPECT_TRUE(MakePixelImage(image, 4, 4));
        for (uint32_t y = 0; y < 4; ++y)
            for (uint32_t x = 0; x < 4; ++x) image.At(x, y) = 0xFF336699u;
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(EncodeImageFile(kind, image, false, bytes));
        return Write(name, std::string(bytes.begin(), bytes.end()));
    }
    // Loads text as a scene file named name; returns the error message, empty on success.
    std::string Load(const std::string& text, const std::string& name = "scene.kzv", int32_t flags = -1) {
        const std::string path = Write(name, text);
        try {
            loader->LoadText(&scene, path.c_str(), flags);
        } catch (const ErrorMsg& e) {
            return e.message;
        } catch (const DXC_Error& e) {
            return e.message;
        }
        return {};
    }
    // The message part after the path prefix of the last load.
    static std::string Message(const std::string& full) {
        const auto colon = full.find(": ");
        return colon == std::string::npos ? full : full.substr(colon + 2);
    }
    // The file on disk that a texture list entry was loaded from (empty for none).
    std::filesystem::path LoadedFrom(int32_t listIndex) const {
        const ResourceEntry* entry = gfx->GetTextureList().Get(listIndex);
        return entry ? std::filesystem::path(ResolvePath(entry->name)) : std::filesystem::path();
    }

    // The graphics object outlives the seam, the loader's materials and the scene's meshes
    // (members go in reverse order), as their textures are counted in its lists.
    std::unique_ptr<DXC_Gfx> gfx;
    std::unique_ptr<GfxSceneGraphics> graphics;
    std::unique_ptr<KZVLoader> loader;
    DXC_3dScene scene;
};

// The mesh data of a built mesh (null without geometry).
inline DXC_MeshData* MeshData(DXC_Mesh* mesh) {
    return GetMeshData(mesh);
}
// The material texture of a mesh's subset (null without one).
inline DXC_Texture* Texture(DXC_Mesh* mesh, int32_t attribute = 0) {
    return GetMeshTexture(mesh, attribute);
}

// A closed triangle mesh object: a unit square of two faces in the z = 0 plane, with optional
// extra keywords inside the GEOMOBJECT block (material reference, animation ...).
inline std::string SquareObject(const std::string& name, const std::string& extra = "",
                                const std::string& faceTail = "*MESH_SMOOTHING 1 *MESH_MTLID 0") {
    return "*GEOMOBJECT {\n *NODE_NAME \"" + name + "\"\n" + extra +
           " *MESH {\n  *MESH_NUMVERTEX 4\n  *MESH_NUMFACES 2\n"
           "  *MESH_VERTEX_LIST {\n   *MESH_VERTEX 0 0 0 0\n   *MESH_VERTEX 1 1 0 0\n"
           "   *MESH_VERTEX 2 1 1 0\n   *MESH_VERTEX 3 0 1 0\n  }\n"
           "  *MESH_FACE_LIST {\n   *MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 0 " +
           faceTail + "\n   *MESH_FACE 1: A: 0 B: 2 C: 3 AB: 1 BC: 1 CA: 0 " + faceTail + "\n  }\n }\n}\n";
}
