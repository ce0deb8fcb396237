#pragma once
// A texture of the GL device: the memory levels of CommonTexture (locks work on them in
// every pool) mirrored in a GL texture. Levels whose memory changed since the last upload
// are sent again before the texture is drawn with.

#include "platform/d3d8/GlApi.h"
#include "platform/d3d8/GlFormats.h"
#include "platform/d3d8/ResourceCommon.h"

#include <memory>
#include <vector>

class GlDevice;
struct GlDeviceLink;

class GlTexture final : public CommonTexture {
public:
    GlTexture(GlDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
              D3DPOOL pool);
    ~GlTexture() override;

    void DetachFromDevice() override;
    // The GL texture with every level up to date; 0 when the format cannot be shown. Making or
    // updating it binds it on the active texture unit, and *bound then becomes true.
    GLuint Sync(bool* bound);
    // Drops the GL texture (its memory stays); it is made again on the next Sync.
    void ReleaseGl();

private:
    void CreateGl();
    void UploadLevel(UINT level);

    std::shared_ptr<GlDeviceLink> link_;
    GLuint id_ = 0;
    GlFormat format_;
    bool direct_ = false; // the memory layout is a GL upload layout; else converted to A8R8G8B8
    std::vector<uint64_t> uploaded_;
    std::vector<uint32_t> scratch_; // converted pixels, used only while uploading
};
