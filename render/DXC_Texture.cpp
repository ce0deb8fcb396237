#include "render/DXC_Texture.h"

#include <cmath>
#include <cstring>
#include <string>
#include <strings.h>

#include "foundation/File.h"
#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"
#include "platform/d3d8/ErrorText.h"
#include "render/DXC_Gfx.h"
#include "render/DXC_Vertex.h"

namespace {

int32_t FloatBits(float v) {
    int32_t bits;
    std::memcpy(&bits, &v, 4);
    return bits;
}

bool IsVideoName(const char* name) {
    return std::strlen(name) >= 7 && strncasecmp(name, ">>Video", 7) == 0;
}

} // namespace

DXC_Texture::DXC_Texture(DXC_Gfx* owner) : gfx(owner) {
    SetObjectName("DXC_Texture");
    for (Slot& slot : slots) D3DXMatrixIdentity(&slot.uvMatrix);
}

DXC_Texture::~DXC_Texture() {
    if (locked && lockedTexture) lockedTexture->UnlockRect(0); // no error from a destructor
    ClearLocked();
    FreeAll();
    ReleaseQuad();
}

// ---- image access ---------------------------------------------------------------------------

int32_t DXC_Texture::Lock(const RECT* rect, DWORD flags) {
    IDirect3DTexture8* texture = GetCurrentTexture();
    if (!texture) Error("LockRect failed: %s", ErrorText(D3DERR_INVALIDCALL));
    if (locked) Unlock();
    D3DSURFACE_DESC desc{};
    result = texture->GetLevelDesc(0, &desc);
    if (FAILED(result)) Error("LockRect failed: %s", ErrorText(result));
    SetPixelFormat(desc.Format);
    width = static_cast<int32_t>(desc.Width);
    height = static_cast<int32_t>(desc.Height);
    D3DLOCKED_RECT lr{};
    result = texture->LockRect(0, &lr, rect, flags);
    if (FAILED(result)) Error("LockRect failed: %s", ErrorText(result));
    lockedTexture = texture;
    SetLocked(lr.pBits, lr.Pitch, rect ? *rect : RECT{0, 0, width, height});
    return 1;
}

int32_t DXC_Texture::Unlock() {
    result = lockedTexture ? lockedTexture->UnlockRect(0) : D3DERR_INVALIDCALL;
    lockedTexture = nullptr;
    ClearLocked();
    if (FAILED(result)) Error("UnlockRect failed: %s", ErrorText(result));
    return 1;
}

RECT DXC_Texture::GetScreenRect() {
    const float len1 = std::sqrt(placement.edge1x * placement.edge1x + placement.edge1y * placement.edge1y);
    const float len2 = std::sqrt(placement.edge2x * placement.edge2x + placement.edge2y * placement.edge2y);
    return RECT{static_cast<LONG>(placement.x), static_cast<LONG>(placement.y),
                static_cast<LONG>(placement.x + len1), static_cast<LONG>(placement.y + len2)};
}

void DXC_Texture::GetSize(int32_t& w, int32_t& h) {
    w = static_cast<int32_t>(textureWidth);
    h = static_cast<int32_t>(textureHeight);
}

int32_t DXC_Texture::GetSizeResult(int32_t& w, int32_t& h) {
    GetSize(w, h);
    return 1;
}

int32_t DXC_Texture::TestPartialAlpha() {
    if (!GetCurrentTexture()) return 0;
    Lock(nullptr, D3DLOCK_READONLY);
    const int32_t partial = HasPartialAlpha();
    Unlock();
    return partial;
}

void DXC_Texture::Brightness(float factor) {
    brightness = factor;
    if (factor == 1.0f || videoSource >= 0 || !GetCurrentTexture()) return;
    const int32_t wasLocked = locked;
    if (!wasLocked) Lock(nullptr, 0);
    if (readPixel) ScaleColours(factor); // block formats have no pixels to scale
    if (!wasLocked) Unlock();
}

// ---- slots and frames -----------------------------------------------------------------------

int32_t DXC_Texture::CheckSlot(int32_t slot) const {
    if (slot < 0 || slot >= SlotCount)
        const_cast<DXC_Texture*>(this)->Error("Invalid texture stage selected: %i", slot);
    return slot;
}

const DXC_Texture::Slot& DXC_Texture::GetSlot(int32_t slot) const {
    return slots[CheckSlot(slot)];
}
DXC_Texture::Slot& DXC_Texture::GetSlot(int32_t slot) {
    return slots[CheckSlot(slot)];
}

