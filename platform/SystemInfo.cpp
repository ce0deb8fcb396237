#include "platform/SystemInfo.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

uint64_t GetFreePhysicalMemory() {
    return ReadAvailableMemory("/proc/meminfo");
}

uint64_t ReadAvailableMemory(const char* meminfoPath) {
    FILE* f = std::fopen(meminfoPath, "r");
    if (!f) return 0;
    char line[256];
    uint64_t kib = 0;
    while (std::fgets(line, sizeof line, f)) {
        unsigned long long value = 0;
        if (std::sscanf(line, "MemAvailable: %llu kB", &value) == 1) {
            kib = value;
            break;
        }
    }
    std::fclose(f);
    return kib * 1024u;
}

std::string GetWorkingDirectory() {
    std::vector<char> buf(4096);
    if (!getcwd(buf.data(), buf.size())) return {};
    return buf.data();
}

bool SetWorkingDirectory(const std::string& path) {
    return chdir(path.c_str()) == 0;
}

std::string SystemErrorText(int code) {
    char buf[256];
    // The GNU strerror_r returns the text, which may not be our buffer.
    const char* text = strerror_r(code, buf, sizeof buf);
    return text ? text : "";
}
