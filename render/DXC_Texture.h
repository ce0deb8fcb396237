#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/String.h"
#include "platform/d3d8/D3D8.h"
#include "platform/d3dx/D3DXMath.h"
#include "render/DXC_SurfaceBase.h"
#include "render/DXC_VertexShader.h"
#include "scene/AnimatedTexture.h"
#include "scene/TextMatrixAni.h"

class DXC_Gfx;
class File;

// The textures of one material: up to 8 map slots, each with its own Direct3D texture, file
// name, uv matrix and uv animation, or instead a sequence of frames loaded from an image file
// list, the current frame standing in for the slot texture. Images are created and loaded by
// DXC_Gfx (CreateTexture, LoadTexture) into the current slot or frame.
//
// Every Direct3D texture a slot or frame holds is counted in the texture list of DXC_Gfx;
// copies share entries (one more user each), and a slot or frame lets go of its texture only
// through that list, so the last user releases it.
//
// The texture also keeps a screen placement and a 4-vertex quad buffer for drawing it as a
// 2D image, the map type (operation) and factor of each slot for the stage set-up, an
// alpha-test flag and a brightness factor.
class DXC_Texture : public DXC_SurfaceBase, public DXC_AnimatedTexture {
public:
    static constexpr int32_t QuadVertices = 4;

    // Pools as a slot records them.
    static constexpr int32_t PoolDefault = 0;
    static constexpr int32_t PoolManaged = 1;
    static constexpr int32_t PoolSystemMemory = 2;

    struct Slot {
        IDirect3DTexture8* texture = nullptr; // as stored; GetSlotTexture gives the live one
        int32_t listIndex = -1;               // entry in the texture list, -1 none
        int32_t pool = PoolManaged;
        String fileName;
        int32_t fileSize = 0;
        D3DXMATRIX uvMatrix;
        int32_t matrixSet = 0;
        DXC_TextMatrixAni uvAnimation;
        int32_t mapType = 0; // operation: 1 diffuse, 2 bump, 3 reflection ..., 0 none
        float factor = 1.0f;
    };
    struct Frame {
        IDirect3DTexture8* texture = nullptr;
        int32_t listIndex = -1;
    };
    // The 2D placement: top-left corner and the two edge vectors in pixels.
    struct Placement {
        float x = 0.0f, y = 0.0f;
        float edge1x = 0.0f, edge1y = 0.0f;
        float edge2x = 0.0f, edge2y = 0.0f;
    };

    explicit DXC_Texture(DXC_Gfx* gfx = nullptr);
    ~DXC_Texture() override;

    // The graphics object whose device and texture list the texture uses.
    void AttachGfx(DXC_Gfx* owner) { gfx = owner; }
    DXC_Gfx* GetGfx() const { return gfx; }

    // ---- Image access (DXC_SurfaceBase) -------------------------------------------------------
    // Level 0 of the current texture; fatal "LockRect failed: %s" / "UnlockRect failed: %s".
    int32_t Lock(const RECT* rect, DWORD flags) override;
    int32_t Unlock() override;
    // The bounding rectangle of the 2D placement.
    RECT GetScreenRect() override;
    void GetSize(int32_t& width, int32_t& height) override;
    int32_t GetSizeResult(int32_t& width, int32_t& height) override;

    // Locks level 0 for reading, runs the partial-alpha test and unlocks; 0 without a texture.
    int32_t TestPartialAlpha();
    // Stores the factor; when it is not 1.0 and the texture is no video source, every pixel's
    // red, green and blue are scaled by it (the image is locked for this when it is not).
    void Brightness(float factor);
    float GetBrightness() const { return brightness; }

    // ---- Slots, frames and sharing ----------------------------------------------------------
    // The Direct3D texture shown: the current frame with a sequence, else the current slot's;
    // null for a default-pool texture that a device reset released.
    IDirect3DTexture8* GetCurrentTexture() const;
    IDirect3DTexture8* GetSlotTexture(int32_t slot) const;
    // Slot or frame n (a frame when a sequence is active); fatal "Invalid stage: %i" /
    // "Invalid sequence to free: %i". The texture list drops the entry and the last user
    // releases the Direct3D texture.
    void Free(int32_t n);
    // The current frame with a sequence, else the current slot.
    void FreeCurrent();
    // Every slot and frame.
    void FreeAll();
    // Fatal "Invalid sequence number" outside 0..count-1.
    void SelectFrame(int32_t frame);
    int32_t GetCurrentFrame() const { return currentFrame; }
    // n frames, each empty. Without keep every slot and frame is freed first; with keep the
    // frames that fit stay and those beyond n are freed.
    void SetSequenceCount(int32_t n, int32_t keep);
    // Shares every slot texture and frame of source (one more user each in the texture list)
    // and copies its names, matrices, uv animations, timing, placement, shaders and settings.
    // The copy has its own quad buffer.
    void Copy(const DXC_Texture& source);
    // Puts a texture that the caller entered in the texture list into the current frame (with
    // a sequence) or the current slot, which must be empty.
    void StoreTexture(IDirect3DTexture8* texture, int32_t listIndex, int32_t pool);

    // Slot 0..7; another number is fatal "Invalid texture stage selected: %i".
    const Slot& GetSlot(int32_t slot) const;
    Slot& GetSlot(int32_t slot);
    const Frame* GetFrame(int32_t frame) const;
    // Map type and factor of a slot (operation of the stage set-up).
    void SetSlotOperation(int32_t slot, int32_t mapType, float factor);
    DXC_TextMatrixAni& UVAnimation(int32_t slot) { return GetSlot(slot).uvAnimation; }

