#pragma once

#include <cstddef>

#include "ui/list_id.h"

namespace quillharbor {

// Told of every change to the rows of a list, before and after it, so that an item model over
// the rows can follow one row at a time (row numbers are those before the change).
class RowsObserver {
public:
    virtual ~RowsObserver() = default;
    virtual void beginInsertRow(ListId list, std::size_t row) = 0;
    virtual void endInsertRow(ListId list) = 0;
    virtual void beginRemoveRow(ListId list, std::size_t row) = 0;
    virtual void endRemoveRow(ListId list) = 0;
    // The whole list changes (filled, emptied, sorted again).
    virtual void beginResetRows(ListId list) = 0;
    virtual void endResetRows(ListId list) = 0;
};

}  // namespace quillharbor
