#include "cli/new_task_request.h"

#include <charconv>
#include <filesystem>
#include <vector>

#include "cli/argument_reader.h"
#include "cli/per_host_option.h"
#include "cli/verbosity_options.h"
#include "engine/download_boundary.h"
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

Status readLayout(std::string_view value, std::optional<bool>& siteLayout) {
    if (value != "site" && value != "flat") {
        return Error{"--layout takes site or flat, not '" + std::string(value) + "'"};
    }
    siteLayout = value == "site";
    return {};
}

Status takeText(std::string_view option, std::string_view value, std::string& field) {
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        return Error{std::string(option) + " cannot hold a line break"};
    }
    field = std::string(value);
    return {};
}

Status takeText(std::string_view option, std::string_view value,
                std::optional<std::string>& field) {
    std::string text;
    if (Status taken = takeText(option, value, text); !taken) {
        return taken;
    }
    field = std::move(text);
    return {};
}

// The most a rate may be: no link is faster, and the pacing arithmetic stays exact.
constexpr double kMaxRate = 1e12;

Status readProxy(std::string_view value, GrabOptions& grab) {
    const std::size_t colon = value.rfind(':');
    const std::string_view port = colon == std::string_view::npos ? "" : value.substr(colon + 1);
    int number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (colon == 0 || port.empty() || error != std::errc() || end != port.data() + port.size() ||
        number < 1 || number > 65535 ||
        value.find_first_of(std::string_view("/ \r\n\0", 5)) != std::string_view::npos) {
        return Error{"--proxy takes HOST:PORT, not '" + std::string(value) + "'"};
    }
    grab.ProxyHost = std::string(value.substr(0, colon));
    grab.ProxyPort = std::string(port);
    return {};
}

Status readExpression(std::string_view option, std::string_view value, std::string& field) {
    if (Status text = takeText(option, value, field); !text) {
        return text;
    }
    const bool include = option == "--include";
    Result<UrlFilter> filter =
        UrlFilter::make(include ? field : std::string(), include ? std::string() : field);
    return filter ? Status{} : Status(filter.error());
}

Status readDirectory(std::string_view value, std::optional<std::string>& directory) {
    if (value.empty() || value.find('\0') != std::string_view::npos) {
        return Error{"-P/--output needs a folder"};
    }
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(value, error);
    if (error) {
        return Error{"-P/--output: cannot tell where '" + std::string(value) + "' is"};
    }
    directory = path.lexically_normal().string();
    return {};
}

}  // namespace

