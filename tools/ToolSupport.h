#pragma once

#include <string>

#include "platform/TemporaryFolder.h"

// What the kzvtool commands share: number parsing, the private log folder and the texture folder.

// The text of the exception being handled (call it inside a catch block): an engine error as
// "name: message", anything else as otherPrefix followed by its description ("out of memory"
// for a failed allocation).
std::string DescribeCurrentException(const char* otherPrefix = "");

// A decimal number in the "C" locale, finite, nothing after it.
bool ParseSeconds(const std::string& text, float& out);

// The log file of a run goes to a private folder that is removed at the end: a report carries
// the lines, and a tool run must not leave "logfile.txt" behind in the caller's folder. The
// file is still written so that the log keeps its entry limit.
class PrivateLogFolder {
public:
    // Starts a fresh log (entry count, clock) in the folder. Without a folder the file can
    // not be written, and the lines still reach the observer.
    void Restart() const;

private:
    TemporaryFolder folder{"kzvtool"};
};

// The folder for maps that are not found where a scene names them: the option's folder when
// given (with a separator added), else the viewer's DefaultTexturePath setting.
std::string DefaultTexturePath(bool given, const std::string& folder);
