#pragma once

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The log file "logfile.txt": one line per entry, each followed by the time since the first
// entry and the free memory. The file lives in the working directory of the first entry,
// is created afresh by it and opened and closed for every entry, so it is complete at any
// moment. At most 4024 entries are written per run. A text already in the file is written
// again only on its 2nd, 4th, 8th... time, marked "[seen N times]", so repeats fold.

constexpr int32_t MaxLogEntries = 4024;

// Formats the text (printf conventions, cut at 1023 characters) and appends one entry.
void LogMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogMessageV(const char* format, va_list args);

// Receives the text of every entry accepted under the entry limit (without the time and
// memory suffix), also when the file cannot be written or the entry folds away. An empty function removes it.
using LogObserver = std::function<void(const char* text)>;
void SetLogObserver(LogObserver observer);

// Where entries take the free memory from (bytes); empty restores the system's own reading.
// Tests fix it, so their expectations do not depend on what other processes allocate.
void SetLogMemorySource(std::function<uint64_t()> source);

// Fixes the folder of "logfile.txt" (instead of the working directory of the first entry).
void SetLogDirectory(std::string_view directory);
std::string GetLogDirectory();

// Starts the log over: the next entry is the first of the run again (truncating the file,
// restarting the clock), the entry counter is 0, the folder is forgotten and the memory
// source is the system's again. Tests and tools.
void ResetLogState();
int32_t GetLogEntryCount();
