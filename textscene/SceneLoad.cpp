#include "textscene/SceneLoad.h"

#include <cstdio>
#include <cstring>

#include "platform/FileSystem.h"
#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"

int32_t LoadScene(const char* path, DXC_3dScene* scene, int32_t options, KZVLoader& loader) {
    loader.SetPath(path);
    FILE* file = OpenFile(path, "rb");
    if (!file) {
        if (IsNonRegularFile(path)) loader.Error("Can not open file %s: not a regular file", path);
        loader.Error("Can not open file %s", path);
    }
    // Up to 4 bytes: a shorter file is simply no binary scene.
    unsigned char magic[4] = {};
    const std::size_t read = std::fread(magic, 1, sizeof magic, file);
    std::fclose(file);

    if (read >= 3 && std::memcmp(magic, "3SC", 3) == 0)
        loader.Error("Binary scene files (3SC) can not be loaded yet: %s", path);

    loader.LoadText(scene, path, options);
    const float speed = loader.GetFrameSpeed();
    scene->Update(speed != 0.0f ? loader.GetFirstFrame() / speed : 0.0f, 1);
    return 1;
}
