// Helper, bone, target, camera and light blocks.

#include <cmath>
#include <cstring>

#include "scene/Scene3d.h"
#include "textscene/KZVLoader.h"
#include "textscene/KeywordTable.h"

namespace {

constexpr float DegreesToRadians = 0.017453292f;

} // namespace

// The exporter writes a camera's or light's target inside its block: a second "NODE_TM" and
// "TM_ANIMATION" named after the target. This is the helper object of that name that takes
// them, made when the scene has none yet.
DXC_3dObject* KZVLoader::TargetHelper(const String& targetName) {
    auto known = helperByName.find(targetName.Text());
    if (known != helperByName.end()) return known->second;
    DynaMem<DXC_3dObject>& helpers = scene->Helpers();
    DXC_3dObject* helper = helpers.Get(helpers.AddNew());
    helper->objectType = ObjectTypeHelper;
    helper->name = targetName;
    madeTargets.emplace(targetName.Text(), helper);
    NoteHelper(helper);
    return helper;
}

void KZVLoader::NoteHelper(DXC_3dObject* helper) {
    // The first helper of a name is the one a target name finds.
    helperByName.emplace(helper->name.Text(), helper);
}

void KZVLoader::FreeKeys(DXC_3dObject* object) {
    object->posKeys.Free();
    object->rotKeys.Free();
    object->scaleKeys.Free();
}

DXC_3dObject* KZVLoader::NewHelperFor(int32_t keyword) {
    // A target block after its camera or light fills the helper made for it there; its
    // animation then replaces the keys written in the camera or light block.
    if (keyword == KW_TARGETOBJECT) {
        const String name = PeekBlockNodeName();
        auto made = madeTargets.find(name.Text());
        if (!name.IsEmpty() && made != madeTargets.end()) {
            replaceKeysOf = made->second;
            madeTargets.erase(made);
            return replaceKeysOf;
        }
    }
    DXC_3dObject* helper = scene->Helpers().Get(scene->Helpers().AddNew());
    helper->objectType = keyword == KW_BONEOBJECT ? ObjectTypeBone : ObjectTypeHelper;
    return helper;
}

bool KZVLoader::ReadNodeKeyword(int32_t id, DXC_3dObject* object, NodeTransform& pivot, int32_t& end) {
    switch (id) {
    case KW_NODE_NAME:
        ScanStringName(object->name);
        nodeNameRead = true;
        return true;
    case KW_NODE_PARENT:
        ScanStringName(object->parentName);
        return true;
    case KW_NODE_TM: {
        SkipTo('{');
        DXC_3dObject* owner = object;
        if (animationOwner) {
            // Whose transform this is shows only inside the block: look ahead for its name.
            const String inner = PeekBlockNodeName();
            if (!IsOwnNodeName(object, inner)) {
                owner = TargetHelper(inner);
                if (pendingTargetName.IsEmpty()) pendingTargetName = inner;
            }
        }
        end = ReadTransform(owner->nodeTransform);
        return true;
    }
    case KW_PIVOT_TM:
        SkipTo('{');
        end = ReadTransform(pivot);
        object->pivotTM = pivot.matrix;
        return true;
    case KW_TM_ANIMATION:
        SkipTo('{');
        if (object == replaceKeysOf) {
            FreeKeys(object);
            replaceKeysOf = nullptr;
        }
        animationTarget = object;
        end = ReadTmAnimation();
        animationTarget = object;
        return true;
    default:
        return false;
    }
}

bool KZVLoader::IsOwnNodeName(const DXC_3dObject* object, const String& inner) {
    if (inner.IsEmpty()) return true;
    // Before the block's own "NODE_NAME" the first name met inside stands for it.
    if (!nodeNameRead && ownTransformName.IsEmpty()) ownTransformName = inner;
    return inner.Equals(nodeNameRead ? object->name.Text() : ownTransformName.Text());
}

// The "NODE_NAME" at the level of the block that starts at the current position (for a
// transform block, whose transform it is; for an object block, the object's name).
String KZVLoader::PeekBlockNodeName() {
    const int32_t start = GetPosition();
    String name;
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK || id == KW_END_OF_DATA) break;
        if (id == KW_NODE_NAME) {
            ScanStringName(name);
            break;
        }
    }
    MoveBy(start - GetPosition());
    return name;
}

void KZVLoader::BeginNodeBlock(DXC_3dObject* owner) {
    animationOwner = owner;
    nodeNameRead = false;
    ownTransformName.Clear();
    pendingTargetName.Clear();
}

