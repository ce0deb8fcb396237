#include "platform/ui/ImGuiPanels.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <utility>

#include "platform/ui/FileDialogModel.h"

namespace {

constexpr ImGuiWindowFlags kDialogFlags =
    ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_AlwaysAutoResize;

bool EscapePressed() {
    return ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false);
}

// Opens the modal on its first frame, centred in the window; false when ImGui closed it.
bool BeginDialog(const std::string& caption, const void* identity, bool* opened) {
    const std::string id = caption + "##" + std::to_string(reinterpret_cast<uintptr_t>(identity));
    if (!*opened) {
        ImGui::OpenPopup(id.c_str());
        *opened = true;
    }
    const ImVec2 centre(ImGui::GetIO().DisplaySize.x * 0.5f, ImGui::GetIO().DisplaySize.y * 0.5f);
    ImGui::SetNextWindowPos(centre, ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
    return ImGui::BeginPopupModal(id.c_str(), nullptr, kDialogFlags);
}

bool Button(const char* label, const std::string& traceId) {
    const bool pressed = ImGui::Button(label, ImVec2(80.0f, 0.0f));
    TraceLastItem(traceId);
    return pressed;
}

class MessagePanel : public UiPanel {
public:
    MessagePanel(std::string caption, std::string text)
        : caption_(std::move(caption)), text_(std::move(text)) {}
    bool Draw(std::function<void()>*) override {
        if (!BeginDialog(caption_, this, &opened_)) return false;
        ImGui::TextUnformatted(text_.c_str());
        ImGui::Spacing();
        const bool ok = Button("OK", caption_ + ":OK") || EscapePressed() ||
                        ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter), false);
        if (ok) ImGui::CloseCurrentPopup();
        ImGui::EndPopup();
        return !ok;
    }

private:
    std::string caption_, text_;
    bool opened_ = false;
};

class QuestionPanel : public UiPanel {
public:
    QuestionPanel(std::string caption, std::string text, std::function<void(bool)> answer)
        : caption_(std::move(caption)), text_(std::move(text)), answer_(std::move(answer)) {}
    bool Draw(std::function<void()>* done) override {
        if (!BeginDialog(caption_, this, &opened_)) return Finish(false, done);
        ImGui::TextUnformatted(text_.c_str());
        ImGui::Spacing();
        int choice = Button("Yes", caption_ + ":Yes") ? 1 : 0;
        ImGui::SameLine();
        if (Button("No", caption_ + ":No") || EscapePressed()) choice = 2;
        if (choice) ImGui::CloseCurrentPopup();
        ImGui::EndPopup();
        return choice ? Finish(choice == 1, done) : true;
    }

private:
    bool Finish(bool yes, std::function<void()>* done) {
        auto answer = std::move(answer_);
        *done = [answer, yes] {
            if (answer) answer(yes);
        };
        return false;
    }
    std::string caption_, text_;
    std::function<void(bool)> answer_;
    bool opened_ = false;
};

class InfoPanel : public UiPanel {
public:
    explicit InfoPanel(InfoContent content) : content_(std::move(content)) {}
    bool Draw(std::function<void()>*) override {
        if (!BeginDialog(content_.caption, this, &opened_)) return false;
        // The text scrolls when the window is too small for it; OK stays in view.
        const ImVec2 display = ImGui::GetIO().DisplaySize;
        const ImVec2 area(std::min(560.0f, display.x - 40.0f), std::min(560.0f, display.y - 90.0f));
        ImGui::BeginChild("text", ImVec2(std::max(area.x, 100.0f), std::max(area.y, 60.0f)));
        for (const std::string& line : content_.lines) ImGui::TextUnformatted(line.c_str());
        ImGui::Separator();
        for (size_t block = 0; block < content_.keyTexts.size(); ++block) DrawKeys(block);
        ImGui::EndChild();
        ImGui::Spacing();
        const bool ok = Button("OK", "Info:OK") || EscapePressed();
        if (ok) ImGui::CloseCurrentPopup();
        ImGui::EndPopup();
        return !ok;
    }

private:
    void DrawKeys(size_t block) {
        const std::string id = "keys" + std::to_string(block);
        if (!ImGui::BeginTable(id.c_str(), 2)) return;
        // Every block's key column has the same width, so the texts line up from block to block.
        ImGui::TableSetupColumn("key", ImGuiTableColumnFlags_WidthFixed,
                                ImGui::CalcTextSize("<SHIFT>+<PGDWN>  ").x);
        ImGui::TableSetupColumn("action", ImGuiTableColumnFlags_WidthStretch);
        std::istringstream lines(content_.keyTexts[block]);
        for (std::string line; std::getline(lines, line);) {
            const std::vector<std::string> columns = SplitKeyColumns(line);
            ImGui::TableNextRow();
            for (size_t c = 0; c < columns.size() && c < 2; ++c) {
                ImGui::TableSetColumnIndex(static_cast<int>(c));
                ImGui::TextUnformatted(columns[c].c_str());
            }
        }
        ImGui::EndTable();
    }
    InfoContent content_;
    bool opened_ = false;
};

