#pragma once

#include <cstdint>

class DXC_3dScene;
class KZVLoader;

// Loads the scene file path into scene, telling the two forms apart by the first bytes: a file
// that begins with "3SC" is a binary scene, any other (an empty one too) a text scene read by
// loader. options is the flags argument of the text load (-1: none). Afterwards the scene is
// updated once at its start time. Returns 1; errors throw (ErrorMsg), among them "Can not open
// file %s".
int32_t LoadScene(const char* path, DXC_3dScene* scene, int32_t options, KZVLoader& loader);
