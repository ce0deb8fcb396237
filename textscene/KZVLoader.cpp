// The text load as a whole: entry, top-level keyword loop and the assembly after reading.

#include "textscene/KZVLoader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/FileSystem.h"
#include "scene/Scene3d.h"
#include "scene/SceneGraphics.h"
#include "textscene/KeywordTable.h"
#include "textscene/MeshBuilder.h"

KZVLoadOptions KZVLoadOptions::FromFlags(int32_t flags) {
    KZVLoadOptions o;
    if (flags == -1) return o;
    o.noMipmaps = flags & 1;
    o.bumpMaps = (flags >> 1) & 1;
    o.noTextures = (flags >> 2) & 1;
    o.vertexColours = (flags >> 3) & 1;
    o.systemMemory = (flags >> 4) & 1;
    return o;
}

KZVLoader::KZVLoader() {
    SetObjectName("KZVLoader");
}

KZVLoader::~KZVLoader() = default;

void KZVLoader::SetTiming(float speed, float first, float last) {
    frameSpeed = speed;
    playbackFrameRate = speed;
    firstFrameValue = first;
    lastFrameValue = last;
}

void KZVLoader::SetFileNames(const char* sound, const char* script) {
    soundFile = sound;
    scriptFile = script;
}

void KZVLoader::ResetTiming() {
    frameSpeed = DefaultFrameSpeed;
    playbackFrameRate = DefaultFrameSpeed;
    ticksPerFrame = DefaultTicksPerFrame;
    firstFrame = 0;
    lastFrame = 100;
    soundFile.Clear();
    scriptFile.Clear();
    environmentMapName.Clear();
    ComputeTiming();
}

void KZVLoader::CheckTiming() {
    // Both divide every key time: 0 (or a negative or non-finite value) would turn every
    // transform into NaN, so the exporter's defaults stand in.
    if (!(frameSpeed > 0.0f) || !std::isfinite(frameSpeed)) {
        Warning("Frame speed %g is not a positive number, %g is used", static_cast<double>(frameSpeed),
                static_cast<double>(DefaultFrameSpeed));
        frameSpeed = DefaultFrameSpeed;
        playbackFrameRate = DefaultFrameSpeed;
    }
    if (!(ticksPerFrame > 0.0f) || !std::isfinite(ticksPerFrame)) {
        Warning("Ticks per frame %g is not a positive number, %g is used", static_cast<double>(ticksPerFrame),
                static_cast<double>(DefaultTicksPerFrame));
        ticksPerFrame = DefaultTicksPerFrame;
    }
}

void KZVLoader::ComputeTiming() {
    secondsPerTick = 1.0f / (ticksPerFrame * frameSpeed);
    sceneLength = static_cast<float>(lastFrame - static_cast<int64_t>(firstFrame)) / frameSpeed;
}

// ---- entry ----------------------------------------------------------------------------------

void KZVLoader::BeginLoad(DXC_3dScene* target, const char* path, int32_t flags) {
    if (!target) Error("No scene to load into");
    if (!graphics) Error("No graphics object to load textures and meshes with");
    SetPath(path);
    scene = target;
    inMemory = 1;
    options = KZVLoadOptions::FromFlags(flags);
    buildMeshes = 1;

    ResetTiming();
    ResetVersion();
    skinned = 0;
    ClearLoadState();
    sceneDirectory = std::string(DirectoryPart(path)).c_str();
    scene->Clear();
    // The scene's reports are prefixed with its name; clearing resets it, so it is set after.
    scene->name = path;
    // Clearing keeps the view options, and a text scene brings none of its own: without this
    // a scene without fog loaded after one with fog would show the old fog and background.
    scene->viewOptions = SceneViewOptions{};
    // The mesh init transform carries over between the meshes of one file only: a file
    // loaded twice must give the same bones.
    meshInitTransform.Reset();
}

int32_t KZVLoader::LoadText(DXC_3dScene* target, const char* path, int32_t flags) {
    try {
        BeginLoad(target, path, flags);
        OpenSceneFile();
        FinishLoad();
    } catch (const std::bad_alloc&) {
        ClearLoadState();
        Error("Out of memory while loading the scene");
    } catch (...) {
        // Whatever went wrong in bytes that were no longer the file's is not the file's fault.
        const bool changed = DataChanged();
        ClearLoadState();
        if (changed) Error("Error reading from file %s: it changed while it was read", GetPath());
        throw;
    }
    return 1;
}

int32_t KZVLoader::LoadTextFromMemory(DXC_3dScene* target, const char* name, const unsigned char* bytes,
                                      int32_t size, int32_t flags) {
    try {
        BeginLoad(target, name, flags);
        SetDataView(bytes, size);
        scene->fileSize = size;
        FinishLoad();
    } catch (const std::bad_alloc&) {
        ClearLoadState();
        Error("Out of memory while loading the scene");
    } catch (...) {
        ClearLoadState();
        throw;
    }
    return 1;
}

