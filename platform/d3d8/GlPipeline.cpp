#include "platform/d3d8/GlPipeline.h"

#include <cmath>
#include <cstring>

namespace {

// Row-vector product: a then b.
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] =
                a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    return r;
}

// Inverse transpose of the upper 3 x 3, row by row, for normals; identity when singular.
void NormalMatrix(const D3DMATRIX& m, float out[9]) {
    const float a = m._11, b = m._12, c = m._13, d = m._21, e = m._22, f = m._23, g = m._31, h = m._32,
                i = m._33;
    const float c00 = e * i - f * h, c01 = f * g - d * i, c02 = d * h - e * g;
    const float det = a * c00 + b * c01 + c * c02;
    if (std::fabs(det) < 1e-30f) {
        const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        std::memcpy(out, identity, sizeof identity);
        return;
    }
    const float inv = 1.0f / det;
    // The cofactor matrix divided by the determinant is the inverse transposed.
    out[0] = c00 * inv;
    out[1] = c01 * inv;
    out[2] = c02 * inv;
    out[3] = (c * h - b * i) * inv;
    out[4] = (a * i - c * g) * inv;
    out[5] = (b * g - a * h) * inv;
    out[6] = (b * f - c * e) * inv;
    out[7] = (c * d - a * f) * inv;
    out[8] = (a * e - b * d) * inv;
}

void ColorToVec4(D3DCOLOR c, float out[4]) {
    out[0] = ((c >> 16) & 0xFF) / 255.0f;
    out[1] = ((c >> 8) & 0xFF) / 255.0f;
    out[2] = (c & 0xFF) / 255.0f;
    out[3] = ((c >> 24) & 0xFF) / 255.0f;
}

GlColorSource MaterialSource(DWORD source, const FvfLayout& layout) {
    if (source == D3DMCS_COLOR1 && layout.diffuseOffset >= 0) return GlColorSource::VertexDiffuse;
    if (source == D3DMCS_COLOR2 && layout.specularOffset >= 0) return GlColorSource::VertexSpecular;
    return GlColorSource::Material;
}

// Matrices that blend for a vertex-blend state and a vertex with `weights` weights.
uint8_t BlendMatrices(DWORD vertexBlend, UINT weights) {
    if (vertexBlend < D3DVBF_1WEIGHTS || vertexBlend > D3DVBF_3WEIGHTS) return 1; // off, tweening, 0 weights
    const UINT n = vertexBlend < weights ? vertexBlend : weights;
    return static_cast<uint8_t>(n + 1);
}

bool UsesArg0(uint8_t op) {
    return op == D3DTOP_MULTIPLYADD || op == D3DTOP_LERP;
}

// Arguments an operation does not read are cleared, so that states differing only in them share
// one program: fewer programs to build, each no larger.
void NormalizeStageArguments(GlStageKey& st) {
    auto clear = [](uint8_t op, uint8_t& arg0, uint8_t& arg1, uint8_t& arg2) {
        if (!UsesArg0(op)) arg0 = 0;
        if (op == D3DTOP_SELECTARG1) arg2 = 0;
        if (op == D3DTOP_SELECTARG2) arg1 = 0;
    };
    clear(st.colorOp, st.colorArg0, st.colorArg1, st.colorArg2);
    // The dot product goes to alpha too; a disabled alpha operation keeps the current alpha.
    if (st.colorOp == D3DTOP_DOTPRODUCT3 || st.alphaOp == D3DTOP_DISABLE) {
        st.alphaOp = st.colorOp == D3DTOP_DOTPRODUCT3 ? 0 : D3DTOP_DISABLE;
        st.alphaArg0 = st.alphaArg1 = st.alphaArg2 = 0;
    }
    clear(st.alphaOp, st.alphaArg0, st.alphaArg1, st.alphaArg2);
}

