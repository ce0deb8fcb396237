#include "foundation/Log.h"

#include <cstdio>
#include <string>
#include <unordered_map>
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
    // How often each text written to the file has come; at most one text per entry written.
    std::unordered_map<std::string, uint64_t> seen;
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

// A text seen before is written again only on its 2nd, 4th, 8th... time, with the count: a
// viewer that reloads or retries for hours keeps a short log and its entry budget for news.
// Only texts that reached the file are kept, so the table never outgrows the entry limit.
bool FoldsAway(LogState& log, const std::string& text, uint64_t& count) {
    const auto found = log.seen.find(text);
    count = found == log.seen.end() ? 1 : found->second + 1;
    if (count == 1 || (count & (count - 1)) == 0) return false;
    found->second = count;
    return true;
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
    uint64_t count = 0;
    const std::string key = text;
    if (FoldsAway(log, key, count)) return;

    // The first entry of the run creates the file afresh; later ones append.
    const std::string path = JoinPath(log.directory, "logfile.txt");
    FILE* file = OpenFile(path.c_str(), log.entries == 0 ? "w" : "a");
    if (!file) return;
    ++log.entries;
    log.seen[key] = count;
    const double seconds = GetPerformanceTime() - log.startTime;
    if (count > 1)
        std::fprintf(file, "%s [seen %llu times] (Time:%.2f, free sysmem:%i)\n", text,
                     static_cast<unsigned long long>(count), seconds, freeMb);
    else
        std::fprintf(file, "%s (Time:%.2f, free sysmem:%i)\n", text, seconds, freeMb);
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
    log.seen.clear();
    log.freeMemory = GetFreePhysicalMemory;
}

int32_t GetLogEntryCount() {
    return State().entries;
}
