#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/WindowUi.h"

// The dialogs of the window's user interface, each drawn inside an ImGui frame as a modal
// window centred in the window.
class UiPanel {
public:
    virtual ~UiPanel() = default;
    // Draws the dialog; false once the user has finished it. What the choice asks for is put
    // into done, to run later in the event pump.
    virtual bool Draw(std::function<void()>* done) = 0;
};

std::unique_ptr<UiPanel> MakeFileDialogPanel(const FileDialogRequest& request,
                                             std::function<void(const std::string&)> chosen,
                                             std::function<void()> cancelled);
std::unique_ptr<UiPanel> MakeQuestionPanel(const std::string& caption, const std::string& text,
                                           std::function<void(bool)> answer);
std::unique_ptr<UiPanel> MakeMessagePanel(const std::string& caption, const std::string& text);
std::unique_ptr<UiPanel> MakeInfoPanel(const InfoContent& content);

// With KZV_UI_TRACE set in the environment, names the centre of the last item drawn (window
// pixels) on standard error as "ui-item ID X Y" (blanks in ID as '_') when it first appears,
// moves, or appears again after a frame without it: scripts that drive the window with real
// mouse clicks find the controls by it.
void TraceLastItem(const std::string& id);
// Whether KZV_UI_TRACE is set: callers building an id for every frame ask first.
bool UiTracing();
// The same for something drawn at x, y that is no item (a line of the banner).
void TraceAt(const std::string& id, int x, int y);

// A line of key text split at its tabs (or runs of two or more blanks) into columns.
std::vector<std::string> SplitKeyColumns(const std::string& line);
