#include "scene/BinaryScene.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "foundation/File.h"
#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"
#include "scene/Scene3d.h"
#include "scene/SceneReadContext.h"

namespace {

// Makes the scene file's folder the working directory for the load and puts the previous one
// back: explicitly when the load went well (a failure is an error), quietly after an error.
class SceneDirectory {
public:
    SceneDirectory(File& file, const std::string& folder) : file(file), previous(GetWorkingDirectory()) {
        if (folder.empty()) return;
        if (!SetWorkingDirectory(folder)) file.Error("Can not set current directory, errorcode: %i", errno);
        changed = true;
    }
    ~SceneDirectory() {
        if (changed) SetWorkingDirectory(previous);
    }
    SceneDirectory(const SceneDirectory&) = delete;
    SceneDirectory& operator=(const SceneDirectory&) = delete;

    void Restore() {
        if (changed && !SetWorkingDirectory(previous))
            file.Error("Can not set current directory, errorcode: %i", errno);
        changed = false;
    }
    const std::string& Previous() const { return previous; }

private:
    File& file;
    std::string previous;
    bool changed = false;
};

void ReadHeader(File& file, BinarySceneHeader& header) {
    char magic[4] = {};
    file.Read(magic, 4);
    if (std::memcmp(magic, "3SC", 3) != 0) file.Error("No binary scene file (3SC)");
    header.version = static_cast<uint8_t>(magic[3]);
    if (header.version > BinarySceneVersion) file.Error("Unknown file version: %i", header.version);
    if (header.version < OldestBinarySceneVersion)
        file.Error("'%s': Obsolete 3sc file version: %i", file.GetPath().Text(), header.version);
    file.ReadInt(&header.frameSpeed);
    file.ReadInt(&header.firstFrame);
    file.ReadInt(&header.lastFrame);
    file.ReadString(header.soundFile);
    file.ReadString(header.scriptFile);
}

} // namespace

void LoadBinaryScene(const char* path, DXC_3dScene& scene, int32_t options, SceneGraphics& graphics,
                     BinarySceneHeader& header) {
    File file;
    if (!file.Open(path)) file.Error("Can not open file %s", path);
    file.SetPositionInErrors(1);
    {
        ReadHeader(file, header);
        SceneDirectory folder(file, std::string(DirectoryPart(ResolvePath(path))));
        SceneReadContext context;
        context.graphics = &graphics;
        context.version = header.version;
        context.options = options;
        context.sceneFile = path;
        context.startDirectory = folder.Previous().c_str();
        scene.Read(file, context);
        folder.Restore();
    }
    if (scene.GetCameraCount() > 0) scene.SetCamera(0);
    scene.Update(header.frameSpeed != 0.0f ? header.firstFrame / header.frameSpeed : 0.0f, 1);
    // The scene record holds no bounds of the whole scene: they are computed for every version,
    // so that a scene read from a current file has them too.
    scene.ComputeBounds();
    scene.fileSize = file.GetSize();
    scene.name = path;
}

namespace {

void WriteScene(File& file, DXC_3dScene& scene, const BinarySceneHeader& header) {
    file.Write("3SC", 3);
    file.WriteByte(BinarySceneVersion);
    file.Write(&header.frameSpeed, 4);
    file.Write(&header.firstFrame, 4);
    file.Write(&header.lastFrame, 4);
    file.WriteString(header.soundFile);
    file.WriteString(header.scriptFile);
    scene.Write(file);
    file.Flush();
}

} // namespace

void SaveBinaryScene(DXC_3dScene& scene, const char* path, const BinarySceneHeader& header) {
    const std::string target = ResolvePath(path);
    File file;
    const std::string temporary = CreateSiblingTempFile(target);
    if (temporary.empty() || !file.Create(temporary.c_str())) {
        const int code = errno;
        if (!temporary.empty()) RemoveFile(temporary);
        file.Error("Can not create file %s: %s", path, SystemErrorText(code).c_str());
        return;
    }
    try {
        WriteScene(file, scene, header);
        file.Close();
        if (!ReplaceFile(temporary, target))
            file.Error("Can not replace file %s: %s", path, SystemErrorText(errno).c_str());
    } catch (...) {
        file.Close();
        RemoveFile(temporary);
        throw;
    }
}
