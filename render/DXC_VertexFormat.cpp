#include "render/DXC_VertexFormat.h"

#include "platform/d3d8/FvfLayout.h"

void VertexFormat::Set(DWORD formatBits) {
    *this = VertexFormat();
    fvf = formatBits;
    // The device's own decoding, so that the layout here never differs from the buffers'.
    FvfLayout layout;
    if (!DecodeFvf(formatBits, &layout) || !layout.hasPosition) return;
    position = 0;
    blendValues = static_cast<int32_t>(layout.betaCount);
    blendWeights = static_cast<int32_t>(layout.weightCount);
    indexedBlend = layout.indexedBlend;
    blend = layout.weightCount > 0 ? layout.weightsOffset : layout.indicesOffset;
    normal = layout.normalOffset;
    pointSize = layout.pointSizeOffset;
    diffuse = layout.diffuseOffset;
    specular = layout.specularOffset;
    texCoordSets = static_cast<int32_t>(layout.texCoordCount);
    for (int32_t i = 0; i < texCoordSets; ++i) {
        texCoord[i] = layout.texCoordOffset[i];
        texCoordFloats[i] = static_cast<int32_t>(layout.texCoordSize[i]);
    }
    size = static_cast<int32_t>(layout.size);
}