void KZVLoader::OpenSceneFile() {
    FILE* file = OpenFile(GetPath(), "rb");
    if (!file) {
        if (IsNonRegularFile(GetPath())) Error("Can not open file %s: not a regular file", GetPath());
        Error("Can not open file %s", GetPath());
    }
    // Positions are 32-bit: a larger file can not be read.
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size < 0 || size > 0x7FFFFFFEL || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        Error("Can not read file %s: not a readable file of at most 2 GB", GetPath());
    }
    // A large file is used where the system keeps it, without a copy; a small one, or one the
    // system does not map, is read into memory of its own.
    if (size >= MapFileBytes) {
        MappedFile mapped = MappedFile::Map(file, static_cast<std::size_t>(size));
        if (mapped.Data()) {
            std::fclose(file);
            SetData(std::move(mapped), static_cast<int32_t>(size));
            scene->fileSize = static_cast<int32_t>(size);
            return;
        }
    }
    PageBuffer buffer;
    try {
        buffer = PageBuffer(static_cast<std::size_t>(size) + 1);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    const std::size_t read = std::fread(buffer.Data(), 1, static_cast<std::size_t>(size), file);
    std::fclose(file);
    if (read != static_cast<std::size_t>(size))
        Error("Error reading from file %s at %i", GetPath(), static_cast<int32_t>(read));
    SetData(std::move(buffer), static_cast<int32_t>(size));
    scene->fileSize = static_cast<int32_t>(size);
}

void KZVLoader::FinishLoad() {
    // Rotation keys that splitting adds are bounded by the size of what is read.
    splitKeyBudget = 65536 + static_cast<int64_t>(GetDataSize()) * 4;
    if (ReadTopLevel(0) == 0) Warning("Encountered unexpected end of file at pos %i", GetPosition());
    // Keys in seconds before assembly: its bounds are taken at the start time in seconds.
    ConvertSceneKeys();
    FinishScene();

    if (scene->GetCameraCount() > 0) scene->SetCamera(0);
    SceneViewOptions& view = scene->viewOptions;
    view.ambient = 1;
    view.clear = 0;
    view.fogMode = 1;
    view.fogDensity = 0.008f;
    if (view.fog) scene->backgroundColour = view.fogColour;
    if (DataChanged()) Error("Error reading from file %s: it changed while it was read", GetPath());
    ClearLoadState();
}

void KZVLoader::ConvertSceneKeys() {
    // An object evaluated while its keys were in ticks must be evaluated again with the
    // converted keys, even at the time of that evaluation.
    auto convert = [this](DXC_3dObject* object) {
        ConvertKeys(object);
        object->BuildKeyIndex();
        object->needsUpdate = 1;
    };
    for (int32_t i = 0; i < scene->GetMeshCount(); ++i) convert(scene->GetMeshAt(i));
    for (int32_t i = 0; i < scene->GetHelperCount(); ++i) convert(scene->GetHelperAt(i));
    for (int32_t i = 0; i < scene->GetCameraCount(); ++i) convert(scene->GetCameraAt(i));
    for (int32_t i = 0; i < scene->GetLightCount(); ++i) convert(scene->GetLightAt(i));
}

void KZVLoader::ClearLoadState() {
    ResetReader();
    FreeGeometry();
    meshBuilder.reset();
    materials.clear();
    meshInfos.clear();
    meshInfoByName.clear();
    meshInfoByObject.clear();
    madeTargets.clear();
    helperByName.clear();
    replaceKeysOf = nullptr;
    currentMesh = nullptr;
    animationTarget = nullptr;
    animationOwner = nullptr;
}

// ---- top level ------------------------------------------------------------------------------

int32_t KZVLoader::ReadTopLevel(int32_t depth) {
    if (depth > MaxNesting) Error("Groups nested more than %i deep", MaxNesting);
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_DATA) return 1;
        int32_t end = 0;
        switch (id) {
        case KW_END_OF_BLOCK: // the closing brace of a group, or a stray one at the top
            if (depth > 0) return 2;
            break;
        case KW_3DSMAX_KZVEXPORT: {
            int32_t version = 0;
            if (!ScanInt(version)) SetVersion(version);
            break;
        }
        case KW_SCENE:
            SkipTo('{');
            end = ReadScene();
            CheckTiming();
            ComputeTiming();
            break;
        case KW_MATERIAL_LIST:
            SkipTo('{');
            end = ReadMaterialList();
            if (!end) FinishMaterialList();
            break;
        case KW_GEOMOBJECT:
            SkipTo('{');
            end = ReadGeomObject();
            break;
        case KW_GROUP: {
            SkipTo('{');
            const int32_t inner = ReadTopLevel(depth + 1);
            if (inner == 0) return 0;
            if (inner == 1) return 1;
            break;
        }
        case KW_CAMERAOBJECT:
            SkipTo('{');
            end = ReadCamera();
            break;
        case KW_LIGHTOBJECT:
            SkipTo('{');
            end = ReadLight();
            break;
        case KW_BONEOBJECT:
        case KW_HELPEROBJECT:
        case KW_TARGETOBJECT: {
            SkipTo('{');
            DXC_3dObject* helper = NewHelperFor(id);
            end = ReadHelperObject(helper);
            replaceKeysOf = nullptr;
            NoteHelper(helper);
            break;
        }
        case KW_ATMOSPHERIC:
            SkipTo('{');
            end = ReadAtmospheric();
            break;
        default:
            break;
        }
        if (end) return 0;
    }
}

