#pragma once

#include <string>

#include "platform/d3dx/D3DXImage.h"

class DXC_Gfx;

// Writes the last presented frame, at the frame's own size, to an image file (BMP or PNG).
// Returns false with the reason in error (the file's system error when it can not be
// written); nothing is thrown.
bool SavePresentedFrame(DXC_Gfx& gfx, const std::string& path, D3DXIMAGE_FILEFORMAT format,
                        std::string& error);
