#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/String.h"
#include "scene/ArrayTrack.h"
#include "scene/Keys.h"
#include "scene/NodeTransform.h"
#include "textscene/MaterialRecord.h"
#include "textscene/MeshRecords.h"
#include "textscene/NumberedListReader.h"
#include "textscene/PageArray.h"
#include "textscene/TextDataFileReader.h"

class DXC_3dObject;
class DXC_3dScene;
class DXC_Camera;
class DXC_Light;
class DXC_Target3dObject;
class DXC_Mesh;
class SceneGraphics;
class MeshBuilder;

// Object types the loader gives scene objects.
constexpr int32_t ObjectTypeMesh = 1;
constexpr int32_t ObjectTypeBone = 2;
constexpr int32_t ObjectTypeHelper = 4;
constexpr int32_t ObjectTypeCamera = 8;
constexpr int32_t ObjectTypeLight = 32;

// Load options decoded from the flags argument of a load (-1: none).
struct KZVLoadOptions {
    int32_t noMipmaps = 0;     // bit 0
    int32_t bumpMaps = 0;      // bit 1
    int32_t noTextures = 0;    // bit 2
    int32_t vertexColours = 0; // bit 3
    int32_t systemMemory = 0;  // bit 4: meshes in system memory
    static KZVLoadOptions FromFlags(int32_t flags);
};

// What mesh building records per mesh and clone, for the clone steps after reading.
struct MeshInfo {
    int32_t materialRef = -1;
    DXC_Mesh* object = nullptr;
    float wireColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    std::vector<int32_t> remap; // sub-material -> attribute id, -1 unused
    int32_t attributeCount = 0; // attribute ids used
};

// The text scene loader: reads a ".kzv" file block by block into a DXC_3dScene, builds its
// meshes, links its objects and converts its animation keys. One loader is kept for the
// program's lifetime and reused for every load. Textures are loaded and Direct3D meshes
// created through the SceneGraphics seam (the graphics object in the program, a recording
// stand-in in tests and tools).
//
// Every message is prefixed with the scene file's path; errors end the load with ErrorMsg,
// warnings are logged and the load goes on.
class KZVLoader : public TextDataFileReader {
public:
    // Blocks, groups and sub-materials nest at most this deep.
    static constexpr int32_t MaxNesting = 256;
    // Scene timing of a file that sets none (or an unusable one).
    static constexpr float DefaultFrameSpeed = 30.0f;
    static constexpr float DefaultTicksPerFrame = 160.0f;
    // Files of at least this size are mapped rather than read into memory of the loader's own.
    static constexpr long MapFileBytes = 1L << 20;

    KZVLoader();
    ~KZVLoader() override;

    void SetGraphics(SceneGraphics* gfx) { graphics = gfx; }
    SceneGraphics* GetGraphics() const { return graphics; }
    // The folder tried for maps that are not found where the scene names them (empty: none).
    void SetDefaultTexturePath(const char* path) { defaultTexturePath = path; }
    const char* GetDefaultTexturePath() const { return defaultTexturePath.Text(); }

    // Loads the scene file path into scene (cleared first). Returns 1; errors throw ErrorMsg.
    int32_t LoadText(DXC_3dScene* scene, const char* path, int32_t flags);
    // The same load from bytes in memory; name stands for the path in messages and for the
    // folder of relative map names. The bytes are not copied.
    int32_t LoadTextFromMemory(DXC_3dScene* scene, const char* name, const unsigned char* bytes, int32_t size,
                               int32_t flags);

    // Face lists and other numbered lists of at least this many bytes are read by two threads
    // (the result is the same).
    void SetListSplitBytes(int32_t bytes) { listSplitBytes = bytes; }
    // Split lists wait for their second reader even when it has not begun when the first arrives
    // (otherwise the first reads on by itself): for tests that need every split taken.
    void SetWaitForSecondReaders(bool wait) { waitForSecondReaders = wait; }
    // Meshes of at least this many faces compute face geometry on two threads (the same result).
    void SetParallelFaces(int32_t faces) { parallelFaces = faces; }
    // Lists whose second half another thread read, over the loader's life.
    int64_t GetSplitListCount() const { return splitLists; }

