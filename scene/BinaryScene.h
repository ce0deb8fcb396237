#pragma once

#include <cstdint>

#include "foundation/String.h"

class DXC_3dScene;
class SceneGraphics;

// The binary scene file: "3SC", a version byte, the header values and the scene record.
constexpr int32_t BinarySceneVersion = 102;       // written
constexpr int32_t OldestBinarySceneVersion = 100; // read from here to BinarySceneVersion

// The header values: the scene timing and file names the loader keeps for the application.
struct BinarySceneHeader {
    int32_t version = BinarySceneVersion;
    float frameSpeed = 30.0f;
    float firstFrame = 0.0f;
    float lastFrame = 100.0f;
    String soundFile;
    String scriptFile;
};

// Loads the binary scene file path into scene with graphics making its textures and meshes:
// the header (versions above 102: "Unknown file version: %i", below 100: "'%s': Obsolete 3sc file
// version: %i"), then, with the scene file's folder as working directory (restored afterwards;
// "Can not set current directory, errorcode: %i"), the scene record. Afterwards camera 0 is
// current, the scene is updated at first frame / frame speed (0 for speed 0) and its bounds
// computed; its name is the path and fileSize the file's size. options: the load's flags
// (-1 none). Errors throw; a damaged file's errors name the byte where reading stopped.
void LoadBinaryScene(const char* path, DXC_3dScene& scene, int32_t options, SceneGraphics& graphics,
                     BinarySceneHeader& header);

// Writes scene with the header (version 102) to path. The file is written beside path under a
// temporary name, flushed to the disk and then renamed over path, so a save that fails leaves an
// existing file as it was; the temporary file is removed. Errors throw.
void SaveBinaryScene(DXC_3dScene& scene, const char* path, const BinarySceneHeader& header);
