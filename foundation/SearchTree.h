#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <strings.h>

#include "foundation/DynaMem.h"
#include "foundation/String.h"

// Name lookup without hashing: a shallow trie over the first characters of a name (codes 32
// to 127), with a short list of entries at each leaf. With the default depth every name is
// filed under its first character, letters folded to upper case, and the rest is compared
// in the leaf's list. Names compare without regard to case unless the tree is made
// case-sensitive before the first insert.
//
// Entry is the record the user stores; it must be default-constructible and copyable and
// have a member `String name`, which the tree sets on insert.
template <class Entry> class SearchTree : public ErrorClass {
public:
    explicit SearchTree(int32_t caseSensitive = 0) : caseSensitive(caseSensitive) {
        SetObjectName("SearchTree");
    }
    SearchTree(const SearchTree&) = delete;
    SearchTree& operator=(const SearchTree&) = delete;

    // A new entry with its name set, or null when an entry of that name exists already.
    Entry* Insert(const String& name) { return Descend(name.Text(), true); }
    // The entry of that name, or null.
    Entry* Find(const String& name) { return Descend(name.Text(), false); }
    Entry* Find(const char* name) { return Descend(name ? name : "", false); }

    // Removes every node and entry.
    void Clear() { root = Node{}; }
    int32_t IsCaseSensitive() const { return caseSensitive; }

    static constexpr int32_t FirstChar = 32;
    static constexpr int32_t Range = 96;
    static constexpr int32_t MaxDepth = 2;

private:
    // Children are created sparsely; a leaf holds its entries in a bucket list.
    struct Node {
        std::unique_ptr<std::unique_ptr<Node>[]> children;
        std::unique_ptr<DynaMem<Entry>> bucket;
    };

    static int32_t Upper(int32_t ch) { return ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch; }
    static int32_t Lower(int32_t ch) { return ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch; }

    Entry* Descend(const char* name, bool insert);
    Entry* DescendFrom(Node* node, int32_t depth, const char* name, int32_t length, bool insert);
    Entry* AtLeaf(Node* node, int32_t depth, const char* name, bool insert);

    int32_t caseSensitive;
    Node root;
};

template <class Entry> Entry* SearchTree<Entry>::Descend(const char* name, bool insert) {
    const int32_t length = static_cast<int32_t>(std::strlen(name));
    if (length < 1) {
        Error("Empty name string");
        return nullptr;
    }
    return DescendFrom(&root, 0, name, length, insert);
}

template <class Entry>
Entry* SearchTree<Entry>::DescendFrom(Node* node, int32_t depth, const char* name, int32_t length,
                                      bool insert) {
    if (MaxDepth == depth + 1 || length == depth) return AtLeaf(node, depth, name, insert);
    const int32_t ch = static_cast<unsigned char>(name[depth]);
    if (ch < FirstChar || ch >= FirstChar + Range) {
        Error("Character in name string out of range: %i", ch);
        return nullptr;
    }
    if (insert) {
        if (!node->children) node->children = std::make_unique<std::unique_ptr<Node>[]>(Range);
        auto& child = node->children[(caseSensitive ? ch : Upper(ch)) - FirstChar];
        if (!child) child = std::make_unique<Node>();
        return DescendFrom(child.get(), depth + 1, name, length, true);
    }
    if (!node->children) return nullptr;
    auto search = [&](int32_t c) -> Entry* {
        Node* child = node->children[c - FirstChar].get();
        return child ? DescendFrom(child, depth + 1, name, length, false) : nullptr;
    };
    if (caseSensitive) return search(ch);
    Entry* found = search(Upper(ch));
    if (!found && Lower(ch) != Upper(ch)) found = search(Lower(ch));
    return found;
}

template <class Entry>
Entry* SearchTree<Entry>::AtLeaf(Node* node, int32_t depth, const char* name, bool insert) {
    // The characters before depth chose the path; the rest is compared here.
    auto matches = [&](const Entry* entry) {
        const String& other = entry->name;
        const int32_t from = other.Length() >= depth ? depth : 0;
        const char* a = name + from;
        const char* b = other.Text() + from;
        return caseSensitive ? std::strcmp(a, b) == 0 : strcasecmp(a, b) == 0;
    };
    if (insert) {
        if (!node->bucket) node->bucket = std::make_unique<DynaMem<Entry>>(8);
        DynaMem<Entry>& bucket = *node->bucket;
        for (int32_t p = 0; p < bucket.GetCount(); ++p)
            if (matches(bucket.GetAt(p))) return nullptr;
        const int32_t slot = bucket.AddNew();
        Entry* entry = bucket.Get(slot);
        if (entry) entry->name = name;
        return entry;
    }
    if (!node->bucket) return nullptr;
    DynaMem<Entry>& bucket = *node->bucket;
    for (int32_t p = 0; p < bucket.GetCount(); ++p) {
        Entry* entry = bucket.GetAt(p);
        if (matches(entry)) return entry;
    }
    return nullptr;
}