    // Scene timing and names of the last load (defaults before the first).
    float GetFrameSpeed() const { return frameSpeed; }
    float GetTicksPerFrame() const { return ticksPerFrame; }
    int32_t GetFirstFrameNumber() const { return firstFrame; }
    int32_t GetLastFrameNumber() const { return lastFrame; }
    float GetFirstFrame() const { return firstFrameValue; }
    float GetLastFrame() const { return lastFrameValue; }
    float GetSecondsPerTick() const { return secondsPerTick; }
    float GetSceneLength() const { return sceneLength; }
    float GetPlaybackFrameRate() const { return playbackFrameRate; }
    const String& GetSoundFile() const { return soundFile; }
    const String& GetScriptFile() const { return scriptFile; }
    const String& GetEnvironmentMapName() const { return environmentMapName; }
    // Handed back by the binary loader, which reads the same values from its header.
    void SetTiming(float speed, float first, float last);
    void SetFileNames(const char* sound, const char* script);
    int32_t IsSkinned() const { return skinned; }
    const KZVLoadOptions& GetOptions() const { return options; }

    // Map name lookup (see the .cpp): the rewritten name, and whether a map of that name can
    // be used.
    void ResolveMapPath(String& name) const;
    int32_t TextureExists(const char* name) const;

protected:
    // ---- load phases ----
    void BeginLoad(DXC_3dScene* target, const char* path, int32_t flags);
    void OpenSceneFile();
    void ResetTiming();
    int32_t ReadTopLevel(int32_t depth);
    void FinishScene();
    void FinishLoad();
    // Key times from ticks to seconds (with tangent scaling and TCB controls) for every object.
    void ConvertSceneKeys();
    // Frame speed and ticks per frame that are not positive numbers give way to the defaults.
    void CheckTiming();
    void ComputeTiming();
    void ClearLoadState();

    // ---- scene, material and map blocks ----
    int32_t ReadScene();
    int32_t ReadEnvMap();
    int32_t ReadAtmospheric();
    int32_t ReadStdFog();
    int32_t ReadMaterialList();
    int32_t ReadMaterial(MaterialRecord& material, int32_t depth);
    int32_t ReadMap(MaterialRecord& material, MapSlot& slot);
    int32_t ReadMapAnimation(UVParameters& uv);
    int32_t ReadMaterialAnimation(MaterialRecord& material);
    void FinishMaterial(MaterialRecord& material);
    void FinishMaterialList();
    void SetSlotAnimation(struct MapSetup& setup, const MapSlot& map, FloatTrack converted[5]) const;

    // ---- geometry blocks ----
    int32_t ReadGeomObject();
    int32_t ReadTransform(NodeTransform& record);
    int32_t ReadMesh();
    int32_t ReadVertexList();
    int32_t ReadFaceList();
    int32_t ReadTexVertexList();
    int32_t ReadTexFaceList();
    int32_t ReadWeights();
    int32_t ReadBoneWeight();
    // Index of the bone of that name (exact comparison) in the current mesh's bone list,
    // appended when there is none; combined null keeps the record's identity.
    int32_t FindOrAddBone(const char* boneName, const D3DXMATRIX& boneInit, const D3DXMATRIX& meshInit,
                          const D3DXMATRIX* combined);
    void AddWeight(int32_t vertexIndex, int32_t boneIndex, float weight);
    // Reads a list count, which must be positive and fit into the rest of the file, and makes the
    // list of that many zeroed records.
    template <class Record>
    void ReadListCount(PageArray<Record>& list, int32_t& size, int32_t minRecordBytes, const char* what);
    // Reads a numbered list block into records (size of them) through readRecord(reader, record),
    // on two threads when it is long. 1 when the data ended in the block.
    template <class Record, class ReadRecord>
    int32_t ReadNumberedList(const NumberedListReader::Kind& kind, Record* records, int32_t size,
                             ReadRecord readRecord);
    void FreeGeometry();

