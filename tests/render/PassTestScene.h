#pragma once

#include <cstdint>

#include "platform/d3dx/D3DXMath.h"
#include "render/DXC_Gfx.h"
#include "scene/Scene3d.h"

// Scenes built by hand for the render pass: square quads (two triangles facing -Z, the
// direction a camera at the origin looks from) with position, normal and one uv set, so that
// a test knows every vertex it draws.
struct QuadSpec {
    D3DXVECTOR3 position{0.0f, 0.0f, 0.0f}; // node position (the quad's centre)
    float size = 1.0f;
    int32_t materials = 1;
    D3DCOLORVALUE emissive{0.0f, 0.0f, 0.0f, 1.0f};
    int32_t twoSided = 1;
};

// Adds a quad mesh to the scene, its D3DX mesh made on gfx, bounds set, evaluated once.
DXC_Mesh* AddQuad(DXC_Gfx& gfx, DXC_3dScene& scene, const char* name, const QuadSpec& spec);

// The scene's view looking along +Z from the origin with +Y up, no mirror, no clearing of
// view options that matter here; sorting on from the first mesh.
void PlainView(DXC_3dScene& scene);
