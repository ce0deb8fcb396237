#pragma once
// Attribute pointers of a decoded flexible vertex format for the fixed-function programs
// (GlAttribute locations).

#include "platform/d3d8/D3D8Types.h"
#include "platform/d3d8/FvfLayout.h"

#include <cstddef>

// Points the attributes at the vertex buffer bound to GL_ARRAY_BUFFER, starting at byte
// `base`, with `stride` bytes per vertex. Attributes the format lacks are disabled.
void ApplyVertexLayout(const FvfLayout& layout, UINT stride, size_t base);