    // ---- controllers ----
    int32_t ReadTmAnimation();
    int32_t ReadPosTrack();
    int32_t ReadRotTrack();
    int32_t ReadScaleTrack();
    void AddRotationKey(DXC_RotKey& key);
    // Reads the keys of a material colour or opacity track: readKey(key, bezier) reads the rest of a
    // key line of either keyword, false when the line is cut short (the key is dropped).
    template <class Key, class ReadKey>
    int32_t ReadKeyTrack(ArrayTrack<Key>& track, int32_t bezierKeyword, int32_t linearKeyword,
                         ReadKey readKey);
    int32_t ReadColorTrack(ColourTrack& track);
    int32_t ReadFloatTrack(FloatTrack& track, int32_t invert);
    int32_t ReadMapFloatTrack(FloatTrack& track);
    void ConvertKeys(DXC_3dObject* object) const;
    void ConvertColorTrack(ColourTrack& track) const;
    void ConvertFloatTrack(FloatTrack& track) const;
    float TicksToSeconds(float ticks) const;

    // ---- cameras, lights, helpers ----
    int32_t ReadHelperObject(DXC_3dObject* object);
    // Reads a camera's or light's block: the node keywords, the rest through readOwn(id), which
    // returns 1 when a nested block was cut off. A target named inside the block stands in for a
    // missing "TARGET_NODE". 1 when the data ended in the block.
    template <class ReadOwn> int32_t ReadTargetNodeBlock(DXC_Target3dObject* node, ReadOwn readOwn);
    int32_t ReadCamera();
    int32_t ReadCameraSettings(DXC_Camera* camera);
    int32_t ReadLight();
    int32_t ReadLightSettings(DXC_Light* light);
    // Common node keywords of the three readers; 1 when the keyword was one of them.
    bool ReadNodeKeyword(int32_t id, DXC_3dObject* object, NodeTransform& pivot, int32_t& result);
    DXC_3dObject* TargetHelper(const String& targetName);
    // Starts a node block; owner is the camera or light whose block may hold its target.
    void BeginNodeBlock(DXC_3dObject* owner);
    // The "NODE_NAME" of the block that starts here (the position is kept).
    String PeekBlockNodeName();
    // The helper a "BONEOBJECT", "HELPEROBJECT" or "TARGETOBJECT" block is read into.
    DXC_3dObject* NewHelperFor(int32_t keyword);
    static void FreeKeys(DXC_3dObject* object);
    // Files a helper under its name for target lookups.
    void NoteHelper(DXC_3dObject* helper);
    // True when a name found inside a block of object names object itself.
    bool IsOwnNodeName(const DXC_3dObject* object, const String& inner);

