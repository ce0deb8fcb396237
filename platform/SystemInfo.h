#pragma once

#include <cstdint>
#include <string>

// Free physical memory in bytes (what the kernel reports as available), 0 when unknown.
uint64_t GetFreePhysicalMemory();
// The same from a file in the form of /proc/meminfo (its "MemAvailable:" line in kB).
uint64_t ReadAvailableMemory(const char* meminfoPath);

// The process's working directory; empty when it cannot be read.
std::string GetWorkingDirectory();
bool SetWorkingDirectory(const std::string& path);

// The system's message text for an error code (errno values on this platform).
std::string SystemErrorText(int code);
