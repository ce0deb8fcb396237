#pragma once

#include <cstdint>
#include <cstring>

#include "foundation/ErrorReport.h"

// The slot list behind every numbered collection. Each element is allocated on its own and
// keeps the slot number it got when added for as long as it lives, so slot numbers serve as
// identifiers. A second array lists the occupied slots in ascending order, so the list can
// also be walked by position 0..count-1. The list owns its elements, grows by
// capacity + capacity / 4 + 8 when full and never shrinks by itself.
template <class T> class DynaMem : public ErrorClass {
public:
    explicit DynaMem(int32_t initialCapacity = 32) {
        SetObjectName("DynaMem");
        capacity = initialCapacity > 0 ? initialCapacity : 0;
        slots = new T*[capacity]();
        order = new int32_t[capacity]();
    }
    DynaMem(const DynaMem& other) : DynaMem(0) { *this = other; }
    DynaMem& operator=(const DynaMem& other);
    ~DynaMem() override {
        Clear();
        delete[] slots;
        delete[] order;
    }

    // Each add returns the slot number of the new element, or -1 when none is free.
    int32_t AddNew() {
        return Place([] { return new T(); });
    }
    int32_t Add(const T& source) {
        return Place([&source] { return new T(source); });
    }
    int32_t Add(const T* source) {
        if (!source) {
            Error("Null pointer added !");
            return -1;
        }
        return Add(*source);
    }

    // Deletes the element in slot nr: 1, or 0 (with an error) when the slot is empty.
    int32_t Delete(int32_t nr);
    // Deletes the element at position pos.
    int32_t DeleteAt(int32_t pos);
    // Deletes every element; the capacity stays.
    void Clear();

    // Element in slot nr, or null when the slot is empty or nr lies outside the slot array
    // (slot numbers come from files too, so they are checked).
    T* Get(int32_t nr) const { return nr >= 0 && nr < capacity ? slots[nr] : nullptr; }
    // Element at position pos (0..count-1 in ascending slot order), null outside.
    T* GetAt(int32_t pos) {
        if (pos < 0 || pos >= count) return nullptr;
        RebuildOrder();
        return slots[order[pos]];
    }
    // Slot number of the element at position pos, -1 outside.
    int32_t GetSlotAt(int32_t pos) {
        if (pos < 0 || pos >= count) return -1;
        RebuildOrder();
        return order[pos];
    }
    int32_t GetCount() const { return count; }
    int32_t GetCapacity() const { return capacity; }

    // Sets the capacity to n (-1: the count), packing the elements into slots 0..count-1 in
    // their order; returns the count.
    int32_t SetSize(int32_t n);

    // Exchanges the elements at positions a and b (each moves into the other's slot); used to
    // reorder a list in place, such as the scene's meshes for drawing. 0 when either position
    // lies outside 0..count-1.
    int32_t SwapAt(int32_t a, int32_t b) {
        if (a < 0 || a >= count || b < 0 || b >= count) return 0;
        RebuildOrder();
        T* element = slots[order[a]];
        slots[order[a]] = slots[order[b]];
        slots[order[b]] = element;
        return 1;
    }

    // A fixed list (fixed > 0) may not grow or be resized.
    void SetFixed(int32_t value) { fixed = value; }
    int32_t GetFixed() const { return fixed; }

private:
    template <class Make> int32_t Place(Make make);
    void RebuildOrder();

    T** slots = nullptr;
    int32_t* order = nullptr;
    int32_t count = 0;
    int32_t firstFree = 0;
    int32_t capacity = 0;
    int32_t fixed = 0;
    int32_t dirty = 1;
    int32_t owns = 1;
};

template <class T> template <class Make> int32_t DynaMem<T>::Place(Make make) {
    if (count >= capacity) {
        if (fixed > 0) Error("Can not expand fixed list");
        SetSize(capacity + capacity / 4 + 8);
    }
    for (int32_t i = firstFree; i < capacity; ++i) {
        if (slots[i]) continue;
        slots[i] = make();
        ++count;
        firstFree = i + 1;
        dirty = 1;
        return i;
    }
    Error("Maximum number of data elements reached: %i", capacity);
    return -1;
}

template <class T> void DynaMem<T>::RebuildOrder() {
    if (!dirty) return;
    int32_t j = 0;
    for (int32_t i = 0; i < capacity && j < count; ++i)
        if (slots[i]) order[j++] = i;
    dirty = 0;
}

template <class T> int32_t DynaMem<T>::Delete(int32_t nr) {
    if (nr < 0 || nr >= capacity || !slots[nr]) {
        Error("Can not delete object nr: %i", nr);
        return 0;
    }
    delete slots[nr];
    slots[nr] = nullptr;
    if (nr < firstFree) firstFree = nr;
    --count;
    dirty = 1;
    return 1;
}

template <class T> int32_t DynaMem<T>::DeleteAt(int32_t pos) {
    if (pos < 0 || pos >= count) {
        Error("Can not delete object nr: %i", pos);
        return 0;
    }
    RebuildOrder();
    return Delete(order[pos]);
}

template <class T> void DynaMem<T>::Clear() {
    for (int32_t i = 0; i < capacity; ++i) {
        delete slots[i];
        slots[i] = nullptr;
    }
    count = 0;
    firstFree = 0;
    dirty = 1;
}

template <class T> int32_t DynaMem<T>::SetSize(int32_t n) {
    if (fixed > 0) {
        Error("Can not SetSize() of fixed list");
        return count;
    }
    RebuildOrder();
    if (n == -1) n = count;
    if (n < count) {
        Error("New size too small");
        return count;
    }
    T** newSlots = new T*[n]();
    int32_t* newOrder = new int32_t[n]();
    for (int32_t p = 0; p < count; ++p) {
        newSlots[p] = slots[order[p]];
        newOrder[p] = p;
    }
    delete[] slots;
    delete[] order;
    slots = newSlots;
    order = newOrder;
    capacity = n;
    firstFree = count;
    dirty = 0;
    return count;
}

template <class T> DynaMem<T>& DynaMem<T>::operator=(const DynaMem& other) {
    if (this == &other) return *this;
    Clear();
    if (!owns) return *this;
    const_cast<DynaMem&>(other).RebuildOrder();
    delete[] slots;
    delete[] order;
    count = 0;
    firstFree = other.firstFree;
    capacity = other.capacity;
    fixed = other.fixed;
    dirty = other.dirty;
    slots = new T*[capacity]();
    order = new int32_t[capacity]();
    if (other.count > 0) std::memcpy(order, other.order, sizeof(int32_t) * other.count);
    for (int32_t p = 0; p < other.count; ++p) {
        const int32_t s = other.order[p];
        if (s >= 0 && s < capacity && other.slots[s]) {
            slots[s] = new T(*other.slots[s]);
            ++count;
        } else {
            Warning("Invalid entry found");
            dirty = 1; // the copied order names a skipped slot
        }
    }
    return *this;
}
