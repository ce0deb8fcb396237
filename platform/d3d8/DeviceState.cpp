#include "platform/d3d8/DeviceState.h"

#include <cstdio>

D3DMATRIX IdentityMatrix() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

D3DLIGHT8 DefaultLight() {
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    return light;
}

namespace {

struct Named {
    DWORD value;
    const char* name;
};

#define KZV_NAME(x)                                                                                          \
    { x, #x }

constexpr Named kRenderStates[] = {
    KZV_NAME(D3DRS_ZENABLE),
    KZV_NAME(D3DRS_FILLMODE),
    KZV_NAME(D3DRS_SHADEMODE),
    KZV_NAME(D3DRS_LINEPATTERN),
    KZV_NAME(D3DRS_ZWRITEENABLE),
    KZV_NAME(D3DRS_ALPHATESTENABLE),
    KZV_NAME(D3DRS_LASTPIXEL),
    KZV_NAME(D3DRS_SRCBLEND),
    KZV_NAME(D3DRS_DESTBLEND),
    KZV_NAME(D3DRS_CULLMODE),
    KZV_NAME(D3DRS_ZFUNC),
    KZV_NAME(D3DRS_ALPHAREF),
    KZV_NAME(D3DRS_ALPHAFUNC),
    KZV_NAME(D3DRS_DITHERENABLE),
    KZV_NAME(D3DRS_ALPHABLENDENABLE),
    KZV_NAME(D3DRS_FOGENABLE),
    KZV_NAME(D3DRS_SPECULARENABLE),
    KZV_NAME(D3DRS_ZVISIBLE),
    KZV_NAME(D3DRS_FOGCOLOR),
    KZV_NAME(D3DRS_FOGTABLEMODE),
    KZV_NAME(D3DRS_FOGSTART),
    KZV_NAME(D3DRS_FOGEND),
    KZV_NAME(D3DRS_FOGDENSITY),
    KZV_NAME(D3DRS_EDGEANTIALIAS),
    KZV_NAME(D3DRS_ZBIAS),
    KZV_NAME(D3DRS_RANGEFOGENABLE),
    KZV_NAME(D3DRS_STENCILENABLE),
    KZV_NAME(D3DRS_STENCILFAIL),
    KZV_NAME(D3DRS_STENCILZFAIL),
    KZV_NAME(D3DRS_STENCILPASS),
    KZV_NAME(D3DRS_STENCILFUNC),
    KZV_NAME(D3DRS_STENCILREF),
    KZV_NAME(D3DRS_STENCILMASK),
    KZV_NAME(D3DRS_STENCILWRITEMASK),
    KZV_NAME(D3DRS_TEXTUREFACTOR),
    KZV_NAME(D3DRS_WRAP0),
    KZV_NAME(D3DRS_WRAP1),
    KZV_NAME(D3DRS_WRAP2),
    KZV_NAME(D3DRS_WRAP3),
    KZV_NAME(D3DRS_WRAP4),
    KZV_NAME(D3DRS_WRAP5),
    KZV_NAME(D3DRS_WRAP6),
    KZV_NAME(D3DRS_WRAP7),
    KZV_NAME(D3DRS_CLIPPING),
    KZV_NAME(D3DRS_LIGHTING),
    KZV_NAME(D3DRS_AMBIENT),
    KZV_NAME(D3DRS_FOGVERTEXMODE),
    KZV_NAME(D3DRS_COLORVERTEX),
    KZV_NAME(D3DRS_LOCALVIEWER),
    KZV_NAME(D3DRS_NORMALIZENORMALS),
    KZV_NAME(D3DRS_DIFFUSEMATERIALSOURCE),
    KZV_NAME(D3DRS_SPECULARMATERIALSOURCE),
    KZV_NAME(D3DRS_AMBIENTMATERIALSOURCE),
    KZV_NAME(D3DRS_EMISSIVEMATERIALSOURCE),
    KZV_NAME(D3DRS_VERTEXBLEND),
    KZV_NAME(D3DRS_CLIPPLANEENABLE),
    KZV_NAME(D3DRS_SOFTWAREVERTEXPROCESSING),
    KZV_NAME(D3DRS_POINTSIZE),
    KZV_NAME(D3DRS_POINTSIZE_MIN),
    KZV_NAME(D3DRS_POINTSPRITEENABLE),
    KZV_NAME(D3DRS_POINTSCALEENABLE),
    KZV_NAME(D3DRS_POINTSCALE_A),
    KZV_NAME(D3DRS_POINTSCALE_B),
    KZV_NAME(D3DRS_POINTSCALE_C),
    KZV_NAME(D3DRS_MULTISAMPLEANTIALIAS),
    KZV_NAME(D3DRS_MULTISAMPLEMASK),
    KZV_NAME(D3DRS_PATCHEDGESTYLE),
    KZV_NAME(D3DRS_PATCHSEGMENTS),
    KZV_NAME(D3DRS_DEBUGMONITORTOKEN),
    KZV_NAME(D3DRS_POINTSIZE_MAX),
    KZV_NAME(D3DRS_INDEXEDVERTEXBLENDENABLE),
    KZV_NAME(D3DRS_COLORWRITEENABLE),
    KZV_NAME(D3DRS_TWEENFACTOR),
    KZV_NAME(D3DRS_BLENDOP),
    KZV_NAME(D3DRS_POSITIONORDER),
    KZV_NAME(D3DRS_NORMALORDER),
};

constexpr Named kStageStates[] = {
    KZV_NAME(D3DTSS_COLOROP),
    KZV_NAME(D3DTSS_COLORARG1),
    KZV_NAME(D3DTSS_COLORARG2),
    KZV_NAME(D3DTSS_ALPHAOP),
    KZV_NAME(D3DTSS_ALPHAARG1),
    KZV_NAME(D3DTSS_ALPHAARG2),
    KZV_NAME(D3DTSS_BUMPENVMAT00),
    KZV_NAME(D3DTSS_BUMPENVMAT01),
    KZV_NAME(D3DTSS_BUMPENVMAT10),
    KZV_NAME(D3DTSS_BUMPENVMAT11),
    KZV_NAME(D3DTSS_TEXCOORDINDEX),
    KZV_NAME(D3DTSS_ADDRESSU),
    KZV_NAME(D3DTSS_ADDRESSV),
    KZV_NAME(D3DTSS_BORDERCOLOR),
    KZV_NAME(D3DTSS_MAGFILTER),
    KZV_NAME(D3DTSS_MINFILTER),
    KZV_NAME(D3DTSS_MIPFILTER),
    KZV_NAME(D3DTSS_MIPMAPLODBIAS),
    KZV_NAME(D3DTSS_MAXMIPLEVEL),
    KZV_NAME(D3DTSS_MAXANISOTROPY),
    KZV_NAME(D3DTSS_BUMPENVLSCALE),
    KZV_NAME(D3DTSS_BUMPENVLOFFSET),
    KZV_NAME(D3DTSS_TEXTURETRANSFORMFLAGS),
    KZV_NAME(D3DTSS_ADDRESSW),
    KZV_NAME(D3DTSS_COLORARG0),
    KZV_NAME(D3DTSS_ALPHAARG0),
    KZV_NAME(D3DTSS_RESULTARG),
};

constexpr Named kPrimitiveTypes[] = {
    KZV_NAME(D3DPT_POINTLIST),    KZV_NAME(D3DPT_LINELIST),      KZV_NAME(D3DPT_LINESTRIP),
    KZV_NAME(D3DPT_TRIANGLELIST), KZV_NAME(D3DPT_TRIANGLESTRIP), KZV_NAME(D3DPT_TRIANGLEFAN),
};

constexpr Named kFormats[] = {
    KZV_NAME(D3DFMT_UNKNOWN),    KZV_NAME(D3DFMT_R8G8B8),   KZV_NAME(D3DFMT_A8R8G8B8),
    KZV_NAME(D3DFMT_X8R8G8B8),   KZV_NAME(D3DFMT_R5G6B5),   KZV_NAME(D3DFMT_X1R5G5B5),
    KZV_NAME(D3DFMT_A1R5G5B5),   KZV_NAME(D3DFMT_A4R4G4B4), KZV_NAME(D3DFMT_R3G3B2),
    KZV_NAME(D3DFMT_A8),         KZV_NAME(D3DFMT_A8R3G3B2), KZV_NAME(D3DFMT_X4R4G4B4),
    KZV_NAME(D3DFMT_L8),         KZV_NAME(D3DFMT_A8L8),     KZV_NAME(D3DFMT_A4L4),
    KZV_NAME(D3DFMT_DXT1),       KZV_NAME(D3DFMT_DXT2),     KZV_NAME(D3DFMT_DXT3),
    KZV_NAME(D3DFMT_DXT4),       KZV_NAME(D3DFMT_DXT5),     KZV_NAME(D3DFMT_D16_LOCKABLE),
    KZV_NAME(D3DFMT_D32),        KZV_NAME(D3DFMT_D15S1),    KZV_NAME(D3DFMT_D24S8),
    KZV_NAME(D3DFMT_D16),        KZV_NAME(D3DFMT_D24X8),    KZV_NAME(D3DFMT_D24X4S4),
    KZV_NAME(D3DFMT_VERTEXDATA), KZV_NAME(D3DFMT_INDEX16),  KZV_NAME(D3DFMT_INDEX32),
};

constexpr Named kPools[] = {KZV_NAME(D3DPOOL_DEFAULT), KZV_NAME(D3DPOOL_MANAGED),
                            KZV_NAME(D3DPOOL_SYSTEMMEM)};

#undef KZV_NAME

template <size_t N> const char* Lookup(const Named (&table)[N], DWORD value) {
    for (const Named& entry : table)
        if (entry.value == value) return entry.name;
    return nullptr;
}

template <size_t N> const char* LookupOrNumber(const Named (&table)[N], DWORD value) {
    if (const char* name = Lookup(table, value)) return name;
    // Unknown values appear as numbers; one static buffer per table is enough for logs.
    static thread_local char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%u", value);
    return buffer;
}

} // namespace

bool IsRenderState(DWORD state) {
    return Lookup(kRenderStates, state) != nullptr;
}
bool IsTextureStageState(DWORD type) {
    return Lookup(kStageStates, type) != nullptr;
}
const char* RenderStateName(DWORD state) {
    return LookupOrNumber(kRenderStates, state);
}
const char* TextureStageStateName(DWORD type) {
    return LookupOrNumber(kStageStates, type);
}
const char* PrimitiveTypeName(DWORD type) {
    return LookupOrNumber(kPrimitiveTypes, type);
}
const char* FormatName(DWORD format) {
    return LookupOrNumber(kFormats, format);
}
const char* PoolName(DWORD pool) {
    return LookupOrNumber(kPools, pool);
}

void TransformName(DWORD state, char* buffer, size_t size) {
    if (state == D3DTS_VIEW)
        std::snprintf(buffer, size, "D3DTS_VIEW");
    else if (state == D3DTS_PROJECTION)
        std::snprintf(buffer, size, "D3DTS_PROJECTION");
    else if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7)
        std::snprintf(buffer, size, "D3DTS_TEXTURE%u", state - D3DTS_TEXTURE0);
    else if (state >= 256 && state < 256 + kMaxWorldMatrices)
        std::snprintf(buffer, size, "D3DTS_WORLDMATRIX(%u)", state - 256);
    else
        std::snprintf(buffer, size, "%u", state);
}

