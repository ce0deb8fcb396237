#pragma once
// Turns the device's fixed-function state into a program and its uniforms for one draw:
// builds the GlShaderKey, fetches the program from the cache, and uploads the uniform
// groups whose values changed since that program last saw them. Steady-state draws
// allocate nothing.

#include "platform/d3d8/D3D8Types.h"
#include "platform/d3d8/FvfLayout.h"
#include "platform/d3d8/GlShaderCache.h"
#include "platform/d3d8/GlShaderKey.h"

#include <bitset>
#include <string>

// What a draw needs to know of the device state. Serials start at 1 and rise whenever a
// group's values change; a program re-uploads the groups whose serial it has not seen.
struct GlPipelineInputs {
    const DWORD* renderStates;              // D3DRS_MAX entries
    const DWORD (*stageStates)[D3DTSS_MAX]; // D3DTSS_MAXSTAGES stages
    const D3DMATRIX* worldMatrices;         // 256
    const D3DMATRIX* view;
    const D3DMATRIX* projection;
    const D3DMATRIX* textureMatrices; // 8
    const D3DMATERIAL8* material;
    const D3DLIGHT8* const* activeLights; // enabled lights in index order
    int activeLightCount;
    bool textureBound[D3DTSS_MAXSTAGES];
    const FvfLayout* layout;
    bool points; // a point list, or triangles and lines drawn with point fill
    D3DVIEWPORT8 viewport;
    float maxPointSize;
    uint64_t serial[kGlGroupCount];
    // World matrices not yet multiplied by the view and sent; the upload clears what it sends.
    std::bitset<kGlMaxBlendMatrices>* paletteDirty;
    // With indexed blending: the matrices the vertices' indices can reach (highest index + 1).
    UINT indexedPaletteReach;
};

class GlPipeline {
public:
    GlPipeline();
    ~GlPipeline();
    GlPipeline(const GlPipeline&) = delete;
    GlPipeline& operator=(const GlPipeline&) = delete;

    // Creates the palette buffer; the context must be current.
    void Create();
    // Releases programs and buffers (context current).
    void Destroy();
    // Forgets which program is bound and what every program holds (after a reset).
    void Invalidate();

    // Binds the program for the state and brings its uniforms up to date. False when the
    // program cannot be built (the message is in LastError()).
    bool Prepare(const GlPipelineInputs& in);
    const GlShaderKey& LastKey() const { return key_; }
    const std::string& LastError() const { return cache_.LastError(); }
    size_t ProgramCount() const { return cache_.Size(); }

    // The key for a state, exposed for tests of the key rules.
    static void BuildKey(const GlPipelineInputs& in, GlShaderKey* key);

private:
    void UploadTransform(const GlPipelineInputs& in, GlProgram& p);
    void UploadPalette(const GlPipelineInputs& in);
    void UploadLights(const GlPipelineInputs& in, GlProgram& p);
    void UploadMaterial(const GlPipelineInputs& in, GlProgram& p);
    void UploadFog(const GlPipelineInputs& in, GlProgram& p);
    void UploadPoint(const GlPipelineInputs& in, GlProgram& p);
    void UploadTexMatrices(const GlPipelineInputs& in, GlProgram& p);
    void UploadPixel(const GlPipelineInputs& in, GlProgram& p);

    GlShaderCache cache_;
    GlShaderKey key_{};
    GlProgram* current_ = nullptr;
    GLuint paletteBuffer_ = 0;
    D3DMATRIX palette_[kGlMaxBlendMatrices];
};
