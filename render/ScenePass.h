#pragma once

#include <cstdint>
#include <vector>

#include "foundation/ErrorReport.h"
#include "platform/d3d8/D3D8Types.h"
#include "platform/d3dx/D3DXMath.h"
#include "render/SceneFrustum.h"

class DXC_Gfx;
class DXC_3dScene;
class DXC_Mesh;
class DXC_Camera;
class DXC_Texture;
class DXC_MeshData;
struct MeshMaterial;

// The scene render pass: draws a loaded, updated DXC_3dScene with the graphics object's
// device. It keeps only what a frame needs between calls (the frustum and the sort scratch);
// device state, resources and the state cache stay in DXC_Gfx.
//
// The order of a frame (RenderScene, between BeginScene and EndScene):
//   1. camera: the scene's active camera sets view and projection (SetCamera); with the
//      scene's mirror word the projection is mirrored in X and the cull mode negated;
//   2. background: the environment texture stretched over the target, or a clear to the
//      background colour (only when the scene asks for a clear);
//   3. scene culling: the scene's bounds against the frustum; outside ends the frame;
//   4. environment: ambient colour, fog, and the lights that are on, by list index;
//   5. meshes (RenderMesh): the opaque part of the list in order, then the meshes from the
//      first sorted index back to front by view depth. Each mesh: frustum test of its bounds,
//      world matrix (a palette of bone matrices when skinned), cull mode by the sign of the
//      determinant, then two material passes (opaque, then transparent): material, texture
//      stages (SetTextureStages), blend (ApplyMaterialBlend), subset draw (DrawMeshSubset,
//      which computes the sphere-map coordinates of reflective materials on the processor);
//   6. markers: parent links, helper and light points, without depth testing;
//   7. restore: depth test, fog, lights, projection mirror, cull mode.
//
// Failures of the device and of hostile content (an unknown blend type with a texture, a
// second diffuse map without a first) are engine errors (DXC_Error) with their message.
class DXC_ScenePass : public DXC_Base {
public:
    explicit DXC_ScenePass(DXC_Gfx& gfx);

    // singleStage and geometryOnly restrict the pass (special passes); the viewer passes 0.
    // Returns 1; 0 with a warning for no scene.
    int32_t RenderScene(DXC_3dScene* scene, int32_t singleStage = 0, int32_t geometryOnly = 0);
    // 1 drawn or hidden, 0 culled by its bounds; 0 with a warning for no mesh.
    int32_t RenderMesh(DXC_Mesh* mesh, const D3DXMATRIX* parent, const D3DMATERIAL8* override,
                       int32_t singleStage, int32_t geometryOnly);
    // One point of the point list, lighting off and no texture.
    void DrawPoint(const D3DXVECTOR3& position, D3DCOLOR colour);
    // A line strip of 2 vertices through the lit list, lighting off and no texture.
    void DrawLine(const D3DXVECTOR3& from, const D3DXVECTOR3& to, D3DCOLOR colour);
    // View from the camera's world matrix (eye, target, up), projection from its field of
    // view with the remembered near and far planes.
    void SetCamera(DXC_Camera& camera);
    // After a load: draws the scene once into a discarded frame so every GL program and texture
    // it needs exists before playback.
    void Prepare(DXC_3dScene& scene);

    // Sets up the texture stages of a material texture (stage -1: all map slots), or clears
    // them for none. Returns 1.
    int32_t SetTextureStages(DXC_Texture* texture, int32_t stage);
    // Blend mode, blend alpha and z-write of a material; stage-0 address modes from its
    // mirror and tile flags when it has a texture.
    void ApplyMaterialBlend(const MeshMaterial& material, int32_t hasTexture, int32_t defaultMode,
                            int32_t alpha, int32_t zWrite);
    // Draws subset `subset` of the mesh. Returns 1.
    int32_t DrawMeshSubset(DXC_Mesh* mesh, int32_t subset);
    // 0 when the volume lies outside the frustum, else 1.
    int32_t IsVisible(const BoundsRecord& volume, const D3DXMATRIX& world);

    // The texture-coordinate set the processor writes for subset i of a mesh, -1 for none.
    static int32_t SphereMapChannel(const DXC_Mesh& mesh, int32_t subset);

    // Switches the X mirror of the projection: the projection's first column changes sign and
    // the cull mode with it. Called twice, it puts both back; the overlay brackets its
    // projections and markers with it while the scene is mirrored.
    void MirrorProjection();

private:
    struct DepthEntry {
        int32_t index;
        float depth;
    };

    void DrawBackground(DXC_3dScene& scene);
    int32_t SetEnvironment(DXC_3dScene& scene);
    void ReleaseEnvironment(DXC_3dScene& scene, int32_t fogOn);
    void DrawMeshes(DXC_3dScene& scene, const D3DMATERIAL8* override);
    void DrawMarkers(DXC_3dScene& scene);
    void DrawLinks(DXC_3dScene& scene);
    void SetWorldPalette(DXC_Mesh& mesh, DXC_MeshData& data, const D3DXMATRIX& world,
                         const D3DXMATRIX& parent);
    int32_t MirroredWorld(const DXC_MeshData& data, const D3DXMATRIX& world) const;
    void DrawMaterials(DXC_Mesh& mesh, DXC_MeshData& data, const D3DMATERIAL8* override, int32_t singleStage,
                       int32_t geometryOnly, int32_t cullMode);
    void DrawMaterial(DXC_Mesh& mesh, DXC_MeshData& data, int32_t index, const D3DMATERIAL8* override,
                      int32_t singleStage, int32_t geometryOnly, int32_t cullMode);
    int32_t DrawSubset(DXC_Mesh& mesh, DXC_MeshData& data, int32_t subset, int32_t channel);
    static int32_t ChannelOf(const DXC_Mesh& mesh, const DXC_MeshData& data, int32_t subset);
    void SetupSlot(DXC_Texture& texture, int32_t slot, int32_t stage, int32_t& skipNext);
    void SetupSequence(DXC_Texture& texture);
    void ClearStages(int32_t stage);
    void ComputeSphereMap(DXC_MeshData& data, int32_t channel, DWORD vertexStart, DWORD vertexCount);

    DXC_Gfx& gfx;
    SceneFrustum frustum;
    std::vector<DepthEntry> depths;  // sort scratch, kept between frames
    int32_t rememberedBlendMode = 1; // the blend state in force when a mesh began
    int32_t rememberedBlendAlpha = 255;
    int32_t rememberedZWrite = 1;
    int32_t sphereChannel = -1; // coordinate set of the material being set up, -1 none
};
