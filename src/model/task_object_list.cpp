#include "model/task_object_list.h"

#include <utility>

namespace quillharbor {

TDnObj& TaskObjectList::TaskObjInsert(std::unique_ptr<TDnObj> object) {
    TDnObj& inserted = *object;
    inserted.Ordinal = static_cast<std::uint32_t>(m_byOrdinal.size());
    m_byOrdinal.push_back(std::move(object));
    m_sorted.insert(inserted);
    return inserted;
}

TDnObj* TaskObjectList::byOrdinal(std::uint32_t ordinal) const {
    return ordinal < m_byOrdinal.size() ? m_byOrdinal[ordinal].get() : nullptr;
}

}  // namespace quillharbor
