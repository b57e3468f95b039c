#include "net/ftp_reply.h"

#include <climits>

namespace quillharbor {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t digitsEnd(std::string_view text, std::size_t from) {
    while (from < text.size() && isDigit(text[from])) ++from;
    return from;
}

// The number written at [from, end), or nothing when it exceeds limit.
std::optional<std::int64_t> number(std::string_view text, std::size_t from, std::size_t end,
                                   std::int64_t limit) {
    std::int64_t value = 0;
    for (std::size_t i = from; i < end; ++i) {
        const int digit = text[i] - '0';
        if (value > (limit - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

int replyCode(std::string_view line) {
    if (line.empty() || !isDigit(line[0]))
        return -1;
    return static_cast<int>(number(line, 0, digitsEnd(line, 0), INT_MAX).value_or(INT_MAX));
}

bool opensMultiLineReply(std::string_view line) {
    if (line.empty() || !isDigit(line[0]))
        return false;
    const std::size_t end = digitsEnd(line, 0);
    return end < line.size() && line[end] == '-';
}

std::optional<std::int64_t> sizeFromReply(std::string_view line) {
    std::size_t at = digitsEnd(line, 0);
    while (at < line.size() && !isDigit(line[at])) ++at;
    if (at == line.size())
        return std::nullopt;
    return number(line, at, digitsEnd(line, at), INT64_MAX);
}

std::optional<std::string> directoryFromReply(std::string_view line) {
    std::size_t at = line.find('"', digitsEnd(line, 0));
    if (at == std::string_view::npos)
        return std::nullopt;
    std::string directory;
    for (++at; at < line.size(); ++at) {
        if (line[at] != '"') {
            directory.push_back(line[at]);
        } else if (at + 1 < line.size() && line[at + 1] == '"') {
            directory.push_back('"');
            ++at;
        } else {
            return directory;
        }
    }
    return std::nullopt;
}

std::optional<std::uint16_t> passivePortFromReply(std::string_view line) {
    std::size_t at = line.find('(');
    if (at == std::string_view::npos) {
        // Some servers leave the parentheses out: the numbers follow the code and its text.
        at = digitsEnd(line, 0);
        while (at < line.size() && !isDigit(line[at])) ++at;
    } else {
        ++at;
    }
    int values[6];
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (at >= line.size() || line[at] != ',')
                return std::nullopt;
            ++at;
        }
        while (at < line.size() && line[at] == ' ') ++at;
        const std::size_t end = digitsEnd(line, at);
        const auto value = end == at ? std::nullopt : number(line, at, end, 255);
        if (!value)
            return std::nullopt;
        values[i] = static_cast<int>(*value);
        at = end;
    }
    const int port = values[4] * 256 + values[5];
    if (port == 0)
        return std::nullopt;
    return static_cast<std::uint16_t>(port);
}

std::optional<std::uint16_t> extendedPassivePortFromReply(std::string_view line) {
    std::size_t at = line.find('(');
    if (at == std::string_view::npos || at + 4 >= line.size())
        return std::nullopt;
    const char delimiter = line[at + 1];
    if (isDigit(delimiter) || line[at + 2] != delimiter || line[at + 3] != delimiter)
        return std::nullopt;
    at += 4;
    const std::size_t end = digitsEnd(line, at);
    const auto port = end == at ? std::nullopt : number(line, at, end, 65535);
    if (!port || *port == 0 || end >= line.size() || line[end] != delimiter)
        return std::nullopt;
    return static_cast<std::uint16_t>(*port);
}

}  // namespace quillharbor
