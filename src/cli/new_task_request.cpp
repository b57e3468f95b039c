#include "cli/new_task_request.h"

#include <array>

#include "cli/argument_reader.h"
#include "parser/url_helpers.h"

namespace quillharbor {

namespace {

constexpr std::uint8_t kFromHost = 1;
constexpr std::uint8_t kFromDirectory = 2;
constexpr std::uint8_t kFromAnywhere = 3;

// The New Task dialog's choices for "Follow child links for".
constexpr std::string_view kTextOnly = " .txt ";
constexpr std::string_view kGraphicsOnly = " .gif .jpg .png .bmp ";

Status readExtensions(std::string_view value, std::optional<std::string>& extensions) {
    if (value == "all") {
        extensions = "";
    } else if (value == "text") {
        extensions = std::string(kTextOnly);
    } else if (value == "graphics") {
        extensions = std::string(kGraphicsOnly);
    } else if (value.find('.') == std::string_view::npos) {
        // The dialog drops such a text silently and accepts every file; a command line says so.
        return Error{
            "--extensions takes text, graphics, all or extensions with their dots "
            "(\".gif .jpg\"), not '" +
            std::string(value) + "'"};
    } else {
        // Links are matched as ".ext " inside this text.
        extensions = std::string(value) + " ";
    }
    return {};
}

Status readDownloadFrom(std::string_view value, std::optional<std::uint8_t>& downloadFrom) {
    if (value == "host") {
        downloadFrom = kFromHost;
    } else if (value == "directory" || value == "dir") {
        downloadFrom = kFromDirectory;
    } else if (value == "anywhere") {
        downloadFrom = kFromAnywhere;
    } else {
        return Error{"--from takes host, directory or anywhere, not '" + std::string(value) +
                     "' (use --boundary PREFIX for a boundary of your own)"};
    }
    return {};
}

Status takeText(std::string_view option, std::string_view value,
                std::optional<std::string>& field) {
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        return Error{std::string(option) + " cannot hold a line break"};
    }
    field = std::string(value);
    return {};
}

std::string boundaryFor(std::uint8_t downloadFrom, const std::string& url) {
    switch (downloadFrom) {
        case kFromHost:
            return HostPart(url) + "/";
        case kFromDirectory: {
            std::string directory = DirPart(url);
            return directory.empty() ? HostPart(url) + "/" : directory;
        }
        default:
            return {};
    }
}

}  // namespace

const char* const kNewTaskOptionsHelp =
    "Options (each unset one comes from the Default section of the configuration):\n"
    "  --name NAME             task name, also its directory under TaskRoot (default Task-N)\n"
    "  --start-doc NAME        file name of the starting document\n"
    "                          (default \"Starting Document.html\")\n"
    "  --try-slashes, --no-try-slashes\n"
    "                          try a trailing slash on links without an extension\n"
    "  --rewrite-links, --no-rewrite-links\n"
    "                          rewrite the saved pages' links for offline browsing at the end\n"
    "  --start-after MINUTES   wait before starting, 0 to 600 (0: at once)\n"
    "  --from WHERE            download from: host (the starting document's host), directory\n"
    "                          (its directory and subdirectories) or anywhere\n"
    "  --boundary PREFIX       download only URLs beginning with PREFIX (overrides --from)\n"
    "  --levels N|infinity     follow links at most N links away from the starting document,\n"
    "                          0 to 100 (0: the document alone; the task's Max levels is N+1)\n"
    "  --files N|infinity      retrieve at most N files, 1 to 10000\n"
    "  --extensions WHICH      accept only files with these extensions (\".gif .jpg\"), or\n"
    "                          text, graphics or all\n"
    "  --follow-ftp, --no-follow-ftp\n"
    "                          follow links to FTP servers\n"
    "  --ftp-user USER, --ftp-password PASSWORD\n"
    "                          FTP login for the task (default: DefUser and DefPassword)\n"
    "  --quiet, --verbose      print less, or also every object as it completes\n";

