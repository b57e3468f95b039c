#pragma once

#include <string>
#include <string_view>

#include "model/dn_obj.h"
#include "model/task_list.h"
#include "platform/result.h"

namespace quillharbor {

// The names the slots write files under, chosen so that each object of a task keeps one file
// however often its runs were killed and resumed. A name another object holds (of its task, or
// of a task saving into the same folder) is never taken. In the folder made for the task
// (its Dir ends with "/" + Name + "/") a file that no object holds is one this task wrote before
// a kill, before its file recorded the name, and is taken over; in a folder the task shares, an
// existing file is left alone.

// The name object's document is written under from byte 0: the name it holds while no other
// object holds it too (its earlier file is written over), otherwise the first of wanted,
// wanted-1, wanted-2... (FirstFreeName) that may be taken.
std::string FreshLocalName(const TaskList& tasks, const TDnObj& object, std::string_view wanted);

// The name a saved file moves to when it is renamed after wanted: the first of wanted,
// wanted-1... that may be taken, the object's own name counting as free. Equal to LocalName when
// the file need not move.
std::string RenamedLocalName(const TaskList& tasks, const TDnObj& object, std::string_view wanted);

// Moves Dir + LocalName to Dir + name and takes the name; in the task's own folder an unheld file
// of that name is replaced. A failed move keeps the old name, which still names the file.
void MoveLocalFile(TDnObj& object, const std::string& name);

// Makes the folders of a local path of the site's layout ("h/lib/os.html") under the task's Dir.
Status MakeLocalFolders(const TDnObj& object);

}  // namespace quillharbor
