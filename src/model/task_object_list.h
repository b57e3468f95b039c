#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "model/dn_obj.h"
#include "model/sorted_list.h"

namespace quillharbor {

// A task's objects: owned here, ordered by URL through TaskNext/TaskPrev. Objects are never
// taken out one by one; they all go with the task.
class TaskObjectList {
public:
    using Sorted = SortedList<TDnObj, &TDnObj::URL, &TDnObj::TaskNext, &TDnObj::TaskPrev>;

    // Takes the object and gives it the next ordinal. An equal URL is accepted and goes behind
    // the ones already there (NewDnObj is what refuses a second object for a URL).
    TDnObj& TaskObjInsert(std::unique_ptr<TDnObj> object);
    TDnObj* TaskFindObj(std::string_view url) const { return m_sorted.find(url); }

    TDnObj* head() const { return m_sorted.head(); }
    std::size_t size() const { return m_sorted.size(); }
    Sorted::Iterator begin() const { return m_sorted.begin(); }
    Sorted::Iterator end() const { return m_sorted.end(); }

    // The object created with this ordinal, or nullptr.
    TDnObj* byOrdinal(std::uint32_t ordinal) const;

private:
    // Declared first so that the sorted links are cleared while the objects still live.
    std::vector<std::unique_ptr<TDnObj>> m_byOrdinal;
    Sorted m_sorted;
};

}  // namespace quillharbor