const DXC_Texture::Frame* DXC_Texture::GetFrame(int32_t frame) const {
    return frame >= 0 && frame < sequenceCount ? &frames[frame] : nullptr;
}

IDirect3DTexture8* DXC_Texture::Live(IDirect3DTexture8* texture, int32_t listIndex) const {
    if (listIndex < 0 || !gfx) return texture;
    // A device reset releases default-pool textures and empties their entries: the entry,
    // not the pointer kept here, says whether the texture still exists.
    const ResourceEntry* entry = gfx->GetTextureList().Get(listIndex);
    return entry ? static_cast<IDirect3DTexture8*>(entry->resource) : nullptr;
}

IDirect3DTexture8* DXC_Texture::GetCurrentTexture() const {
    if (sequenceCount > 0) {
        if (currentFrame >= sequenceCount) return nullptr;
        return Live(frames[currentFrame].texture, frames[currentFrame].listIndex);
    }
    return Live(slots[currentSlot].texture, slots[currentSlot].listIndex);
}

IDirect3DTexture8* DXC_Texture::GetSlotTexture(int32_t slot) const {
    const Slot& s = GetSlot(slot);
    return Live(s.texture, s.listIndex);
}

void DXC_Texture::ReleaseEntry(IDirect3DTexture8*& texture, int32_t& listIndex) {
    IDirect3DTexture8* live = Live(texture, listIndex);
    if (locked && lockedTexture && lockedTexture == live) Unlock();
    if (listIndex >= 0) {
        ResourceManager* list = gfx ? &gfx->GetTextureList() : nullptr;
        if (list && list->Unacquire(listIndex) == 1 && live) {
            // The last user: a video source must not keep pointing at the released texture.
            if (videoSource >= 0 && gfx->GetVideoSource(videoSource).texture == live)
                gfx->GetVideoSource(videoSource).texture = nullptr;
            live->Release();
        }
    } else if (texture) {
        texture->Release(); // a texture held outside the list (one reference of its own)
    }
    texture = nullptr;
    listIndex = -1;
}

void DXC_Texture::Free(int32_t n) {
    if (sequenceCount == 0) {
        if (n < 0 || n >= SlotCount) Error("Invalid stage: %i", n);
        Slot& slot = slots[n];
        ReleaseEntry(slot.texture, slot.listIndex);
        slot.fileName.Clear();
        slot.fileSize = 0;
        return;
    }
    if (n < 0 || n >= sequenceCount) Error("Invalid sequence to free: %i", n);
    ReleaseEntry(frames[n].texture, frames[n].listIndex);
}

void DXC_Texture::FreeCurrent() {
    Free(sequenceCount > 0 ? currentFrame : currentSlot);
}

void DXC_Texture::FreeAll() {
    for (Frame& frame : frames) ReleaseEntry(frame.texture, frame.listIndex);
    for (Slot& slot : slots) {
        ReleaseEntry(slot.texture, slot.listIndex);
        slot.fileName.Clear();
        slot.fileSize = 0;
    }
}

void DXC_Texture::SelectFrame(int32_t frame) {
    if (frame < 0 || frame >= sequenceCount) Error("Invalid sequence number");
    currentFrame = frame;
}

void DXC_Texture::SetSequenceCount(int32_t n, int32_t keep) {
    if (n < 0) n = 0;
    if (!keep) {
        FreeAll();
        frames.clear();
    } else {
        // Frames beyond the new count would be lost from the list otherwise.
        for (size_t i = static_cast<size_t>(n); i < frames.size(); ++i)
            ReleaseEntry(frames[i].texture, frames[i].listIndex);
    }
    frames.resize(static_cast<size_t>(n));
    sequenceCount = n;
    if (currentFrame >= n) currentFrame = 0;
}

void DXC_Texture::StoreTexture(IDirect3DTexture8* texture, int32_t listIndex, int32_t pool) {
    if (sequenceCount > 0) {
        Frame& frame = frames[currentFrame];
        if (frame.texture || frame.listIndex >= 0) ReleaseEntry(frame.texture, frame.listIndex);
        frame.texture = texture;
        frame.listIndex = listIndex;
        return;
    }
    Slot& slot = slots[currentSlot];
    if (slot.texture || slot.listIndex >= 0) ReleaseEntry(slot.texture, slot.listIndex);
    slot.texture = texture;
    slot.listIndex = listIndex;
    slot.pool = pool;
}