    // ---- mesh building and assembly ----
    void BuildMesh();
    // Materials per attribute id of a built mesh (subMaterials: of its material, 0 for none).
    void AssignMaterials(DXC_Mesh* mesh, const MeshInfo& info, int32_t subMaterials);
    void AssignMaterial(DXC_Mesh* mesh, int32_t attribute, const MaterialRecord& material);
    // Sub-material index of material (warning when the material has no such record).
    void AssignSubMaterial(DXC_Mesh* mesh, int32_t attribute, const MaterialRecord& material, int32_t index);
    void AssignWireMaterial(DXC_Mesh* mesh, int32_t attribute, const float wire[4]);
    // Writes indices, attribute ids and vertices into the Direct3D mesh; sets the mesh bounds.
    void FillMesh(DXC_Mesh* mesh, struct ID3DXMesh* d3dMesh, const class MeshBuilder& builder,
                  int32_t weightsPerVertex);
    // The mesh with geometry of its own that each clone's chain of clone names ends at, by
    // clone; a missing source or a chain that loops is an error.
    std::unordered_map<const DXC_Mesh*, DXC_Mesh*> ResolveCloneSources();
    void ResolveCloneMaterials(const std::unordered_map<const DXC_Mesh*, DXC_Mesh*>& sources);
    void ResolveCloneGeometry(const std::unordered_map<const DXC_Mesh*, DXC_Mesh*>& sources);
    void ApplyBounds();
    MeshInfo& RecordMeshInfo(DXC_Mesh* mesh);
    MeshInfo* FindMeshInfo(const DXC_Mesh* mesh);
    MeshInfo* FindMeshInfo(const char* name);
    const MaterialRecord* MaterialAt(int32_t ref) const;
    void CheckMaterialRef(int32_t ref, const char* objectName) const;

    // ---- state ----
    SceneGraphics* graphics = nullptr;
    DXC_3dScene* scene = nullptr;
    KZVLoadOptions options;
    int32_t buildMeshes = 1;
    int32_t skinned = 0;
    String sceneDirectory;
    String defaultTexturePath;

    // Scene timing.
    int32_t firstFrame = 0;
    int32_t lastFrame = 100;
    float frameSpeed = 30.0f;
    float ticksPerFrame = 160.0f;
    float secondsPerTick = 1.0f / 4800.0f;
    float sceneLength = 100.0f / 30.0f;
    float playbackFrameRate = 30.0f;
    float firstFrameValue = 0.0f;
    float lastFrameValue = 100.0f;
    String soundFile;
    String scriptFile;
    String environmentMapName;

    // Materials of the load.
    std::vector<std::unique_ptr<MaterialRecord>> materials;

    // The object being read.
    DXC_Mesh* currentMesh = nullptr;
    DXC_3dObject* animationTarget = nullptr;
    DXC_3dObject* animationOwner = nullptr; // camera or light whose block may hold its target
    String pendingTargetName;               // target written inside the camera or light block
    bool nodeNameRead = false;              // the node block's "NODE_NAME" was read
    String ownTransformName;                // name inside the block's first transform
    // Target helpers made from camera and light blocks, by name, until a target block fills them.
    std::unordered_map<std::string, DXC_3dObject*> madeTargets;
    std::unordered_map<std::string, DXC_3dObject*> helperByName; // helpers read so far
    DXC_3dObject* replaceKeysOf = nullptr;                       // its keys give way to the block being read
    int32_t materialRef = -1;
    int32_t maxWeightsPerVertex = 0; // largest weight count of a vertex of the current mesh
    float wireColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    int32_t numVertices = 0, numFaces = 0, numTexVertices = 0, numTexFaces = 0;
    PageArray<MeshVertex> vertices;
    PageArray<MeshFace> faces;
    PageArray<TexVertex> texVertices;
    PageArray<TexFace> texFaces;
    int32_t lastFace = -1;            // face that "MESH_SMOOTHING" and "MESH_MTLID" apply to
    int32_t listSplitBytes = 1 << 20; // face lists this long are read by two threads
    int64_t splitLists = 0;
    bool waitForSecondReaders = false;
    int32_t parallelFaces = 4096;
    NodeTransform meshInitTransform; // kept across objects
    int64_t splitKeyBudget = 0;      // rotation keys that splitting may still add in this load

    // Mesh building of the load, its lists kept from one mesh to the next.
    std::unique_ptr<MeshBuilder> meshBuilder;

    // Mesh infos of the load: one per built mesh and clone, the first of a name found by name.
    std::vector<std::unique_ptr<MeshInfo>> meshInfos;
    std::unordered_map<std::string, MeshInfo*> meshInfoByName;
    std::unordered_map<const DXC_Mesh*, MeshInfo*> meshInfoByObject;
};