// ---- assembly -------------------------------------------------------------------------------

void KZVLoader::FinishScene() {
    ResetReader();
    firstFrameValue = static_cast<float>(firstFrame);
    lastFrameValue = static_cast<float>(lastFrame);
    scene->LinkObjects(scene);
    scene->SetLoopLength(sceneLength);
    const auto cloneSources = ResolveCloneSources();
    ResolveCloneMaterials(cloneSources);
    ResolveCloneGeometry(cloneSources);
    ApplyBounds();
    materials.clear();
    scene->SortMeshes();
}

MeshInfo& KZVLoader::RecordMeshInfo(DXC_Mesh* mesh) {
    auto info = std::make_unique<MeshInfo>();
    info->materialRef = materialRef;
    info->object = mesh;
    std::memcpy(info->wireColour, wireColour, sizeof wireColour);
    MeshInfo& record = *info;
    meshInfos.push_back(std::move(info));
    // The first mesh of a name is the one a clone finds.
    meshInfoByName.emplace(mesh->name.Text(), &record);
    meshInfoByObject[mesh] = &record;
    return record;
}

MeshInfo* KZVLoader::FindMeshInfo(const DXC_Mesh* mesh) {
    auto it = meshInfoByObject.find(mesh);
    return it == meshInfoByObject.end() ? nullptr : it->second;
}

MeshInfo* KZVLoader::FindMeshInfo(const char* name) {
    auto it = meshInfoByName.find(name);
    return it == meshInfoByName.end() ? nullptr : it->second;
}

std::unordered_map<const DXC_Mesh*, DXC_Mesh*> KZVLoader::ResolveCloneSources() {
    // The first mesh (in position order) of each exact name is the one a clone name finds.
    std::unordered_map<std::string, DXC_Mesh*> byName;
    for (int32_t p = 0; p < scene->GetMeshCount(); ++p)
        byName.emplace(scene->GetMeshAt(p)->name.Text(), scene->GetMeshAt(p));
    // A clone may name a clone that comes later in the file: each chain is followed to the
    // mesh that has geometry of its own, whatever the order. Chains already resolved end a
    // walk early, so every mesh is walked through once.
    std::unordered_map<const DXC_Mesh*, DXC_Mesh*> sources;
    std::vector<DXC_Mesh*> chain;
    for (int32_t p = 0; p < scene->GetMeshCount(); ++p) {
        DXC_Mesh* clone = scene->GetMeshAt(p);
        if (clone->cloneName.IsEmpty() || sources.count(clone)) continue;
        chain.clear();
        DXC_Mesh* at = clone;
        DXC_Mesh* root = nullptr;
        while (!root) {
            chain.push_back(at);
            auto found = byName.find(at->cloneName.Text());
            if (found == byName.end()) scene->Error("Clone Mesh '%s' not found", at->cloneName.Text());
            DXC_Mesh* next = found->second;
            if (next->cloneName.IsEmpty()) {
                root = next;
            } else if (auto known = sources.find(next); known != sources.end()) {
                root = known->second;
            } else if (std::find(chain.begin(), chain.end(), next) != chain.end()) {
                scene->Error("Clone Mesh '%s' leads back to itself: its clone chain loops",
                             clone->name.Text());
            } else {
                at = next;
            }
        }
        for (DXC_Mesh* m : chain) sources[m] = root;
    }
    return sources;
}

