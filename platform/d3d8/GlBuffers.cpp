#include "platform/d3d8/GlBuffers.h"

#include "platform/d3d8/GlDevice.h"

#include <algorithm>
#include <cstring>

GLuint GlBufferMirror::Sync(GLenum target, const BufferMemory& memory, GLuint* bound) {
    if (!id_) glGenBuffers(1, &id_);
    if (uploaded_ == memory.Generation() && *bound == id_) return id_;
    if (*bound != id_) {
        glBindBuffer(target, id_);
        *bound = id_;
    }
    if (uploaded_ != memory.Generation()) {
        const auto length = static_cast<GLsizeiptr>(memory.Length());
        if (memory.Length() > capacity_) {
            glBufferData(target, length, memory.Bytes(), GL_STATIC_DRAW);
            capacity_ = memory.Length();
        } else {
            glBufferSubData(target, 0, length, memory.Bytes());
        }
        uploaded_ = memory.Generation();
    }
    return id_;
}

size_t GlStreamRing::Append(GLenum target, const void* data, size_t size, GLuint* bound) {
    constexpr size_t kMinimum = 256 * 1024, kAlign = 16;
    if (!id_) glGenBuffers(1, &id_);
    if (*bound != id_) {
        glBindBuffer(target, id_);
        *bound = id_;
    }
    if (size > capacity_) {
        capacity_ = std::max({size, kMinimum, 2 * capacity_});
        glBufferData(target, static_cast<GLsizeiptr>(capacity_), nullptr, GL_STREAM_DRAW);
        cursor_ = 0;
    } else if (cursor_ + size > capacity_) {
        glBufferData(target, static_cast<GLsizeiptr>(capacity_), nullptr, GL_STREAM_DRAW);
        cursor_ = 0;
    }
    const size_t offset = cursor_;
    void* to = glMapBufferRange(target, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(size),
                                GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
    if (to) {
        std::memcpy(to, data, size);
        glUnmapBuffer(target);
    } else {
        glBufferSubData(target, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(size), data);
    }
    cursor_ = (offset + size + kAlign - 1) / kAlign * kAlign;
    return offset;
}

void GlStreamRing::Destroy() {
    if (id_) glDeleteBuffers(1, &id_);
    id_ = 0;
    capacity_ = cursor_ = 0;
}

void GlBufferMirror::Release(const std::shared_ptr<GlDeviceLink>& link) {
    if (id_ && link && link->MakeCurrent()) {
        glDeleteBuffers(1, &id_);
        // Deleting unbinds it everywhere; the device's records must not keep its name.
        if (link->device) link->device->ForgetBuffer(id_);
    }
    id_ = 0;
    capacity_ = 0;
    uploaded_ = ~0ull;
}

GlVertexBuffer::GlVertexBuffer(GlDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : CommonVertexBuffer(device, length, usage, fvf, pool), link_(device->Link()) {}

GlVertexBuffer::~GlVertexBuffer() {
    mirror_.Release(link_);
}

void GlVertexBuffer::DetachFromDevice() {
    mirror_.Release(link_);
    link_.reset();
    CommonVertexBuffer::DetachFromDevice();
}

UINT GlVertexBuffer::MaxBlendIndex(UINT offset, UINT stride) {
    const BufferMemory& memory = Memory();
    if (blendGeneration_ == memory.Generation() && blendOffset_ == offset && blendStride_ == stride)
        return maxBlendIndex_;
    UINT highest = 0;
    if (stride > 0)
        for (size_t at = offset; at + 4 <= memory.Length(); at += stride)
            for (size_t k = 0; k < 4; ++k) highest = std::max<UINT>(highest, memory.Bytes()[at + k]);
    blendGeneration_ = memory.Generation();
    blendOffset_ = offset;
    blendStride_ = stride;
    maxBlendIndex_ = highest;
    return highest;
}

GlIndexBuffer::GlIndexBuffer(GlDevice* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : CommonIndexBuffer(device, length, usage, format, pool), link_(device->Link()) {}

GlIndexBuffer::~GlIndexBuffer() {
    mirror_.Release(link_);
}

void GlIndexBuffer::DetachFromDevice() {
    mirror_.Release(link_);
    link_.reset();
    CommonIndexBuffer::DetachFromDevice();
}
