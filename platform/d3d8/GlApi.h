#pragma once
// The OpenGL 3.3 core API as the GL device uses it: prototypes from <GL/glcorearb.h>,
// resolved by linking libOpenGL (glvnd), which dispatches to the current context's vendor.
// Only entry points of the 3.3 core profile may be called, even where the driver offers more.

#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/glcorearb.h>
