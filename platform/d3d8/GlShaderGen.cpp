#include "platform/d3d8/GlShaderGen.h"

#include "platform/d3d8/D3D8Types.h"

#include <cstdarg>
#include <cstdio>

namespace {

// Appends printf-formatted text; only runs when a program is built, never per draw.
void Add(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Add(std::string& out, const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    out += line;
}

// Blending reads the matrix palette; so does an indexed vertex with one matrix and no weight.
bool UsesPalette(const GlShaderKey& key) {
    return key.blendMatrices > 1 || key.indexedBlend;
}

bool StageActive(const GlShaderKey& key, int stage) {
    for (int i = 0; i <= stage; ++i)
        if (key.stages[i].colorOp == D3DTOP_DISABLE) return false;
    return true;
}

// A stage samples its texture when it is active and its texture is bound.
bool StageSamples(const GlShaderKey& key, int stage) {
    return StageActive(key, stage) && key.stages[stage].hasTexture;
}

bool NeedsCameraNormal(const GlShaderKey& key) {
    for (int s = 0; s < kGlMaxStages; ++s) {
        const auto gen = static_cast<GlTexGen>(key.stages[s].coordGen);
        if (StageSamples(key, s) && (gen == GlTexGen::CameraNormal || gen == GlTexGen::CameraReflection))
            return true;
    }
    return key.lighting != 0;
}

const char* ColorSourceExpr(uint8_t source, const char* material) {
    switch (static_cast<GlColorSource>(source)) {
    case GlColorSource::VertexDiffuse:
        return "aDiffuse";
    case GlColorSource::VertexSpecular:
        return "aSpecular";
    default:
        return material;
    }
}

void EmitVertexInputs(const GlShaderKey& key, std::string& s) {
    Add(s, "layout(location = %d) in vec4 aPosition;\n", kGlAttrPosition);
    if (UsesPalette(key)) {
        Add(s, "layout(location = %d) in vec4 aWeights;\n", kGlAttrWeights);
        if (key.indexedBlend) Add(s, "layout(location = %d) in uvec4 aIndices;\n", kGlAttrIndices);
    }
    if (key.hasNormal) Add(s, "layout(location = %d) in vec3 aNormal;\n", kGlAttrNormal);
    if (key.hasPointSize) Add(s, "layout(location = %d) in float aPointSize;\n", kGlAttrPointSize);
    if (key.hasDiffuse) Add(s, "layout(location = %d) in vec4 aDiffuse;\n", kGlAttrDiffuse);
    if (key.hasSpecular) Add(s, "layout(location = %d) in vec4 aSpecular;\n", kGlAttrSpecular);
    for (int i = 0; i < key.texCoordSets && i < 8; ++i)
        Add(s, "layout(location = %d) in vec4 aTexCoord%d;\n", kGlAttrTexCoord0 + i, i);
}

void EmitVertexUniforms(const GlShaderKey& key, std::string& s) {
    s += "uniform mat4 uWorldView;\n"
         "uniform mat3 uNormalMatrix;\n"
         "uniform mat4 uProjection;\n"
         "uniform vec2 uPixelOffset;\n"
         "uniform vec4 uScreenToNdc;\n"
         "uniform vec2 uDepthToNdc;\n"
         "uniform vec4 uFog;\n"
         "uniform vec4 uPointSize;\n"
         "uniform vec3 uPointScale;\n"
         "uniform mat4 uTexMatrix[8];\n";
    if (UsesPalette(key))
        Add(s, "layout(std140) uniform %s { mat4 uPalette[%d]; };\n", kGlPaletteBlock, kGlMaxBlendMatrices);
    if (key.lighting) {
        Add(s,
            "uniform vec4 uLightPosition[%d];\n"
            "uniform vec3 uLightDirection[%d];\n"
            "uniform vec4 uLightDiffuse[%d];\n"
            "uniform vec4 uLightSpecular[%d];\n"
            "uniform vec4 uLightAmbient[%d];\n"
            "uniform vec3 uLightAttenuation[%d];\n"
            "uniform vec3 uLightSpot[%d];\n",
            kGlMaxActiveLights, kGlMaxActiveLights, kGlMaxActiveLights, kGlMaxActiveLights,
            kGlMaxActiveLights, kGlMaxActiveLights, kGlMaxActiveLights);
        s += "uniform vec4 uMaterialDiffuse;\n"
             "uniform vec4 uMaterialAmbient;\n"
             "uniform vec4 uMaterialSpecular;\n"
             "uniform vec4 uMaterialEmissive;\n"
             "uniform float uMaterialPower;\n"
             "uniform vec4 uAmbient;\n";
    }
}

void EmitVaryings(const GlShaderKey& key, std::string& s, const char* direction) {
    const char* interp = key.flatShade ? "flat " : "";
    Add(s, "%s%s vec4 vDiffuse;\n%s%s vec4 vSpecular;\n", interp, direction, interp, direction);
    Add(s, "%s float vFog;\n", direction);
    for (int i = 0; i < kGlMaxStages; ++i)
        if (StageSamples(key, i)) Add(s, "%s vec4 vTex%d;\n", direction, i);
}

// Position and normal in camera space, blended over the matrix palette when asked.
void EmitTransform(const GlShaderKey& key, std::string& s) {
    s += "    vec4 objectPos = vec4(aPosition.xyz, 1.0);\n";
    const bool normals = key.hasNormal && NeedsCameraNormal(key);
    if (!UsesPalette(key)) {
        s += "    vec3 P = (uWorldView * objectPos).xyz;\n";
        s += normals ? "    vec3 N = uNormalMatrix * aNormal;\n" : "    vec3 N = vec3(0.0);\n";
        return;
    }
    // n matrices blend with n - 1 weights from the vertex; the last weight is 1 minus the rest.
    s += "    vec3 P = vec3(0.0);\n    vec3 N = vec3(0.0);\n    float weightSum = 0.0;\n";
    for (int k = 0; k < key.blendMatrices; ++k) {
        if (k + 1 < key.blendMatrices)
            Add(s, "    float w%d = aWeights[%d];\n    weightSum += w%d;\n", k, k, k);
        else
            Add(s, "    float w%d = 1.0 - weightSum;\n", k);
        if (key.indexedBlend)
            Add(s, "    mat4 m%d = uPalette[aIndices[%d]];\n", k, k);
        else
            Add(s, "    mat4 m%d = uPalette[%d];\n", k, k);
        Add(s, "    P += w%d * (m%d * objectPos).xyz;\n", k, k);
        if (normals) Add(s, "    N += w%d * (mat3(m%d) * aNormal);\n", k, k);
    }
}

void EmitLight(const GlShaderKey& key, int i, std::string& s) {
    const uint8_t type = key.lightType[i];
    Add(s, "    {\n        vec3 L;\n        float att = 1.0;\n");
    if (type == D3DLIGHT_DIRECTIONAL) {
        Add(s, "        L = -uLightDirection[%d];\n", i);
    } else {
        Add(s,
            "        vec3 toLight = uLightPosition[%d].xyz - P;\n"
            "        float d = length(toLight);\n"
            "        L = d > 0.0 ? toLight / d : vec3(0.0, 0.0, 1.0);\n"
            "        vec3 a = uLightAttenuation[%d];\n"
            "        att = d > uLightPosition[%d].w ? 0.0 : 1.0 / max(a.x + a.y * d + a.z * d * d, 1e-20);\n",
            i, i, i);
        if (type == D3DLIGHT_SPOT)
            Add(s,
                "        vec3 spot = uLightSpot[%d];\n"
                "        float rho = dot(-L, uLightDirection[%d]);\n"
                "        if (rho <= spot.y) att = 0.0;\n"
                "        else if (rho <= spot.x)\n"
                "            att *= pow(clamp((rho - spot.y) / (spot.x - spot.y), 1e-20, 1.0), spot.z);\n",
                i, i);
    }
    Add(s,
        "        ambientSum += att * uLightAmbient[%d].rgb;\n"
        "        float nl = dot(N, L);\n"
        "        if (nl > 0.0) {\n"
        "            diffuseSum += att * nl * uLightDiffuse[%d].rgb;\n",
        i, i);
    // A power of 0 (or less) means no highlight at all, as Direct3D documents it, not pow(x, 0) = 1.
    if (key.specularLight)
        Add(s,
            "            vec3 H = normalize(V + L);\n"
            "            float nh = max(dot(N, H), 0.0);\n"
            "            specularSum += att * (uMaterialPower > 0.0 ? pow(nh, uMaterialPower) : 0.0) *\n"
            "                           uLightSpecular[%d].rgb;\n",
            i);
    s += "        }\n    }\n";
}

void EmitLighting(const GlShaderKey& key, std::string& s) {
    if (!key.lighting) {
        s += key.hasDiffuse ? "    vDiffuse = aDiffuse;\n" : "    vDiffuse = vec4(1.0);\n";
        s += key.hasSpecular ? "    vSpecular = aSpecular;\n" : "    vSpecular = vec4(0.0);\n";
        return;
    }
    if (key.normalizeNormals) s += "    if (dot(N, N) > 0.0) N = normalize(N);\n";
    s += "    vec3 ambientSum = vec3(0.0);\n    vec3 diffuseSum = vec3(0.0);\n    vec3 specularSum = "
         "vec3(0.0);\n";
    if (key.specularLight)
        s += key.localViewer ? "    vec3 V = dot(P, P) > 0.0 ? normalize(-P) : vec3(0.0, 0.0, -1.0);\n"
                             : "    vec3 V = vec3(0.0, 0.0, -1.0);\n";
    for (int i = 0; i < kGlMaxActiveLights; ++i)
        if (key.lightType[i]) EmitLight(key, i, s);
    Add(s, "    vec4 cd = %s;\n    vec4 ca = %s;\n    vec4 cs = %s;\n    vec4 ce = %s;\n",
        ColorSourceExpr(key.diffuseSource, "uMaterialDiffuse"),
        ColorSourceExpr(key.ambientSource, "uMaterialAmbient"),
        ColorSourceExpr(key.specularSource, "uMaterialSpecular"),
        ColorSourceExpr(key.emissiveSource, "uMaterialEmissive"));
    s += "    vec3 lit = ca.rgb * (uAmbient.rgb + ambientSum) + cd.rgb * diffuseSum + ce.rgb;\n"
         "    vDiffuse = vec4(clamp(lit, 0.0, 1.0), clamp(cd.a, 0.0, 1.0));\n";
    s += key.specularLight ? "    vSpecular = vec4(clamp(cs.rgb * specularSum, 0.0, 1.0), 0.0);\n"
                           : "    vSpecular = vec4(0.0);\n";
}

// The fog factor per vertex, or the eye depth that the fragment shader turns into one.
void EmitVertexFog(const GlShaderKey& key, std::string& s) {
    if (key.fogMode == D3DFOG_NONE) {
        s += "    vFog = 1.0;\n";
        return;
    }
    if (key.fogFromSpecular) {
        s += key.hasSpecular ? "    vFog = aSpecular.a;\n" : "    vFog = 1.0;\n";
        return;
    }
    if (key.pretransformed) {
        s += "    vFog = gl_Position.w;\n";
    } else {
        s += key.fogRange ? "    float fogDistance = length(P);\n" : "    float fogDistance = abs(P.z);\n";
        s += key.fogPerPixel ? "    vFog = fogDistance;\n" : "    vFog = FogFactor(fogDistance);\n";
    }
}

void EmitFogFunction(const GlShaderKey& key, std::string& s) {
    s += "float FogFactor(float d) {\n";
    switch (key.fogMode) {
    case D3DFOG_EXP:
        s += "    return clamp(exp(-d * uFog.z), 0.0, 1.0);\n";
        break;
    case D3DFOG_EXP2:
        s += "    float x = d * uFog.z;\n    return clamp(exp(-x * x), 0.0, 1.0);\n";
        break;
    case D3DFOG_LINEAR:
        s += "    return uFog.y == uFog.x ? (d < uFog.x ? 1.0 : 0.0) : clamp((uFog.y - d) / (uFog.y - "
             "uFog.x), 0.0, 1.0);\n";
        break;
    default:
        s += "    return 1.0;\n";
        break;
    }
    s += "}\n";
}

// Coordinates of one stage: the vertex's set or a generated camera-space vector, padded so
// that the first missing component is 1, then the stage's texture matrix.
void EmitTexCoord(const GlShaderKey& key, int stage, std::string& s) {
    const GlStageKey& st = key.stages[stage];
    switch (static_cast<GlTexGen>(st.coordGen)) {
    case GlTexGen::CameraNormal:
        Add(s, "    vec4 tc%d = vec4(Nunit, 1.0);\n", stage);
        break;
    case GlTexGen::CameraPosition:
        Add(s, "    vec4 tc%d = vec4(P, 1.0);\n", stage);
        break;
    case GlTexGen::CameraReflection:
        Add(s,
            "    vec3 E%d = dot(P, P) > 0.0 ? normalize(-P) : vec3(0.0, 0.0, -1.0);\n"
            "    vec4 tc%d = vec4(2.0 * dot(Nunit, E%d) * Nunit - E%d, 1.0);\n",
            stage, stage, stage, stage);
        break;
    default: {
        const int set = st.coordSet;
        if (set >= key.texCoordSets) {
            Add(s, "    vec4 tc%d = vec4(0.0, 0.0, 1.0, 0.0);\n", stage);
            break;
        }
        static const char* const kPad[5] = {"", "vec4(%s.x, 1.0, 0.0, 0.0)", "vec4(%s.xy, 1.0, 0.0)",
                                            "vec4(%s.xyz, 1.0)", "%s"};
        char name[16];
        std::snprintf(name, sizeof name, "aTexCoord%d", set);
        const int size = key.texCoordSize[set] >= 1 && key.texCoordSize[set] <= 4 ? key.texCoordSize[set] : 2;
        char expr[64];
        std::snprintf(expr, sizeof expr, kPad[size], name);
        Add(s, "    vec4 tc%d = %s;\n", stage, expr);
        break;
    }
    }
    if (st.transformCount == 0) {
        Add(s, "    vTex%d = tc%d;\n", stage, stage);
        return;
    }
    Add(s, "    vTex%d = uTexMatrix[%d] * tc%d;\n", stage, stage, stage);
    if (st.projected && st.transformCount >= 2)
        Add(s, "    vTex%d.xy /= vTex%d[%d];\n", stage, stage, st.transformCount - 1);
}

void EmitPointSize(const GlShaderKey& key, std::string& s) {
    s += key.hasPointSize ? "    float pointSize = aPointSize;\n" : "    float pointSize = uPointSize.x;\n";
    if (key.pointScale && !key.pretransformed)
        s += "    float De = length(P);\n"
             "    pointSize = uPointSize.w * pointSize *\n"
             "                sqrt(1.0 / max(uPointScale.x + uPointScale.y * De + uPointScale.z * De * De, "
             "1e-20));\n";
    s += "    gl_PointSize = clamp(pointSize, uPointSize.y, uPointSize.z);\n";
}

// One texture-stage argument as a vec4 expression.
std::string StageArg(uint8_t arg, int stage) {
    std::string base;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
        base = "vDiffuse";
        break;
    case D3DTA_CURRENT:
        base = "cur";
        break;
    case D3DTA_TEXTURE:
        base = "tex" + std::to_string(stage);
        break;
    case D3DTA_TFACTOR:
        base = "uTextureFactor";
        break;
    case D3DTA_SPECULAR:
        base = "vSpecular";
        break;
    case D3DTA_TEMP:
        base = "temp";
        break;
    default:
        base = "cur";
        break;
    }
    if (arg & D3DTA_ALPHAREPLICATE) base = base + ".aaaa";
    if (arg & D3DTA_COMPLEMENT) base = "(vec4(1.0) - " + base + ")";
    return base;
}

// The colour (rgb) or alpha (a) result of one operation on the arguments a0, a1, a2.
std::string StageOp(uint8_t op, const char* c) {
    const std::string a0 = std::string("a0.") + c, a1 = std::string("a1.") + c, a2 = std::string("a2.") + c;
    switch (op) {
    case D3DTOP_SELECTARG1:
        return a1;
    case D3DTOP_SELECTARG2:
        return a2;
    case D3DTOP_MODULATE:
        return a1 + " * " + a2;
    case D3DTOP_MODULATE2X:
        return "2.0 * " + a1 + " * " + a2;
    case D3DTOP_MODULATE4X:
        return "4.0 * " + a1 + " * " + a2;
    case D3DTOP_ADD:
        return a1 + " + " + a2;
    case D3DTOP_ADDSIGNED:
        return a1 + " + " + a2 + " - 0.5";
    case D3DTOP_ADDSIGNED2X:
        return "2.0 * (" + a1 + " + " + a2 + " - 0.5)";
    case D3DTOP_SUBTRACT:
        return a1 + " - " + a2;
    case D3DTOP_ADDSMOOTH:
        return a1 + " + " + a2 + " - " + a1 + " * " + a2;
    case D3DTOP_BLENDDIFFUSEALPHA:
        return "mix(" + a2 + ", " + a1 + ", vDiffuse.a)";
    case D3DTOP_BLENDTEXTUREALPHA:
        return "mix(" + a2 + ", " + a1 + ", texAlpha)";
    case D3DTOP_BLENDFACTORALPHA:
        return "mix(" + a2 + ", " + a1 + ", uTextureFactor.a)";
    case D3DTOP_BLENDCURRENTALPHA:
        return "mix(" + a2 + ", " + a1 + ", cur.a)";
    case D3DTOP_BLENDTEXTUREALPHAPM:
        return a1 + " + " + a2 + " * (1.0 - texAlpha)";
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
        return a1 + " + a1.a * " + a2;
    case D3DTOP_MODULATECOLOR_ADDALPHA:
        return a1 + " * " + a2 + " + a1.a";
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
        return "(1.0 - a1.a) * " + a2 + " + " + a1;
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
        return "(1.0 - " + a1 + ") * " + a2 + " + a1.a";
    case D3DTOP_DOTPRODUCT3:
        return "dot3";
    case D3DTOP_MULTIPLYADD:
        return a0 + " + " + a1 + " * " + a2;
    case D3DTOP_LERP:
        return "mix(" + a2 + ", " + a1 + ", a0." + c + ")";
    // Pre-modulation and bump mapping have no equivalent here; the first argument passes.
    default:
        return a1;
    }
}

bool OpUsesArg0(uint8_t op) {
    return op == D3DTOP_MULTIPLYADD || op == D3DTOP_LERP;
}

void EmitStage(const GlShaderKey& key, int stage, std::string& s) {
    const GlStageKey& st = key.stages[stage];
    Add(s, "    // stage %d\n    {\n", stage);
    if (st.hasTexture)
        Add(s, "        vec4 tex%d = texture(uTexture%d, vTex%d.xy);\n", stage, stage, stage);
    else
        Add(s, "        vec4 tex%d = vec4(1.0);\n", stage); // an empty stage reads opaque white
    Add(s, "        float texAlpha = tex%d.a;\n", stage);
    Add(s, "        vec4 a0 = %s;\n        vec4 a1 = %s;\n        vec4 a2 = %s;\n",
        OpUsesArg0(st.colorOp) ? StageArg(st.colorArg0, stage).c_str() : "vec4(0.0)",
        StageArg(st.colorArg1, stage).c_str(), StageArg(st.colorArg2, stage).c_str());
    if (st.colorOp == D3DTOP_DOTPRODUCT3)
        s += "        float dot3 = clamp(4.0 * dot(a1.rgb - 0.5, a2.rgb - 0.5), 0.0, 1.0);\n";
    Add(s, "        vec3 rgb = vec3(%s);\n", StageOp(st.colorOp, "rgb").c_str());
    if (st.colorOp == D3DTOP_DOTPRODUCT3) {
        // The dot product goes to every channel, alpha included.
        s += "        float alpha = dot3;\n";
    } else if (st.alphaOp == D3DTOP_DISABLE) {
        s += "        float alpha = cur.a;\n";
    } else {
        Add(s, "        a0 = %s;\n        a1 = %s;\n        a2 = %s;\n",
            OpUsesArg0(st.alphaOp) ? StageArg(st.alphaArg0, stage).c_str() : "vec4(0.0)",
            StageArg(st.alphaArg1, stage).c_str(), StageArg(st.alphaArg2, stage).c_str());
        if (st.alphaOp == D3DTOP_DOTPRODUCT3)
            s += "        float dot3 = clamp(4.0 * dot(a1.rgb - 0.5, a2.rgb - 0.5), 0.0, 1.0);\n";
        Add(s, "        float alpha = float(%s);\n", StageOp(st.alphaOp, "a").c_str());
    }
    Add(s, "        %s = clamp(vec4(rgb, alpha), 0.0, 1.0);\n    }\n", st.resultToTemp ? "temp" : "cur");
}

const char* CompareExpr(uint8_t func) {
    switch (func) {
    case D3DCMP_NEVER:
        return "false";
    case D3DCMP_LESS:
        return "a < ref";
    case D3DCMP_EQUAL:
        return "a == ref";
    case D3DCMP_LESSEQUAL:
        return "a <= ref";
    case D3DCMP_GREATER:
        return "a > ref";
    case D3DCMP_NOTEQUAL:
        return "a != ref";
    case D3DCMP_GREATEREQUAL:
        return "a >= ref";
    default:
        return "true";
    }
}

} // namespace

