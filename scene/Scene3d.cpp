#include "scene/Scene3d.h"

#include <cctype>
#include <cmath>

DXC_3dScene::DXC_3dScene()
    : meshes(MeshCapacity), cameras(CameraCapacity), helpers(HelperCapacity), lights(LightCapacity) {
    SetObjectName("DXC_3dScene");
    Reset();
}

DXC_3dScene::~DXC_3dScene() = default;

void DXC_3dScene::Reset() {
    DXC_3dObject::Reset();
    ClearBounds();
    currentCamera = -1;
    recordName.Clear();
    fileSize = -1;
    opaqueCount = 0;
    timeScale = 1.0f;
    ambientColour = 0xFF000000u;
    backgroundColour = 0xFF000000u;
    sceneMaterial.Reset();
    sceneMaterial.material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    sceneMaterial.material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    sceneMaterial.material.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
}

void DXC_3dScene::Clear() {
    meshes.Clear();
    cameras.Clear();
    helpers.Clear();
    lights.Clear();
    // A texture of the previous scene must not show behind the next one.
    environmentTexture.reset();
    Reset();
}

template <class F> void DXC_3dScene::ForEachObject(F f) {
    for (int32_t p = 0; p < meshes.GetCount(); ++p) f(*meshes.GetAt(p));
    for (int32_t p = 0; p < cameras.GetCount(); ++p) f(*cameras.GetAt(p));
    for (int32_t p = 0; p < helpers.GetCount(); ++p) f(*helpers.GetAt(p));
    for (int32_t p = 0; p < lights.GetCount(); ++p) f(*lights.GetAt(p));
}

// ---- per frame ----

namespace {

// Calls f for every element in position order. The memory of the elements two and one ahead is
// requested early, so that walking thousands of objects does not wait on each in turn.
template <class T, class F> void ForEachPrefetched(DynaMem<T>& list, F f) {
    const int32_t n = list.GetCount();
    for (int32_t p = 0; p < n; ++p) {
        if (p + 2 < n) list.GetAt(p + 2)->PrefetchObject();
        if (p + 1 < n) list.GetAt(p + 1)->PrefetchKeys();
        f(*list.GetAt(p));
    }
}

} // namespace

int32_t DXC_3dScene::Update(float time, int32_t withHelpers) {
    const float t = time * timeScale;
    ForEachPrefetched(meshes, [t](DXC_Mesh& m) { m.Update(t); });
    ForEachPrefetched(cameras, [t](DXC_Camera& c) { c.EvaluateTarget(t, 1, 0); });
    if (withHelpers) ForEachPrefetched(helpers, [t](DXC_3dObject& h) { h.Evaluate(t, 1, 0); });
    ForEachPrefetched(lights, [t](DXC_Light& l) { l.EvaluateTarget(t, 1, 0); });
    Evaluate(t, 1, 0);
    return 1;
}

// ---- lookup ----

namespace {

bool SameName(const String& a, const char* b, int32_t ignoreCase) {
    return ignoreCase ? a.EqualsNoCase(b) : a.Equals(b);
}

bool BeginsWithNoCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (!*text || std::tolower(static_cast<unsigned char>(*text)) !=
                          std::tolower(static_cast<unsigned char>(*prefix)))
            return false;
    return true;
}

} // namespace

DXC_3dObject* DXC_3dScene::FindObject(const char* objectName, int32_t ignoreCase) {
    if (!objectName) return nullptr;
    for (int32_t p = 0; p < meshes.GetCount(); ++p)
        if (SameName(meshes.GetAt(p)->name, objectName, ignoreCase)) return meshes.GetAt(p);
    for (int32_t p = 0; p < helpers.GetCount(); ++p)
        if (SameName(helpers.GetAt(p)->name, objectName, ignoreCase)) return helpers.GetAt(p);
    for (int32_t p = 0; p < cameras.GetCount(); ++p)
        if (SameName(cameras.GetAt(p)->name, objectName, ignoreCase)) return cameras.GetAt(p);
    for (int32_t p = 0; p < lights.GetCount(); ++p)
        if (SameName(lights.GetAt(p)->name, objectName, ignoreCase)) return lights.GetAt(p);
    return nullptr;
}

