#pragma once

#include <cstddef>
#include <string_view>

#include "model/dn_obj.h"
#include "model/sorted_list.h"

namespace quillharbor {

// Every object that has left the queue in this run, ordered by URL through QueueNext/QueuePrev.
// It holds one entry per object, so a URL handled by several tasks appears several times, in the
// order the objects came. It owns none of them.
class SeenList {
public:
    using Sorted = SortedList<TDnObj, &TDnObj::URL, &TDnObj::QueueNext, &TDnObj::QueuePrev>;

    SeenList() = default;
    SeenList(const SeenList&) = delete;
    SeenList& operator=(const SeenList&) = delete;
    ~SeenList() { clear(); }

    // The object must be in no global list.
    void SeenInsert(TDnObj& object);
    // The first object with exactly this URL, or nullptr.
    TDnObj* SeenFind(std::string_view url) const { return m_sorted.find(url); }
    // Unlinks an object of the seen list and returns its successor.
    TDnObj* SeenRemove(TDnObj& object);
    void clear();

    TDnObj* head() const { return m_sorted.head(); }
    std::size_t size() const { return m_sorted.size(); }
    Sorted::Iterator begin() const { return m_sorted.begin(); }
    Sorted::Iterator end() const { return m_sorted.end(); }

private:
    Sorted m_sorted;
};

}  // namespace quillharbor
