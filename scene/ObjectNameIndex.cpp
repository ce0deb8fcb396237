#include "scene/ObjectNameIndex.h"

#include <algorithm>

#include "scene/Object3d.h"

namespace {

unsigned char FoldCase(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

// Negative, zero or positive as a sorts before, equal to or after b, case ignored.
int CompareNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const unsigned char ca = FoldCase(*a), cb = FoldCase(*b);
        if (ca != cb || ca == 0) return static_cast<int>(ca) - static_cast<int>(cb);
    }
}

} // namespace

void ObjectNameIndex::Add(DXC_3dObject* object) {
    entries.push_back({object->name.Text(), object});
}

void ObjectNameIndex::Finish() {
    // Stable: among equal names the order of adding is kept, so the first added sorts first.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return CompareNoCase(a.name, b.name) < 0; });
}

DXC_3dObject* ObjectNameIndex::Find(const char* name) const {
    if (!name) return nullptr;
    auto at = std::lower_bound(entries.begin(), entries.end(), name,
                               [](const Entry& e, const char* n) { return CompareNoCase(e.name, n) < 0; });
    return at != entries.end() && CompareNoCase(at->name, name) == 0 ? at->object : nullptr;
}