DXC_Mesh* DXC_3dScene::FindMesh(const char* objectName, int32_t prefix) {
    if (!objectName) return nullptr;
    for (int32_t p = 0; p < meshes.GetCount(); ++p) {
        DXC_Mesh* m = meshes.GetAt(p);
        if (prefix ? BeginsWithNoCase(m->name.Text(), objectName) : m->name.Equals(objectName)) return m;
    }
    return nullptr;
}

DXC_Light* DXC_3dScene::GetLight(int32_t nr) {
    DXC_Light* l = lights.Get(nr);
    if (!l) Error("Light number %i does not exist.", nr);
    return l;
}

DXC_3dObject* DXC_3dScene::GetHelper(int32_t nr) {
    DXC_3dObject* h = helpers.Get(nr);
    if (!h) Error("Helper object number %i does not exist.", nr);
    return h;
}

int32_t DXC_3dScene::SetCamera(int32_t nr) {
    // Numbers below -1 name no camera either.
    if (nr >= -1 && nr < cameras.GetCount()) {
        currentCamera = nr;
        return 1;
    }
    Warning("Camera nr %i does not exist", nr);
    return 0;
}

// ---- linking ----

void DXC_3dScene::LinkParent(DXC_3dObject& object, const ObjectNameIndex& index, const DXC_3dScene& source) {
    object.parent = nullptr;
    object.needsUpdate = 1;
    if (object.parentName.IsEmpty()) return;
    object.parent = index.Find(object.parentName.Text());
    if (!object.parent)
        Warning("Parent object '%s' not found in scene '%s'. Child: '%s'", object.parentName.Text(),
                source.name.Text(), object.name.Text());
}

void DXC_3dScene::BuildNameIndex(ObjectNameIndex& index) {
    // The order of FindObject: meshes, helpers, cameras, lights.
    index.Reserve(static_cast<size_t>(meshes.GetCount()) + helpers.GetCount() + cameras.GetCount() +
                  lights.GetCount());
    for (int32_t p = 0; p < meshes.GetCount(); ++p) index.Add(meshes.GetAt(p));
    for (int32_t p = 0; p < helpers.GetCount(); ++p) index.Add(helpers.GetAt(p));
    for (int32_t p = 0; p < cameras.GetCount(); ++p) index.Add(cameras.GetAt(p));
    for (int32_t p = 0; p < lights.GetCount(); ++p) index.Add(lights.GetAt(p));
    index.Finish();
}

int32_t DXC_3dScene::LinkObjects(DXC_3dScene* sourceScene) {
    DXC_3dScene& source = sourceScene ? *sourceScene : *this;
    // Every name is looked up as FindObject(name, 1) would, through an index built once, so
    // that a file with many objects does not make linking quadratic.
    ObjectNameIndex index;
    source.BuildNameIndex(index);
    for (int32_t p = 0; p < meshes.GetCount(); ++p) {
        DXC_Mesh& mesh = *meshes.GetAt(p);
        LinkParent(mesh, index, source);
        DynaMem<BoneRecord>& bones = mesh.GetBones();
        if (mesh.GetBoneObjectCount() != bones.GetCount()) mesh.CreateBoneObjects();
        for (int32_t j = 0; j < bones.GetCount(); ++j) {
            const BoneRecord& bone = *bones.GetAt(j);
            DXC_3dObject* object = index.Find(bone.name.Text());
            mesh.SetBoneObject(j, object);
            if (!object)
                Warning("Bone '%s' not found in scene '%s'. Child: '%s'", bone.name.Text(),
                        source.name.Text(), mesh.name.Text());
        }
    }
    for (int32_t p = 0; p < cameras.GetCount(); ++p) {
        DXC_Camera& camera = *cameras.GetAt(p);
        LinkParent(camera, index, source);
        camera.SetTarget(nullptr);
        if (camera.targetName.IsEmpty()) continue;
        camera.SetTarget(index.Find(camera.targetName.Text()));
        // Reported with the parent message, naming the target that is missing.
        if (!camera.GetTarget())
            Warning("Parent object '%s' not found in scene '%s'. Child: '%s'", camera.targetName.Text(),
                    source.name.Text(), camera.name.Text());
    }
    for (int32_t p = 0; p < helpers.GetCount(); ++p) LinkParent(*helpers.GetAt(p), index, source);
    for (int32_t p = 0; p < lights.GetCount(); ++p) LinkParent(*lights.GetAt(p), index, source);
    BreakParentCycles(source);
    return 1;
}

