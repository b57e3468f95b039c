#include "ui/new_task_form.h"

#include "engine/download_boundary.h"
#include "parser/url_helpers.h"

namespace quillharbor {

namespace {

constexpr const char* kTextExtensions = " .txt ";
constexpr const char* kGraphicsExtensions = " .gif .jpg .png .bmp ";

}  // namespace

NewTaskForm::NewTaskForm(const NewTaskParams& params)
    : url(params.URL),
      name(params.Name),
      downloadFrom(params.DownloadFrom >= 1 && params.DownloadFrom <= 3 ? params.DownloadFrom : 1),
      levels(kLevels.clamp(levelsShown(params.MaxLevels))),
      levelsInfinity(params.MaxLevelsInf),
      files(kFiles.clamp(params.MaxFiles)),
      filesInfinity(params.MaxFilesInf),
      startAtOnce(params.StartAtOnce),
      startAfter(kStartAfter.clamp(params.StartAfter)),
      trySlashes(params.TrySlashes),
      parse(params.Parse),
      extensions(params.Extensions),
      followFtp(params.FollowFTP),
      pageRequisites(params.PageRequisites),
      siteLayout(params.SiteLayout),
      ftpUser(params.FtpUser),
      ftpPassword(params.FtpPassword),
      skipCertificateCheck(params.SkipCertificateCheck) {
    urlEditLeft();
}

void NewTaskForm::urlEditLeft() {
    if (!url.empty()) {
        m_captionUrl = url;
    }
}

std::string NewTaskForm::hostChoiceCaption() const {
    if (m_captionUrl.empty()) {
        return "Only from the starting doc's host";
    }
    return "Only from " + HostPart(m_captionUrl) + "/";
}

std::string NewTaskForm::directoryChoiceCaption() const {
    if (m_captionUrl.empty()) {
        return "Only from the starting doc's directory and subdirectories";
    }
    return "Only from " + directoryBoundary(m_captionUrl) + " and subdirs";
}

void NewTaskForm::boundaryEditEntered() {
    if (!boundary.empty()) {
        return;
    }
    boundary = boundaryFor(downloadFrom, url);
    if (!boundary.empty() && boundary.back() != '/') {
        boundary += '/';
    }
}

void NewTaskForm::store(NewTaskParams& params) const {
    params.URL = url;
    params.Name = name;
    params.TrySlashes = trySlashes;
    params.Parse = parse;
    params.StartAtOnce = startAtOnce;
    params.StartAfter = static_cast<std::uint16_t>(startAfter);
    params.DownloadFrom = static_cast<std::uint8_t>(downloadFrom);
    // A typed boundary is taken as it stands.
    params.BoundaryPrefix = boundary.empty() ? boundaryFor(downloadFrom, url) : boundary;
    params.Extensions = extensionsOnOk(extensions);
    if (params.Extensions.empty()) {
        switch (fileKinds) {
            case FileKinds::TextOnly:
                params.Extensions = kTextExtensions;
                break;
            case FileKinds::GraphicsOnly:
                params.Extensions = kGraphicsExtensions;
                break;
            case FileKinds::AllFiles:
                break;
        }
    }
    params.MaxLevels = levelsStored(levels);
    params.MaxLevelsInf = levelsInfinity;
    params.MaxFiles = static_cast<std::uint16_t>(files);
    params.MaxFilesInf = filesInfinity;
    params.FollowFTP = followFtp;
    params.PageRequisites = pageRequisites;
    params.SiteLayout = siteLayout;
    params.FtpUser = ftpUser;
    params.FtpPassword = ftpPassword;
    params.SkipCertificateCheck = skipCertificateCheck;
}

}  // namespace quillharbor
