#pragma once

#include <cstdint>
#include <memory>

#include "foundation/DynaMem.h"
#include "scene/AnimatedTexture.h"
#include "scene/Camera.h"
#include "scene/ClipObject.h"
#include "scene/Light.h"
#include "scene/Mesh.h"
#include "scene/MeshMaterial.h"
#include "scene/ObjectNameIndex.h"

// Settings the scene render pass reads: 16 words, stored whole in binary scene files, filled
// by the loaders and changed by the viewer. Words 10 to 15 are the fog parameters.
struct SceneViewOptions {
    int32_t clear = 0;           // clear the frame (or draw the environment texture) first
    int32_t mirror = 0;          // mirror the X axis
    int32_t unused = 0;          // not read
    int32_t selectedHelper = -2; // -2 none, -1 all, 0.. one helper
    int32_t selectedLight = -2;  // same coding
    int32_t ambient = 0;         // apply the ambient colour
    int32_t lights = 1;          // set the scene's lights
    int32_t fog = 0;
    int32_t sort = 1;       // transparent meshes drawn back to front
    int32_t showLinks = 0;  // lines from objects to their parents
    uint32_t fogColour = 0; // ARGB
    int32_t fogMode = 1;
    int32_t vertexFog = 1;
    float fogStart = 0.0f;
    float fogEnd = 1.0f;
    float fogDensity = 0.5f;
};

static_assert(sizeof(SceneViewOptions) == 64, "the view options are stored as 16 words");

// The root of a loaded scene. Owns its meshes, cameras, helper objects (dummies and bones)
// and lights; links them by name, brings them all to one time per frame, answers lookups,
// orders meshes for drawing and computes the scene bounds. Its reports are prefixed with its
// name, the path of the loaded file.
class DXC_3dScene : public DXC_3dClipObject {
public:
    static constexpr int32_t MeshCapacity = 64;
    static constexpr int32_t CameraCapacity = 16;
    static constexpr int32_t HelperCapacity = 128;
    static constexpr int32_t LightCapacity = 64;

    DXC_3dScene();
    ~DXC_3dScene() override;

    // The scene record: the scene's object record, colours, environment texture, view options
    // and the four lists with every object's record (SceneRecord.cpp).
    int32_t Write(File& file) override;
    // Mesh and texture records need the graphics object of the load: without the context, an
    // error. With it the scene is cleared, every record read, the meshes sorted, the objects
    // linked and each clone given its source's geometry ("Clone Mesh '%s' not found").
    int32_t Read(File& file) override;
    int32_t Read(File& file, const SceneReadContext& context);

    // The object reset, bounds zeroed, no current camera, fileSize -1, opaqueCount 0,
    // timeScale 1, the default scene material.
    void Reset();
    // Deletes every mesh, camera, helper and light and the environment texture, then Reset().
    void Clear();

    // The per-frame evaluation at time x timeScale: meshes (with their material and texture
    // animation), cameras, helpers (only withHelpers; parents are evaluated anyway), lights,
    // the scene itself. Allocates nothing.
    int32_t Update(float time, int32_t withHelpers);

    // Resolves parent, bone and camera target links by name (case ignored) in source (null:
    // this scene). Names that are not found are warnings and leave the link null; a parent
    // link that would close a cycle is dropped with a warning.
    int32_t LinkObjects(DXC_3dScene* source);

    // First object with that name: meshes, then helpers, then cameras, then lights.
    DXC_3dObject* FindObject(const char* objectName, int32_t ignoreCase);
    // prefix: first mesh whose name begins with objectName (case ignored); else exact name.
    DXC_Mesh* FindMesh(const char* objectName, int32_t prefix);

