#pragma once

#include <cstdint>
#include <span>

#include "platform/d3dx/D3DXMath.h"

class ViewerLoop;

// What the commands of one frame gather before acting together: the vertex presses (applied
// after the mesh keys) and the orbit of the free camera (its position set once at the end).
struct KeyFrameState {
    int32_t vertexPresses = 0;
    bool orbiting = false;
    D3DXVECTOR3 orbit{0.0f, 0.0f, 0.0f}; // free-camera position minus the scene centre
    D3DXVECTOR3 right{1.0f, 0.0f, 0.0f};
};

// The keyboard commands as a table of key bindings to named commands, examined once per frame
// in table order.
enum class KeyKind : uint8_t {
    Held,    // acts every frame while the key is down
    Pressed, // acts once in a frame with presses (the press or its auto-repeats)
    Presses, // acts with the number of presses
    Always,  // no key: a step that follows its group
};

enum class Modifiers : uint8_t {
    Any,   // Shift and Ctrl do not matter
    Shift, // Shift held
    Ctrl,  // Ctrl held
    Plain, // neither Shift nor Ctrl held
};

struct KeyBinding {
    uint8_t key;
    KeyKind kind;
    Modifiers modifiers;
    const char* command; // the command's name, for help texts and tests
    bool whenLocked;     // also under /nokey and /esc
    void (*run)(ViewerLoop& loop, int32_t presses);
};

// The table, in the order the keys are examined.
std::span<const KeyBinding> KeyBindings();

// Frame step 6: every binding whose key and modifiers apply, then the orbit's new position.
void RunKeyCommands(ViewerLoop& loop);
// Frame step 14: the pause key, acted on after the frame is presented.
void ApplyPauseKey(ViewerLoop& loop);
// Frame step 18: Escape held ends the viewer unless /nokey is set.
bool EscapeRequested(ViewerLoop& loop);
