#pragma once

#include <cstdio>

// The process-wide settings record, filled from the command line at start-up and read by
// the viewer and the graphics object. Flags hold 0 or 1.
struct ViewerSettings {
    char sceneFile[256] = {};
    int loop = 0;
    int windowed = 1;
    int mirrorOff = 0;
    int startPaused = 0;
    int closeAtEnd = 0;
    int lighting = 1;
    int showFrameRate = 0;
    int specular = 1;
    int wBuffer = 0;
    int hardwareVertexProcessing = 0;
    int hardwareSkinning = 0;
    int width = 640;
    int height = 480;
    int bitsPerPixel = 16;
    int clientWidth = 0;
    int clientHeight = 0;
    int adapter = 0;
    int firstCamera = 0;
    int vsync = 0;
    int refreshRate = 0;
    float nearPlane = 0.0f;
    float farPlane = 0.0f;
    float speed = 1.0f;
    float startTime = 0.0f;
    int noResize = 0;
    int referenceRasteriser = 0;
    int noKeys = 0;
    int escapeOnly = 0;
    int noMenu = 0;
    float maximumFrameRate = 0.0f;
    char defaultTexturePath[1024] = {};
    int headless = 0; // /headless, or no display: no window, frames drawn off-screen
    // /reload: the scene is loaded again every so many seconds of wall time (0: never). A test
    // hook for long runs: it raises the same reload request as "Open...".
    float reloadSeconds = 0.0f;
    char windowTitle[101] = "ViewKZV";
    char className[101] = "DXC_DEFAULT";
};

// The one settings record of the process.
extern ViewerSettings g_ViewerSettings;

// Fills every option of the command line into settings (defaults where an option is absent);
// the scene file is not touched.
void ReadViewerSettings(const char* commandLine, ViewerSettings& settings);

// Writes the settings as "name=value" lines, in the record's order, for scripts.
void PrintViewerSettings(FILE* out, const ViewerSettings& settings);