class FileDialogPanel : public UiPanel {
public:
    FileDialogPanel(const FileDialogRequest& request, std::function<void(const std::string&)> chosen,
                    std::function<void()> cancelled)
        : model_(request), chosen_(std::move(chosen)), cancelled_(std::move(cancelled)) {}

    bool Draw(std::function<void()>* done) override {
        if (!BeginDialog(model_.Request().title, this, &opened_)) return Finish(false, done);
        int result = asking_ ? DrawOverwriteQuestion() : DrawBrowser();
        ImGui::EndPopup();
        return result == 0 ? true : Finish(result == 1, done);
    }

private:
    // 0 goes on, 1 chose path_, 2 cancelled.
    int DrawBrowser() {
        ImGui::Text("Look in: %s", model_.Directory().c_str());
        DrawListing();
        if (model_.Request().kind != FileDialogKind::Folder) {
            if (!focused_) {
                ImGui::SetKeyboardFocusHere();
                focused_ = true;
            }
            char buffer[256];
            std::snprintf(buffer, sizeof buffer, "%s", model_.name.c_str());
            ImGui::SetNextItemWidth(360.0f);
            const bool enter =
                ImGui::InputText("File name", buffer, sizeof buffer, ImGuiInputTextFlags_EnterReturnsTrue);
            TraceLastItem("field:name");
            if (ImGui::IsItemActive()) TraceLastItem("field:name:typing"); // takes the keys now
            model_.name = buffer;
            DrawFilters();
            if (enter) return AcceptName();
        }
        if (!problem_.empty()) ImGui::TextColored(ImVec4(1.0f, 0.4f, 0.4f, 1.0f), "%s", problem_.c_str());
        const char* okLabel = model_.Request().kind == FileDialogKind::Save   ? "Save"
                              : model_.Request().kind == FileDialogKind::Open ? "Open"
                                                                              : "OK";
        if (Button(okLabel, std::string("button:") + okLabel)) return AcceptName();
        ImGui::SameLine();
        if (Button("Cancel", "button:Cancel") || EscapePressed()) return 2;
        return 0;
    }

    void DrawListing() {
        ImGui::BeginChild("listing", ImVec2(460.0f, 220.0f), true);
        if (!model_.ListingError().empty()) ImGui::TextUnformatted(model_.ListingError().c_str());
        const std::vector<DirectoryEntry> entries = model_.Entries();
        for (const DirectoryEntry& entry : entries) {
            const std::string label = entry.folder ? "[" + entry.name + "]" : entry.name;
            const bool selected = !entry.folder && entry.name == model_.name;
            if (ImGui::Selectable(label.c_str(), selected)) {
                model_.Pick(entry);
                problem_.clear();
            }
            TraceLastItem((entry.folder ? "folder:" : "file:") + entry.name);
        }
        ImGui::EndChild();
    }

    void DrawFilters() {
        const auto& filters = model_.Request().filters;
        if (filters.empty()) return;
        ImGui::SetNextItemWidth(360.0f);
        if (ImGui::BeginCombo("Files of type", filters[model_.FilterIndex()].label.c_str())) {
            for (size_t i = 0; i < filters.size(); ++i) {
                if (ImGui::Selectable(filters[i].label.c_str(), static_cast<int>(i) == model_.FilterIndex()))
                    model_.SelectFilter(static_cast<int>(i));
                TraceLastItem("filter:" + filters[i].label);
            }
            ImGui::EndCombo();
        }
        TraceLastItem("combo:filters");
    }

    int AcceptName() {
        switch (model_.Accept(&path_, &problem_)) {
        case FileDialogModel::Outcome::Chosen:
            return 1;
        case FileDialogModel::Outcome::AskOverwrite:
            asking_ = true;
            return 0;
        default:
            return 0;
        }
    }

