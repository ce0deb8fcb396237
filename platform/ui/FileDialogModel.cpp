#include "platform/ui/FileDialogModel.h"

#include <fnmatch.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <strings.h>
#include <system_error>

#include "platform/FileSystem.h"

namespace fs = std::filesystem;

namespace {

std::string WorkingDirectory() {
    std::error_code error;
    fs::path path = fs::current_path(error);
    return error ? std::string("/") : path.string();
}

bool NameLess(const DirectoryEntry& a, const DirectoryEntry& b) {
    const int c = strcasecmp(a.name.c_str(), b.name.c_str());
    return c != 0 ? c < 0 : a.name < b.name;
}

// The folder's entries that are shown, folders and files apart; false with the reason when
// the folder cannot be read.
bool ReadFolder(const std::string& directory, std::vector<DirectoryEntry>& folders,
                std::vector<DirectoryEntry>& files, std::string* error) {
    std::error_code code;
    fs::directory_iterator it(directory, code), end;
    if (code) {
        *error = code.message();
        return false;
    }
    for (; it != end; it.increment(code)) {
        if (code) break;
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code kind;
        if (it->is_directory(kind))
            folders.push_back({name, true});
        else if (it->is_regular_file(kind))
            files.push_back({name, false});
    }
    return true;
}

} // namespace

bool FilterMatches(const FileFilter& filter, const std::string& name) {
    if (filter.patterns.empty()) return true;
    for (const std::string& pattern : filter.patterns)
        if (fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
    return false;
}

FileDialogModel::FileDialogModel(const FileDialogRequest& request) : name(request.name), request_(request) {
    if (request_.directory.empty() || !SetDirectory(request_.directory)) SetDirectory(WorkingDirectory());
}

void FileDialogModel::SelectFilter(int index) {
    if (index < 0 || index >= static_cast<int>(request_.filters.size())) return;
    filter_ = index;
    Refresh();
}

bool FileDialogModel::SetDirectory(const std::string& path) {
    std::error_code code;
    fs::path absolute = fs::absolute(ResolvePath(path), code);
    if (code || !fs::is_directory(absolute, code)) return false;
    std::vector<DirectoryEntry> folders, files;
    std::string error;
    if (!ReadFolder(absolute.lexically_normal().string(), folders, files, &error)) return false;
    std::string normal = absolute.lexically_normal().string();
    if (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    directory_ = normal;
    Refresh();
    return true;
}

bool FileDialogModel::EnterFolder(const std::string& folder) {
    if (folder == "..") return GoUp();
    return SetDirectory(JoinPath(directory_, folder));
}

bool FileDialogModel::GoUp() {
    if (directory_ == "/") return false;
    return SetDirectory(fs::path(directory_).parent_path().string());
}

void FileDialogModel::Pick(const DirectoryEntry& entry) {
    if (entry.folder)
        EnterFolder(entry.name);
    else
        name = entry.name;
}

void FileDialogModel::Refresh() {
    entries_.clear();
    listingError_.clear();
    std::vector<DirectoryEntry> folders, files;
    if (!ReadFolder(directory_, folders, files, &listingError_)) return;
    std::sort(folders.begin(), folders.end(), NameLess);
    std::sort(files.begin(), files.end(), NameLess);
    if (directory_ != "/") entries_.push_back({"..", true});
    entries_.insert(entries_.end(), folders.begin(), folders.end());
    if (request_.kind == FileDialogKind::Folder) return;
    const FileFilter* filter = request_.filters.empty() ? nullptr : &request_.filters[filter_];
    for (const DirectoryEntry& file : files)
        if (!filter || FilterMatches(*filter, file.name)) entries_.push_back(file);
}

std::string FileDialogModel::Resolve(const std::string& text) const {
    if (!text.empty() && (text[0] == '/' || text[0] == '\\')) return ResolvePath(text);
    return ResolvePath(JoinPath(directory_, text));
}

FileDialogModel::Outcome FileDialogModel::Accept(std::string* path, std::string* problem) {
    problem->clear();
    if (request_.kind == FileDialogKind::Folder) {
        // A name that is a folder is entered first; OK then chooses the folder shown.
        if (!name.empty() && IsDirectory(Resolve(name).c_str())) {
            SetDirectory(Resolve(name));
            name.clear();
        }
        *path = directory_;
        return Outcome::Chosen;
    }
    if (name.empty()) return Outcome::Stay;
    const std::string full = Resolve(name);
    if (IsDirectory(full.c_str())) {
        if (SetDirectory(full)) name.clear();
        return Outcome::Stay;
    }
    const bool exists = FileExists(full.c_str()) && !IsNonRegularFile(full.c_str());
    if (request_.kind == FileDialogKind::Open) {
        if (request_.fileMustExist && !exists) {
            *problem = name + "\nFile not found. Check the file name and try again.";
            return Outcome::Stay;
        }
        *path = full;
        return Outcome::Chosen;
    }
    if (IsNonRegularFile(full.c_str())) {
        *problem = name + "\nThis name cannot be used for a file.";
        return Outcome::Stay;
    }
    if (!IsDirectory(std::string(DirectoryPart(full)).c_str()) && !DirectoryPart(full).empty()) {
        *problem = name + "\nThe folder does not exist.";
        return Outcome::Stay;
    }
    *path = full;
    return exists && request_.askBeforeOverwrite ? Outcome::AskOverwrite : Outcome::Chosen;
}
