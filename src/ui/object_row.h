#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/engine_view.h"
#include "model/dn_obj.h"

namespace quillharbor {

// The list an object's row belongs in by its state; none for a robots.txt request.
std::optional<ObjectListPage> pageOfObject(const TDnObj& object);

// The column captions of a list, without sort marks.
std::vector<std::string> objectColumnCaptions(ObjectListPage page);

// The texts of an object's row in a list, caption first. Unknown sizes show "?"; a Saved row
// whose object never got a file is captioned "Removed from queue".
std::vector<std::string> objectRowCells(ObjectListPage page, const TDnObj& object);

// The caption alone (what the list sorts by).
std::string objectRowCaption(ObjectListPage page, const TDnObj& object);

// The status image of an object's row: 0 to 14 from the status image list, or for an object
// being retrieved its progress 0 to 7 from the progress image list; -1 for none.
int objectStatusImage(const TDnObj& object);

}  // namespace quillharbor
