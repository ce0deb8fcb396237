#include "platform/MappedFile.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace {

// The mapped ranges a bus error may hit, shared with the signal handler: only lock-free atomics
// are touched there. A mapping claims a free entry and clears it before it is unmapped.
struct GuardedRange {
    std::atomic<std::uintptr_t> start{0}; // 0: free
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> changed{false};
};

constexpr int GuardedRangeCount = 64;

struct BusErrorGuard {
    GuardedRange ranges[GuardedRangeCount];
    std::uintptr_t pageSize = 4096;
    struct sigaction previous {};
    bool installed = false;
};

BusErrorGuard& Guard() {
    static BusErrorGuard guard;
    return guard;
}

// A read of a page that a shortened file took away: a page of zeros takes its place and the
// read goes on. Any other bus error goes where it went before.
void OnBusError(int signal, siginfo_t* info, void* context) {
    BusErrorGuard& guard = Guard();
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (GuardedRange& range : guard.ranges) {
        if (address < range.start.load() || address >= range.end.load()) continue;
        void* page = reinterpret_cast<void*>(address & ~(guard.pageSize - 1));
        if (mmap(page, guard.pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
            MAP_FAILED) {
            range.changed.store(true);
            return;
        }
    }
    if (guard.previous.sa_flags & SA_SIGINFO) {
        if (guard.previous.sa_sigaction) return guard.previous.sa_sigaction(signal, info, context);
    } else if (guard.previous.sa_handler != SIG_DFL && guard.previous.sa_handler != SIG_IGN) {
        return guard.previous.sa_handler(signal);
    }
    // The default action: the same read faults again without this handler.
    sigaction(SIGBUS, &guard.previous, nullptr);
}

void InstallGuard() {
    static std::once_flag once;
    std::call_once(once, [] {
        BusErrorGuard& guard = Guard();
        guard.pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        guard.installed = sigaction(SIGBUS, &action, &guard.previous) == 0;
    });
}

// Claims a free entry for [start, start + size); -1 when all are taken. The handler skips an
// entry while its end is 0, so it is set last here and cleared first when the entry is freed.
int ClaimRange(const unsigned char* start, std::size_t size) {
    const auto begin = reinterpret_cast<std::uintptr_t>(start);
    for (int i = 0; i < GuardedRangeCount; ++i) {
        GuardedRange& range = Guard().ranges[i];
        std::uintptr_t expected = 0;
        if (!range.start.compare_exchange_strong(expected, begin)) continue;
        range.changed.store(false);
        range.end.store(begin + size);
        return i;
    }
    return -1;
}

} // namespace

MappedFile::~MappedFile() {
    Release();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data(std::exchange(other.data, nullptr)), size(std::exchange(other.size, 0)),
      slot(std::exchange(other.slot, -1)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        Release();
        data = std::exchange(other.data, nullptr);
        size = std::exchange(other.size, 0);
        slot = std::exchange(other.slot, -1);
    }
    return *this;
}

MappedFile MappedFile::Map(std::FILE* file, std::size_t size) {
    MappedFile mapped;
    if (!file || size == 0) return mapped;
    InstallGuard();
    if (!Guard().installed) return mapped;
    // Populated at once: one call makes every page present instead of a fault per page later.
    void* start = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fileno(file), 0);
    if (start == MAP_FAILED) return mapped;
    mapped.data = static_cast<const unsigned char*>(start);
    mapped.size = size;
    mapped.slot = ClaimRange(mapped.data, size);
    // Without an entry a shortened file could not be answered: the caller reads it instead.
    if (mapped.slot < 0) mapped.Release();
    return mapped;
}

void MappedFile::Discard(std::size_t from, std::size_t to) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    if (to > size) to = size;
    from = (from + page - 1) / page * page;
    to = to / page * page;
    if (!data || from >= to) return;
    madvise(const_cast<unsigned char*>(data) + from, to - from, MADV_DONTNEED);
}

bool MappedFile::Changed() const {
    return slot >= 0 && Guard().ranges[slot].changed.load();
}

void MappedFile::Release() {
    if (slot >= 0) {
        Guard().ranges[slot].end.store(0);
        Guard().ranges[slot].start.store(0);
    }
    slot = -1;
    if (data) munmap(const_cast<unsigned char*>(data), size);
    data = nullptr;
    size = 0;
}
