#include "foundation/ResourceManager.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

ResourceManager::ResourceManager() {
    SetObjectName("ResourceManager");
}

int32_t ResourceManager::Add(void* resource, const char* name) {
    const int32_t id = entries.AddNew();
    ResourceEntry* entry = entries.Get(id);
    if (!entry) return -1;
    entry->resource = resource;
    std::snprintf(entry->name, sizeof entry->name, "%s", name ? name : "");
    entry->nameCut = name && std::strlen(name) >= sizeof entry->name;
    entry->refCount = 1;
    return id;
}

int32_t ResourceManager::Acquire(const char* name) {
    if (!name || !*name) Error("Invalid file name in Acquire!");
    for (int32_t p = 0; p < entries.GetCount(); ++p) {
        ResourceEntry* entry = entries.GetAt(p);
        if (!entry->nameCut && strcasecmp(entry->name, name) == 0) {
            ++entry->refCount;
            return entries.GetSlotAt(p);
        }
    }
    return -1;
}

int32_t ResourceManager::Acquire(int32_t id) {
    if (id == -1) return -1;
    ResourceEntry* entry = entries.Get(id);
    if (!entry) Error("Invalid ID number in Acquire:%i", id);
    ++entry->refCount;
    return id;
}

int32_t ResourceManager::Unacquire(int32_t id) {
    if (id == -1) return 1;
    ResourceEntry* entry = entries.Get(id);
    if (!entry) Error("Invalid ID number in Unacquire");
    if (--entry->refCount > 0) return 0;
    entries.Delete(id);
    return 1;
}