    int DrawOverwriteQuestion() {
        ImGui::Text("%s already exists.", path_.c_str());
        ImGui::TextUnformatted("Do you want to replace it?");
        if (Button("Yes", "overwrite:Yes")) return 1;
        ImGui::SameLine();
        if (Button("No", "overwrite:No") || EscapePressed()) asking_ = false;
        return 0;
    }

    bool Finish(bool accepted, std::function<void()>* done) {
        if (ImGui::GetCurrentContext()) ImGui::CloseCurrentPopup();
        if (accepted) {
            auto chosen = std::move(chosen_);
            std::string path = path_;
            *done = [chosen, path] {
                if (chosen) chosen(path);
            };
        } else {
            auto cancelled = std::move(cancelled_);
            *done = [cancelled] {
                if (cancelled) cancelled();
            };
        }
        return false;
    }

    FileDialogModel model_;
    std::function<void(const std::string&)> chosen_;
    std::function<void()> cancelled_;
    std::string path_, problem_;
    bool opened_ = false, focused_ = false, asking_ = false;
};

} // namespace

std::unique_ptr<UiPanel> MakeFileDialogPanel(const FileDialogRequest& request,
                                             std::function<void(const std::string&)> chosen,
                                             std::function<void()> cancelled) {
    return std::make_unique<FileDialogPanel>(request, std::move(chosen), std::move(cancelled));
}

std::unique_ptr<UiPanel> MakeQuestionPanel(const std::string& caption, const std::string& text,
                                           std::function<void(bool)> answer) {
    return std::make_unique<QuestionPanel>(caption, text, std::move(answer));
}

std::unique_ptr<UiPanel> MakeMessagePanel(const std::string& caption, const std::string& text) {
    return std::make_unique<MessagePanel>(caption, text);
}

std::unique_ptr<UiPanel> MakeInfoPanel(const InfoContent& content) {
    return std::make_unique<InfoPanel>(content);
}

void TraceLastItem(const std::string& id) {
    const ImVec2 min = ImGui::GetItemRectMin(), max = ImGui::GetItemRectMax();
    TraceAt(id, static_cast<int>((min.x + max.x) * 0.5f), static_cast<int>((min.y + max.y) * 0.5f));
}

bool UiTracing() {
    static const bool tracing = std::getenv("KZV_UI_TRACE") != nullptr;
    return tracing;
}

void TraceAt(const std::string& id, int x, int y) {
    if (!UiTracing()) return;
    struct Seen {
        int x, y, frame;
    };
    static std::map<std::string, Seen> seen;
    const int frame = ImGui::GetFrameCount();
    // Named again when it moves or comes back after a frame without it (a menu opened again).
    auto it = seen.find(id);
    const bool known =
        it != seen.end() && it->second.x == x && it->second.y == y && it->second.frame + 1 >= frame;
    seen[id] = Seen{x, y, frame};
    if (known) return;
    std::string word = id; // one word for scripts: blanks become '_'
    for (char& c : word)
        if (c == ' ') c = '_';
    std::fprintf(stderr, "ui-item %s %d %d\n", word.c_str(), x, y);
    std::fflush(stderr);
}

namespace {

// The length of the key names at the start of a line ("<SHIFT>+<PGUP>"); 0 when it has none.
size_t KeyNamesLength(const std::string& line) {
    size_t i = 0;
    while (i < line.size() && line[i] == '<') {
        const size_t close = line.find('>', i);
        if (close == std::string::npos) return 0;
        i = close + 1;
        if (i + 1 < line.size() && line[i] == '+' && line[i + 1] == '<') ++i;
    }
    return i;
}

} // namespace

// The key names form the first column whatever follows them (tabs, a run of blanks or a single
// blank); a line without key names is split at its tabs and runs of blanks.
std::vector<std::string> SplitKeyColumns(const std::string& line) {
    std::vector<std::string> columns;
    size_t start = KeyNamesLength(line);
    if (start > 0) columns.push_back(line.substr(0, start));
    std::string current;
    size_t i = start;
    while (i < line.size()) {
        const bool tab = line[i] == '\t';
        const bool blanks =
            line[i] == ' ' && (current.empty() || (i + 1 < line.size() && line[i + 1] == ' '));
        if (tab || blanks) {
            if (!current.empty()) columns.push_back(current);
            current.clear();
            while (i < line.size() && (line[i] == '\t' || line[i] == ' ')) ++i;
            continue;
        }
        current += line[i++];
    }
    if (!current.empty()) columns.push_back(current);
    return columns;
}