    // ---- Scene animation (DXC_AnimatedTexture) --------------------------------------------------
    int32_t GetCurrentSlot() const override { return currentSlot; }
    // Error "No stages with texture sequence allowed" with a sequence, "Invalid texture stage
    // selected: %i" outside 0..7.
    void SelectSlot(int32_t slot) override;
    // With a sequence the matrix belongs to slot 0, whose uv animation drives the frames.
    void SetSlotMatrix(const D3DXMATRIX* matrix) override;
    const DXC_TextMatrixAni& GetUVAnimation(int32_t slot) const override;
    int32_t GetSequenceCount() const override { return sequenceCount; }
    const TextureSequenceTiming& GetSequenceTiming() const override { return timing; }
    void SelectSequenceFrame(int32_t frame) override { SelectFrame(frame); }
    void SetAnimationTime(float t) override { animationTime = t; }
    float GetAnimationTime() const { return animationTime; }
    void SetSequenceTiming(const TextureSequenceTiming& value) { timing = value; }
    // The current slot's texture matrix from a uv placement; offsets 0, tilings 1 and angle 0
    // clear it (the slot has no texture transform).
    void SetUVTransform(float uOffset, float vOffset, float uTiling, float vTiling, float wAngle) {
        ::SetUVTransform(*this, uOffset, vOffset, uTiling, vTiling, wAngle);
    }

    // ---- Screen quad ------------------------------------------------------------------------
    // Creates the 128-byte quad buffer (write-only, system memory) when there is none or the
    // device changed; fatal "CreateVertexBuffer failed: %s".
    void EnsureQuad();
    // Writes the placement into the quad: corners (left, bottom), (left, top), (right, bottom),
    // (right, top) of the placement for a triangle strip, white, depth 0.
    void FillQuad();
    IDirect3DVertexBuffer8* GetQuad() const { return quad; }
    void SetPlacement(const Placement& value) { placement = value; }
    const Placement& GetPlacement() const { return placement; }

    // Size in pixels of the image as loaded (or as asked for when created).
    float GetTextureWidth() const { return textureWidth; }
    float GetTextureHeight() const { return textureHeight; }
    void SetTextureSize(float w, float h) {
        textureWidth = w;
        textureHeight = h;
    }

    // ---- Stored texture record ------------------------------------------------------------
    using ReadOptions = TextureReadOptions;
    // Six words (a stored word, start time, frame duration, end condition, two stored words),
    // then per slot its uv animation record, file name, operation and factor.
    int32_t Write(File& file) const override;
    // Reads that record; a slot naming a file loads it into the slot (flag 0x2000: the slots
    // already loaded stay). A name that is not found is looked for in the default texture
    // folder; one that still does not exist logs "File '%s': Can not open texture: %s
    // (curDir: %s)" and the slot stays empty.
    int32_t Read(File& file, const ReadOptions& options) override;
    int32_t GetSlotOperation(int32_t slot) const override {
        return slot >= 0 && slot < SlotCount ? slots[slot].mapType : 0;
    }

    // Shaders drawn with the texture (none unless a caller sets them); a copy gets shader
    // objects of its own that share the source's handles.
    void SetVertexShader(std::unique_ptr<DXC_VertexShader> shader) { vertexShader = std::move(shader); }
    void SetPixelShader(std::unique_ptr<DXC_PixelShader> shader) { pixelShader = std::move(shader); }
    DXC_VertexShader* GetVertexShader() const { return vertexShader.get(); }
    DXC_PixelShader* GetPixelShader() const { return pixelShader.get(); }

    int32_t videoSource = -1; // 0..15 when the image is a video source
    int32_t alphaTest = 0;    // draw with the alpha test on (pixels with alpha above 0 pass)
    float blendAmount = 0.0f;
    float pivotX = 0.0f; // pivot of DrawTexture, in pixels of the unscaled image
    float pivotY = 0.0f;
    int32_t storedWords[3] = {0, 0, 0}; // the record's first word and its last two, kept as read

private:
    int32_t CheckSlot(int32_t slot) const;
    IDirect3DTexture8* Live(IDirect3DTexture8* texture, int32_t listIndex) const;
    void ReleaseEntry(IDirect3DTexture8*& texture, int32_t& listIndex);
    void ReleaseQuad();
    void LoadRecordedMap(int32_t slot, const String& name, const ReadOptions& options);

    DXC_Gfx* gfx = nullptr;
    Slot slots[SlotCount];
    int32_t currentSlot = 0;
    std::vector<Frame> frames;
    int32_t sequenceCount = 0;
    int32_t currentFrame = 0;
    TextureSequenceTiming timing;
    float animationTime = 0.0f;
    float textureWidth = 0.0f;
    float textureHeight = 0.0f;
    Placement placement;
    IDirect3DVertexBuffer8* quad = nullptr;
    IDirect3DDevice8* quadDevice = nullptr; // the device the quad belongs to
    IDirect3DTexture8* lockedTexture = nullptr;
    float brightness = 1.0f;
    std::unique_ptr<DXC_VertexShader> vertexShader;
    std::unique_ptr<DXC_PixelShader> pixelShader;
};