// A stage samples its texture only when an argument or its operation reads it.
bool StageReadsTexture(const GlStageKey& st) {
    auto reads = [](uint8_t arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE; };
    for (const uint8_t op : {st.colorOp, st.alphaOp})
        if (op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM) return true;
    return reads(st.colorArg0) || reads(st.colorArg1) || reads(st.colorArg2) || reads(st.alphaArg0) ||
           reads(st.alphaArg1) || reads(st.alphaArg2);
}

constexpr float kPixelCentre = 63.0f / 128.0f; // just under half a pixel, so edges never tie

} // namespace

GlPipeline::GlPipeline() = default;
GlPipeline::~GlPipeline() = default;

void GlPipeline::Create() {
    if (paletteBuffer_) return;
    glGenBuffers(1, &paletteBuffer_);
    glBindBuffer(GL_UNIFORM_BUFFER, paletteBuffer_);
    glBufferData(GL_UNIFORM_BUFFER, sizeof palette_, nullptr, GL_DYNAMIC_DRAW);
    glBindBufferBase(GL_UNIFORM_BUFFER, 0, paletteBuffer_);
    Invalidate();
}

void GlPipeline::Destroy() {
    cache_.Clear();
    if (paletteBuffer_) glDeleteBuffers(1, &paletteBuffer_);
    paletteBuffer_ = 0;
    current_ = nullptr;
}

void GlPipeline::Invalidate() {
    cache_.ResetUploads();
    current_ = nullptr;
}

