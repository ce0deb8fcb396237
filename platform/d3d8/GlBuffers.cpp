#include "platform/d3d8/GlBuffers.h"

#include "platform/d3d8/GlDevice.h"

GLuint GlBufferMirror::Sync(GLenum target, const BufferMemory& memory) {
    if (!id_) glGenBuffers(1, &id_);
    glBindBuffer(target, id_);
    if (uploaded_ != memory.Generation()) {
        // A fresh store each time: the driver need not wait for draws still reading the old one.
        glBufferData(target, static_cast<GLsizeiptr>(memory.Length()), memory.Bytes(), GL_DYNAMIC_DRAW);
        uploaded_ = memory.Generation();
    }
    return id_;
}

void GlBufferMirror::Release(const std::shared_ptr<GlDeviceLink>& link) {
    if (id_ && link && link->MakeCurrent()) glDeleteBuffers(1, &id_);
    id_ = 0;
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
