#include "engine/task_creator.h"

#include <utility>

#include "engine/download_boundary.h"
#include "engine/task_name_check.h"
#include "model/message_identity.h"
#include "parser/url_helpers.h"
#include "platform/files.h"
#include "storage/grab_options_file.h"

namespace quillharbor {

namespace {

constexpr std::string_view kDefaultStartingDoc = "Starting Document.html";
constexpr std::string_view kPictureExtensions = " .gif .jpg .png .bmp .pcx ";

// Drop modes, as the drop window assigns them to gestures.
constexpr int kDropCreate = 0;
constexpr int kDropOpenDialog = 1;
constexpr int kDropSingleDocument = 2;
constexpr int kDropPictures = 3;
constexpr int kDropFollowFtp = 4;

std::int32_t flagsOf(const NewTaskParams& params) {
    std::int32_t flags = 0;
    if (params.FollowFTP) {
        flags |= static_cast<std::int32_t>(TaskFlag::FollowFTP);
    }
    if (params.TrySlashes) {
        flags |= static_cast<std::int32_t>(TaskFlag::TrySlashes);
    }
    if (params.Parse) {
        flags |= static_cast<std::int32_t>(TaskFlag::Parse);
    }
    if (params.SkipCertificateCheck) {
        flags |= static_cast<std::int32_t>(TaskFlag::SkipCertificateCheck);
    }
    if (params.PageRequisites) {
        flags |= static_cast<std::int32_t>(TaskFlag::PageRequisites);
    }
    if (params.SiteLayout) {
        flags |= static_cast<std::int32_t>(TaskFlag::SiteLayout);
    }
    return flags;
}

// The starting document is written into the task directory under this name, so it must stay a
// plain file name whatever the configuration file says.
std::string startingDocName(const std::string& configured) {
    const bool usable = !configured.empty() && configured != "." && configured != ".." &&
                        configured.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
    return usable ? configured : std::string(kDefaultStartingDoc);
}

std::string withTrailingSlash(std::string directory) {
    if (!directory.empty() && directory.back() != '/') {
        directory += '/';
    }
    return directory;
}

}  // namespace

void TaskCreator::PrepareNewTaskParams(NewTaskParams& params) const {
    const DefaultTaskOptions& defaults = m_context.defaults;
    params.Name = proposeTaskName();
    params.StartingDoc = defaults.StartingDoc;
    params.TrySlashes = defaults.TrySlashes;
    params.Parse = defaults.Parse;
    params.StartAtOnce = defaults.StartAtOnce;
    params.StartAfter = defaults.StartAfter;
    params.DownloadFrom = defaults.DownloadFrom;
    params.MaxLevels = defaults.MaxLevels;
    params.MaxLevelsInf = defaults.MaxLevelsInf;
    params.MaxFiles = defaults.MaxFiles;
    params.MaxFilesInf = defaults.MaxFilesInf;
    params.FollowFTP = defaults.FollowFTP;
    params.PageRequisites = defaults.PageRequisites;
    params.SiteLayout = defaults.SiteLayout;
    params.Extensions = defaults.AcceptedFileExtensions;
    params.BoundaryPrefix.clear();
    params.FtpPassword = m_context.global.DefPassword;
    params.FtpUser = m_context.global.DefUser;
}

std::string TaskCreator::proposeTaskName() const {
    const std::string root = withTrailingSlash(m_context.global.TaskRoot);
    // Ends: every candidate that is taken is a task, a task file or a directory entry.
    for (unsigned number = 1;; ++number) {
        std::string name = m_context.defaults.DirTemplate + "-" + std::to_string(number);
        const bool taken = m_context.state.TaskList.TaskFind(name) != nullptr ||
                           fileExists(m_context.programDir + name + ".tsf") ||
                           (m_context.state.SaveSeparate && fileExists(root + name));
        if (!taken) {
            return name;
        }
    }
}

std::string TaskCreator::taskDirectory(const std::string& name) const {
    const std::string root = withTrailingSlash(m_context.global.TaskRoot);
    // Without separate directories every task saves straight into the task root.
    return m_context.state.SaveSeparate ? root + name + "/" : root;
}

bool TaskCreator::prepareTaskPlace(const std::string& name, const std::string& directory) {
    if (std::optional<std::string> refusal =
            taskNameRefusal(name, m_context.state.TaskList, m_context.programDir)) {
        m_context.services.view.ShowNotification(*refusal);
        return false;
    }
    if (!createDirectories(directory).ok()) {
        m_context.services.view.ShowNotification("Cannot create task directory " + directory +
                                                 ". Task " + name + " is not started");
        return false;
    }
    return true;
}

std::unique_ptr<TTask> TaskCreator::newTaskFrom(const NewTaskParams& params,
                                                const std::string& directory) const {
    const std::int32_t levels = params.MaxLevelsInf ? 0 : params.MaxLevels;
    const std::int32_t files = params.MaxFilesInf ? 0 : params.MaxFiles;
    const std::int32_t startAfter = params.StartAtOnce ? 0 : params.StartAfter;
    auto task = NewTask(params.Name, params.URL, directory, files, params.BoundaryPrefix, levels,
                        flagsOf(params), m_context.state.DefaultFtpUser,
                        m_context.state.DefaultFtpPassword);
    task->Extensions = params.Extensions;
    task->StartCountdown = startAfter * kTicksPerMinute;
    task->State = task->StartCountdown != 0 ? TaskState::Waiting : TaskState::Running;
    task->FtpPassword = params.FtpPassword;
    task->FtpUser = params.FtpUser;
    task->StartDocName = MakeUniqueName(startingDocName(params.StartingDoc), directory);
    task->Grab = params.Grab;
    // The front ends check the expressions before they ask for a task.
    task->Filter = UrlFilter::make(params.Grab.Include, params.Grab.Exclude).valueOr({});
    return task;
}

TTask* TaskCreator::CreateTask(const NewTaskParams& params) {
    if (!m_context.state.Https && UrlKind(params.URL) == UrlType::Https) {
        m_context.services.view.ShowNotification("HTTPS is turned off: " + params.URL +
                                                 " cannot start a task");
        return nullptr;
    }
    const std::string directory =
        params.Directory.empty() ? taskDirectory(params.Name) : withTrailingSlash(params.Directory);
    if (!prepareTaskPlace(params.Name, directory)) {
        return nullptr;
    }
    std::unique_ptr<TTask> created = newTaskFrom(params, directory);
    TDnObj& start = *NewDnObj(*created, created->URL, 1);
    start.Referrer = created->URL;
    TTask& task = m_context.state.TaskList.TaskInsert(std::move(created));

    EngineView& view = m_context.services.view;
    view.AddObjectRow(start);
    m_context.state.Queue.Enqueue(start);
    view.AddTaskRow(task);
    view.SelectTaskRow(task);
    view.UpdateCommands();

    const std::string path = m_context.taskFilePath(task);
    if (Status written = m_context.services.taskFiles.WriteTaskFile(task, path); !written) {
        view.ShowNotification(written.error().text);
    }
    // Also without options: a file left from an earlier task of the name must not apply.
    const std::string options = grabOptionsPath(m_context.programDir, task.Name);
    if (Status written = writeGrabOptions(options, task.Grab); !written) {
        view.ShowNotification(written.error().text);
    }
    return &task;
}

void TaskCreator::CreateTaskFromDrop(int mode, std::size_t contentSize) {
    DropSource& drop = m_context.services.drop;
    std::optional<std::string> url = drop.GetDropURL();
    if (url) {
        CleanTypedUrl(*url);
        // With HTTPS off an https URL is one of another scheme, which a drop ignores.
        if (!m_context.state.Https && UrlKind(*url) == UrlType::Https) {
            url->clear();
        }
    }
    if (!url || url->empty()) {
        if (contentSize != 0) {
            drop.ReleaseDropData();
        }
        return;
    }
    if (contentSize == 0) {
        createFromDroppedUrl(mode, *url);
    } else {
        createFromDroppedDocument(mode, *url, contentSize);
    }
}

void TaskCreator::createFromDroppedUrl(int mode, const std::string& url) {
    // A record of its own: the New Task dialog may be open on the engine's shared one.
    NewTaskParams params;
    switch (mode) {
        case kDropCreate:
            PrepareNewTaskParams(params);
            params.URL = url;
            if (params.TrySlashes && !url.ends_with('/') &&
                LocalNameFromUrl(url).find('.') == std::string::npos) {
                params.URL += '/';
            }
            params.BoundaryPrefix = boundaryFor(params.DownloadFrom, params.URL);
            break;
        case kDropOpenDialog:
            m_context.services.view.OpenNewTask(url);
            return;
        case kDropSingleDocument:
            PrepareNewTaskParams(params);
            params.URL = url;
            params.MaxLevels = 1;
            // Otherwise a default of infinite levels would win and the whole site would come.
            params.MaxLevelsInf = false;
            break;
        case kDropPictures:
            PrepareNewTaskParams(params);
            params.URL = url;
            params.Extensions = kPictureExtensions;
            break;
        default:
            return;
    }
    CreateTask(params);
}

void TaskCreator::createFromDroppedDocument(int mode, const std::string& url,
                                            std::size_t contentSize) {
    DropSource& drop = m_context.services.drop;
    EngineView& view = m_context.services.view;
    // Never more than the module really holds, whatever size its message announced.
    const std::string_view content = drop.GetDropData().substr(0, contentSize);
    NewTaskParams params;
    PrepareNewTaskParams(params);
    params.URL = url;
    params.BoundaryPrefix = boundaryFor(params.DownloadFrom, url);
    const std::string directory = taskDirectory(params.Name);
    if (!prepareTaskPlace(params.Name, directory)) {
        drop.ReleaseDropData();
        return;
    }
    std::unique_ptr<TTask> created = newTaskFrom(params, directory);
    const std::string path = created->Dir + created->StartDocName;
    const Status written = replaceFileAtomically(path, content);
    drop.ReleaseDropData();
    if (!written) {
        view.ShowNotification("Cannot write the starting document " + path + ". Task " +
                              params.Name + " is not started");
        return;
    }

    TDnObj& start = *NewDnObj(*created, created->URL, 1);
    // Already here: it counts as queued until its links are taken, but not as a file read.
    created->Queued = 1;
    created->Total = 0;
    start.Referrer = created->URL;
    start.LocalName = created->StartDocName;
    start.State = ObjectState::Retrieved;
    start.ContentType = "text/html";
    TTask& task = m_context.state.TaskList.TaskInsert(std::move(created));
    // A retrieved object belongs in the seen list, where other tasks find it as a duplicate.
    m_context.state.SeenList.SeenInsert(start);
    view.AddObjectRow(start);
    view.AddTaskRow(task);

    if (mode == kDropFollowFtp) {
        TaskSetFlag(task, TaskFlag::FollowFTP);
        task.MaxLevels = 2;
        task.MaxFiles = 0;
    }
    m_context.post(EngineMessage::ScanLinks, identityOf(start));
    view.RefreshTaskIcons();
    view.UpdateCommands();
    // These land before the posted message is handled.
    switch (mode) {
        case kDropOpenDialog:
            task.State = TaskState::Stopped;
            view.OpenEditTask(task);
            break;
        case kDropSingleDocument:
            task.MaxLevels = 1;
            break;
        case kDropPictures:
            task.Extensions = kPictureExtensions;
            break;
        default:
            break;
    }
}

}  // namespace quillharbor