int32_t KZVLoader::ReadHelperObject(DXC_3dObject* object) {
    BeginNodeBlock(nullptr);
    NodeTransform pivot;
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        int32_t end = 0;
        ReadNodeKeyword(id, object, pivot, end);
        if (end) return 1;
    }
}

template <class ReadOwn> int32_t KZVLoader::ReadTargetNodeBlock(DXC_Target3dObject* node, ReadOwn readOwn) {
    BeginNodeBlock(node);
    NodeTransform pivot;
    int32_t result = 0;
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) break;
        if (id == KW_END_OF_DATA) {
            result = 1;
            break;
        }
        int32_t end = 0;
        if (!ReadNodeKeyword(id, node, pivot, end)) end = readOwn(id);
        if (end) {
            result = 1;
            break;
        }
    }
    if (node->targetName.IsEmpty() && !pendingTargetName.IsEmpty()) node->targetName = pendingTargetName;
    BeginNodeBlock(nullptr);
    return result;
}

int32_t KZVLoader::ReadCamera() {
    DXC_Camera* camera = scene->Cameras().Get(scene->Cameras().AddNew());
    camera->objectType = ObjectTypeCamera;
    return ReadTargetNodeBlock(camera, [this, camera](int32_t id) {
        if (id == KW_CAMERA_SETTINGS) {
            SkipTo('{');
            return ReadCameraSettings(camera);
        }
        if (id == KW_TARGET_NODE) ScanStringName(camera->targetName);
        return 0;
    });
}

int32_t KZVLoader::ReadCameraSettings(DXC_Camera* camera) {
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        if (id == KW_CAMERA_FOV) ScanFloat(camera->fov);
    }
}

int32_t KZVLoader::ReadLight() {
    DXC_Light* light = scene->Lights().Get(scene->Lights().AddNew());
    light->objectType = ObjectTypeLight;
    char typeWord[TokenSize] = "";
    const int32_t result = ReadTargetNodeBlock(light, [&](int32_t id) {
        if (id == KW_LIGHT_SETTINGS) {
            SkipTo('{');
            return ReadLightSettings(light);
        }
        if (id == KW_LIGHT_USELIGHT) {
            int32_t use = 0;
            if (!ScanInt(use)) light->enabled = use != 0;
        } else if (id == KW_LIGHT_TYPE) {
            SkipWhitespace();
            ScanWord(typeWord);
        }
        return 0;
    });
    if (result) return 1; // cut off: the light stays as far as it was read

    D3DLIGHT8& record = light->light;
    record.Falloff = 1.0f;
    record.Attenuation0 = 1.0f;
    record.Attenuation1 = 0.0f;
    record.Attenuation2 = 0.0f;
    if (!std::strcmp(typeWord, "Target") || !std::strcmp(typeWord, "TargetSpot")) {
        record.Type = D3DLIGHT_SPOT;
    } else if (!std::strcmp(typeWord, "Directional")) {
        record.Type = D3DLIGHT_DIRECTIONAL;
    } else if (!std::strcmp(typeWord, "Omni")) {
        record.Type = D3DLIGHT_POINT;
    } else {
        Warning("Unknown light type changed to omni");
        record.Type = D3DLIGHT_POINT;
    }
    light->unset = 0;
    return 0;
}

int32_t KZVLoader::ReadLightSettings(DXC_Light* light) {
    float colour[3] = {0.0f, 0.0f, 0.0f};
    D3DLIGHT8& record = light->light;
    for (;;) {
        const int32_t id = NextKeyword();
        if (id == KW_END_OF_BLOCK) return 0;
        if (id == KW_END_OF_DATA) return 1;
        float value = 0.0f;
        switch (id) {
        case KW_LIGHT_COLOR:
            ScanVector(colour);
            break;
        case KW_LIGHT_INTENS:
            if (ScanFloat(value)) break;
            // The colour must come first: one given after the intensity has no effect.
            record.Diffuse = {colour[0] * value, colour[1] * value, colour[2] * value, 1.0f};
            record.Specular = record.Diffuse;
            record.Ambient = {0.0f, 0.0f, 0.0f, 0.0f};
            break;
        case KW_LIGHT_ASPECT:
            if (!ScanFloat(value) && std::fabs(value) != 1.0f) Warning("Light aspect other than 1");
            break;
        case KW_LIGHT_HOTSPOT:
            if (!ScanFloat(value)) record.Theta = value * DegreesToRadians;
            break;
        case KW_LIGHT_FALLOFF:
            if (!ScanFloat(value)) record.Phi = value * DegreesToRadians;
            break;
        case KW_LIGHT_TDIST:
            ScanFloat(value);
            record.Range = 1.84466e19f;
            break;
        default:
            break;
        }
    }
}
