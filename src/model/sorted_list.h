#pragma once

#include <cassert>
#include <cstddef>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <string_view>

namespace quillharbor {

// An intrusive doubly-linked list of T kept sorted by a string key (byte-wise, case-sensitive),
// with equal keys in insertion order: a new element goes behind every element whose key is less
// than or equal to its own. Next and Prev name the links in T that this list owns while the
// element is in it; an element is in at most one list over the same links.
//
// Beside the links sits an index of the runs of equal keys, so insert, find and remove cost
// O(log n) instead of a walk from the head. The index views the keys in place: an element's key
// must not change while the element is in the list. The list does not own its elements.
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
        const std::string& key = element.*Key;
        auto run = m_runs.lower_bound(key);
        if (run != m_runs.end() && run->first == key) {
            linkAfter(element, *run->second.last);
            run->second.last = &element;
        } else {
            linkBefore(element, run == m_runs.end() ? nullptr : run->second.first);
            m_runs.emplace_hint(run, std::string_view(key), Run{&element, &element});
        }
        ++m_size;
    }

    // The first element (in list order) with exactly this key, or nullptr.
    T* find(std::string_view key) const {
        auto run = m_runs.find(key);
        return run == m_runs.end() ? nullptr : run->second.first;
    }

    // Unlinks an element of this list and returns its successor.
    T* remove(T& element) {
        auto run = m_runs.find(std::string_view(element.*Key));
        assert(run != m_runs.end());
        Run& equal = run->second;
        if (equal.first == &element && equal.last == &element) {
            m_runs.erase(run);
        } else if (equal.first == &element) {
            // The index key views the first element's key, which leaves with it.
            auto node = m_runs.extract(run);
            node.mapped().first = element.*Next;
            node.key() = std::string_view(node.mapped().first->*Key);
            m_runs.insert(std::move(node));
        } else if (equal.last == &element) {
            equal.last = element.*Prev;
        }
        T* next = element.*Next;
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
        m_runs.clear();
        m_head = m_tail = nullptr;
        m_size = 0;
    }

private:
    struct Run {
        T* first;
        T* last;
    };

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

    void linkAfter(T& element, T& prev) { linkBefore(element, prev.*Next); }

    void unlink(T& element) {
        T* prev = element.*Prev;
        T* next = element.*Next;
        (prev != nullptr ? prev->*Next : m_head) = next;
        (next != nullptr ? next->*Prev : m_tail) = prev;
        element.*Next = nullptr;
        element.*Prev = nullptr;
    }

    std::map<std::string_view, Run, std::less<>> m_runs;
    T* m_head = nullptr;
    T* m_tail = nullptr;
    std::size_t m_size = 0;
};

}  // namespace quillharbor
