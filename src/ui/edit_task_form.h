#pragma once

#include <cstdint>
#include <string>

#include "engine/task_edit_params.h"
#include "model/task.h"
#include "ui/option_controls.h"

namespace quillharbor {

// The Edit Task Properties dialog's controls as plain values. Made from the task when the dialog
// opens; the task itself is kept only by identity, so an edit of a task removed meanwhile
// changes nothing when the engine applies it.
class EditTaskForm {
public:
    static constexpr SpinRange kLevels{1, 100};
    static constexpr SpinRange kFiles{1, 10000};
    static constexpr SpinRange kStartAfter{1, 600};

    explicit EditTaskForm(const TTask& task);

    std::string url;  // the title line
    bool trySlashes = false;
    bool parse = false;
    bool startAtOnce = false;
    int startAfter = 1;  // minutes
    int levels = 1;      // links away from the starting doc
    bool levelsInfinity = false;
    int files = 1;
    bool filesInfinity = false;
    std::string extensions;
    bool followFtp = false;
    // The check boxes "Page requisites" and "Site's own layout".
    bool pageRequisites = false;
    bool siteLayout = false;
    std::string boundary;
    bool fromAnywhere = false;
    bool skipCertificateCheck = false;

    bool boundaryEnabled() const { return !fromAnywhere; }

    // Writes the task-edit record as OK does; Engine::ApplyTaskEdit then changes the task.
    void store(TaskEditParams& params) const;

private:
    std::uintptr_t m_task;
};

}  // namespace quillharbor