void GlPipeline::BuildKey(const GlPipelineInputs& in, GlShaderKey* keyOut) {
    GlShaderKey& k = *keyOut;
    std::memset(&k, 0, sizeof k);
    const DWORD* rs = in.renderStates;
    const FvfLayout& l = *in.layout;
    k.pretransformed = l.pretransformed;
    k.hasNormal = l.normalOffset >= 0;
    k.hasDiffuse = l.diffuseOffset >= 0;
    k.hasSpecular = l.specularOffset >= 0;
    k.points = in.points;
    k.hasPointSize = in.points && l.pointSizeOffset >= 0;
    k.texCoordSets = static_cast<uint8_t>(l.texCoordCount);
    for (UINT i = 0; i < l.texCoordCount && i < 8; ++i)
        k.texCoordSize[i] = static_cast<uint8_t>(l.texCoordSize[i]);

    k.blendMatrices = 1;
    if (!l.pretransformed) {
        const DWORD blend = rs[D3DRS_VERTEXBLEND];
        k.blendMatrices = BlendMatrices(blend, l.weightCount);
        const bool blending = k.blendMatrices > 1 || blend == D3DVBF_0WEIGHTS;
        k.indexedBlend = blending && rs[D3DRS_INDEXEDVERTEXBLENDENABLE] && l.indexedBlend;
    }

    k.lighting = rs[D3DRS_LIGHTING] && !l.pretransformed;
    if (k.lighting) {
        k.specularLight = rs[D3DRS_SPECULARENABLE] != 0;
        k.localViewer = rs[D3DRS_LOCALVIEWER] != 0;
        k.normalizeNormals = rs[D3DRS_NORMALIZENORMALS] != 0;
        const bool vertexColors = rs[D3DRS_COLORVERTEX] != 0;
        auto source = [&](DWORD state) {
            return static_cast<uint8_t>(vertexColors ? MaterialSource(rs[state], l)
                                                     : GlColorSource::Material);
        };
        k.diffuseSource = source(D3DRS_DIFFUSEMATERIALSOURCE);
        k.ambientSource = source(D3DRS_AMBIENTMATERIALSOURCE);
        k.specularSource = source(D3DRS_SPECULARMATERIALSOURCE);
        k.emissiveSource = source(D3DRS_EMISSIVEMATERIALSOURCE);
        for (int i = 0; i < in.activeLightCount && i < kGlMaxActiveLights; ++i) {
            const DWORD type = in.activeLights[i]->Type;
            k.lightType[i] =
                static_cast<uint8_t>(type >= D3DLIGHT_POINT && type <= D3DLIGHT_DIRECTIONAL ? type : 0);
        }
    }

    if (rs[D3DRS_FOGENABLE]) {
        const DWORD table = rs[D3DRS_FOGTABLEMODE], vertex = rs[D3DRS_FOGVERTEXMODE];
        if (table >= D3DFOG_EXP && table <= D3DFOG_LINEAR) {
            k.fogMode = static_cast<uint8_t>(table);
            k.fogPerPixel = 1;
        } else if (l.pretransformed) {
            // Pre-transformed vertices carry their own fog factor in the specular alpha.
            k.fogMode = D3DFOG_LINEAR;
            k.fogFromSpecular = 1;
        } else if (vertex >= D3DFOG_EXP && vertex <= D3DFOG_LINEAR) {
            k.fogMode = static_cast<uint8_t>(vertex);
            k.fogRange = rs[D3DRS_RANGEFOGENABLE] != 0;
        }
    }
    k.pointScale = in.points && rs[D3DRS_POINTSCALEENABLE] != 0 && !l.pretransformed;
    k.flatShade = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    if (rs[D3DRS_ALPHATESTENABLE] && rs[D3DRS_ALPHAFUNC] >= D3DCMP_NEVER &&
        rs[D3DRS_ALPHAFUNC] < D3DCMP_ALWAYS)
        k.alphaFunc = static_cast<uint8_t>(rs[D3DRS_ALPHAFUNC]);
    k.specularAdd = rs[D3DRS_SPECULARENABLE] != 0;

    for (int s = 0; s < kGlMaxStages; ++s) {
        const DWORD* t = in.stageStates[s];
        GlStageKey& st = k.stages[s];
        st.colorOp =
            static_cast<uint8_t>(t[D3DTSS_COLOROP] <= D3DTOP_LERP ? t[D3DTSS_COLOROP] : D3DTOP_DISABLE);
        if (st.colorOp == D3DTOP_DISABLE || st.colorOp == 0) {
            st.colorOp = D3DTOP_DISABLE;
            break; // later stages stay zero: they never run
        }
        st.colorArg0 = static_cast<uint8_t>(t[D3DTSS_COLORARG0]);
        st.colorArg1 = static_cast<uint8_t>(t[D3DTSS_COLORARG1]);
        st.colorArg2 = static_cast<uint8_t>(t[D3DTSS_COLORARG2]);
        st.alphaOp =
            static_cast<uint8_t>(t[D3DTSS_ALPHAOP] <= D3DTOP_LERP ? t[D3DTSS_ALPHAOP] : D3DTOP_DISABLE);
        st.alphaArg0 = static_cast<uint8_t>(t[D3DTSS_ALPHAARG0]);
        st.alphaArg1 = static_cast<uint8_t>(t[D3DTSS_ALPHAARG1]);
        st.alphaArg2 = static_cast<uint8_t>(t[D3DTSS_ALPHAARG2]);
        st.resultToTemp = t[D3DTSS_RESULTARG] == D3DTA_TEMP;
        NormalizeStageArguments(st);
        st.hasTexture = in.textureBound[s] && StageReadsTexture(st);
        if (st.hasTexture) {
            const DWORD index = t[D3DTSS_TEXCOORDINDEX];
            st.coordSet = static_cast<uint8_t>(index & 7);
            st.coordGen = static_cast<uint8_t>((index >> 16) & 3);
            // Pre-transformed vertices take their coordinates as they are.
            const DWORD flags = l.pretransformed ? 0 : t[D3DTSS_TEXTURETRANSFORMFLAGS];
            const DWORD count = flags & 0xFF;
            st.transformCount = static_cast<uint8_t>(count <= 4 ? count : 4);
            st.projected = (flags & D3DTTFF_PROJECTED) != 0;
        }
    }
}

