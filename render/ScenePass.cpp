// The frame of the scene pass: camera, background, environment, mesh order, markers, restore.
#include "render/ScenePass.h"

#include <algorithm>
#include <cmath>

#include "render/DXC_Gfx.h"
#include "render/DXC_Texture.h"
#include "scene/Scene3d.h"

namespace {

constexpr D3DCOLOR LinkColour = 0xFFFF0A96;
constexpr D3DCOLOR HelperColour = 0xFF01FF9B;
constexpr D3DCOLOR SelectedHelperColour = 0xFFFF3737;
constexpr D3DCOLOR LightOnColour = 0xFFE6E61E;
constexpr D3DCOLOR LightOffColour = 0xFF82821E;

float Length(const D3DXVECTOR3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

D3DXVECTOR3 WorldPosition(const DXC_3dObject& object) {
    return D3DXVECTOR3(object.worldTM._41, object.worldTM._42, object.worldTM._43);
}

// The lighting flag and unlit colour in force, put back when the scope ends.
class LightingOff {
public:
    explicit LightingOff(DXC_Gfx& g) : gfx(g), lighting(g.GetLighting()), unlit(g.GetUnlitColor()) {
        gfx.SetLighting(0, &unlit);
    }
    ~LightingOff() { gfx.SetLighting(lighting, lighting ? nullptr : &unlit); }
    LightingOff(const LightingOff&) = delete;
    LightingOff& operator=(const LightingOff&) = delete;

private:
    DXC_Gfx& gfx;
    int32_t lighting;
    D3DCOLOR unlit;
};

} // namespace

DXC_ScenePass::DXC_ScenePass(DXC_Gfx& graphics) : gfx(graphics) {
    SetObjectName("DXC_ScenePass");
    depths.reserve(DXC_3dScene::MeshCapacity);
}

void DXC_ScenePass::MirrorProjection() {
    // Projection x diag(-1, 1, 1, 1): the first column changes sign, so x on screen flips and
    // the winding of every triangle with it.
    D3DXMATRIX m = gfx.GetProjectionMatrix();
    m._11 = -m._11;
    m._21 = -m._21;
    m._31 = -m._31;
    m._41 = -m._41;
    gfx.SetProjectionMatrix(m);
    gfx.SetCullMode(-gfx.GetCullMode());
}

void DXC_ScenePass::SetCamera(DXC_Camera& camera) {
    // Eye, a point ahead (the target when there is one) and up, from the camera's world matrix:
    // a camera without target looks along its local -Z with local +Y up.
    const D3DXMATRIX& w = camera.worldTM;
    const D3DXVECTOR3 eye = WorldPosition(camera);
    const D3DXVECTOR3 ahead(eye.x - w._31, eye.y - w._32, eye.z - w._33);
    D3DXVECTOR3 at = ahead;
    if (const DXC_3dObject* target = camera.GetTarget()) at = WorldPosition(*target);
    // A target on the eye, or an up along the line of sight, would give no view at all (NaNs):
    // the camera's own axis and stored up vector stand in.
    if (Length(at - eye) < 1e-6f) at = ahead;
    D3DXVECTOR3 up(w._21, w._22, w._23);
    const D3DXVECTOR3 sight = at - eye;
    D3DXVECTOR3 side;
    D3DXVec3Cross(&side, &up, &sight);
    if (Length(side) <= 1e-4f * Length(up) * Length(sight)) up = camera.up;
    D3DXVec3Cross(&side, &up, &sight);
    if (Length(side) <= 1e-4f * Length(up) * Length(sight))
        up = std::fabs(sight.z) < std::fabs(sight.y) ? D3DXVECTOR3(0, 0, 1) : D3DXVECTOR3(0, 1, 0);
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    gfx.SetViewMatrix(view);
    gfx.SetProjection(gfx.GetNearPlane(), gfx.GetFarPlane(), camera.fov, -1.0f);
}

void DXC_ScenePass::DrawBackground(DXC_3dScene& scene) {
    auto* texture = dynamic_cast<DXC_Texture*>(scene.GetEnvironmentTexture());
    if (!texture || !texture->GetCurrentTexture()) {
        gfx.Clear(scene.backgroundColour, 1.0f);
        return;
    }
    SetTextureStages(texture, -1);
    gfx.SetLastTexture(texture);
    const D3DVIEWPORT8& vp = gfx.GetViewport();
    const RECT all{static_cast<LONG>(vp.X), static_cast<LONG>(vp.Y), static_cast<LONG>(vp.X + vp.Width),
                   static_cast<LONG>(vp.Y + vp.Height)};
    // The depth of the last frame is still in the z-buffer: the background is drawn without the
    // depth test, else it would show holes where the last frame had geometry.
    gfx.SuspendZBuffer();
    gfx.DrawTextureRect(all, 0xFFFFFFFF, 1.0f, 1.0f, 1.0f, 1.0f);
    gfx.ResumeZBuffer();
    gfx.ClearZBuffer(1.0f);
}

// Ambient, fog and lights of the scene; returns 1 when fog was switched on.
int32_t DXC_ScenePass::SetEnvironment(DXC_3dScene& scene) {
    const SceneViewOptions& o = scene.viewOptions;
    if (o.ambient) gfx.SetAmbient(scene.ambientColour);
    int32_t fogOn = 0;
    if (o.fog) {
        FogParameters fog;
        fog.color = o.fogColour;
        fog.mode = o.fogMode;
        fog.vertexFog = o.vertexFog;
        fog.start = o.fogStart;
        fog.end = o.fogEnd;
        fog.density = o.fogDensity;
        gfx.SetFog(fog);
        gfx.SetFogEnable(1);
        fogOn = 1;
    }
    if (o.lights)
        for (int32_t i = 0; i < scene.GetLightCount(); ++i) {
            DXC_Light* light = scene.GetLightAt(i);
            if (!light->enabled) continue;
            if (gfx.SetLight(i, light)) gfx.EnableLight(i, 1);
        }
    return fogOn;
}

void DXC_ScenePass::ReleaseEnvironment(DXC_3dScene& scene, int32_t fogOn) {
    if (fogOn) gfx.SetFogEnable(0);
    if (scene.viewOptions.lights)
        for (int32_t i = 0; i < scene.GetLightCount() && i < DXC_Gfx::LightSlots; ++i)
            if (scene.GetLightAt(i)->enabled && !scene.GetLightAt(i)->unset) gfx.EnableLight(i, 0);
}

void DXC_ScenePass::DrawMeshes(DXC_3dScene& scene, const D3DMATERIAL8* override) {
    const D3DXMATRIX& sceneMatrix = scene.worldTM;
    const int32_t count = scene.GetMeshCount();
    if (!scene.viewOptions.sort) {
        for (int32_t i = 0; i < count; ++i) RenderMesh(scene.GetMeshAt(i), &sceneMatrix, override, 0, 0);
        return;
    }
    const int32_t first = std::clamp(scene.GetOpaqueCount(), 0, count);
    for (int32_t i = 0; i < first; ++i) RenderMesh(scene.GetMeshAt(i), &sceneMatrix, override, 0, 0);
    D3DXMATRIX toView;
    D3DXMatrixMultiply(&toView, &sceneMatrix, &gfx.GetViewMatrix());
    depths.clear();
    for (int32_t i = first; i < count; ++i) {
        const DXC_Mesh& mesh = *scene.GetMeshAt(i);
        D3DXMATRIX m, full;
        D3DXMatrixMultiply(&m, &mesh.pivotTM, &mesh.worldTM);
        D3DXMatrixMultiply(&full, &m, &toView);
        depths.push_back(DepthEntry{i, full._43});
    }
    std::sort(depths.begin(), depths.end(), [](const DepthEntry& a, const DepthEntry& b) {
        return a.depth < b.depth || (a.depth == b.depth && a.index < b.index);
    });
    for (auto it = depths.rbegin(); it != depths.rend(); ++it)
        RenderMesh(scene.GetMeshAt(it->index), &sceneMatrix, override, 0, 0);
}

int32_t DXC_ScenePass::RenderScene(DXC_3dScene* scene, int32_t singleStage, int32_t geometryOnly) {
    if (!scene) {
        Warning("Pointer to 3dScene is zero");
        return 0;
    }
    const int32_t special = singleStage || geometryOnly;
    if (DXC_Camera* camera = scene->GetActiveCamera()) SetCamera(*camera);
    const int32_t mirrored = scene->viewOptions.mirror != 0;
    if (mirrored) MirrorProjection();
    if (!special && scene->viewOptions.clear) DrawBackground(*scene);

    frustum.Update(gfx.GetViewMatrix(), gfx.GetProjectionMatrix(), gfx.GetViewport().MinZ,
                   gfx.GetViewport().MaxZ);
    gfx.SetFrustumDirty(0);
    if (!frustum.IsVisible(scene->bounds, scene->worldTM)) {
        if (mirrored) MirrorProjection();
        return 1;
    }
    const int32_t fogOn = special ? 0 : SetEnvironment(*scene);
    if (gfx.GetFillMode() == D3DFILL_POINT) {
        gfx.SetRenderStateCached(D3DRS_POINTSCALEENABLE, 0);
        gfx.SetRenderStateCached(D3DRS_POINTSIZE, FloatToDWORD(2.0f));
        gfx.ApplyPointParameters(gfx.GetPointParameters(), 0);
    }
    if (special) {
        const D3DXMATRIX& sceneMatrix = scene->worldTM;
        for (int32_t i = 0; i < scene->GetMeshCount(); ++i)
            RenderMesh(scene->GetMeshAt(i), &sceneMatrix, nullptr, singleStage, geometryOnly);
    } else {
        DrawMeshes(*scene, nullptr);
        DrawMarkers(*scene);
    }
    ReleaseEnvironment(*scene, fogOn);
    if (mirrored) MirrorProjection();
    return 1;
}

void DXC_ScenePass::DrawLinks(DXC_3dScene& scene) {
    auto link = [this](DXC_3dObject& object) {
        if (const DXC_3dObject* parent = object.GetParent())
            DrawLine(WorldPosition(object), WorldPosition(*parent), LinkColour);
    };
    for (int32_t i = 0; i < scene.GetMeshCount(); ++i) link(*scene.GetMeshAt(i));
    for (int32_t i = 0; i < scene.GetHelperCount(); ++i) link(*scene.GetHelperAt(i));
    for (int32_t i = 0; i < scene.GetLightCount(); ++i) link(*scene.GetLightAt(i));
}

void DXC_ScenePass::DrawMarkers(DXC_3dScene& scene) {
    const SceneViewOptions& o = scene.viewOptions;
    const int32_t suspend = o.showLinks || o.selectedHelper >= -1 || o.selectedLight >= -1;
    if (!suspend) return;
    gfx.SuspendZBuffer();
    if (o.showLinks) DrawLinks(scene);
    if (o.selectedHelper == -1)
        for (int32_t i = 0; i < scene.GetHelperCount(); ++i)
            DrawPoint(WorldPosition(*scene.GetHelperAt(i)), HelperColour);
    else if (o.selectedHelper >= 0 && o.selectedHelper < scene.GetHelperCount())
        DrawPoint(WorldPosition(*scene.GetHelperAt(o.selectedHelper)), SelectedHelperColour);
    for (int32_t i = 0; i < scene.GetLightCount(); ++i) {
        if (o.selectedLight != -1 && o.selectedLight != i) continue;
        const DXC_Light& light = *scene.GetLightAt(i);
        DrawPoint(WorldPosition(light), light.enabled ? LightOnColour : LightOffColour);
    }
    gfx.ResumeZBuffer();
}

void DXC_ScenePass::DrawPoint(const D3DXVECTOR3& position, D3DCOLOR colour) {
    DXC_VertexListTemp<DXC_PointVertex>* list = gfx.GetPointList();
    if (!list) return;
    LightingOff off(gfx);
    SetTextureStages(nullptr, -1);
    list->Lock();
    *list->At(0) = DXC_PointVertex{position.x, position.y, position.z, colour};
    list->Unlock();
    gfx.DrawVertexList(list, 0, 1);
}

void DXC_ScenePass::DrawLine(const D3DXVECTOR3& from, const D3DXVECTOR3& to, D3DCOLOR colour) {
    DXC_VertexListTemp<DXC_LVertex>* list = gfx.GetLList();
    if (!list) return;
    LightingOff off(gfx);
    SetTextureStages(nullptr, -1);
    list->Lock();
    *list->At(0) = DXC_LVertex{from.x, from.y, from.z, colour, 0xFF000000u, 0.0f, 0.0f};
    *list->At(1) = DXC_LVertex{to.x, to.y, to.z, colour, 0xFF000000u, 0.0f, 0.0f};
    list->Unlock();
    const int32_t type = list->GetPrimitiveType();
    list->SetPrimitiveType(D3DPT_LINESTRIP);
    gfx.DrawVertexList(list, 0, 1);
    list->SetPrimitiveType(type);
}

void DXC_ScenePass::Prepare(DXC_3dScene& scene) {
    // A frame that is drawn and never presented: every program and texture upload the scene
    // needs happens here, not in the middle of playback. The next frame clears it.
    const int32_t began = gfx.GetInScene() != 1;
    if (began) gfx.BeginScene();
    RenderScene(&scene, 0, 0);
    if (began) gfx.EndScene();
    gfx.Clear(scene.backgroundColour, 1.0f);
}
