#pragma once

#include <string>
#include <vector>

#include "platform/ui/WindowUi.h"

// The state of a file or folder dialog apart from its drawing: the folder shown, its folders
// and the files that pass the chosen filter, the name field, and what accepting the name means.
struct DirectoryEntry {
    std::string name;
    bool folder = false;
};

// True when name matches one of the filter's patterns ("*" and "?" wildcards), letters
// compared without regard to case; a filter without patterns passes everything.
bool FilterMatches(const FileFilter& filter, const std::string& name);

class FileDialogModel {
public:
    explicit FileDialogModel(const FileDialogRequest& request);

    const FileDialogRequest& Request() const { return request_; }
    const std::string& Directory() const { return directory_; }
    // ".." first (unless at the root), then the folders, then the files that pass the filter
    // (none in a folder dialog), each group sorted by name without regard to case. Hidden
    // entries (names beginning with '.') are left out.
    const std::vector<DirectoryEntry>& Entries() const { return entries_; }
    // A folder that could not be read: why (the listing is then empty).
    const std::string& ListingError() const { return listingError_; }

    int FilterIndex() const { return filter_; }
    void SelectFilter(int index);

    // Goes into a folder of the listing, or up with "..". False when it cannot be read (the
    // dialog stays where it was).
    bool EnterFolder(const std::string& name);
    bool GoUp();
    bool SetDirectory(const std::string& path);
    // A click on an entry: a folder is entered, a file's name goes into the name field.
    void Pick(const DirectoryEntry& entry);

    std::string name; // the name field

    enum class Outcome {
        Stay,         // nothing chosen (a folder was entered, or problem says why)
        Chosen,       // path holds the choice
        AskOverwrite, // path exists: ask before replacing it
    };
    // What the OK button does with the name field (and, in a folder dialog, the folder shown).
    Outcome Accept(std::string* path, std::string* problem);

private:
    void Refresh();
    std::string Resolve(const std::string& text) const;

    FileDialogRequest request_;
    std::string directory_;
    std::vector<DirectoryEntry> entries_;
    std::string listingError_;
    int filter_ = 0;
};