bool GlPipeline::Prepare(const GlPipelineInputs& in) {
    GlShaderKey key;
    BuildKey(in, &key);
    // Most draws keep the shape of the one before: then the program is the same, unlooked-up.
    GlProgram* program = current_;
    if (!program || !(key == key_)) {
        key_ = key;
        program = cache_.Get(key_);
    }
    if (!program) {
        current_ = nullptr; // the next draw looks up again
        return false;
    }
    if (program != current_) {
        glUseProgram(program->id);
        current_ = program;
    }
    GlProgram& p = *program;
    if (p.uploaded[kGlGroupTransform] != in.serial[kGlGroupTransform]) UploadTransform(in, p);
    if (key_.blendMatrices > 1 || key_.indexedBlend) UploadPalette(in);
    if (key_.lighting) {
        if (p.uploaded[kGlGroupLights] != in.serial[kGlGroupLights]) UploadLights(in, p);
        if (p.uploaded[kGlGroupMaterial] != in.serial[kGlGroupMaterial]) UploadMaterial(in, p);
    }
    if (p.uploaded[kGlGroupFog] != in.serial[kGlGroupFog]) UploadFog(in, p);
    if (p.uploaded[kGlGroupPoint] != in.serial[kGlGroupPoint]) UploadPoint(in, p);
    if (p.uploaded[kGlGroupTexMatrix] != in.serial[kGlGroupTexMatrix]) UploadTexMatrices(in, p);
    if (p.uploaded[kGlGroupPixel] != in.serial[kGlGroupPixel]) UploadPixel(in, p);
    return true;
}

void GlPipeline::UploadTransform(const GlPipelineInputs& in, GlProgram& p) {
    const D3DMATRIX worldView = Multiply(in.worldMatrices[0], *in.view);
    // Row-major floats read as a column-major mat4 are the transpose, so M * v in GLSL is
    // Direct3D's v * M: the matrices go up unchanged.
    if (p.worldView >= 0) glUniformMatrix4fv(p.worldView, 1, GL_FALSE, &worldView.m[0][0]);
    if (p.normalMatrix >= 0) {
        float normal[9];
        NormalMatrix(worldView, normal);
        glUniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, normal);
    }
    if (p.projection >= 0) glUniformMatrix4fv(p.projection, 1, GL_FALSE, &in.projection->m[0][0]);
    const D3DVIEWPORT8& v = in.viewport;
    const float w = v.Width ? static_cast<float>(v.Width) : 1.0f,
                h = v.Height ? static_cast<float>(v.Height) : 1.0f;
    if (p.pixelOffset >= 0) glUniform2f(p.pixelOffset, 2.0f * kPixelCentre / w, 2.0f * kPixelCentre / h);
    if (p.screenToNdc >= 0)
        glUniform4f(p.screenToNdc, 2.0f / w, 2.0f / h,
                    (kPixelCentre - static_cast<float>(v.X)) * 2.0f / w - 1.0f,
                    (kPixelCentre - static_cast<float>(v.Y)) * 2.0f / h - 1.0f);
    if (p.depthToNdc >= 0) {
        const float range = v.MaxZ - v.MinZ;
        if (std::fabs(range) > 1e-12f)
            glUniform2f(p.depthToNdc, 2.0f / range, -2.0f * v.MinZ / range - 1.0f);
        else
            glUniform2f(p.depthToNdc, 0.0f, -1.0f);
    }
    p.uploaded[kGlGroupTransform] = in.serial[kGlGroupTransform];
}

