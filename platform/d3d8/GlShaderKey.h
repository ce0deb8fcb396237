#pragma once
// The state that decides the shape of a fixed-function program: which inputs the vertex
// has, how it is transformed and lit, how each texture stage combines its arguments, fog and
// alpha test. Values that only change numbers (matrices, colours, light positions) are not
// part of it; they are uniforms. Equal keys always generate the same program.

#include <cstddef>
#include <cstdint>
#include <cstring>

// Lights the device can use in one draw (the viewer enables indices 0 to 8).
constexpr int kGlMaxActiveLights = 16;
constexpr int kGlMaxStages = 8;
constexpr int kGlMaxBlendMatrices = 256;

enum class GlTexGen : uint8_t { PassThrough = 0, CameraNormal = 1, CameraPosition = 2, CameraReflection = 3 };
enum class GlColorSource : uint8_t { Material = 0, VertexDiffuse = 1, VertexSpecular = 2 };

struct GlStageKey {
    uint8_t colorOp; // D3DTOP_*; DISABLE ends the cascade
    uint8_t colorArg0, colorArg1, colorArg2;
    uint8_t alphaOp;
    uint8_t alphaArg0, alphaArg1, alphaArg2;
    uint8_t resultToTemp;   // 1 when D3DTSS_RESULTARG names the temporary register
    uint8_t hasTexture;     // a texture is bound to the stage
    uint8_t coordSet;       // the vertex's texture coordinate set
    uint8_t coordGen;       // GlTexGen
    uint8_t transformCount; // D3DTTFF_COUNTn, 0 = no texture transform
    uint8_t projected;      // D3DTTFF_PROJECTED
};

struct GlShaderKey {
    // Vertex layout.
    uint8_t pretransformed; // D3DFVF_XYZRHW
    uint8_t hasNormal, hasDiffuse, hasSpecular, hasPointSize;
    uint8_t texCoordSets;
    uint8_t texCoordSize[8]; // components of each set (1 to 4)
    // Vertex blending: matrices that blend (1 = none) and how they are found.
    uint8_t blendMatrices;
    uint8_t indexedBlend;
    // Lighting.
    uint8_t lighting, specularLight, localViewer, normalizeNormals;
    uint8_t diffuseSource, ambientSource, specularSource, emissiveSource; // GlColorSource
    uint8_t lightType[kGlMaxActiveLights]; // D3DLIGHT_* of each active light, 0 when unused
    // Fog: mode (D3DFOG_*), computed per vertex or per pixel; range fog; taken from the
    // specular alpha of pre-transformed vertices.
    uint8_t fogMode, fogPerPixel, fogRange, fogFromSpecular;
    // Points are drawn (a point list or point fill): only then is a point size worked out.
    uint8_t points;
    uint8_t pointScale;
    uint8_t flatShade;
    // Pixel stage.
    uint8_t alphaFunc;   // D3DCMP_*, 0 = alpha test off
    uint8_t specularAdd; // D3DRS_SPECULARENABLE
    GlStageKey stages[kGlMaxStages];

    bool operator==(const GlShaderKey& other) const { return std::memcmp(this, &other, sizeof *this) == 0; }
};

// Every member is a byte, so there is no padding and the bytes are the identity.
static_assert(sizeof(GlShaderKey) == offsetof(GlShaderKey, stages) + kGlMaxStages * sizeof(GlStageKey));

struct GlShaderKeyHash {
    size_t operator()(const GlShaderKey& key) const {
        // FNV-1a over 8-byte words, the tail byte by byte.
        const auto* bytes = reinterpret_cast<const uint8_t*>(&key);
        uint64_t hash = 1469598103934665603ull;
        size_t i = 0;
        for (; i + 8 <= sizeof key; i += 8) {
            uint64_t word;
            std::memcpy(&word, bytes + i, 8);
            hash = (hash ^ word) * 1099511628211ull;
        }
        for (; i < sizeof key; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
        return static_cast<size_t>(hash ^ (hash >> 29));
    }
};
