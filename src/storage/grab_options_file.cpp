#include "storage/grab_options_file.h"

#include <cerrno>
#include <charconv>

#include "platform/files.h"
#include "storage/task_file_value.h"

namespace quillharbor {

namespace {

void line(std::string& text, std::string_view key, std::string_view value) {
    if (!value.empty()) {
        text.append(key).append("=").append(escapeTaskFileValue(value)).append("\r\n");
    }
}

}  // namespace

std::string grabOptionsPath(const std::string& programDir, const std::string& taskName) {
    return programDir + taskName + ".tsf-options";
}

std::string composeGrabOptions(const GrabOptions& options) {
    std::string text;
    line(text, "UserAgent", options.UserAgent);
    line(text, "ProxyHost", options.ProxyHost);
    line(text, "ProxyPort", options.ProxyPort);
    line(text, "RateLimit", options.RateLimit > 0 ? std::to_string(options.RateLimit) : "");
    line(text, "Include", options.Include);
    line(text, "Exclude", options.Exclude);
    line(text, "NoRobots", options.NoRobots ? "1" : "");
    return text;
}

Result<GrabOptions> parseGrabOptions(std::string_view text) {
    GrabOptions options;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view current = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (current.ends_with('\r')) {
            current.remove_suffix(1);
        }
        if (current.empty()) {
            continue;
        }
        const std::size_t equals = current.find('=');
        if (equals == std::string_view::npos) {
            return Error{"line " + std::to_string(number) + " is not Key=value"};
        }
        const std::string_view key = current.substr(0, equals);
        std::string value = unescapeTaskFileValue(current.substr(equals + 1));
        if (key == "UserAgent") {
            options.UserAgent = std::move(value);
        } else if (key == "ProxyHost") {
            options.ProxyHost = std::move(value);
        } else if (key == "ProxyPort") {
            options.ProxyPort = std::move(value);
        } else if (key == "Include") {
            options.Include = std::move(value);
        } else if (key == "Exclude") {
            options.Exclude = std::move(value);
        } else if (key == "NoRobots") {
            options.NoRobots = value == "1";
        } else if (key == "RateLimit") {
            const auto [rest, error] =
                std::from_chars(value.data(), value.data() + value.size(), options.RateLimit);
            if (error != std::errc() || rest != value.data() + value.size() ||
                options.RateLimit < 0) {
                return Error{"line " + std::to_string(number) + " holds no byte rate"};
            }
        }
    }
    return options;
}

Status writeGrabOptions(const std::string& path, const GrabOptions& options) {
    if (options.empty()) {
        Status deleted = deleteFile(path);
        return deleted || deleted.error().code == ENOENT ? Status{} : deleted;
    }
    return replaceFileAtomically(path, composeGrabOptions(options));
}

Result<GrabOptions> readGrabOptions(const std::string& path) {
    Result<std::string> text = readWholeFile(path);
    if (!text) {
        if (text.error().code == ENOENT) {
            return GrabOptions{};
        }
        return text.error();
    }
    Result<GrabOptions> options = parseGrabOptions(text.value());
    if (!options) {
        return Error{"cannot load the task options '" + path + "': " + options.error().text};
    }
    return options;
}

}  // namespace quillharbor