// Every object has at most one parent, so walking up from each object in turn, marking the
// objects met with the number of the walk, finds each cycle once: a walk that meets its own
// mark has gone round. Walks stop at objects an earlier walk has cleared. The walks reach
// the objects of source, where the parents were found, so their marks are cleared as well:
// marks left there by an earlier linking would otherwise pass for this pass's own.
void DXC_3dScene::BreakParentCycles(DXC_3dScene& source) {
    ForEachObject([](DXC_3dObject& o) { o.linkMark = 0; });
    if (&source != this) source.ForEachObject([](DXC_3dObject& o) { o.linkMark = 0; });
    int32_t walk = 0;
    ForEachObject([&](DXC_3dObject& start) {
        ++walk;
        for (DXC_3dObject* o = &start; o; o = o->parent) {
            o->linkMark = walk;
            DXC_3dObject* up = o->parent;
            if (!up || (up->linkMark != 0 && up->linkMark != walk)) break;
            if (up->linkMark == walk) {
                Warning("Parent object '%s' of '%s' closes a cycle in scene '%s'; link dropped",
                        up->name.Text(), o->name.Text(), name.Text());
                o->parent = nullptr;
                break;
            }
        }
    });
}

// ---- settings over all objects ----

void DXC_3dScene::SetLoop(int32_t flag) {
    ForEachObject([flag](DXC_3dObject& o) { o.SetLoop(flag); });
    DXC_3dObject::SetLoop(flag);
}

void DXC_3dScene::SetLoopLength(float length) {
    ForEachObject([length](DXC_3dObject& o) { o.SetLoopLength(length); });
    DXC_3dObject::SetLoopLength(length);
}

// ---- drawing order and bounds ----

int32_t DXC_3dScene::SortMeshes() {
    const int32_t count = meshes.GetCount();
    for (int32_t i = 0; i < count; ++i) {
        if (!meshes.GetAt(i)->IsTransparent()) continue;
        int32_t j = i + 1;
        while (j < count && meshes.GetAt(j)->IsTransparent()) ++j;
        if (j == count) {
            opaqueCount = i;
            return opaqueCount;
        }
        meshes.SwapAt(i, j);
    }
    opaqueCount = count;
    return opaqueCount;
}

int32_t DXC_3dScene::Reserve(int32_t moreMeshes, int32_t moreLights, int32_t moreCameras) {
    meshes.SetSize(meshes.GetCount() + moreMeshes);
    lights.SetSize(lights.GetCount() + moreLights);
    helpers.SetSize(-1);
    cameras.SetSize(cameras.GetCount() + moreCameras);
    return 1;
}

int32_t DXC_3dScene::ComputeBounds(BoundsRecord* out) {
    if (meshes.GetCount() == 0 && helpers.GetCount() == 0) return 0;
    D3DXVECTOR3 lo(9e10f, 9e10f, 9e10f), hi(-9e10f, -9e10f, -9e10f);
    auto widen = [&](const D3DXVECTOR3& p) {
        D3DXVec3Minimize(&lo, &lo, &p);
        D3DXVec3Maximize(&hi, &hi, &p);
    };
    for (int32_t p = 0; p < meshes.GetCount(); ++p) {
        DXC_Mesh& mesh = *meshes.GetAt(p);
        D3DXMATRIX m;
        D3DXMatrixMultiply(&m, &mesh.pivotTM, &mesh.worldTM);
        const D3DXVECTOR3& a = mesh.bounds.minimum;
        const D3DXVECTOR3& b = mesh.bounds.maximum;
        for (int c = 0; c < 8; ++c) {
            D3DXVECTOR3 corner(c & 1 ? b.x : a.x, c & 2 ? b.y : a.y, c & 4 ? b.z : a.z), w;
            widen(*D3DXVec3TransformCoord(&w, &corner, &m));
        }
    }
    for (int32_t p = 0; p < helpers.GetCount(); ++p) {
        const D3DXMATRIX& w = helpers.GetAt(p)->worldTM;
        widen(D3DXVECTOR3(w._41, w._42, w._43));
    }
    D3DXVECTOR3 half = (hi - lo) * 0.5f;
    out->mode = bounds.mode;
    out->centre = (lo + hi) * 0.5f;
    out->radius = D3DXVec3Length(&half);
    out->minimum = lo;
    out->maximum = hi;
    return 1;
}

void DXC_3dScene::ComputeBounds() {
    BoundsRecord b;
    if (ComputeBounds(&b)) bounds = b;
}
