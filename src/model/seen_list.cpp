#include "model/seen_list.h"

#include <cassert>

namespace quillharbor {

void SeenList::SeenInsert(TDnObj& object) {
    assert(object.InList == GlobalList::None);
    m_sorted.insert(object);
    object.InList = GlobalList::Seen;
}

TDnObj* SeenList::SeenRemove(TDnObj& object) {
    assert(object.InList == GlobalList::Seen);
    object.InList = GlobalList::None;
    return m_sorted.remove(object);
}

void SeenList::clear() {
    for (TDnObj& object : m_sorted) {
        object.InList = GlobalList::None;
    }
    m_sorted.clear();
}

}  // namespace quillharbor
