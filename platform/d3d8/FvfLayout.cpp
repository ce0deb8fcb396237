#include "platform/d3d8/FvfLayout.h"

namespace {

UINT TexCoordFloats(DWORD fvf, UINT set) {
    switch ((fvf >> (16 + 2 * set)) & 3) {
    case D3DFVF_TEXTUREFORMAT1:
        return 1;
    case D3DFVF_TEXTUREFORMAT3:
        return 3;
    case D3DFVF_TEXTUREFORMAT4:
        return 4;
    default:
        return 2;
    }
}

} // namespace

bool DecodeFvf(DWORD fvf, FvfLayout* layout) {
    *layout = FvfLayout{};
    if (fvf & (D3DFVF_RESERVED0 | D3DFVF_RESERVED2)) return false;
    const UINT texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (texCount > 8) return false;
    // Size bits of sets beyond the count must stay clear.
    if (texCount < 8 && (fvf >> (16 + 2 * texCount)) != 0) return false;

    FvfLayout l;
    l.fvf = fvf;
    UINT offset = 0;
    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    if (position != 0) {
        l.hasPosition = true;
        if (position == D3DFVF_XYZRHW) {
            l.pretransformed = true;
            offset = 16;
        } else {
            l.betaCount = position == D3DFVF_XYZ ? 0 : (position - D3DFVF_XYZB1) / 2 + 1;
            offset = 12;
        }
    }
    l.indexedBlend = (fvf & D3DFVF_LASTBETA_UBYTE4) != 0;
    if (l.indexedBlend && l.betaCount == 0) return false;
    if (l.betaCount > 0) {
        l.weightCount = l.indexedBlend ? l.betaCount - 1 : l.betaCount;
        if (l.weightCount > 0) l.weightsOffset = static_cast<int>(offset);
        if (l.indexedBlend) l.indicesOffset = static_cast<int>(offset + 4 * l.weightCount);
        offset += 4 * l.betaCount;
    }
    if (fvf & D3DFVF_NORMAL) {
        l.normalOffset = static_cast<int>(offset);
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE) {
        l.pointSizeOffset = static_cast<int>(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        l.diffuseOffset = static_cast<int>(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        l.specularOffset = static_cast<int>(offset);
        offset += 4;
    }
    l.texCoordCount = texCount;
    for (UINT i = 0; i < texCount; ++i) {
        l.texCoordOffset[i] = static_cast<int>(offset);
        l.texCoordSize[i] = TexCoordFloats(fvf, i);
        offset += 4 * l.texCoordSize[i];
    }
    if (!l.hasPosition && offset != 0) return false;
    l.size = offset;
    *layout = l;
    return true;
}

UINT FvfVertexSize(DWORD fvf) {
    FvfLayout layout;
    return DecodeFvf(fvf, &layout) ? layout.size : 0;
}
