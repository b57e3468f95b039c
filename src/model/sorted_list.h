#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quillharbor {

// An intrusive doubly-linked list of T kept sorted by a string key (byte-wise, case-sensitive),
// with equal keys in insertion order: a new element goes behind every element whose key is less
// than or equal to its own. Next and Prev name the links in T that this list owns while the
// element is in it; an element is in at most one list over the same links.
//
// Beside the links sits an index of the first element of each run of equal keys: sorted blocks of
// at most kBlockSize pointers, found through a map by their first key, so that insert, find and
// remove cost O(log n) (and a walk along a run of equal keys, which callers keep short: a URL is
// held once per task) in about 12 bytes per run instead of a tree node of 80. The index views
// the keys in place: an element's key must not change while the element is in the list. The
// list does not own its elements.
template <class T, const std::string T::*Key, T* T::*Next, T* T::*Prev>
class SortedList {
public:
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = T*;
        using reference = T&;

        Iterator() = default;
        explicit Iterator(T* at) : m_at(at) {}
        T& operator*() const { return *m_at; }
        T* operator->() const { return m_at; }
        Iterator& operator++() {
            m_at = m_at->*Next;
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const Iterator&) const = default;

    private:
        T* m_at = nullptr;
    };

    SortedList() = default;
    SortedList(const SortedList&) = delete;
    SortedList& operator=(const SortedList&) = delete;
    ~SortedList() { clear(); }

    T* head() const { return m_head; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    Iterator begin() const { return Iterator(m_head); }
    Iterator end() const { return Iterator(); }

    void insert(T& element) {
        assert(element.*Next == nullptr && element.*Prev == nullptr && &element != m_head);
        const std::string_view key = element.*Key;
        if (m_tail != nullptr && key >= std::string_view(m_tail->*Key)) {
            append(element, key);
            return;
        }
        auto block = blockFor(key);
        if (block == m_blocks.end()) {
            // Before every run, or the first one.
            linkBefore(element, m_head);
            if (m_blocks.empty()) {
                m_blocks.emplace(key, Heads{&element});
            } else {
                auto first = m_blocks.begin();
                first->second.insert(first->second.begin(), &element);
                rekey(first);
                splitIfFull(m_blocks.begin());
            }
            ++m_size;
            return;
        }
        Heads& heads = block->second;
        auto at = lowerBound(heads, key);
        if (at != heads.end() && (*at)->*Key == key) {
            T* last = *at;
            while (last->*Next != nullptr && last->*Next->*Key == key) {
                last = last->*Next;
            }
            linkBefore(element, last->*Next);
        } else {
            T* following = at != heads.end() ? *at : firstOfBlockAfter(block);
            linkBefore(element, following);
            heads.insert(at, &element);
            splitIfFull(block);
        }
        ++m_size;
    }

    // The first element (in list order) with exactly this key, or nullptr.
    T* find(std::string_view key) const {
        if (m_tail == nullptr || key > std::string_view(m_tail->*Key)) {
            return nullptr;
        }
        auto block = blockFor(key);
        if (block == m_blocks.end()) {
            return nullptr;
        }
        auto at = lowerBound(block->second, key);
        return at != block->second.end() && (*at)->*Key == key ? *at : nullptr;
    }

    // Unlinks an element of this list and returns its successor.
    T* remove(T& element) {
        const std::string_view key = element.*Key;
        T* next = element.*Next;
        if (element.*Prev == nullptr || element.*Prev->*Key != key) {
            // The element heads its run: its successor of the same key takes its place.
            auto block = blockFor(key);
            assert(block != m_blocks.end());
            Heads& heads = block->second;
            auto at = lowerBound(heads, key);
            assert(at != heads.end() && *at == &element);
            if (next != nullptr && next->*Key == key) {
                *at = next;
            } else {
                at = heads.erase(at);
            }
            if (heads.empty()) {
                m_blocks.erase(block);
            } else if (at == heads.begin()) {
                rekey(block);
            }
        }
        unlink(element);
        --m_size;
        return next;
    }

    // Unlinks every element.
    void clear() {
        for (T* at = m_head; at != nullptr;) {
            T* next = at->*Next;
            at->*Next = nullptr;
            at->*Prev = nullptr;
            at = next;
        }
        m_blocks.clear();
        m_head = m_tail = nullptr;
        m_size = 0;
    }

private:
    // Run heads in key order; a block splits in two when it reaches kBlockSize.
    static constexpr std::size_t kBlockSize = 256;
    using Heads = std::vector<T*>;
    // Each block under the key of its first head, viewed in place.
    using Blocks = std::map<std::string_view, Heads, std::less<>>;

    // The block whose keys may hold key: the last one whose first key is not above it; end()
    // when key comes before every block.
    template <class Map>
    static auto blockOf(Map& blocks, std::string_view key) {
        auto after = blocks.upper_bound(key);
        return after == blocks.begin() ? blocks.end() : std::prev(after);
    }
    typename Blocks::iterator blockFor(std::string_view key) { return blockOf(m_blocks, key); }
    typename Blocks::const_iterator blockFor(std::string_view key) const {
        return blockOf(m_blocks, key);
    }

    template <class Range>
    static auto lowerBound(Range& heads, std::string_view key) {
        return std::lower_bound(heads.begin(), heads.end(), key,
                                [](const T* head, std::string_view wanted) {
                                    return std::string_view(head->*Key) < wanted;
                                });
    }

    T* firstOfBlockAfter(typename Blocks::iterator block) const {
        ++block;
        return block == m_blocks.end() ? nullptr : block->second.front();
    }

    // Elements that come in sorted order, as a saved list loads, go behind the tail without a
    // search, and fill their blocks whole.
    void append(T& element, std::string_view key) {
        const bool newRun = key != std::string_view(m_tail->*Key);
        linkBefore(element, nullptr);
        ++m_size;
        if (!newRun) {
            return;
        }
        auto last = std::prev(m_blocks.end());
        if (last->second.size() < kBlockSize) {
            last->second.push_back(&element);
        } else {
            m_blocks.emplace_hint(m_blocks.end(), key, Heads{&element});
        }
    }

    // The block's first head changed: its key in the map views the new head's key.
    void rekey(typename Blocks::iterator block) {
        auto node = m_blocks.extract(block);
        node.key() = std::string_view(node.mapped().front()->*Key);
        m_blocks.insert(std::move(node));
    }

    void splitIfFull(typename Blocks::iterator block) {
        Heads& heads = block->second;
        if (heads.size() < kBlockSize) {
            return;
        }
        const auto half = heads.begin() + static_cast<std::ptrdiff_t>(heads.size() / 2);
        Heads upper(half, heads.end());
        heads.erase(half, heads.end());
        heads.shrink_to_fit();
        upper.reserve(kBlockSize);
        const std::string_view key = upper.front()->*Key;
        m_blocks.emplace_hint(std::next(block), key, std::move(upper));
    }

    void linkBefore(T& element, T* next) {
        if (next == nullptr) {
            element.*Prev = m_tail;
            (m_tail != nullptr ? m_tail->*Next : m_head) = &element;
            m_tail = &element;
            return;
        }
        T* prev = next->*Prev;
        element.*Prev = prev;
        element.*Next = next;
        next->*Prev = &element;
        (prev != nullptr ? prev->*Next : m_head) = &element;
    }

    void unlink(T& element) {
        T* prev = element.*Prev;
        T* next = element.*Next;
        (prev != nullptr ? prev->*Next : m_head) = next;
        (next != nullptr ? next->*Prev : m_tail) = prev;
        element.*Next = nullptr;
        element.*Prev = nullptr;
    }

    Blocks m_blocks;
    T* m_head = nullptr;
    T* m_tail = nullptr;
    std::size_t m_size = 0;
};

}  // namespace quillharbor
