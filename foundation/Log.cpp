#include "foundation/Log.h"

#include <cstdio>
#include <utility>

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"

namespace {

// The log state of the run: entries written, the clock at the first entry, the folder of
// the file (fixed by the first entry, so later changes of the working directory do not move
// the log) and the in-memory observer.
struct LogState {
    int32_t entries = 0;
    double startTime = 0.0;
    std::string directory;
    LogObserver observer;
    std::function<uint64_t()> freeMemory = GetFreePhysicalMemory;
};

LogState& State() {
    static LogState state;
    return state;
}

// Megabytes rounded to the nearest.
int FreeMegabytes() {
    const uint64_t bytes = State().freeMemory();
    return static_cast<int>((bytes + 524288u) / 1048576u);
}

} // namespace

void LogMessageV(const char* format, va_list args) {
    LogState& log = State();
    if (log.entries >= MaxLogEntries) return;
    // The clock starts with the first entry written: an entry lost to an unwritable file
    // does not count, so the first line of the file always reads 0.00.
    if (log.entries == 0) log.startTime = GetPerformanceTime();
    const int freeMb = FreeMegabytes();
    if (log.directory.empty()) log.directory = GetWorkingDirectory();

    char text[1024];
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    if (log.observer) log.observer(text);

    // The first entry of the run creates the file afresh; later ones append.
    const std::string path = JoinPath(log.directory, "logfile.txt");
    FILE* file = OpenFile(path.c_str(), log.entries == 0 ? "w" : "a");
    if (!file) return;
    ++log.entries;
    std::fprintf(file, "%s (Time:%.2f, free sysmem:%i)\n", text, GetPerformanceTime() - log.startTime,
                 freeMb);
    if (log.entries == MaxLogEntries) std::fputs("Maximum number of log entries reached!\n", file);
    std::fclose(file);
}

void LogMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogMessageV(format, args);
    va_end(args);
}

void SetLogObserver(LogObserver observer) {
    State().observer = std::move(observer);
}

void SetLogMemorySource(std::function<uint64_t()> source) {
    State().freeMemory = source ? std::move(source) : GetFreePhysicalMemory;
}

void SetLogDirectory(std::string_view directory) {
    State().directory = directory;
}

std::string GetLogDirectory() {
    return State().directory;
}

void ResetLogState() {
    LogState& log = State();
    log.entries = 0;
    log.startTime = 0.0;
    log.directory.clear();
    log.freeMemory = GetFreePhysicalMemory;
}

int32_t GetLogEntryCount() {
    return State().entries;
}