D3DMATRIX* DeviceState::Transform(D3DTRANSFORMSTATETYPE state) {
    if (state == D3DTS_VIEW) return &view;
    if (state == D3DTS_PROJECTION) return &projection;
    if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) return &textureTransforms[state - D3DTS_TEXTURE0];
    if (state >= 256 && state < 256 + kMaxWorldMatrices) return &world[state - 256];
    return nullptr;
}

const D3DMATRIX* DeviceState::Transform(D3DTRANSFORMSTATETYPE state) const {
    return const_cast<DeviceState*>(this)->Transform(state);
}

void DeviceState::SetDefaults(UINT targetWidth, UINT targetHeight, bool autoDepth,
                              bool softwareVertexProcessing) {
    renderStates.fill(0);
    auto rs = [this](D3DRENDERSTATETYPE s, DWORD v) { renderStates[s] = v; };
    auto rsf = [this](D3DRENDERSTATETYPE s, float v) { renderStates[s] = FloatToDWORD(v); };
    rs(D3DRS_ZENABLE, autoDepth ? D3DZB_TRUE : D3DZB_FALSE);
    rs(D3DRS_FILLMODE, D3DFILL_SOLID);
    rs(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    rs(D3DRS_ZWRITEENABLE, TRUE);
    rs(D3DRS_LASTPIXEL, TRUE);
    rs(D3DRS_SRCBLEND, D3DBLEND_ONE);
    rs(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    rs(D3DRS_CULLMODE, D3DCULL_CCW);
    rs(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    rs(D3DRS_ALPHAFUNC, D3DCMP_ALWAYS);
    rs(D3DRS_FOGTABLEMODE, D3DFOG_NONE);
    rsf(D3DRS_FOGSTART, 0.0f);
    rsf(D3DRS_FOGEND, 1.0f);
    rsf(D3DRS_FOGDENSITY, 1.0f);
    rs(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
    rs(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
    rs(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    rs(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    rs(D3DRS_STENCILMASK, 0xFFFFFFFF);
    rs(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);
    rs(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF);
    rs(D3DRS_CLIPPING, TRUE);
    rs(D3DRS_LIGHTING, TRUE);
    rs(D3DRS_FOGVERTEXMODE, D3DFOG_NONE);
    rs(D3DRS_COLORVERTEX, TRUE);
    rs(D3DRS_LOCALVIEWER, TRUE);
    rs(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    rs(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2);
    rs(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    rs(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL);
    rs(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
    rs(D3DRS_SOFTWAREVERTEXPROCESSING, softwareVertexProcessing ? TRUE : FALSE);
    rsf(D3DRS_POINTSIZE, 1.0f);
    rsf(D3DRS_POINTSIZE_MIN, 1.0f);
    rsf(D3DRS_POINTSCALE_A, 1.0f);
    rsf(D3DRS_POINTSCALE_B, 0.0f);
    rsf(D3DRS_POINTSCALE_C, 0.0f);
    rs(D3DRS_MULTISAMPLEANTIALIAS, TRUE);
    rs(D3DRS_MULTISAMPLEMASK, 0xFFFFFFFF);
    rs(D3DRS_PATCHEDGESTYLE, D3DPATCHEDGE_DISCRETE);
    rsf(D3DRS_PATCHSEGMENTS, 1.0f);
    rsf(D3DRS_POINTSIZE_MAX, 64.0f);
    rs(D3DRS_COLORWRITEENABLE, 0x0F);
    rsf(D3DRS_TWEENFACTOR, 0.0f);
    rs(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    rs(D3DRS_POSITIONORDER, 3); // cubic
    rs(D3DRS_NORMALORDER, 1);   // linear

    for (DWORD stage = 0; stage < D3DTSS_MAXSTAGES; ++stage) {
        auto& s = stageStates[stage];
        s.fill(0);
        s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        s[D3DTSS_TEXCOORDINDEX] = stage;
        s[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
        s[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        s[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
        s[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
        s[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        s[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        s[D3DTSS_MAXANISOTROPY] = 1;
        s[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
        s[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        s[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }

    view = projection = IdentityMatrix();
    textureTransforms.fill(IdentityMatrix());
    world.fill(IdentityMatrix());
    viewport = {0, 0, targetWidth, targetHeight, 0.0f, 1.0f};
    material = D3DMATERIAL8{};
    lights.clear();
    textures.fill(nullptr);
    streams.fill(StreamSlot{nullptr, 0});
    indices = nullptr;
    baseVertexIndex = 0;
    vertexShader = 0;
    pixelShader = 0;
    vertexShaderConstants.fill({0.0f, 0.0f, 0.0f, 0.0f});
    pixelShaderConstants.fill({0.0f, 0.0f, 0.0f, 0.0f});
}
