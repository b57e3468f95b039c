#pragma once

#include <string>

#include "storage/default_task_options.h"
#include "ui/option_controls.h"

namespace quillharbor {

// The Default Task Options dialog's controls as plain values, loaded from and stored into the
// defaults that new tasks start from.
class DefaultTaskOptionsForm {
public:
    static constexpr SpinRange kLevels{0, 100};
    static constexpr SpinRange kFiles{1, 10000};
    static constexpr SpinRange kStartAfter{1, 600};

    explicit DefaultTaskOptionsForm(const DefaultTaskOptions& options);

    std::string dirTemplate;
    std::string startingDoc;
    bool trySlashes = false;
    bool parse = false;
    bool startAtOnce = false;
    int startAfter = 1;
    int downloadFrom = 1;  // 1 host, 2 directory, 3 anywhere
    int levels = 0;        // links away from the starting doc
    bool levelsInfinity = false;
    std::string extensions;
    int files = 1;
    bool filesInfinity = false;
    bool followFtp = false;
    // The check boxes "Page requisites" and "Site's own layout".
    bool pageRequisites = false;
    bool siteLayout = false;

    // The directory template names task directories, which exist only with separate ones.
    bool dirTemplateEnabled() const { return m_saveSeparate; }

    void store(DefaultTaskOptions& options) const;

private:
    bool m_saveSeparate;
};

}  // namespace quillharbor
