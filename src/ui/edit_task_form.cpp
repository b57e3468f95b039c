#include "ui/edit_task_form.h"

#include <cmath>

#include "model/message_identity.h"

namespace quillharbor {

EditTaskForm::EditTaskForm(const TTask& task)
    : url(task.URL),
      trySlashes(TaskHasFlag(task, TaskFlag::TrySlashes)),
      parse(TaskHasFlag(task, TaskFlag::Parse)),
      startAtOnce(task.StartCountdown == 0),
      // nearbyint rounds to nearest with ties to even, as the details panel does.
      startAfter(kStartAfter.clamp(static_cast<int>(
          std::nearbyint(static_cast<double>(task.StartCountdown) / kTicksPerMinute)))),
      levels(kLevels.clamp(levelsShown(task.MaxLevels))),
      levelsInfinity(task.MaxLevels == 0),
      files(kFiles.clamp(task.MaxFiles)),
      filesInfinity(task.MaxFiles == 0),
      extensions(task.Extensions),
      followFtp(TaskHasFlag(task, TaskFlag::FollowFTP)),
      pageRequisites(TaskHasFlag(task, TaskFlag::PageRequisites)),
      siteLayout(TaskHasFlag(task, TaskFlag::SiteLayout)),
      boundary(task.BoundaryPrefix),
      fromAnywhere(task.BoundaryPrefix.empty()),
      skipCertificateCheck(TaskHasFlag(task, TaskFlag::SkipCertificateCheck)),
      m_task(identityOf(task)) {}

void EditTaskForm::store(TaskEditParams& params) const {
    params.Task = m_task;
    params.TrySlashes = trySlashes;
    params.Parse = parse;
    params.StartAfter = startAtOnce ? 0 : static_cast<std::uint16_t>(startAfter);
    params.BoundaryPrefix = fromAnywhere ? std::string() : boundary;
    params.MaxLevels = levelsStored(levels);
    params.MaxLevelsInf = levelsInfinity;
    params.Extensions = extensionsOnOk(extensions);
    params.MaxFiles = static_cast<std::uint16_t>(files);
    params.MaxFilesInf = filesInfinity;
    params.FollowFTP = followFtp;
    params.PageRequisites = pageRequisites;
    params.SiteLayout = siteLayout;
    params.SkipCertificateCheck = skipCertificateCheck;
}

}  // namespace quillharbor
