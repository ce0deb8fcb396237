#include "platform/d3d8/GlVertexLayout.h"

#include "platform/d3d8/GlApi.h"
#include "platform/d3d8/GlShaderGen.h"

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

void ApplyVertexLayout(const FvfLayout& l, UINT stride, size_t base) {
    Float(kGlAttrPosition, l.pretransformed ? 4 : 3, stride, base, 0);
    const int weights = static_cast<int>(l.weightCount);
    if (weights > 0)
        Float(kGlAttrWeights, weights < 4 ? weights : 4, stride, base, l.weightsOffset);
    else
        glDisableVertexAttribArray(kGlAttrWeights);
    if (l.indicesOffset >= 0) {
        glEnableVertexAttribArray(kGlAttrIndices);
        glVertexAttribIPointer(kGlAttrIndices, 4, GL_UNSIGNED_BYTE, static_cast<GLsizei>(stride),
                               At(base, l.indicesOffset));
    } else {
        glDisableVertexAttribArray(kGlAttrIndices);
    }
    if (l.normalOffset >= 0)
        Float(kGlAttrNormal, 3, stride, base, l.normalOffset);
    else
        glDisableVertexAttribArray(kGlAttrNormal);
    if (l.pointSizeOffset >= 0)
        Float(kGlAttrPointSize, 1, stride, base, l.pointSizeOffset);
    else
        glDisableVertexAttribArray(kGlAttrPointSize);
    if (l.diffuseOffset >= 0)
        Color(kGlAttrDiffuse, stride, base, l.diffuseOffset);
    else
        glDisableVertexAttribArray(kGlAttrDiffuse);
    if (l.specularOffset >= 0)
        Color(kGlAttrSpecular, stride, base, l.specularOffset);
    else
        glDisableVertexAttribArray(kGlAttrSpecular);
    for (int i = 0; i < 8; ++i) {
        const GLuint location = static_cast<GLuint>(kGlAttrTexCoord0 + i);
        if (i < static_cast<int>(l.texCoordCount))
            Float(location, static_cast<int>(l.texCoordSize[i]), stride, base, l.texCoordOffset[i]);
        else
            glDisableVertexAttribArray(location);
    }
}