void KZVLoader::ResolveCloneMaterials(const std::unordered_map<const DXC_Mesh*, DXC_Mesh*>& sources) {
    for (int32_t p = 0; p < scene->GetMeshCount(); ++p) {
        DXC_Mesh* mesh = scene->GetMeshAt(p);
        if (mesh->cloneName.IsEmpty()) continue;
        MeshInfo* own = FindMeshInfo(mesh);
        if (!own) Error("Internal error: no mesh info for mesh '%s'", mesh->name.Text());
        const int32_t ref = own->materialRef;
        CheckMaterialRef(ref, mesh->name.Text());
        const MaterialRecord* material = MaterialAt(ref);
        const int32_t s = material && material->numSubMaterials > 0 ? material->numSubMaterials : 0;
        int32_t n = 1;
        const MeshInfo* source = nullptr;
        if (ref >= 0 && s > 0) {
            // The attribute ids are those of the geometry the clone shares: its chain's end.
            source = FindMeshInfo(sources.at(mesh));
            if (!source) Error("Internal error: no mesh info for mesh '%s'", sources.at(mesh)->name.Text());
            n = source->attributeCount;
            if (n == 0) continue;
        }
        mesh->SetMaterialCount(n);
        for (int32_t i = 0; i < n; ++i) {
            // An attribute no sub-material reaches (a source without sub-materials) keeps the
            // colours mesh creation gives, not a black material with alpha 0.
            mesh->GetMaterial(i)->SetNewMeshColours();
            mesh->SetTexture(i, graphics->CreateTexture());
        }
        if (ref < 0) {
            AssignWireMaterial(mesh, 0, own->wireColour);
        } else if (s == 0) {
            AssignMaterial(mesh, 0, *material);
        } else {
            for (int32_t i = 0; i < n; ++i)
                for (std::size_t j = 0; j < source->remap.size(); ++j)
                    if (source->remap[j] == i) {
                        AssignSubMaterial(mesh, i, *material, static_cast<int32_t>(j) % s);
                        break;
                    }
        }
    }
}

void KZVLoader::ResolveCloneGeometry(const std::unordered_map<const DXC_Mesh*, DXC_Mesh*>& sources) {
    for (int32_t p = 0; p < scene->GetMeshCount(); ++p) {
        DXC_Mesh* target = scene->GetMeshAt(p);
        if (target->cloneName.IsEmpty()) continue;
        DXC_Mesh* source = sources.at(target);
        // The clone keeps its name, visibility, node data, materials and textures; it takes
        // the source's geometry, bounds and bones.
        target->bounds = source->bounds;
        target->texFaceFlag = source->texFaceFlag;
        target->GetBones() = source->GetBones();
        target->CreateBoneObjects();
        for (int32_t i = 0; i < target->GetBoneObjectCount(); ++i)
            target->SetBoneObject(i, source->GetBoneObject(i));
        target->SetGeometry(source->GetGeometry() ? source->GetGeometry()->CopyShared(*target) : nullptr);
    }
}

void KZVLoader::ApplyBounds() {
    // Slot numbers in position order: removing the Bounds mesh leaves them valid.
    std::vector<int32_t> slots;
    DynaMem<DXC_Mesh>& meshes = scene->Meshes();
    for (int32_t p = 0; p < meshes.GetCount(); ++p) slots.push_back(meshes.GetSlotAt(p));

    // Each ordinary mesh asks for the scene bounds at the start time. Between two Bounds
    // meshes the answer is the same, so it is computed once, when it can still matter.
    bool pending = false;
    bool boundsFound = false;
    auto computeScene = [&] {
        scene->Update(static_cast<float>(firstFrame) / frameSpeed, 1);
        scene->ComputeBounds();
        pending = false;
    };
    for (int32_t slot : slots) {
        DXC_Mesh* mesh = meshes.Get(slot);
        if (!mesh) continue;
        if (!mesh->name.EqualsNoCase("Bounds")) {
            pending = true;
            continue;
        }
        if (pending) computeScene();
        scene->bounds.mode = 3;
        mesh->Evaluate(0.0f, 1, 1);
        const D3DXMATRIX& m = mesh->worldTM;
        D3DXVECTOR3 lo(9e9f, 9e9f, 9e9f), hi(-9e9f, -9e9f, -9e9f);
        for (int32_t c = 0; c < 8; ++c) {
            const D3DXVECTOR3 corner((c & 1) ? mesh->bounds.maximum.x : mesh->bounds.minimum.x,
                                     (c & 2) ? mesh->bounds.maximum.y : mesh->bounds.minimum.y,
                                     (c & 4) ? mesh->bounds.maximum.z : mesh->bounds.minimum.z);
            D3DXVECTOR3 p;
            D3DXVec3TransformCoord(&p, &corner, &m);
            D3DXVec3Minimize(&lo, &lo, &p);
            D3DXVec3Maximize(&hi, &hi, &p);
        }
        scene->bounds.minimum = lo;
        scene->bounds.maximum = hi;
        scene->bounds.centre = (lo + hi) * 0.5f;
        const D3DXVECTOR3 diagonal = hi - lo;
        scene->bounds.radius = D3DXVec3Length(&diagonal) * 0.5f;
        meshes.Delete(slot);
        boundsFound = true;
    }
    if (pending) computeScene();
    if (skinned && !boundsFound) Warning("Skinned meshes without 'Bounds' object");
}
