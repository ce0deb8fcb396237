#pragma once

#include "platform/d3dx/D3DXMath.h"

// The static node transform of a scene object as the exporter wrote it. Stored whole
// (116 bytes) in binary scene files.
struct NodeTransform {
    D3DXMATRIX matrix;        // the node matrix as exported
    D3DXVECTOR3 mirror;       // -1 on an axis where the exported matrix is mirrored, else 1
    D3DXVECTOR3 position;     // used when there are no position keys
    D3DXVECTOR3 scale;        // used when there are no scale keys
    D3DXVECTOR3 rotationAxis; // with rotationAngle, used when there are no rotation keys
    float rotationAngle;      // radians

    NodeTransform() { Reset(); }

    void Reset() {
        D3DXMatrixIdentity(&matrix);
        mirror = D3DXVECTOR3(1.0f, 1.0f, 1.0f);
        position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        scale = D3DXVECTOR3(1.0f, 1.0f, 1.0f);
        rotationAxis = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        rotationAngle = 0.0f;
    }
};

static_assert(sizeof(NodeTransform) == 116, "NodeTransform is stored as 116 raw bytes");
