#pragma once

#include <functional>

// Shows a message box with an OK button. Until a window system presenter is installed,
// the text goes to standard error as "caption: text".
void ShowMessageBox(const char* caption, const char* text);

// The window layer installs a presenter that shows a real dialog; it returns false when it
// could not show one, and the box falls back to standard error.
using MessageBoxPresenter = std::function<bool(const char* caption, const char* text)>;
void SetMessageBoxPresenter(MessageBoxPresenter presenter);