void DXC_Texture::Copy(const DXC_Texture& source) {
    if (&source == this) return;
    if (locked) Unlock();
    FreeAll();
    if (!gfx) gfx = source.gfx;
    ResourceManager* list = gfx ? &gfx->GetTextureList() : nullptr;
    auto share = [list](IDirect3DTexture8* texture, int32_t index, IDirect3DTexture8*& toTexture,
                        int32_t& toIndex) {
        toTexture = texture;
        toIndex = -1;
        if (index >= 0 && list && list->Acquire(index) == index)
            toIndex = index;
        else if (texture)
            texture->AddRef(); // not in the list: hold a reference of our own
    };
    for (int32_t i = 0; i < SlotCount; ++i) {
        const Slot& from = source.slots[i];
        Slot& to = slots[i];
        share(from.texture, from.listIndex, to.texture, to.listIndex);
        to.pool = from.pool;
        to.fileName = from.fileName;
        to.fileSize = from.fileSize;
        to.uvMatrix = from.uvMatrix;
        to.matrixSet = from.matrixSet;
        to.uvAnimation = from.uvAnimation;
        to.mapType = from.mapType;
        to.factor = from.factor;
    }
    frames.assign(source.frames.size(), Frame{});
    for (size_t i = 0; i < frames.size(); ++i)
        share(source.frames[i].texture, source.frames[i].listIndex, frames[i].texture, frames[i].listIndex);
    sequenceCount = source.sequenceCount;
    currentFrame = source.currentFrame;
    currentSlot = source.currentSlot;
    timing = source.timing;
    animationTime = source.animationTime;
    textureWidth = source.textureWidth;
    textureHeight = source.textureHeight;
    placement = source.placement;
    videoSource = source.videoSource;
    alphaTest = source.alphaTest;
    blendAmount = source.blendAmount;
    pivotX = source.pivotX;
    pivotY = source.pivotY;
    brightness = source.brightness;
    for (int32_t i = 0; i < 3; ++i) storedWords[i] = source.storedWords[i];
    vertexShader.reset();
    pixelShader.reset();
    if (source.vertexShader) {
        vertexShader = std::make_unique<DXC_VertexShader>(gfx);
        vertexShader->CopyFrom(*source.vertexShader);
    }
    if (source.pixelShader) {
        pixelShader = std::make_unique<DXC_PixelShader>(gfx);
        pixelShader->CopyFrom(*source.pixelShader);
    }
    if (gfx && gfx->GetDevice()) {
        EnsureQuad();
        FillQuad();
    }
}

void DXC_Texture::SetSlotOperation(int32_t slot, int32_t mapType, float factor) {
    Slot& s = GetSlot(slot);
    s.mapType = mapType;
    s.factor = factor;
}

// ---- scene animation ------------------------------------------------------------------------

void DXC_Texture::SelectSlot(int32_t slot) {
    if (sequenceCount > 0) Error("No stages with texture sequence allowed");
    if (slot < 0 || slot >= SlotCount) Error("Invalid texture stage selected: %i", slot);
    currentSlot = slot;
}

void DXC_Texture::SetSlotMatrix(const D3DXMATRIX* matrix) {
    Slot& slot = slots[sequenceCount > 0 ? 0 : currentSlot];
    if (matrix) {
        slot.uvMatrix = *matrix;
        slot.matrixSet = 1;
    } else {
        D3DXMatrixIdentity(&slot.uvMatrix);
        slot.matrixSet = 0;
    }
}

const DXC_TextMatrixAni& DXC_Texture::GetUVAnimation(int32_t slot) const {
    return GetSlot(slot).uvAnimation;
}

// ---- screen quad ----------------------------------------------------------------------------

void DXC_Texture::ReleaseQuad() {
    SafeRelease(quad);
    quadDevice = nullptr;
}

void DXC_Texture::EnsureQuad() {
    IDirect3DDevice8* device = gfx ? gfx->GetDevice() : nullptr;
    if (quad && quadDevice == device) return;
    ReleaseQuad();
    if (!device) Error("CreateVertexBuffer failed: %s", ErrorText(D3DERR_INVALIDCALL));
    result = device->CreateVertexBuffer(QuadVertices * sizeof(DXC_TLVertex), D3DUSAGE_WRITEONLY,
                                        DXC_TLVertex::Format, D3DPOOL_SYSTEMMEM, &quad);
    if (FAILED(result)) {
        quad = nullptr;
        Error("CreateVertexBuffer failed: %s", ErrorText(result));
    }
    quadDevice = device;
    FillQuad();
}

