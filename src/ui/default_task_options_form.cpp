#include "ui/default_task_options_form.h"

namespace quillharbor {

DefaultTaskOptionsForm::DefaultTaskOptionsForm(const DefaultTaskOptions& options)
    : dirTemplate(options.DirTemplate),
      startingDoc(options.StartingDoc),
      trySlashes(options.TrySlashes),
      parse(options.Parse),
      startAtOnce(options.StartAtOnce),
      startAfter(kStartAfter.clamp(options.StartAfter)),
      downloadFrom(options.DownloadFrom >= 1 && options.DownloadFrom <= 3 ? options.DownloadFrom
                                                                          : 1),
      levels(kLevels.clamp(levelsShown(options.MaxLevels))),
      levelsInfinity(options.MaxLevelsInf),
      extensions(options.AcceptedFileExtensions),
      files(kFiles.clamp(options.MaxFiles)),
      filesInfinity(options.MaxFilesInf),
      followFtp(options.FollowFTP),
      pageRequisites(options.PageRequisites),
      siteLayout(options.SiteLayout),
      m_saveSeparate(options.SaveSeparate) {}

void DefaultTaskOptionsForm::store(DefaultTaskOptions& options) const {
    std::string directory = dirTemplate;
    // Task names are made as template + "-" + number: a trailing separator has no place there.
    while (!directory.empty() && (directory.back() == '/' || directory.back() == '\\')) {
        directory.pop_back();
    }
    options.DirTemplate = directory;
    options.StartingDoc = startingDoc;
    options.TrySlashes = trySlashes;
    options.Parse = parse;
    options.StartAtOnce = startAtOnce;
    options.StartAfter = static_cast<std::uint16_t>(startAfter);
    options.DownloadFrom = static_cast<std::uint8_t>(downloadFrom);
    options.MaxLevels = levelsStored(levels);
    options.MaxLevelsInf = levelsInfinity;
    options.AcceptedFileExtensions = extensionsOnOk(extensions);
    options.MaxFiles = static_cast<std::uint16_t>(files);
    options.MaxFilesInf = filesInfinity;
    options.FollowFTP = followFtp;
    options.PageRequisites = pageRequisites;
    options.SiteLayout = siteLayout;
}

}  // namespace quillharbor
