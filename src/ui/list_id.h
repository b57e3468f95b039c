#pragma once

#include "engine/engine_view.h"

namespace quillharbor {

// The four lists of the main window; focus may also be elsewhere (None).
enum class ListId {
    None,
    Tasks,
    Saved,
    BeingRetrieved,
    Queued,
};

inline ListId listOf(ObjectListPage page) {
    switch (page) {
        case ObjectListPage::Saved:
            return ListId::Saved;
        case ObjectListPage::BeingRetrieved:
            return ListId::BeingRetrieved;
        case ObjectListPage::Queued:
            break;
    }
    return ListId::Queued;
}

}  // namespace quillharbor