Result<NewTaskRequest> readNewTaskRequest(std::span<const std::string> arguments) {
    NewTaskRequest request;
    const auto flag = [](std::optional<bool>& field, bool value) {
        return [&field, value](std::string_view) -> Status {
            field = value;
            return {};
        };
    };
    const auto text = [](std::string_view option, std::optional<std::string>& field) {
        return [option, &field](std::string_view value) { return takeText(option, value, field); };
    };
    const std::array options{
        CommandOption{"--name", true, text("--name", request.name)},
        CommandOption{"--start-doc", true, text("--start-doc", request.startingDoc)},
        CommandOption{"--try-slashes", false, flag(request.trySlashes, true)},
        CommandOption{"--no-try-slashes", false, flag(request.trySlashes, false)},
        CommandOption{"--rewrite-links", false, flag(request.rewriteLinks, true)},
        CommandOption{"--no-rewrite-links", false, flag(request.rewriteLinks, false)},
        CommandOption{"--follow-ftp", false, flag(request.followFtp, true)},
        CommandOption{"--no-follow-ftp", false, flag(request.followFtp, false)},
        CommandOption{"--start-after", true,
                      [&](std::string_view value) -> Status {
                          auto minutes = readBoundedNumber("--start-after", value, 0, 600, false);
                          if (!minutes) {
                              return minutes.error();
                          }
                          request.startAfter = static_cast<std::uint16_t>(*minutes.value());
                          return {};
                      }},
        CommandOption{
            "--from", true,
            [&](std::string_view value) { return readDownloadFrom(value, request.downloadFrom); }},
        CommandOption{"--boundary", true, text("--boundary", request.boundary)},
        CommandOption{"--levels", true,
                      [&](std::string_view value) -> Status {
                          auto levels = readBoundedNumber("--levels", value, 0, 100, true);
                          if (!levels) {
                              return levels.error();
                          }
                          request.levelsSet = true;
                          request.linksAway.reset();
                          if (levels.value()) {
                              request.linksAway = static_cast<std::uint16_t>(*levels.value());
                          }
                          return {};
                      }},
        CommandOption{"--files", true,
                      [&](std::string_view value) -> Status {
                          auto files = readBoundedNumber("--files", value, 1, 10000, true);
                          if (!files) {
                              return files.error();
                          }
                          request.filesSet = true;
                          request.maxFiles.reset();
                          if (files.value()) {
                              request.maxFiles = static_cast<std::uint16_t>(*files.value());
                          }
                          return {};
                      }},
        CommandOption{
            "--extensions", true,
            [&](std::string_view value) { return readExtensions(value, request.extensions); }},
        CommandOption{"--ftp-user", true, text("--ftp-user", request.ftpUser)},
        CommandOption{"--ftp-password", true, text("--ftp-password", request.ftpPassword)},
        CommandOption{"--quiet", false,
                      [&](std::string_view) -> Status {
                          request.verbosity = Verbosity::Quiet;
                          return {};
                      }},
        CommandOption{"--verbose", false,
                      [&](std::string_view) -> Status {
                          request.verbosity = Verbosity::Verbose;
                          return {};
                      }},
    };
    Result<std::vector<std::string>> operands = readArguments(arguments, options);
    if (!operands) {
        return operands.error();
    }
    if (operands.value().empty()) {
        return Error{"'get' needs a URL"};
    }
    if (operands.value().size() > 1) {
        return Error{"'get' takes one URL; what is '" + operands.value()[1] + "'?"};
    }
    request.url = std::move(operands.value().front());
    return request;
}

Result<std::string> cleanStartingUrl(std::string url) {
    const std::string typed = url;
    CleanTypedUrl(url);
    if (url.empty()) {
        return Error{"'" + typed + "' is not an http:// or ftp:// URL"};
    }
    // The scheme is http or ftp now; what follows it must be "//" and a host.
    const std::size_t hostBegin = url.find(':') + 3;
    if (url.compare(hostBegin - 3, 3, "://") != 0 || hostBegin >= url.size() ||
        url[hostBegin] == '/') {
        return Error{"'" + typed + "' names no host"};
    }
    if (url.find('/', hostBegin) == std::string::npos) {
        url += '/';
    }
    return url;
}

void applyNewTaskRequest(const NewTaskRequest& request, const std::string& cleanUrl,
                         NewTaskParams& params) {
    params.URL = cleanUrl;
    params.Name = request.name.value_or(params.Name);
    params.StartingDoc = request.startingDoc.value_or(params.StartingDoc);
    params.TrySlashes = request.trySlashes.value_or(params.TrySlashes);
    params.Parse = request.rewriteLinks.value_or(params.Parse);
    if (request.startAfter) {
        params.StartAtOnce = *request.startAfter == 0;
        params.StartAfter = *request.startAfter;
    }
    params.DownloadFrom = request.downloadFrom.value_or(params.DownloadFrom);
    params.BoundaryPrefix = request.boundary.value_or(boundaryFor(params.DownloadFrom, cleanUrl));
    if (request.levelsSet) {
        params.MaxLevelsInf = !request.linksAway;
        if (request.linksAway) {
            // Counted as the dialog shows it: links away, one less than the level limit.
            params.MaxLevels = static_cast<std::uint16_t>(*request.linksAway + 1);
        }
    }
    if (request.filesSet) {
        params.MaxFilesInf = !request.maxFiles;
        if (request.maxFiles) {
            params.MaxFiles = *request.maxFiles;
        }
    }
    params.Extensions = request.extensions.value_or(params.Extensions);
    params.FollowFTP = request.followFtp.value_or(params.FollowFTP);
    params.FtpUser = request.ftpUser.value_or(params.FtpUser);
    params.FtpPassword = request.ftpPassword.value_or(params.FtpPassword);
}

}  // namespace quillharbor