std::string GenerateVertexShader(const GlShaderKey& key) {
    std::string s;
    s.reserve(8192);
    s += "#version 330 core\n";
    EmitVertexInputs(key, s);
    EmitVertexUniforms(key, s);
    EmitVaryings(key, s, "out");
    EmitFogFunction(key, s);
    s += "void main() {\n";
    if (key.pretransformed) {
        // Screen pixels with Direct3D's pixel centres; rhw restores w for perspective texturing.
        s += "    float w = aPosition.w != 0.0 ? 1.0 / aPosition.w : 1.0;\n"
             "    vec2 ndc = aPosition.xy * uScreenToNdc.xy + uScreenToNdc.zw;\n"
             "    float z = aPosition.z * uDepthToNdc.x + uDepthToNdc.y;\n"
             "    gl_Position = vec4(ndc, z, 1.0) * w;\n"
             "    vec3 P = vec3(0.0);\n    vec3 N = vec3(0.0);\n";
    } else {
        EmitTransform(key, s);
        // Direct3D clips depth to 0..w and puts pixel centres on integers; the frame is
        // stored top row first, so y is not flipped for the window-space origin.
        s += "    vec4 clip = uProjection * vec4(P, 1.0);\n"
             "    clip.z = 2.0 * clip.z - clip.w;\n"
             "    clip.y = -clip.y;\n"
             "    clip.xy += uPixelOffset * clip.w;\n"
             "    gl_Position = clip;\n";
    }
    if (key.pretransformed) {
        s += key.hasDiffuse ? "    vDiffuse = aDiffuse;\n" : "    vDiffuse = vec4(1.0);\n";
        s += key.hasSpecular ? "    vSpecular = aSpecular;\n" : "    vSpecular = vec4(0.0);\n";
    } else {
        EmitLighting(key, s);
    }
    s += "    vec3 Nunit = dot(N, N) > 0.0 ? normalize(N) : vec3(0.0);\n";
    for (int i = 0; i < kGlMaxStages; ++i)
        if (StageSamples(key, i)) EmitTexCoord(key, i, s);
    EmitVertexFog(key, s);
    if (key.points) EmitPointSize(key, s);
    s += "}\n";
    return s;
}

