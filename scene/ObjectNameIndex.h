#pragma once

#include <cstddef>
#include <vector>

class DXC_3dObject;

// Objects by name for linking a whole scene in one pass, with ASCII letters compared without
// regard to case (as DXC_3dScene::FindObject with ignoreCase). Of several objects with the same
// name the one added first is found, so adding in search order keeps "first in list order
// wins". A sorted array rather than a hash table: its cost stays n log n whatever names a file
// holds. The index points into the objects' names, which must not change while it is used.
class ObjectNameIndex {
public:
    void Reserve(std::size_t count) { entries.reserve(count); }
    void Add(DXC_3dObject* object);
    // Sorts the entries; call once after the last Add and before the first Find.
    void Finish();
    // The first object added under that name, or null.
    DXC_3dObject* Find(const char* name) const;

private:
    struct Entry {
        const char* name;
        DXC_3dObject* object;
    };
    std::vector<Entry> entries;
};
