#pragma once

#include <functional>

// The top-level trap: runs body and turns the engine's two exception records into a message
// box. Returns body's exit code, or 0 after an engine error was shown; shutdown runs before
// the box appears so that a full-screen display is given back first.
int RunInErrorTrap(const std::function<int()>& body, const std::function<void()>& shutdown);
