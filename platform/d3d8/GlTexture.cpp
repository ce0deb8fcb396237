#include "platform/d3d8/GlTexture.h"

#include "platform/d3d8/GlDevice.h"
#include "platform/d3d8/GlDxt.h"
#include "platform/d3d8/PixelFormat.h"

GlTexture::GlTexture(GlDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                     D3DPOOL pool)
    : CommonTexture(device, width, height, levels, usage, format, pool), link_(device->Link()) {
    direct_ = GlTextureFormat(format, &format_);
    if (!direct_) GlTextureFormat(D3DFMT_A8R8G8B8, &format_);
}

GlTexture::~GlTexture() {
    ReleaseGl();
}

void GlTexture::DetachFromDevice() {
    ReleaseGl();
    link_.reset();
    CommonTexture::DetachFromDevice();
}

void GlTexture::ReleaseGl() {
    if (id_ && link_ && link_->MakeCurrent()) {
        glDeleteTextures(1, &id_);
        // Deleting unbinds it from every unit; the device's records must not keep its name.
        if (link_->device) link_->device->ForgetTexture(id_);
    }
    id_ = 0;
    uploaded_.clear();
}

void GlTexture::CreateGl() {
    glGenTextures(1, &id_);
    glBindTexture(GL_TEXTURE_2D, id_);
    const UINT levels = LevelCount();
    for (UINT level = 0; level < levels; ++level) {
        const ImageMemory& image = LevelImage(level);
        glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), static_cast<GLint>(format_.internalFormat),
                     static_cast<GLsizei>(image.Width()), static_cast<GLsizei>(image.Height()), 0,
                     format_.format, format_.type, nullptr);
    }
    // Sampling stays complete whatever the mip filter: only the levels that exist are used.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
    glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, format_.swizzle);
    uploaded_.assign(levels, ~0ull);
}

void GlTexture::UploadLevel(UINT level) {
    ImageMemory& image = LevelImage(level);
    const auto width = static_cast<GLsizei>(image.Width()), height = static_cast<GLsizei>(image.Height());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (direct_) {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(image.Pitch() / format_.bytesPerPixel));
        glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, width, height, format_.format,
                        format_.type, image.Bits());
    } else {
        // Formats GL 3.3 core cannot read as they are go up as A8R8G8B8.
        scratch_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFF000000u);
        if (CanConvertPixels(image.Format())) {
            const UINT bytes = FormatBitsPerPixel(image.Format()) / 8;
            for (GLsizei y = 0; y < height; ++y) {
                const BYTE* row = image.Bits() + static_cast<size_t>(y) * image.Pitch();
                for (GLsizei x = 0; x < width; ++x)
                    scratch_[static_cast<size_t>(y) * width + x] =
                        ReadPixelARGB(image.Format(), row + x * bytes);
            }
        } else if (IsCompressedFormat(image.Format())) {
            DecodeCompressedImage(image, scratch_.data());
        }
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, width, height, format_.format,
                        format_.type, scratch_.data());
        scratch_.clear();
        scratch_.shrink_to_fit();
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    uploaded_[level] = image.Generation();
}

GLuint GlTexture::Sync(bool* boundOut) {
    if (!link_ || !link_->device) return 0;
    const bool created = id_ == 0;
    if (created) CreateGl();
    bool bound = created;
    for (UINT level = 0; level < LevelCount(); ++level) {
        if (uploaded_[level] == LevelImage(level).Generation()) continue;
        if (!bound) {
            glBindTexture(GL_TEXTURE_2D, id_);
            bound = true;
        }
        UploadLevel(level);
    }
    *boundOut = bound;
    return id_;
}
