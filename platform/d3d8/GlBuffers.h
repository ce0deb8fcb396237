#pragma once
// Vertex and index buffers of the GL device: the bytes of the common buffers (every pool
// keeps them, so locks return memory) mirrored in GL buffer objects, sent again before a
// draw when a lock may have changed them.

#include "platform/d3d8/GlApi.h"
#include "platform/d3d8/ResourceCommon.h"

#include <memory>

class GlDevice;
struct GlDeviceLink;

// The GL side of one buffer: its object and the generation of the bytes it holds. The store is
// made once and updated in place; only a longer buffer gets a new one.
class GlBufferMirror {
public:
    // Brings the GL buffer up to date with `memory` and returns its name. `bound` is the device's
    // record of what `target` has bound: the buffer is bound only when it differs, and the record
    // follows.
    GLuint Sync(GLenum target, const BufferMemory& memory, GLuint* bound);
    void Release(const std::shared_ptr<GlDeviceLink>& link);
    GLuint Id() const { return id_; }

private:
    GLuint id_ = 0;
    UINT capacity_ = 0;
    uint64_t uploaded_ = ~0ull;
};

// Vertices or indices drawn from user memory: appended to one buffer without waiting for draws
// that still read it; the store is orphaned (given a new one) when full, so no pending draw ever
// sees its data overwritten.
class GlStreamRing {
public:
    // Copies `size` bytes into the buffer and returns their byte offset. `bound` is the device's
    // record of `target`'s binding, as for GlBufferMirror.
    size_t Append(GLenum target, const void* data, size_t size, GLuint* bound);
    // Deletes the buffer (context current).
    void Destroy();
    GLuint Id() const { return id_; }

private:
    GLuint id_ = 0;
    size_t capacity_ = 0, cursor_ = 0;
};

class GlVertexBuffer final : public CommonVertexBuffer {
public:
    GlVertexBuffer(GlDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    ~GlVertexBuffer() override;
    void DetachFromDevice() override;
    // The GL buffer with current contents (bound to GL_ARRAY_BUFFER when it must be written).
    GLuint Sync(GLuint* bound) { return mirror_.Sync(GL_ARRAY_BUFFER, Memory(), bound); }
    // The highest matrix index of the vertices' UBYTE4 blend indices at byte `offset` of each
    // `stride`-byte vertex; worked out once per contents.
    UINT MaxBlendIndex(UINT offset, UINT stride);
    void ReleaseGl() { mirror_.Release(link_); }

private:
    std::shared_ptr<GlDeviceLink> link_;
    GlBufferMirror mirror_;
    uint64_t blendGeneration_ = ~0ull;
    UINT blendOffset_ = 0, blendStride_ = 0, maxBlendIndex_ = 0;
};

class GlIndexBuffer final : public CommonIndexBuffer {
public:
    GlIndexBuffer(GlDevice* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    ~GlIndexBuffer() override;
    void DetachFromDevice() override;
    // The GL buffer with current contents, bound to GL_ELEMENT_ARRAY_BUFFER (of the bound vertex
    // array) unless `bound` says it already is.
    GLuint Sync(GLuint* bound) { return mirror_.Sync(GL_ELEMENT_ARRAY_BUFFER, Memory(), bound); }
    void ReleaseGl() { mirror_.Release(link_); }

private:
    std::shared_ptr<GlDeviceLink> link_;
    GlBufferMirror mirror_;
};
