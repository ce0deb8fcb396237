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

#include "platform/d3d8/RecordingDevice.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"
#include "textscene/StandInGraphics.h"

// A loader on a recording device with a scene to load into; files written by the test go
// into the temporary folder.
class SceneLoaderTest : public LoaderTest {
protected:
    void SetUp() override {
        LoaderTest::SetUp();
        device = CreateRecordingDevice(640, 480, false);
        ASSERT_NE(device, nullptr);
        graphics = std::make_unique<StandInGraphics>(device);
        loader.SetGraphics(graphics.get());
    }
    void TearDown() override {
        scene.Clear();
        graphics.reset();
        if (device) device->Release();
        LoaderTest::TearDown();
    }

    // Writes text to a file in the temporary folder and returns its path.
    std::string Write(const std::string& name, const std::string& text) {
        const auto path = dir / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    // Loads text as a scene file named name; returns the error message, empty on success.
    std::string Load(const std::string& text, const std::string& name = "scene.kzv", int32_t flags = -1) {
        const std::string path = Write(name, text);
        try {
            loader.LoadText(&scene, path.c_str(), flags);
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

    IDirect3DDevice8* device = nullptr;
    std::unique_ptr<StandInGraphics> graphics;
    KZVLoader loader;
    DXC_3dScene scene;
};

// The stand-in mesh data of a built mesh (null without geometry).
inline StandInMeshData* MeshData(DXC_Mesh* mesh) {
    return mesh ? dynamic_cast<StandInMeshData*>(mesh->GetGeometry()) : nullptr;
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
