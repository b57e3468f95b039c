#include "clients/local_name_claim.h"

#include <filesystem>
#include <system_error>

#include "model/task.h"
#include "parser/url_helpers.h"
#include "platform/files.h"

namespace quillharbor {

namespace {

bool inOwnFolder(const TTask& task) {
    return task.Dir.ends_with("/" + task.Name + "/");
}

Status makeFoldersOf(const TTask& task, const std::string& name) {
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? Status()
                                      : createDirectories(task.Dir + name.substr(0, slash));
}

}  // namespace

std::string RenamedLocalName(const TaskList& tasks, const TDnObj& object, std::string_view wanted) {
    const TTask& task = *object.Task;
    const bool ownFolder = inOwnFolder(task);
    return FirstFreeName(wanted, [&](std::string_view candidate) {
        if (LocalNameHeld(tasks, object, candidate)) {
            return true;
        }
        return !ownFolder && candidate != object.LocalName &&
               fileExists(task.Dir + std::string(candidate));
    });
}

std::string FreshLocalName(const TaskList& tasks, const TDnObj& object, std::string_view wanted) {
    if (!object.LocalName.empty() && !LocalNameHeld(tasks, object, object.LocalName)) {
        return object.LocalName;
    }
    return RenamedLocalName(tasks, object, wanted);
}

void MoveLocalFile(TDnObj& object, const std::string& name) {
    if (name == object.LocalName) {
        return;
    }
    const TTask& task = *object.Task;
    const std::string from = task.Dir + object.LocalName;
    const std::string to = task.Dir + name;
    if (!makeFoldersOf(task, name)) {
        return;
    }
    std::error_code error;
    if (inOwnFolder(task)) {
        std::filesystem::rename(from, to, error);
    } else if (!renameNoReplace(from, to)) {
        return;
    }
    if (!error) {
        SetLocalName(object, name);
    }
}

Status MakeLocalFolders(const TDnObj& object) {
    return makeFoldersOf(*object.Task, object.LocalName);
}

}  // namespace quillharbor
