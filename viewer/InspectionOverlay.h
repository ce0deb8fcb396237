#pragma once

#include <cstdint>
#include <string>

#include "viewer/Inspection.h"

class OverlayCanvas;
class ViewerLoop;
struct ViewerServices;

// The inspection overlay on top of the scene: frame rate, speed, time and the credit line,
// the intersection of the last right click, and for inspection the selected mesh and vertex
// (numbers, texture coordinates, positions, bone weights, bounding box, matrices and
// markers), the selected helper and light, and the world axis.
//
// Positions are client pixels of the text layer. The right column and the intersection line
// sit by the client width; the speed, time and credit lines by the client size when windowed
// and by the /resx x /resy size in full screen.
class InspectionOverlay {
public:
    InspectionOverlay();

    // Frame step 7: clicks and the data of the selected vertex.
    void Inspect(ViewerLoop& loop);
    // Frame step 12, inside the overlay state: everything in its order on the canvas.
    void Draw(ViewerLoop& loop, OverlayCanvas& canvas);

    const InspectedVertex& Vertex() const { return vertex; }
    // The credit line's format (one number: the frame rate).
    const std::string& Credit() const { return credit; }

private:
    InspectedVertex vertex;
    std::string credit;
};

// Gives the services the overlay's two frame steps, drawing through the graphics object; the
// overlay must outlive the viewer's run.
void InstallInspectionOverlay(ViewerServices& services, InspectionOverlay& overlay);

// The credit text is kept in the program with every character code raised by one; this gives
// the text back (every byte lowered by one, up to the terminating zero).
std::string DecodeCredit(const char* coded);