const char* const kNewTaskOptionsHelp =
    "Options (each unset one comes from the Default section of the configuration):\n"
    "  -n, --name NAME         task name, also its directory under TaskRoot (default Task-N)\n"
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
    "  -l, --levels N|infinity follow links at most N links away from the starting document,\n"
    "                          0 to 100 (0: the document alone; the task's Max levels is N+1)\n"
    "  --files N|infinity      retrieve at most N files, 1 to 10000\n"
    "  --extensions WHICH      accept only files with these extensions (\".gif .jpg\"), or\n"
    "                          text, graphics or all\n"
    "  --follow-ftp, --no-follow-ftp\n"
    "                          follow links to FTP servers\n"
    "  -k, --insecure          fetch https without verifying the servers' certificates\n"
    "  --requisites, --no-requisites\n"
    "                          also fetch what the saved pages need to be shown (style sheets,\n"
    "                          scripts, pictures), from pages of the last level too\n"
    "  --layout site|flat      name the files after the site's folders (host/path/...), or put\n"
    "                          them all in the task directory\n"
    "  --ftp-user USER, --ftp-password PASSWORD\n"
    "                          FTP login for the task (default: DefUser and DefPassword)\n"
    "  -P, --output DIR        save the task's files into DIR (made when missing) instead of\n"
    "                          TaskRoot/NAME\n"
    "  -U, --user-agent TEXT   send TEXT as the user agent (default: the configured one)\n"
    "  --limit-rate RATE       read at most RATE bytes per second across the task's\n"
    "                          transfers; k and M suffixes count 1024 and 1024*1024 (200k)\n"
    "  --include REGEX         follow only links whose absolute URL matches REGEX\n"
    "  --exclude REGEX         never follow links whose absolute URL matches REGEX\n"
    "                          (ECMAScript syntax, searched anywhere in the URL; refused\n"
    "                          links are told with --verbose and counted at the end)\n"
    "  --no-robots             ignore robots.txt for this task\n"
    "  --proxy HOST:PORT       send this task's HTTP requests through that proxy\n"
    "  --json                  print one JSON object per finished or failed object on\n"
    "                          standard output; progress and messages go to standard error\n"
    "  -q, --quiet, -v, --verbose\n"
    "                          print less, or also every object as it completes\n"
    "  --fast                  free slots take their next file at once, not at the next tick\n"
    "                          (servers you own or may load; keeps the Pause)\n"
    "  --per-host N            at most N connections to one host at once in this run\n"
    "                          (1 to 16; default: MaxConnsPerHost, 0 for no cap)\n"
    "  --keep-alive            HTTP/1.1 connections that serve a slot's next file of the\n"
    "                          same server\n";

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
    std::vector<CommandOption> options{
        CommandOption{"--name", true, text("--name", request.name), 'n'},
        CommandOption{"--start-doc", true, text("--start-doc", request.startingDoc)},
        CommandOption{"--try-slashes", false, flag(request.trySlashes, true)},
        CommandOption{"--no-try-slashes", false, flag(request.trySlashes, false)},
        CommandOption{"--rewrite-links", false, flag(request.rewriteLinks, true)},
        CommandOption{"--no-rewrite-links", false, flag(request.rewriteLinks, false)},
        CommandOption{"--follow-ftp", false, flag(request.followFtp, true)},
        CommandOption{"--no-follow-ftp", false, flag(request.followFtp, false)},
        CommandOption{"--insecure", false, flag(request.insecure, true), 'k'},
        CommandOption{"--requisites", false, flag(request.pageRequisites, true)},
        CommandOption{"--no-requisites", false, flag(request.pageRequisites, false)},
        CommandOption{
            "--layout", true,
            [&](std::string_view value) { return readLayout(value, request.siteLayout); }},
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
                      },
                      'l'},
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
        CommandOption{
            "--output", true,
            [&](std::string_view value) { return readDirectory(value, request.directory); }, 'P'},
        CommandOption{"--user-agent", true,
                      [&](std::string_view value) {
                          return takeText("--user-agent", value, request.grab.UserAgent);
                      },
                      'U'},
        CommandOption{"--limit-rate", true,
                      [&](std::string_view value) -> Status {
                          Result<std::int64_t> rate = readRate(value);
                          if (!rate) {
                              return rate.error();
                          }
                          request.grab.RateLimit = rate.value();
                          return {};
                      }},
        CommandOption{"--include", true,
                      [&](std::string_view value) {
                          return readExpression("--include", value, request.grab.Include);
                      }},
        CommandOption{"--exclude", true,
                      [&](std::string_view value) {
                          return readExpression("--exclude", value, request.grab.Exclude);
                      }},
        CommandOption{"--no-robots", false,
                      [&](std::string_view) -> Status {
                          request.grab.NoRobots = true;
                          return {};
                      }},
        CommandOption{"--proxy", true,
                      [&](std::string_view value) { return readProxy(value, request.grab); }},
        CommandOption{"--json", false,
                      [&](std::string_view) -> Status {
                          request.json = true;
                          return {};
                      }},
        CommandOption{"--fast", false,
                      [&](std::string_view) -> Status {
                          request.fast = true;
                          return {};
                      }},
        perHostOption(request.perHost),
        CommandOption{"--keep-alive", false,
                      [&](std::string_view) -> Status {
                          request.keepAlive = true;
                          return {};
                      }},
    };
    for (CommandOption& option : verbosityOptions(request.verbosity)) {
        options.push_back(std::move(option));
    }
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

Result<std::int64_t> readRate(std::string_view text) {
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    const std::string_view suffix(end, static_cast<std::size_t>(text.data() + text.size() - end));
    double unit = 0;
    if (suffix.empty()) {
        unit = 1;
    } else if (suffix == "k" || suffix == "K") {
        unit = 1024;
    } else if (suffix == "m" || suffix == "M") {
        unit = 1024 * 1024;
    }
    const double rate = number * unit;
    if (text.empty() || error != std::errc() || unit == 0 || !(rate >= 1) || rate > kMaxRate) {
        return Error{"--limit-rate takes bytes per second such as 5000, 200k or 1.5M, not '" +
                     std::string(text) + "'"};
    }
    return static_cast<std::int64_t>(rate);
}

Result<std::string> cleanStartingUrl(std::string url) {
    const std::string typed = url;
    CleanTypedUrl(url);
    if (url.empty()) {
        return Error{"'" + typed + "' is not an http://, https:// or ftp:// URL"};
    }
    // The scheme is http, https or ftp now; what follows it must be "//" and a host.
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
    params.SkipCertificateCheck = request.insecure.value_or(params.SkipCertificateCheck);
    params.PageRequisites = request.pageRequisites.value_or(params.PageRequisites);
    params.SiteLayout = request.siteLayout.value_or(params.SiteLayout);
    params.FtpUser = request.ftpUser.value_or(params.FtpUser);
    params.FtpPassword = request.ftpPassword.value_or(params.FtpPassword);
    params.Directory = request.directory.value_or(params.Directory);
    params.Grab = request.grab;
}

}  // namespace quillharbor
