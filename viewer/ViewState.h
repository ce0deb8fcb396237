#pragma once

#include <cstdint>
#include <string>

#include "platform/d3dx/D3DXMath.h"
#include "scene/Scene3d.h"

class DXC_3dScene;

// The frame loop's state: times in seconds, selections and display switches. The toggles
// survive a reload; the load resets the rest.
struct ViewState {
    double animationTime = 0.0;
    int32_t paused = 0;
    double lastFrameTime = 0.0;
    double frameDelta = 0.0;
    int32_t frameCounter = 0;
    double frameRateStart = 0.0;
    float frameRate = 0.0f;
    float navigationSpeed = 500.0f;
    D3DXVECTOR3 centre{0.0f, 0.0f, 0.0f};
    float radius = 0.0f;
    int32_t currentCamera = -1; // -1: the free camera
    int32_t currentMesh = 0;
    int32_t meshCount = 0;
    int32_t vertexCount = 0;  // of the current mesh
    int32_t hasTexCoords = 0; // the current mesh has texture coordinates
    int32_t vertexSelection = -1;
    int32_t helperSelection = -2; // -2 none, -1 all, n one
    int32_t lightSelection = -2;
    int32_t noMesh = 1;
    int32_t shadingMode = 0; // 0 solid, 1 wire, 2 point
    int32_t showTime = 0;
    int32_t showAxis = 0;
    int32_t intersectionState = -1; // -1 no right click yet, 0 missed, 1 hit
    D3DXVECTOR3 intersectionPoint{0.0f, 0.0f, 0.0f};
    SceneViewOptions viewOptions;
    int32_t pauseKeyPressed = 0; // acted on after the frame is presented
};

// The last mouse click in the client area.
struct MouseClick {
    int32_t button = -1; // -1 none, 0 left, 1 right
    int32_t x = 0;
    int32_t y = 0;
    int32_t happened = 0; // some click has happened
};

// The words the window's event handling shares with the frame loop.
struct WindowWords {
    int32_t reloadRequest = 0;
    int32_t quit = 0;
    int32_t menuOrSizing = 0;
    int32_t notMinimised = 1;
    int32_t active = 1;
    DXC_3dScene* scene = nullptr; // for "Save binary..."
    std::string sceneName;        // the loaded file's name without folder
    std::string startDirectory;   // the working directory at the last load
    MouseClick click;
};
