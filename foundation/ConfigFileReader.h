#pragma once

#include <cstdint>
#include <vector>

#include "foundation/ErrorReport.h"
#include "foundation/SearchTree.h"
#include "foundation/String.h"

// Reads a whole text file into memory and gives access by line, by entry and by key.
// Configuration files consist of entries, each starting at a line "#...", holding lines
// `key "value"` or `key="value"` and brace-delimited blocks; image file lists (".ifl") are
// read through the line access alone.
class ConfigFileReader : public ErrorClass {
public:
    static constexpr int32_t MaxLines = 65535;
    static constexpr int32_t MaxLineLength = 65535;

    // Results of Open.
    enum OpenResult : int32_t {
        Opened = 0,
        CannotOpen = 1,
        CannotRead = 2,
        TooManyLines = 3, // also a file beyond 2 GiB
        LineTooLong = 4,
        BadBlocks = 5,    // only when the reader does not throw
        BadDescIndex = 6, // only when the reader does not throw
    };
    // Results of Value.
    enum ValueResult : int32_t { ValueFound = 0, ValueMissing = 1, NoSuchEntry = 2 };

    ConfigFileReader();
    ConfigFileReader(const ConfigFileReader&) = delete;
    ConfigFileReader& operator=(const ConfigFileReader&) = delete;

    // Reads and splits the file, indexes entries and blocks and builds the desc index.
    // 0, or the code of the first failure (see OpenResult; the text is in GetErrorText).
    int32_t Open(const char* fileName);
    int32_t IsOpened() const { return opened; }
    const char* GetErrorText() const { return errorText; }
    const String& GetFileName() const { return fileName; }

    int32_t GetLineCount() const { return static_cast<int32_t>(lines.size()); }
    // Line i, terminated, in the reader's line buffer (valid until the next call); null when
    // the line does not exist or is too long, with the error text set.
    const char* Line(int32_t i);
    // Brace depth at the start of line i (0 when the file has no entries), -1 outside.
    int32_t GetLineDepth(int32_t i) const;

    int32_t GetEntryCount() const { return static_cast<int32_t>(entries.size()); }
    // Lines of entry i; -1 gives the file's line count, an entry outside the table -1.
    int32_t GetEntryLineCount(int32_t entry) const;
    // First line of entry i, -1 outside the table.
    int32_t GetEntryStart(int32_t entry) const;

    // The line holding key: in entry e when e >= 0 (-2 when e is not below the entry
    // count), else within the current block when one is set, else in the whole file.
    // -1 when no line holds it.
    int32_t Find(const char* key, int32_t entry = -1) const;
    // The quoted value of key (key followed by a in decimal when a >= 0, then "_" and b
    // when b >= 0). A parent reader is asked first. See ValueResult.
    int32_t Value(const char* key, String& out, int32_t entry = -1, int32_t a = -1, int32_t b = -1);

    void SetCaseSensitive(int32_t flag) { caseSensitive = flag; }
    void SetParent(ConfigFileReader* reader) { parent = reader; }
    int32_t FoundInParent() const { return foundInParent; }
    // Restricts Find without an entry to the lines of depth blockDepth from startLine on,
    // up to the first line of lower depth.
    void SetBlock(int32_t startLine, int32_t blockDepth);
    void ClearBlock() { blockDepth = -1; }

    // The key whose value names each entry in the desc index; set before Open.
    void SetDescKey(const char* key) { descKey = key; }
    // The entry whose desc value is value, -1 when none.
    int32_t FindDesc(const char* value);

private:
    struct LineInfo {
        int32_t start;
        int32_t length;
        int32_t depth;
    };
    struct EntryInfo {
        int32_t first;
        int32_t count;
    };
    struct DescEntry {
        String name;
        int32_t entry = -1;
    };

    void Reset();
    int32_t ReadFile();
    int32_t SplitLines();
    int32_t IndexEntries();
    int32_t BuildDescIndex();
    // Offset in line i just after key, or -1 when the line does not hold the key.
    int32_t MatchKey(int32_t i, const char* key, int32_t keyLength) const;
    int32_t FindInRange(const char* key, int32_t first, int32_t end, int32_t depth) const;
    int32_t LocalValue(const char* keyName, String& out, int32_t entry) const;
    void SetErrorText(const char* format, ...) __attribute__((format(printf, 2, 3)));

    String fileName;
    std::vector<unsigned char> content;
    std::vector<LineInfo> lines;
    std::vector<EntryInfo> entries;
    std::vector<char> lineBuffer;
    char errorText[1024];
    int32_t opened = 0;

    int32_t caseSensitive = 0;
    ConfigFileReader* parent = nullptr;
    int32_t foundInParent = 0;
    bool askingParent = false; // guards against a parent chain that leads back here
    int32_t blockStart = 0;
    int32_t blockDepth = -1;

    String descKey;
    SearchTree<DescEntry> descIndex;
};
