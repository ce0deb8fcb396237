#include "render/DXC_VertexFormat.h"

namespace {

// Floats of texture coordinate set i from its two size bits.
int32_t TexCoordFloats(DWORD fvf, int32_t set) {
    switch ((fvf >> (16 + 2 * set)) & 3u) {
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

void VertexFormat::Set(DWORD formatBits) {
    *this = VertexFormat();
    fvf = formatBits;
    int32_t offset = 0;
    const DWORD kind = formatBits & D3DFVF_POSITION_MASK;
    if (kind == D3DFVF_XYZ) {
        position = 0;
        offset = 12;
    } else if (kind == D3DFVF_XYZRHW) {
        position = 0;
        offset = 16;
    } else if (kind >= D3DFVF_XYZB1 && kind <= D3DFVF_XYZB5) {
        position = 0;
        offset = 12;
        blendValues = static_cast<int32_t>((kind - D3DFVF_XYZB1) / 2 + 1);
        indexedBlend = (formatBits & D3DFVF_LASTBETA_UBYTE4) != 0;
        blendWeights = blendValues - (indexedBlend ? 1 : 0);
        blend = offset;
        offset += 4 * blendValues;
    }
    if (formatBits & D3DFVF_NORMAL) {
        normal = offset;
        offset += 12;
    }
    if (formatBits & D3DFVF_PSIZE) {
        pointSize = offset;
        offset += 4;
    }
    if (formatBits & D3DFVF_DIFFUSE) {
        diffuse = offset;
        offset += 4;
    }
    if (formatBits & D3DFVF_SPECULAR) {
        specular = offset;
        offset += 4;
    }
    const DWORD sets = (formatBits & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    texCoordSets = sets > MaxTexCoordSets ? MaxTexCoordSets : static_cast<int32_t>(sets);
    for (int32_t i = 0; i < texCoordSets; ++i) {
        texCoord[i] = offset;
        texCoordFloats[i] = TexCoordFloats(formatBits, i);
        offset += 4 * texCoordFloats[i];
    }
    size = position < 0 ? 0 : offset;
}
