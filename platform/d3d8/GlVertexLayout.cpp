#include "platform/d3d8/GlVertexLayout.h"

#include "platform/d3d8/GlApi.h"
#include "platform/d3d8/GlShaderGen.h"

GlVertexLayout DecodeVertexFormat(DWORD fvf) {
    GlVertexLayout l;
    l.fvf = fvf;
    UINT offset = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
        offset = 12;
        break;
    case D3DFVF_XYZRHW:
        offset = 16;
        l.pretransformed = true;
        break;
    case D3DFVF_XYZB1:
    case D3DFVF_XYZB2:
    case D3DFVF_XYZB3:
    case D3DFVF_XYZB4:
    case D3DFVF_XYZB5:
        l.betas = static_cast<int>(((fvf & D3DFVF_POSITION_MASK) - D3DFVF_XYZ) / 2);
        offset = 12 + 4 * static_cast<UINT>(l.betas);
        break;
    default:
        return l; // no position
    }
    l.weights = l.betas;
    if (l.betas > 0 && (fvf & D3DFVF_LASTBETA_UBYTE4)) {
        l.indexed = true;
        l.weights = l.betas - 1;
        l.indices = static_cast<int>(12 + 4 * l.weights);
    }
    if (fvf & D3DFVF_NORMAL) {
        l.normal = static_cast<int>(offset);
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE) {
        l.pointSize = static_cast<int>(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        l.diffuse = static_cast<int>(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        l.specular = static_cast<int>(offset);
        offset += 4;
    }
    l.texSets = static_cast<int>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (l.texSets > 8) return l;
    for (int i = 0; i < l.texSets; ++i) {
        static const int kSizeOfCode[4] = {2, 3, 4, 1};
        l.texSize[i] = kSizeOfCode[(fvf >> (16 + 2 * i)) & 3];
        l.texOffset[i] = static_cast<int>(offset);
        offset += 4 * static_cast<UINT>(l.texSize[i]);
    }
    l.size = offset;
    l.valid = true;
    return l;
}

namespace {

const void* At(size_t base, int offset) {
    return reinterpret_cast<const void*>(base + static_cast<size_t>(offset));
}

void Float(GLuint location, int count, UINT stride, size_t base, int offset) {
    glEnableVertexAttribArray(location);
    glVertexAttribPointer(location, count, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(stride),
                          At(base, offset));
}

// A D3DCOLOR is B, G, R, A in memory: GL_BGRA as the size swaps it back into RGBA.
void Color(GLuint location, UINT stride, size_t base, int offset) {
    glEnableVertexAttribArray(location);
    glVertexAttribPointer(location, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, static_cast<GLsizei>(stride),
                          At(base, offset));
}

} // namespace

void ApplyVertexLayout(const GlVertexLayout& l, UINT stride, size_t base) {
    Float(kGlAttrPosition, l.pretransformed ? 4 : 3, stride, base, 0);
    if (l.weights > 0)
        Float(kGlAttrWeights, l.weights < 4 ? l.weights : 4, stride, base, 12);
    else
        glDisableVertexAttribArray(kGlAttrWeights);
    if (l.indices >= 0) {
        glEnableVertexAttribArray(kGlAttrIndices);
        glVertexAttribIPointer(kGlAttrIndices, 4, GL_UNSIGNED_BYTE, static_cast<GLsizei>(stride),
                               At(base, l.indices));
    } else {
        glDisableVertexAttribArray(kGlAttrIndices);
    }
    if (l.normal >= 0)
        Float(kGlAttrNormal, 3, stride, base, l.normal);
    else
        glDisableVertexAttribArray(kGlAttrNormal);
    if (l.pointSize >= 0)
        Float(kGlAttrPointSize, 1, stride, base, l.pointSize);
    else
        glDisableVertexAttribArray(kGlAttrPointSize);
    if (l.diffuse >= 0)
        Color(kGlAttrDiffuse, stride, base, l.diffuse);
    else
        glDisableVertexAttribArray(kGlAttrDiffuse);
    if (l.specular >= 0)
        Color(kGlAttrSpecular, stride, base, l.specular);
    else
        glDisableVertexAttribArray(kGlAttrSpecular);
    for (int i = 0; i < 8; ++i) {
        const GLuint location = static_cast<GLuint>(kGlAttrTexCoord0 + i);
        if (i < l.texSets)
            Float(location, l.texSize[i], stride, base, l.texOffset[i]);
        else
            glDisableVertexAttribArray(location);
    }
}