void GlPipeline::UploadPalette(const GlPipelineInputs& in) {
    std::bitset<kGlMaxBlendMatrices>& dirty = *in.paletteDirty;
    if (dirty.none()) return;
    // Only the matrices this draw can reach: the blend count, or the highest vertex index.
    UINT reach = key_.indexedBlend ? in.indexedPaletteReach : key_.blendMatrices;
    if (reach > kGlMaxBlendMatrices) reach = kGlMaxBlendMatrices;
    int low = -1, high = -1;
    for (UINT i = 0; i < reach; ++i) {
        if (!dirty.test(i)) continue;
        palette_[i] = Multiply(in.worldMatrices[i], *in.view);
        dirty.reset(i);
        if (low < 0) low = static_cast<int>(i);
        high = static_cast<int>(i);
    }
    if (low < 0) return;
    glBindBuffer(GL_UNIFORM_BUFFER, paletteBuffer_);
    glBufferSubData(GL_UNIFORM_BUFFER, static_cast<GLintptr>(low * sizeof(D3DMATRIX)),
                    static_cast<GLsizeiptr>((high - low + 1) * sizeof(D3DMATRIX)), &palette_[low]);
}

void GlPipeline::UploadLights(const GlPipelineInputs& in, GlProgram& p) {
    float position[kGlMaxActiveLights][4] = {}, direction[kGlMaxActiveLights][3] = {};
    float diffuse[kGlMaxActiveLights][4] = {}, specular[kGlMaxActiveLights][4] = {},
          ambient[kGlMaxActiveLights][4] = {};
    float attenuation[kGlMaxActiveLights][3] = {}, spot[kGlMaxActiveLights][3] = {};
    const D3DMATRIX& v = *in.view;
    const int count = in.activeLightCount < kGlMaxActiveLights ? in.activeLightCount : kGlMaxActiveLights;
    for (int i = 0; i < count; ++i) {
        const D3DLIGHT8& L = *in.activeLights[i];
        // Lights are given in world space; lighting runs in camera space.
        const D3DVECTOR& P = L.Position;
        position[i][0] = P.x * v._11 + P.y * v._21 + P.z * v._31 + v._41;
        position[i][1] = P.x * v._12 + P.y * v._22 + P.z * v._32 + v._42;
        position[i][2] = P.x * v._13 + P.y * v._23 + P.z * v._33 + v._43;
        position[i][3] = L.Range;
        const D3DVECTOR& D = L.Direction;
        float d[3] = {D.x * v._11 + D.y * v._21 + D.z * v._31, D.x * v._12 + D.y * v._22 + D.z * v._32,
                      D.x * v._13 + D.y * v._23 + D.z * v._33};
        const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        for (int c = 0; c < 3; ++c) direction[i][c] = length > 0 ? d[c] / length : 0.0f;
        std::memcpy(diffuse[i], &L.Diffuse, 16);
        std::memcpy(specular[i], &L.Specular, 16);
        std::memcpy(ambient[i], &L.Ambient, 16);
        attenuation[i][0] = L.Attenuation0;
        attenuation[i][1] = L.Attenuation1;
        attenuation[i][2] = L.Attenuation2;
        spot[i][0] = std::cos(L.Theta * 0.5f);
        spot[i][1] = std::cos(L.Phi * 0.5f);
        spot[i][2] = L.Falloff;
    }
    if (p.lightPosition >= 0) glUniform4fv(p.lightPosition, kGlMaxActiveLights, &position[0][0]);
    if (p.lightDirection >= 0) glUniform3fv(p.lightDirection, kGlMaxActiveLights, &direction[0][0]);
    if (p.lightDiffuse >= 0) glUniform4fv(p.lightDiffuse, kGlMaxActiveLights, &diffuse[0][0]);
    if (p.lightSpecular >= 0) glUniform4fv(p.lightSpecular, kGlMaxActiveLights, &specular[0][0]);
    if (p.lightAmbient >= 0) glUniform4fv(p.lightAmbient, kGlMaxActiveLights, &ambient[0][0]);
    if (p.lightAttenuation >= 0) glUniform3fv(p.lightAttenuation, kGlMaxActiveLights, &attenuation[0][0]);
    if (p.lightSpot >= 0) glUniform3fv(p.lightSpot, kGlMaxActiveLights, &spot[0][0]);
    p.uploaded[kGlGroupLights] = in.serial[kGlGroupLights];
}

