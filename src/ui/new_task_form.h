#pragma once

#include <string>

#include "engine/new_task_params.h"
#include "ui/option_controls.h"

namespace quillharbor {

// Which files a new task follows when its extensions edit is empty.
enum class FileKinds {
    TextOnly,
    GraphicsOnly,
    AllFiles,
};

// The New Task dialog's controls as plain values, with the rules that tie them together. The
// dialog fills it from the new-task record, reports every edit to it, draws what it says and
// lets it write the record on OK.
class NewTaskForm {
public:
    static constexpr SpinRange kLevels{0, 100};
    static constexpr SpinRange kFiles{1, 10000};
    static constexpr SpinRange kStartAfter{0, 600};

    explicit NewTaskForm(const NewTaskParams& params);

    // Page "Main options".
    std::string url;
    std::string name;
    int downloadFrom = 1;  // the checked boundary radio button, 1 to 3
    std::string boundary;  // the free boundary edit
    int levels = 0;        // links away from the starting doc
    bool levelsInfinity = false;
    int files = 1;
    bool filesInfinity = false;
    // Page "Additional options".
    bool startAtOnce = false;
    int startAfter = 0;
    bool trySlashes = false;
    bool parse = false;
    FileKinds fileKinds = FileKinds::AllFiles;
    std::string extensions;
    bool followFtp = false;
    // The check boxes "Page requisites" and "Site's own layout".
    bool pageRequisites = false;
    bool siteLayout = false;
    std::string ftpUser;
    std::string ftpPassword;
    bool skipCertificateCheck = false;

    // OK needs a URL and a task name.
    bool okEnabled() const { return !url.empty() && !name.empty(); }
    // A typed boundary or extensions text overrides the radio buttons, which are then disabled.
    bool boundaryChoicesEnabled() const { return boundary.empty(); }
    bool fileKindsEnabled() const { return extensions.empty(); }

    // The two first boundary radio buttons name the URL's host and directory; they follow the
    // URL when the URL edit is left (and at the start), not at every key.
    void urlEditLeft();
    std::string hostChoiceCaption() const;
    std::string directoryChoiceCaption() const;
    // Entering the empty free boundary edit fills it with the checked choice's boundary.
    void boundaryEditEntered();

    // Writes the record as OK does.
    void store(NewTaskParams& params) const;

private:
    std::string m_captionUrl;
};

}  // namespace quillharbor
