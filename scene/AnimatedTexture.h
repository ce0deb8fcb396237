#pragma once

#include <cstdint>

#include "platform/d3dx/D3DXMath.h"
#include "scene/TextMatrixAni.h"

class File;

// What the scene model needs of a material's texture: the animation data of its map slots and
// its image sequence, and the few operations that apply a sampled state (select a slot, set
// the slot's texture matrix, select a sequence frame). The graphics layer's DXC_Texture
// implements it; the scene advances every texture through UpdateTexture once per frame.

// Timing of an image sequence.
struct TextureSequenceTiming {
    float startTime = 0.0f;     // seconds
    float frameDuration = 0.2f; // seconds per frame
    int32_t endCondition = 0;   // 0 loop, 1 ping-pong, 2 hold
};

constexpr int32_t SequenceLoop = 0;
constexpr int32_t SequencePingPong = 1;
constexpr int32_t SequenceHold = 2;

// How a stored texture record is read: which of the maps it names are loaded, and how.
struct TextureReadOptions {
    int32_t loadMaps = 1;            // load the images the slots name
    int32_t skipMapType = -1;        // slots of this operation are not loaded (-1 none)
    int32_t mipLevels = 0;           // for every loaded map
    const char* sceneFile = "";      // for the missing-texture warning
    const char* directory = nullptr; // made current while a resolved name is loaded
};

class DXC_AnimatedTexture {
public:
    static constexpr int32_t SlotCount = 8;

    virtual ~DXC_AnimatedTexture() = default;

    // The map slot (0..7) that slot operations address.
    virtual int32_t GetCurrentSlot() const = 0;
    // Makes a slot current. Reports an error for a slot above 7 or while a sequence is active.
    virtual void SelectSlot(int32_t slot) = 0;
    // Sets the current slot's texture matrix (2D form, translation in row 3); null clears it
    // so that the slot has no texture transform.
    virtual void SetSlotMatrix(const D3DXMATRIX* matrix) = 0;
    // uv animation of a slot (0..7).
    virtual const DXC_TextMatrixAni& GetUVAnimation(int32_t slot) const = 0;

    // Number of sequence frames; 0 when the texture is no sequence.
    virtual int32_t GetSequenceCount() const = 0;
    virtual const TextureSequenceTiming& GetSequenceTiming() const = 0;
    // Makes sequence frame (0..count-1) the texture shown.
    virtual void SelectSequenceFrame(int32_t frame) = 0;

    // Stores the time the texture was last advanced to.
    virtual void SetAnimationTime(float t) = 0;

    // Operation of a slot (1 diffuse, 2 bump, 3 reflection; 0 none).
    virtual int32_t GetSlotOperation(int32_t /*slot*/) const { return 0; }

    // The stored texture record. A texture that cannot be stored returns 0 without writing or
    // reading anything, and the caller reports it.
    virtual int32_t Write(File& /*file*/) const { return 0; }
    virtual int32_t Read(File& /*file*/, const TextureReadOptions& /*options*/) { return 0; }
};

// The 2D texture matrix of a uv placement: a move by (-0.5 - uOffset, vOffset - 0.5), a
// rotation about z by -wAngle and a scaling by the tilings, about the texture centre, with the
// translation carried in row 3 (elements 31, 32) and row 4 (0, 0, 0, 1). Returns 0 without
// touching out when the placement is no transform at all (offsets 0, tilings 1, angle 0).
int32_t ComputeUVTransform(float uOffset, float vOffset, float uTiling, float vTiling, float wAngle,
                           D3DXMATRIX* out);
// Sets the current slot's texture matrix from a uv placement (cleared for no transform).
void SetUVTransform(DXC_AnimatedTexture& texture, float uOffset, float vOffset, float uTiling, float vTiling,
                    float wAngle);

// The frame of an n-frame sequence shown at time t: looping, ping-pong (forwards, then
// backwards) or holding the last frame. A duration that is not positive shows frame 0.
int32_t ChooseSequenceFrame(float t, const TextureSequenceTiming& timing, int32_t frameCount);

// Advances a texture to time t: applies every slot's uv animation, or for a sequence slot 0's
// uv animation and the frame for t. The current slot is kept.
void UpdateTexture(DXC_AnimatedTexture& texture, float t);