void GlPipeline::UploadMaterial(const GlPipelineInputs& in, GlProgram& p) {
    const D3DMATERIAL8& m = *in.material;
    if (p.materialDiffuse >= 0) glUniform4fv(p.materialDiffuse, 1, &m.Diffuse.r);
    if (p.materialAmbient >= 0) glUniform4fv(p.materialAmbient, 1, &m.Ambient.r);
    if (p.materialSpecular >= 0) glUniform4fv(p.materialSpecular, 1, &m.Specular.r);
    if (p.materialEmissive >= 0) glUniform4fv(p.materialEmissive, 1, &m.Emissive.r);
    if (p.materialPower >= 0) glUniform1f(p.materialPower, m.Power);
    if (p.ambient >= 0) {
        float ambient[4];
        ColorToVec4(in.renderStates[D3DRS_AMBIENT], ambient);
        glUniform4fv(p.ambient, 1, ambient);
    }
    p.uploaded[kGlGroupMaterial] = in.serial[kGlGroupMaterial];
}

void GlPipeline::UploadFog(const GlPipelineInputs& in, GlProgram& p) {
    const DWORD* rs = in.renderStates;
    if (p.fog >= 0)
        glUniform4f(p.fog, DWORDToFloat(rs[D3DRS_FOGSTART]), DWORDToFloat(rs[D3DRS_FOGEND]),
                    DWORDToFloat(rs[D3DRS_FOGDENSITY]), 0.0f);
    if (p.fogColor >= 0) {
        float color[4];
        ColorToVec4(rs[D3DRS_FOGCOLOR], color);
        glUniform4fv(p.fogColor, 1, color);
    }
    p.uploaded[kGlGroupFog] = in.serial[kGlGroupFog];
}

void GlPipeline::UploadPoint(const GlPipelineInputs& in, GlProgram& p) {
    const DWORD* rs = in.renderStates;
    float maxSize = DWORDToFloat(rs[D3DRS_POINTSIZE_MAX]);
    if (!(maxSize <= in.maxPointSize)) maxSize = in.maxPointSize;
    if (p.pointSize >= 0)
        glUniform4f(p.pointSize, DWORDToFloat(rs[D3DRS_POINTSIZE]), DWORDToFloat(rs[D3DRS_POINTSIZE_MIN]),
                    maxSize, static_cast<float>(in.viewport.Height));
    if (p.pointScale >= 0)
        glUniform3f(p.pointScale, DWORDToFloat(rs[D3DRS_POINTSCALE_A]), DWORDToFloat(rs[D3DRS_POINTSCALE_B]),
                    DWORDToFloat(rs[D3DRS_POINTSCALE_C]));
    p.uploaded[kGlGroupPoint] = in.serial[kGlGroupPoint];
}

void GlPipeline::UploadTexMatrices(const GlPipelineInputs& in, GlProgram& p) {
    if (p.texMatrix >= 0) glUniformMatrix4fv(p.texMatrix, 8, GL_FALSE, &in.textureMatrices[0].m[0][0]);
    p.uploaded[kGlGroupTexMatrix] = in.serial[kGlGroupTexMatrix];
}

void GlPipeline::UploadPixel(const GlPipelineInputs& in, GlProgram& p) {
    if (p.textureFactor >= 0) {
        float factor[4];
        ColorToVec4(in.renderStates[D3DRS_TEXTUREFACTOR], factor);
        glUniform4fv(p.textureFactor, 1, factor);
    }
    if (p.alphaRef >= 0) glUniform1f(p.alphaRef, static_cast<float>(in.renderStates[D3DRS_ALPHAREF] & 0xFF));
    p.uploaded[kGlGroupPixel] = in.serial[kGlGroupPixel];
}