    DXC_Mesh* GetMesh(int32_t nr) { return meshes.Get(nr); } // null outside or empty
    DXC_Mesh* GetMeshAt(int32_t pos) { return meshes.GetAt(pos); }
    DXC_Light* GetLight(int32_t nr);     // error when there is none
    DXC_3dObject* GetHelper(int32_t nr); // error when there is none
    DXC_Camera* GetCameraAt(int32_t pos) { return cameras.GetAt(pos); }
    DXC_Light* GetLightAt(int32_t pos) { return lights.GetAt(pos); }
    DXC_3dObject* GetHelperAt(int32_t pos) { return helpers.GetAt(pos); }
    int32_t GetMeshCount() const { return meshes.GetCount(); }
    int32_t GetCameraCount() const { return cameras.GetCount(); }
    int32_t GetHelperCount() const { return helpers.GetCount(); }
    int32_t GetLightCount() const { return lights.GetCount(); }
    DynaMem<DXC_Mesh>& Meshes() { return meshes; }
    DynaMem<DXC_Camera>& Cameras() { return cameras; }
    DynaMem<DXC_3dObject>& Helpers() { return helpers; }
    DynaMem<DXC_Light>& Lights() { return lights; }

    // -1 selects no camera; a number that names no camera is a warning and returns 0.
    int32_t SetCamera(int32_t nr);
    int32_t GetCurrentCamera() const { return currentCamera; }
    // The camera the viewer looks through, or null.
    DXC_Camera* GetActiveCamera() { return currentCamera >= 0 ? cameras.GetAt(currentCamera) : nullptr; }

    // Loop setting and loop length of every object and of the scene.
    void SetLoop(int32_t flag);
    void SetLoopLength(float length);

    // Orders the meshes opaque first (swapping each transparent mesh with the next opaque one
    // after it) and returns the number of meshes before the first transparent one.
    int32_t SortMeshes();
    int32_t GetOpaqueCount() const { return opaqueCount; }

    // Capacity for that many more meshes, lights and cameras; the helper list is fitted to
    // its count.
    int32_t Reserve(int32_t moreMeshes, int32_t moreLights, int32_t moreCameras);

    // Bounds of the current transforms: mesh boxes through pivotTM x worldTM and helper
    // positions. Stores them in bounds; with neither meshes nor helpers nothing changes.
    void ComputeBounds();
    // The same figures written to out (mode copied from the scene's bounds) without storing;
    // 0 when there is nothing to measure.
    int32_t ComputeBounds(BoundsRecord* out);

    void SetEnvironmentTexture(std::unique_ptr<DXC_AnimatedTexture> texture) {
        environmentTexture = std::move(texture);
    }
    DXC_AnimatedTexture* GetEnvironmentTexture() const { return environmentTexture.get(); }

    int32_t currentCamera;
    int32_t fileSize; // size of the scene file last loaded
    int32_t opaqueCount;
    float timeScale;           // playback time multiplier
    uint32_t ambientColour;    // ARGB
    uint32_t backgroundColour; // ARGB
    MeshMaterial sceneMaterial;
    SceneViewOptions viewOptions;
    // The name the scene record carried when this scene was read from a binary file (the name
    // itself becomes the file's path); a save writes it again, so that saving a loaded binary
    // scene repeats its bytes. Empty otherwise: a save writes the name.
    String recordName;

private:
    void LinkParent(DXC_3dObject& object, const ObjectNameIndex& index, const DXC_3dScene& source);
    // Every object of the four lists by name, in FindObject's order.
    void BuildNameIndex(ObjectNameIndex& index);
    // Drops parent links that close a cycle; one pass over all objects. source: the scene the
    // parents were found in.
    void BreakParentCycles(DXC_3dScene& source);
    template <class F> void ForEachObject(F f);
    void ReadLists(File& file, const SceneReadContext& context);
    void ResolveClones();
    void TypeObjects();

    std::unique_ptr<DXC_AnimatedTexture> environmentTexture;
    DynaMem<DXC_Mesh> meshes;
    DynaMem<DXC_Camera> cameras;
    DynaMem<DXC_3dObject> helpers;
    DynaMem<DXC_Light> lights;
};
