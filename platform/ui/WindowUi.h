#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What the viewer asks of the window's own user interface: a menu bar, in-window dialogs
// (files, folders, questions, messages, the info window) and a banner. The dialogs do not
// block: the frames go on while one is shown, and what the user chose comes back through the
// callbacks, which run in the window's event pump (never inside a frame's drawing).

// One menu entry: the menu it belongs to ("File"), its text ("Open...") and the command id the
// pump hands to WindowEventSink::OnMenuCommand. An empty label is a separator.
struct MenuEntry {
    std::string menu;
    std::string label;
    int32_t command = 0;
};

// A file-type choice of a file dialog: its label and its patterns ("*.kzv"), matched against
// file names without regard to case. No patterns: every file.
struct FileFilter {
    std::string label;
    std::vector<std::string> patterns;
};

enum class FileDialogKind { Open, Save, Folder };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    std::string title;
    std::string directory; // where the listing starts; empty: the working directory
    std::string name;      // the name field's first text
    std::vector<FileFilter> filters;
    bool fileMustExist = false;      // Open: only an existing file is accepted
    bool askBeforeOverwrite = false; // Save: an existing file is replaced only after a question
};

// The info window: a caption, lines of text, then blocks of key texts whose tab-separated
// parts are laid out as columns.
struct InfoContent {
    std::string caption;
    std::vector<std::string> lines;
    std::vector<std::string> keyTexts;
};

class WindowUi {
public:
    virtual ~WindowUi() = default;

    // The menu bar's entries; empty removes the items (the bar keeps its rows when the window
    // was made with one).
    virtual void SetMenu(const std::vector<MenuEntry>& entries) = 0;
    // Rows at the top of the window that the bar takes from the scene (0 without a bar).
    virtual int MenuBarHeight() const = 0;

    // A file or folder dialog. chosen gets the full path; cancelled runs when the user leaves.
    virtual void ShowFileDialog(const FileDialogRequest& request,
                                std::function<void(const std::string&)> chosen,
                                std::function<void()> cancelled) = 0;
    // A question with Yes and No; answer gets true for Yes.
    virtual void ShowQuestion(const std::string& caption, const std::string& text,
                              std::function<void(bool)> answer) = 0;
    // A message with OK.
    virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
    virtual void ShowInfo(const InfoContent& content) = 0;

    // Text drawn centred at the top of the window over every frame until cleared (empty).
    virtual void SetBanner(const std::string& text) = 0;

    // True while a menu is open or a dialog is shown.
    virtual bool Busy() const = 0;
};
