#pragma once
// Vertex and index buffers of the GL device: the bytes of the common buffers (every pool
// keeps them, so locks return memory) mirrored in GL buffer objects, sent again before a
// draw when a lock may have changed them.

#include "platform/d3d8/GlApi.h"
#include "platform/d3d8/ResourceCommon.h"

#include <memory>

class GlDevice;
struct GlDeviceLink;

// The GL side of one buffer: its object and the generation of the bytes it holds.
class GlBufferMirror {
public:
    // Brings the GL buffer (bound to `target`) up to date with `memory`; returns its name.
    GLuint Sync(GLenum target, const BufferMemory& memory);
    void Release(const std::shared_ptr<GlDeviceLink>& link);

private:
    GLuint id_ = 0;
    uint64_t uploaded_ = ~0ull;
};

class GlVertexBuffer final : public CommonVertexBuffer {
public:
    GlVertexBuffer(GlDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    ~GlVertexBuffer() override;
    void DetachFromDevice() override;
    // Binds the buffer to GL_ARRAY_BUFFER with current contents.
    GLuint Sync() { return mirror_.Sync(GL_ARRAY_BUFFER, Memory()); }
    void ReleaseGl() { mirror_.Release(link_); }

private:
    std::shared_ptr<GlDeviceLink> link_;
    GlBufferMirror mirror_;
};

class GlIndexBuffer final : public CommonIndexBuffer {
public:
    GlIndexBuffer(GlDevice* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    ~GlIndexBuffer() override;
    void DetachFromDevice() override;
    // Binds the buffer to GL_ELEMENT_ARRAY_BUFFER (of the bound vertex array) with current contents.
    GLuint Sync() { return mirror_.Sync(GL_ELEMENT_ARRAY_BUFFER, Memory()); }
    void ReleaseGl() { mirror_.Release(link_); }

private:
    std::shared_ptr<GlDeviceLink> link_;
    GlBufferMirror mirror_;
};
