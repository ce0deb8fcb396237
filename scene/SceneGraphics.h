#pragma once

#include <cstdint>
#include <memory>

#include "platform/d3d8/D3D8Types.h"
#include "scene/AnimatedTexture.h"
#include "scene/ArrayTrack.h"

class DXC_Mesh;
struct ID3DXMesh;

// The seam between the scene loaders and the graphics object: everything a loader needs
// that touches the device. The graphics object implements it (GfxSceneGraphics), on the
// program's device or, for tests and tools, on the recording device. The loader never holds device
// objects itself: meshes get their Direct3D mesh and textures their images through here.
// A clone shares its source's geometry through DXC_MeshGeometry::CopyShared, without the seam.

// Arguments of the graphics object's CreateMesh.
struct MeshCreateParams {
    int32_t faceCount = 0;
    int32_t vertexCount = 0;
    int32_t attributeCount = 0;
    DWORD vertexFormat = 0;
    int32_t systemMemory = 0; // the load's mesh-creation option
    int32_t boneCount = 0;
    int32_t newMesh = 1;
    DWORD extraOptions = 0;
    int32_t forceSoftware = 0;     // the material has a reflection map
    int32_t weightsPerVertex = 0;  // 0, 2, 3 or 4: gives the mesh's vertex blend setting
    int32_t sphereMapChannel = -1; // texture coordinate set of the reflection map, -1 none
};

// One map slot of a material texture as the loader sets it up.
struct MapSetup {
    int32_t slot = 0;
    const char* file = nullptr;        // image to load into the slot; null: none
    const char* writtenName = nullptr; // the name as the scene file wrote it
    int32_t type = 0;                  // texture type of LoadTexture (0, or -1 for the environment)
    int32_t mipLevels = 0;             // 0: full chain
    int32_t operation = 0;             // slot operation (1 diffuse, 2 bump, 3 reflection); 0 none
    float factor = 1.0f;
    int32_t setBlendAmount = 0;
    float blendAmount = 0.0f;
    int32_t setTiming = 0;
    TextureSequenceTiming timing;
    int32_t setUV = 0; // uv transform and animation from the five values and tracks below
    float uvBase[5] = {0.0f, 0.0f, 1.0f, 1.0f, 0.0f};
    const FloatTrack* uvTracks = nullptr; // five tracks, times in seconds
};

class SceneGraphics {
public:
    virtual ~SceneGraphics() = default;

    // CreateMesh of the graphics object: creates the mesh's Direct3D mesh and gives the mesh
    // its geometry (DXC_MeshGeometry, replacing what it had when newMesh is set) and, with
    // newMesh, attributeCount default materials and fresh textures. Returns the Direct3D mesh
    // for the loader to fill; the mesh's geometry holds it. Failures are errors (thrown).
    virtual ID3DXMesh* CreateMesh(DXC_Mesh* mesh, const MeshCreateParams& params) = 0;

    // A new material texture attached to the device, without images.
    virtual std::unique_ptr<DXC_AnimatedTexture> CreateTexture() = 0;
    // A texture sharing every slot image and the uv animations of source.
    virtual std::unique_ptr<DXC_AnimatedTexture> CopyTexture(const DXC_AnimatedTexture& source) = 0;
    // Selects the slot, loads the image when one is named (LoadTexture with colour key 0 and
    // format -1; a missing file is an error) and applies the settings the setup asks for.
    // Returns 1 when the loaded image has partially transparent pixels.
    virtual int32_t SetupMap(DXC_AnimatedTexture& texture, const MapSetup& setup) = 0;
};
