#include "cli/json_output.h"

#include <cstdio>

#include "cli/state_words.h"

namespace quillharbor {

namespace {

// The JSON writer's own little grammar: "key":value pairs joined by commas.
class JsonObject {
public:
    JsonObject& text(std::string_view key, std::string_view value) {
        return raw(key, jsonString(value));
    }
    JsonObject& number(std::string_view key, std::int64_t value) {
        return raw(key, std::to_string(value));
    }
    JsonObject& flag(std::string_view key, bool value) {
        return raw(key, value ? "true" : "false");
    }
    std::string done() { return m_text + "}"; }
    JsonObject& raw(std::string_view key, std::string_view value) {
        m_text += m_text.size() > 1 ? "," : "";
        m_text += jsonString(key);
        m_text += ":";
        m_text += value;
        return *this;
    }

private:
    std::string m_text = "{";
};

}  // namespace

std::string jsonString(std::string_view text) {
    std::string quoted = "\"";
    for (const char byte : text) {
        switch (byte) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(byte) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    quoted += escaped;
                } else {
                    quoted += byte;
                }
        }
    }
    return quoted + "\"";
}

std::string objectJson(const TDnObj& object) {
    JsonObject json;
    json.text("task", object.Task->Name)
        .text("url", object.URL)
        .text("state", objectStateWords(object.State))
        .number("status", object.Status);
    if (!object.LocalName.empty()) {
        json.text("file", object.Task->Dir + object.LocalName);
    } else if (object.State == ObjectState::RetrievedByOther) {
        json.text("file", object.Location);
    }
    json.number("bytes", object.Received).number("size", object.Size);
    const bool failed = objectFailed(object);
    json.flag("failed", failed);
    if (failed) {
        json.text("reason", failureWords(object));
    }
    return json.done();
}

std::string taskJson(const TTask& task, const std::vector<HeldBack>& heldBack) {
    JsonObject json;
    json.text("name", task.Name)
        .text("state", taskStateWords(task.State))
        .text("url", task.URL)
        .text("directory", task.Dir)
        .number("queued", task.Queued)
        .number("read", task.Total - task.Queued)
        .number("total", task.Total)
        .text("boundary", task.BoundaryPrefix)
        .number("maxFiles", task.MaxFiles)
        .number("maxLevels", task.MaxLevels)
        .text("userAgent", task.Grab.UserAgent)
        .number("rateLimit", task.Grab.RateLimit)
        .text("include", task.Grab.Include)
        .text("exclude", task.Grab.Exclude)
        .flag("noRobots", task.Grab.NoRobots);
    if (!task.Grab.ProxyHost.empty()) {
        json.text("proxy", task.Grab.ProxyHost + ":" + task.Grab.ProxyPort);
    }
    if (!heldBack.empty()) {
        std::string hosts;
        for (const HeldBack& held : heldBack) {
            hosts += (hosts.empty() ? "[" : ",") +
                     JsonObject().text("host", held.host).number("seconds", held.seconds).done();
        }
        json.raw("heldBack", hosts + "]");
    }
    return json.done();
}

}  // namespace quillharbor
