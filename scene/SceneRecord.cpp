// The stored scene record (DXC_3dScene::Write and Read).

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "foundation/File.h"
#include "scene/Scene3d.h"
#include "scene/SceneGraphics.h"

namespace {

// Smallest stored sizes of the records, for checking counts before the lists grow.
constexpr int64_t MinObjectBytes = 2 + 4 + 116 + 48 + 4 + 4 + 1 + 4 + 4 + 4 + 4 + 4;
constexpr int64_t MinMeshBytes = MinObjectBytes + 44 + 12 + 4 + 4 + 4 + 4;
constexpr int64_t MinCameraBytes = MinObjectBytes + 4 + 4;
constexpr int64_t MinLightBytes = MinObjectBytes + 4 + 8 + 104;

// Object types as the text loader gives them; the file does not store them.
constexpr int32_t TypeMesh = 1, TypeBone = 2, TypeHelper = 4, TypeCamera = 8, TypeLight = 32;

template <class T> void WriteList(File& file, DynaMem<T>& list) {
    file.WriteInt(list.GetCount());
    for (int32_t p = 0; p < list.GetCount(); ++p) list.GetAt(p)->Write(file);
}

// Reads a count and that many records, each into an element its list creates first.
template <class T, class ReadOne>
void ReadList(File& file, DynaMem<T>& list, int64_t minBytes, const char* what, ReadOne readOne) {
    int32_t count = 0;
    file.ReadInt(&count);
    if (!file.CheckCount(count, minBytes, what)) return;
    for (int32_t i = 0; i < count; ++i) readOne(*list.Get(list.AddNew()));
}

} // namespace

int32_t DXC_3dScene::Write(File& file) {
    if (recordName.IsEmpty()) {
        DXC_3dObject::Write(file);
    } else {
        const String current = name;
        name = recordName;
        try {
            DXC_3dObject::Write(file);
        } catch (...) {
            name = current;
            throw;
        }
        name = current;
    }
    file.WriteInt(static_cast<int32_t>(ambientColour));
    file.WriteInt(static_cast<int32_t>(backgroundColour));
    file.WriteByte(environmentTexture ? 1 : 0);
    if (environmentTexture && !environmentTexture->Write(file))
        Error("The environment texture can not be stored");
    file.Write(&viewOptions, sizeof viewOptions);
    WriteList(file, meshes);
    WriteList(file, cameras);
    WriteList(file, helpers);
    WriteList(file, lights);
    return 1;
}

int32_t DXC_3dScene::Read(File& file) {
    Error("A scene record can only be read within a scene load (%s)", file.GetPath().Text());
}

int32_t DXC_3dScene::Read(File& file, const SceneReadContext& context) {
    Clear();
    DXC_3dObject::Read(file);
    recordName = name;
    file.ReadInt(&ambientColour);
    file.ReadInt(&backgroundColour);
    uint8_t environment = 0;
    file.ReadByte(&environment);
    if (environment) {
        environmentTexture = context.graphics->CreateTexture();
        TextureReadOptions options;
        options.loadMaps = context.Option(2) ? 0 : 1;
        options.mipLevels = context.Option(0) ? 1 : 0;
        options.sceneFile = context.sceneFile;
        options.directory = context.startDirectory;
        if (!environmentTexture || !environmentTexture->Read(file, options))
            Error("Textures can not be read by this graphics object");
    }
    file.Read(&viewOptions, sizeof viewOptions);
    ReadLists(file, context);
    SortMeshes();
    LinkObjects(nullptr);
    ResolveClones();
    TypeObjects();
    return 1;
}

void DXC_3dScene::ReadLists(File& file, const SceneReadContext& context) {
    ReadList(file, meshes, MinMeshBytes, "mesh", [&](DXC_Mesh& m) { m.Read(file, context); });
    ReadList(file, cameras, MinCameraBytes, "camera", [&](DXC_Camera& c) { c.Read(file); });
    ReadList(file, helpers, MinObjectBytes, "helper", [&](DXC_3dObject& h) { h.Read(file); });
    ReadList(file, lights, MinLightBytes, "light", [&](DXC_Light& l) { l.Read(file); });
}

// A clone record carries no geometry: it shares its source's, found by exact name (the first
// mesh of that name). A source may be a clone itself; the chain is followed to a mesh with
// geometry of its own, and a chain that runs in a circle names no source.
void DXC_3dScene::ResolveClones() {
    std::unordered_map<std::string, DXC_Mesh*> byName;
    for (int32_t p = meshes.GetCount() - 1; p >= 0; --p)
        byName[meshes.GetAt(p)->name.Text()] = meshes.GetAt(p);
    std::unordered_set<const DXC_Mesh*> resolved;
    for (int32_t p = 0; p < meshes.GetCount(); ++p) {
        std::vector<DXC_Mesh*> chain;
        std::unordered_set<const DXC_Mesh*> seen;
        DXC_Mesh* m = meshes.GetAt(p);
        while (!m->cloneName.IsEmpty() && !resolved.count(m)) {
            if (!seen.insert(m).second) m->Error("Clone Mesh '%s' not found", m->cloneName.Text());
            chain.push_back(m);
            const auto source = byName.find(m->cloneName.Text());
            if (source == byName.end()) m->Error("Clone Mesh '%s' not found", m->cloneName.Text());
            m = source->second;
        }
        for (DXC_Mesh* clone : chain) {
            clone->SetGeometry(m->GetGeometry() ? m->GetGeometry()->CopyShared(*clone) : nullptr);
            resolved.insert(clone);
        }
    }
}

// Helpers that some mesh names as a bone are bones; every other helper is a plain helper.
void DXC_3dScene::TypeObjects() {
    std::unordered_set<const DXC_3dObject*> boneObjects;
    for (int32_t p = 0; p < meshes.GetCount(); ++p) {
        DXC_Mesh& mesh = *meshes.GetAt(p);
        mesh.objectType = TypeMesh;
        for (int32_t i = 0; i < mesh.GetBoneObjectCount(); ++i) boneObjects.insert(mesh.GetBoneObject(i));
    }
    for (int32_t p = 0; p < helpers.GetCount(); ++p)
        helpers.GetAt(p)->objectType = boneObjects.count(helpers.GetAt(p)) ? TypeBone : TypeHelper;
    for (int32_t p = 0; p < cameras.GetCount(); ++p) cameras.GetAt(p)->objectType = TypeCamera;
    for (int32_t p = 0; p < lights.GetCount(); ++p) lights.GetAt(p)->objectType = TypeLight;
}
