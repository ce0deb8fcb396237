#pragma once

#include "platform/d3dx/D3DXMath.h"

class DXC_Camera;

// Steering of the free camera: turning about its up vector, rotating its whole frame about an
// axis, and orbiting its position about a centre. Angles in radians.

// Rotates the viewing direction by angle about the camera's up vector.
void Turn(DXC_Camera& camera, float angle);
// Rotates direction and up by angle about axis.
void RotateAbout(DXC_Camera& camera, const D3DXVECTOR3& axis, float angle);
// The camera's right vector: direction x up, normalised.
D3DXVECTOR3 RightOf(const DXC_Camera& camera);
// v rotated by angle about axis (the rotation the camera turns use).
D3DXVECTOR3 Rotated(const D3DXVECTOR3& v, const D3DXVECTOR3& axis, float angle);
// Moves the camera's position by offset.
void MoveBy(DXC_Camera& camera, const D3DXVECTOR3& offset);
