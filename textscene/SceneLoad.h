#pragma once

#include <cstdint>

class DXC_3dScene;
class KZVLoader;

// Loads the scene file path into scene, telling the two forms apart by the first bytes: a file
// that begins with "3SC" is a binary scene, any other (an empty one too) a text scene read by
// loader. options is the flags argument of the load (-1: none). Afterwards the scene is updated
// once at its start time. A binary scene is read with the loader's graphics object and hands
// its header values (timing, sound and script file) to the loader, as a text load leaves them
// there. Returns 1; errors throw (ErrorMsg, DXC_Error), among them "Can not open file %s".
int32_t LoadScene(const char* path, DXC_3dScene* scene, int32_t options, KZVLoader& loader);

// Saves scene in the binary form (version 102) to path with the loader's current timing and
// file names; see SaveBinaryScene. Errors throw.
void SaveBinary(DXC_3dScene* scene, const char* path, KZVLoader& loader);
