// Symbolic names of Direct3D 8, D3DX and Win32 result codes, for error messages.
#pragma once

#include "platform/d3d8/D3D8Types.h"

// The name of a result code ("D3DERR_INVALIDCALL", "E_OUTOFMEMORY", "ERROR_FILE_NOT_FOUND"),
// or "Unknown" for a code outside the table. Win32 error codes are known both as plain numbers and
// in their result-code form (HRESULT_FROM_WIN32). The text is static; never freed.
const char* ErrorText(HRESULT code);
