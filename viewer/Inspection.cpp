#include "viewer/Inspection.h"

#include <cstring>

#include "render/DXC_Gfx.h"
#include "render/DXC_MeshData.h"
#include "render/MeshPose.h"
#include "render/RayCast.h"
#include "viewer/Picking.h"
#include "viewer/RunViewer.h"

namespace {

// A click's coordinates are 16-bit client words, signed: left of or above the client area
// they are negative.
float ClickCoordinate(int32_t word) {
    return static_cast<float>(static_cast<int16_t>(static_cast<uint16_t>(word & 0xFFFF)));
}

D3DXVECTOR3 Unit(const D3DXVECTOR3& v) {
    const float length = D3DXVec3Length(&v);
    return length > 0.0f ? v / length : v;
}

void ReadWeights(const BYTE* vertex, const VertexFormat& format, InspectedVertex& out) {
    if (format.blend < 0) return;
    out.weightCount = format.blendWeights + 1 > 4 ? 4 : format.blendWeights + 1;
    float last = 1.0f;
    for (int32_t k = 0; k + 1 < out.weightCount; ++k) {
        std::memcpy(&out.weights[k], vertex + format.blend + 4 * k, sizeof(float));
        last -= out.weights[k];
    }
    out.weights[out.weightCount - 1] = last;
    const BYTE* indices = vertex + format.blend + 4 * format.blendWeights;
    for (int32_t k = 0; k < out.weightCount; ++k) out.bones[k] = format.indexedBlend ? indices[k] : k;
}

// The left click picks the vertex of the current mesh nearest to it on the screen.
void PickVertex(ViewerLoop& loop, DXC_Mesh& mesh) {
    MouseClick& click = loop.words.click;
    if (click.button != 0) return;
    const int32_t clicked = click.happened;
    click.button = -1;
    DXC_MeshData* data = GetMeshData(&mesh);
    if (!clicked || !data || !data->GetMesh() || data->vertexFormat.size <= 0) return;

    const MirrorBracket mirror(loop.Pass(), loop.view.viewOptions.mirror);
    const D3DXMATRIX& view = loop.gfx.GetViewMatrix();
    const D3DXMATRIX& projection = loop.gfx.GetProjectionMatrix();
    const D3DVIEWPORT8& viewport = loop.gfx.GetViewport();
    const bool wasLocked = data->IsVertexBufferLocked();
    const BYTE* vertices = data->LockVertexBuffer(D3DLOCK_READONLY);
    const int32_t count = static_cast<int32_t>(data->GetMesh()->GetNumVertices());
    const int32_t size = data->vertexFormat.size;
    const int32_t picked = NearestOnScreen(
        count,
        [&](int32_t i) {
            const BYTE* vertex = vertices + static_cast<std::size_t>(i) * static_cast<std::size_t>(size);
            return ProjectToScreen(PoseVertex(mesh, *data, vertex, loop.scene.worldTM).position, view,
                                   projection, viewport);
        },
        ClickCoordinate(click.x), ClickCoordinate(click.y));
    if (!wasLocked) data->UnlockVertexBuffer();
    if (picked >= 0) loop.view.vertexSelection = picked;
}

// The right click: a ray from the eye through the clicked pixel, into the visible meshes.
void TestRay(ViewerLoop& loop) {
    MouseClick& click = loop.words.click;
    click.button = -1;
    PickRay ray;
    {
        const MirrorBracket mirror(loop.Pass(), loop.view.viewOptions.mirror);
        ray = MakePickRay(static_cast<int32_t>(ClickCoordinate(click.x)),
                          static_cast<int32_t>(ClickCoordinate(click.y)), loop.gfx.GetViewMatrix(),
                          loop.gfx.GetProjectionMatrix(), loop.gfx.GetViewport());
    }
    const float t = RayCastScene(loop.scene, ray.origin, ray.direction);
    loop.view.intersectionState = t >= 0.0f ? 1 : 0;
    if (t >= 0.0f) loop.view.intersectionPoint = ray.origin + ray.direction * t;
}

D3DXVECTOR3 Translation(const D3DXMATRIX& m) {
    return D3DXVECTOR3(m._41, m._42, m._43);
}

// The left click selects the helper whose marker is nearest to it.
void PickHelper(ViewerLoop& loop) {
    MouseClick& click = loop.words.click;
    click.button = -1;
    const MirrorBracket mirror(loop.Pass(), loop.view.viewOptions.mirror);
    const D3DXMATRIX& view = loop.gfx.GetViewMatrix();
    const D3DXMATRIX& projection = loop.gfx.GetProjectionMatrix();
    const D3DVIEWPORT8& viewport = loop.gfx.GetViewport();
    const int32_t picked = NearestOnScreen(
        loop.scene.GetHelperCount(),
        [&](int32_t i) {
            return ProjectToScreen(Translation(loop.scene.GetHelperAt(i)->worldTM), view, projection,
                                   viewport);
        },
        ClickCoordinate(click.x), ClickCoordinate(click.y));
    if (picked < 0) return;
    loop.view.helperSelection = picked;
    loop.view.viewOptions.selectedHelper = picked;
    loop.WriteViewOptions();
}

} // namespace

InspectedVertex GatherVertex(DXC_Mesh& mesh, int32_t vertexNumber, const D3DXMATRIX& parent) {
    InspectedVertex out;
    DXC_MeshData* data = GetMeshData(&mesh);
    if (!data || !data->GetMesh() || data->vertexFormat.size <= 0 || vertexNumber < 0 ||
        static_cast<DWORD>(vertexNumber) >= data->GetMesh()->GetNumVertices())
        return out;
    const VertexFormat& format = data->vertexFormat;
    const bool wasLocked = data->IsVertexBufferLocked();
    const BYTE* vertex = data->LockVertexBuffer(D3DLOCK_READONLY) +
                         static_cast<std::size_t>(vertexNumber) * static_cast<std::size_t>(format.size);
    const VertexPose pose = PoseVertex(mesh, *data, vertex, parent);
    out.valid = 1;
    out.animated = pose.position;
    out.normal = Unit(pose.normal);
    std::memcpy(&out.stored, vertex + format.position, sizeof out.stored);
    out.meshPosition = Translation(mesh.worldTM);
    if (format.texCoordSets > 0 && format.texCoord[0] >= 0) {
        out.hasTexCoords = 1;
        std::memcpy(&out.u, vertex + format.texCoord[0], sizeof(float));
        if (format.texCoordFloats[0] > 1) std::memcpy(&out.v, vertex + format.texCoord[0] + 4, sizeof(float));
    }
    ReadWeights(vertex, format, out);
    if (!wasLocked) data->UnlockVertexBuffer();
    return out;
}

void InspectFrame(ViewerLoop& loop, InspectedVertex& vertex) {
    MouseClick& click = loop.words.click;
    vertex = InspectedVertex{};
    DXC_Mesh* mesh = loop.view.vertexSelection != -1 ? loop.scene.GetMeshAt(loop.view.currentMesh) : nullptr;
    if (mesh) {
        PickVertex(loop, *mesh);
        vertex = GatherVertex(*mesh, loop.view.vertexSelection, loop.scene.worldTM);
    }
    if (click.button == 1) TestRay(loop);
    if (loop.view.helperSelection != -2 && click.button == 0 && click.happened) PickHelper(loop);
}
