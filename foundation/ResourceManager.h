#pragma once

#include <cstdint>

#include "foundation/DynaMem.h"
#include "foundation/ErrorReport.h"
#include "foundation/String.h"

// One shared resource: the object, its name (normally a file path) and its holder count.
struct ResourceEntry {
    static constexpr int32_t NameSize = 256;
    void* resource = nullptr;
    char name[NameSize] = {};
    int32_t refCount = 0;
    bool nameCut = false; // the name did not fit and was stored cut: never matched by name
};

// A table of named resources counted by their holders. The id of a resource is the slot
// number of its entry; -1 means no resource. The table never deletes the resource object:
// the holder whose Unacquire returns 1 releases it.
class ResourceManager : public DXC_Base {
public:
    ResourceManager();

    // New entry with count 1; returns its id. A name longer than 255 characters is stored
    // cut, and such an entry is never found by name (no false sharing).
    int32_t Add(void* resource, const char* name);
    int32_t Add(void* resource, const String& name) { return Add(resource, name.Text()); }
    // Id of the entry with that name (without regard to case), its count raised; -1 if none.
    int32_t Acquire(const char* name);
    int32_t Acquire(const String& name) { return Acquire(name.Text()); }
    // Raises the count of entry id and returns id; -1 returns -1.
    int32_t Acquire(int32_t id);
    // Lowers the count: 1 when the entry was removed (or id is -1), 0 while holders remain.
    int32_t Unacquire(int32_t id);

    ResourceEntry* GetAt(int32_t pos) { return entries.GetAt(pos); }
    ResourceEntry* Get(int32_t id) const { return entries.Get(id); }
    int32_t GetCount() const { return entries.GetCount(); }

private:
    DynaMem<ResourceEntry> entries{4096};
};