std::string GenerateFragmentShader(const GlShaderKey& key) {
    std::string s;
    s.reserve(8192);
    s += "#version 330 core\n";
    EmitVaryings(key, s, "in");
    for (int i = 0; i < kGlMaxStages; ++i)
        if (StageSamples(key, i)) Add(s, "uniform sampler2D uTexture%d;\n", i);
    s += "uniform vec4 uTextureFactor;\n"
         "uniform vec4 uFogColor;\n"
         "uniform vec4 uFog;\n"
         "uniform float uAlphaRef;\n"
         "out vec4 oColor;\n";
    EmitFogFunction(key, s);
    s += "void main() {\n    vec4 cur = vDiffuse;\n    vec4 temp = vec4(0.0);\n";
    for (int i = 0; i < kGlMaxStages && StageActive(key, i); ++i) EmitStage(key, i, s);
    if (key.specularAdd) s += "    cur.rgb = clamp(cur.rgb + vSpecular.rgb, 0.0, 1.0);\n";
    if (key.alphaFunc) {
        // Direct3D compares the 8-bit alpha with the 8-bit reference.
        Add(s,
            "    float a = floor(clamp(cur.a, 0.0, 1.0) * 255.0 + 0.5);\n"
            "    float ref = uAlphaRef;\n"
            "    if (!(%s)) discard;\n",
            CompareExpr(key.alphaFunc));
    }
    if (key.fogMode != D3DFOG_NONE) {
        s += (key.fogPerPixel && !key.fogFromSpecular) ? "    float f = FogFactor(vFog);\n"
                                                       : "    float f = clamp(vFog, 0.0, 1.0);\n";
        s += "    cur.rgb = mix(uFogColor.rgb, cur.rgb, f);\n";
    }
    s += "    oColor = cur;\n}\n";
    return s;
}