void DXC_Texture::FillQuad() {
    if (!quad) return;
    BYTE* data = nullptr;
    result = quad->Lock(0, 0, &data, 0);
    if (FAILED(result)) Error("Lock failed: %s", ErrorText(result));
    const Placement& p = placement;
    const float xs[4] = {p.x + p.edge2x, p.x, p.x + p.edge1x + p.edge2x, p.x + p.edge1x};
    const float ys[4] = {p.y + p.edge2y, p.y, p.y + p.edge1y + p.edge2y, p.y + p.edge1y};
    const float us[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    const float vs[4] = {1.0f, 0.0f, 1.0f, 0.0f};
    DXC_TLVertex v[QuadVertices];
    for (int32_t i = 0; i < QuadVertices; ++i)
        v[i] = DXC_TLVertex{xs[i], ys[i], 0.0f, 1.0f, 0xFFFFFFFFu, 0xFF000000u, us[i], vs[i]};
    std::memcpy(data, v, sizeof v);
    result = quad->Unlock();
    if (FAILED(result)) Error("Unlock failed: %s", ErrorText(result));
}

// ---- stored record --------------------------------------------------------------------------

int32_t DXC_Texture::Write(File& file) const {
    file.WriteInt(storedWords[0]);
    file.WriteInt(FloatBits(timing.startTime));
    file.WriteInt(FloatBits(timing.frameDuration));
    file.WriteInt(timing.endCondition);
    file.WriteInt(storedWords[1]);
    file.WriteInt(storedWords[2]);
    for (const Slot& slot : slots) {
        slot.uvAnimation.Write(file);
        file.WriteString(slot.fileName);
        file.WriteInt(slot.mapType);
        file.WriteInt(FloatBits(slot.factor));
    }
    return 1;
}

int32_t DXC_Texture::Read(File& file, const ReadOptions& options) {
    file.ReadInt(&storedWords[0]);
    file.ReadInt(&timing.startTime);
    file.ReadInt(&timing.frameDuration);
    file.ReadInt(&timing.endCondition);
    file.ReadInt(&storedWords[1]);
    file.ReadInt(&storedWords[2]);
    String names[SlotCount];
    for (int32_t i = 0; i < SlotCount; ++i) {
        Slot& slot = slots[i];
        slot.uvAnimation.Read(file);
        file.ReadString(names[i]);
        file.ReadInt(&slot.mapType);
        file.ReadInt(&slot.factor);
    }
    // Images are loaded once the whole record is read, so a damaged record loads nothing.
    for (int32_t i = 0; i < SlotCount; ++i) {
        if (names[i].IsEmpty()) continue;
        if (options.loadMaps && slots[i].mapType != options.skipMapType)
            LoadRecordedMap(i, names[i], options);
        slots[i].fileName = names[i];
    }
    return 1;
}

void DXC_Texture::LoadRecordedMap(int32_t slot, const String& name, const ReadOptions& options) {
    if (!gfx) Error("Texture is not attached to the graphics object");
    String path = name;
    const int32_t video = IsVideoName(path.Text());
    const int32_t resolved = video ? 0 : gfx->ResolveTexturePath(path);
    // The folder recorded by the scene loader is current only while the resolved name loads.
    struct DirectorySwitch {
        std::string previous;
        bool active = false;
        void Restore() {
            if (active) SetWorkingDirectory(previous);
            active = false;
        }
        ~DirectorySwitch() { Restore(); }
    } folder;
    if (resolved && options.directory && options.directory[0]) {
        folder.previous = GetWorkingDirectory();
        folder.active = SetWorkingDirectory(options.directory);
    }
    bool found = video || FileExists(path.Text());
    if (!found && resolved) {
        // Last the file-name part in the scene file's own folder (the working directory while
        // a scene loads), so that a scene copied together with its maps into one folder loads.
        folder.Restore();
        const std::string local(FileNamePart(name.Text()));
        if (!local.empty() && FileExists(local.c_str())) {
            path = local.c_str();
            found = true;
        }
    }
    if (found) {
        if (sequenceCount == 0) currentSlot = slot;
        gfx->LoadTexture(this, path.Text(), 0, 0x2000, static_cast<D3DFORMAT>(0xFFFFFFFFu),
                         options.mipLevels);
    } else {
        Warning("File '%s': Can not open texture: %s (curDir: %s)",
                options.sceneFile ? options.sceneFile : "", path.Text(), GetWorkingDirectory().c_str());
    }
}
