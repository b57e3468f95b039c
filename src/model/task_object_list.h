#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/dn_obj.h"
#include "model/sorted_list.h"

namespace quillharbor {

// A task's objects: owned here, ordered by URL through TaskNext/TaskPrev. Objects are never
// taken out one by one; they all go with the task. They live in blocks of growing size (8, 16,
// ... up to 4096 objects), then in huge blocks (huge_blocks.h) of about 7,900, never moved, so a
// task of a million objects costs one record each, no allocation per object and few page faults,
// while a small task stays small.
class TaskObjectList {
public:
    using Sorted = SortedList<TDnObj, &TDnObj::URL, &TDnObj::TaskNext, &TDnObj::TaskPrev>;

    TaskObjectList() = default;
    TaskObjectList(const TaskObjectList&) = delete;
    TaskObjectList& operator=(const TaskObjectList&) = delete;
    ~TaskObjectList();

    // A new object with this URL and the next ordinal, in its place by URL. An equal URL is
    // accepted and goes behind the ones already there (NewDnObj is what refuses a second object
    // for a URL).
    TDnObj& TaskObjInsert(std::string url);
    TDnObj* TaskFindObj(std::string_view url) const { return m_sorted.find(url); }

    TDnObj* head() const { return m_sorted.head(); }
    std::size_t size() const { return m_sorted.size(); }
    Sorted::Iterator begin() const { return m_sorted.begin(); }
    Sorted::Iterator end() const { return m_sorted.end(); }

    // The object created with this ordinal, or nullptr.
    TDnObj* byOrdinal(std::uint32_t ordinal) const;

private:
    // Declared first so that the sorted links are cleared while the objects still live.
    std::vector<TDnObj*> m_blocks;
    std::uint32_t m_count = 0;
    Sorted m_sorted;
};

}  // namespace quillharbor
