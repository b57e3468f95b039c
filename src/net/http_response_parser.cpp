#include "net/http_response_parser.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <optional>

namespace quillharbor {

namespace {

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool startsWithNoCase(std::string_view text, std::string_view upperPrefix) {
    return text.size() >= upperPrefix.size() &&
           std::equal(upperPrefix.begin(), upperPrefix.end(), text.begin(), [](char a, char b) {
               return static_cast<unsigned char>(a) == std::toupper(static_cast<unsigned char>(b));
           });
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// A content length that is no plain non-negative decimal number tells nothing; the end of the
// body is the end of the connection anyway.
void parseContentLength(std::string_view value, std::int64_t& length) {
    while (!value.empty() && isBlank(value.back())) {
        value.remove_suffix(1);
    }
    std::int64_t parsed = 0;
    const char* end = value.data() + value.size();
    if (value.empty() || !std::isdigit(static_cast<unsigned char>(value.front()))) {
        return;
    }
    const auto [stop, error] = std::from_chars(value.data(), end, parsed);
    if (error == std::errc() && stop == end) {
        length = parsed;
    }
}

// "keep-alive, Upgrade": the tokens that say whether the server keeps the connection.
void applyConnectionTokens(std::string_view value, HttpResponseInfo& info) {
    while (!value.empty()) {
        const std::size_t comma = value.find(',');
        std::string_view token = value.substr(0, comma);
        value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
        while (!token.empty() && isBlank(token.front())) {
            token.remove_prefix(1);
        }
        while (!token.empty() && isBlank(token.back())) {
            token.remove_suffix(1);
        }
        info.connectionClose = info.connectionClose || token == "close";
        info.connectionKeepAlive = info.connectionKeepAlive || token == "keep-alive";
    }
}

constexpr int kSwitchingProtocols = 101;

// The status of an "HTTP/1.x" status line ("HTTP/1.1 200 OK": the code stands in columns 10 to
// 12); none for any other line.
std::optional<int> statusOf(std::string_view line) {
    constexpr std::size_t CodeAt = 9;
    if (!(line.starts_with("HTTP/1.0") || line.starts_with("HTTP/1.1")) ||
        line.size() < CodeAt + 3 ||
        !std::all_of(line.begin() + CodeAt, line.begin() + CodeAt + 3,
                     [](unsigned char c) { return std::isdigit(c); })) {
        return std::nullopt;
    }
    return (line[CodeAt] - '0') * 100 + (line[CodeAt + 1] - '0') * 10 + (line[CodeAt + 2] - '0');
}

}  // namespace

const char* HttpResponseParser::toString(Phase phase) {
    switch (phase) {
        case Phase::Header:
            return "Header";
        case Phase::Body:
            return "Body";
        case Phase::Redirect:
            return "Redirect";
        case Phase::LineTooLong:
            return "LineTooLong";
        case Phase::BadStatusLine:
            return "BadStatusLine";
        case Phase::TooManyInterim:
            return "TooManyInterim";
        case Phase::Halted:
            return "Halted";
    }
    return "?";
}

void HttpResponseParser::startRequest() {
    m_info = HttpResponseInfo();
    startResponse();
}

void HttpResponseParser::startResponse() {
    m_phase = Phase::Header;
    m_fill = 0;
    m_lineCount = 0;
    m_interim = false;
    m_interimLines = 0;
    m_info.responseLength = -1;
    m_info.location.reset();
    m_info.contentRangeSeen = false;
    m_info.contentRangeBegin.clear();
    m_info.contentRangeEnd.clear();
    m_info.versionOneOne = false;
    m_info.transferEncoding.clear();
    m_info.connectionClose = false;
    m_info.connectionKeepAlive = false;
}

void HttpResponseParser::halt() {
    m_phase = Phase::Halted;
    m_fill = 0;
}

std::size_t HttpResponseParser::feed(std::string_view bytes) {
    std::size_t taken = 0;
    while (taken < bytes.size() && room() > 0) {
        const std::size_t count = std::min(room(), bytes.size() - taken);
        std::memcpy(space(), bytes.data() + taken, count);
        commit(count);
        taken += count;
    }
    return taken;
}

void HttpResponseParser::commit(std::size_t count) {
    m_fill += std::min(count, room());
    if (m_phase == Phase::Header) {
        takeLines();
    } else if (m_phase == Phase::Body) {
        deliverBuffer(0);
    } else {
        m_fill = 0;
    }
}

void HttpResponseParser::takeBody(const char* data, std::size_t length) {
    if (m_phase == Phase::Body && length > 0) {
        m_handler.onBody(data, length);
    }
}

void HttpResponseParser::takeLines() {
    std::size_t start = 0;
    while (m_phase == Phase::Header) {
        const void* lineFeed = std::memchr(m_buffer.data() + start, '\n', m_fill - start);
        if (lineFeed == nullptr) {
            break;
        }
        const std::size_t next = static_cast<const char*>(lineFeed) - m_buffer.data() + 1;
        std::size_t end = next - 1;
        if (end > start && m_buffer[end - 1] == '\r') {
            --end;
        }
        if (!headerLine(std::string(m_buffer.data() + start, end - start))) {
            break;  // the line itself is the first of the body
        }
        start = next;
    }
    switch (m_phase) {
        case Phase::Header:
            std::memmove(m_buffer.data(), m_buffer.data() + start, m_fill - start);
            m_fill -= start;
            if (m_fill == BufferSize) {
                m_phase = Phase::LineTooLong;
                m_fill = 0;
            }
            break;
        case Phase::Body:
            deliverBuffer(start);
            break;
        default:
            m_fill = 0;
            break;
    }
}

bool HttpResponseParser::headerLine(std::string line) {
    if (skipInterim(line)) {
        return true;
    }
    if (m_lineCount++ == 0) {
        m_handler.onHeaderBegin();
        if (m_phase != Phase::Header) {
            return true;
        }
    }
    if (startsWithNoCase(line, "<HTML>")) {
        if (m_info.contentType.empty()) {
            m_info.contentType = "text/html";
        }
        m_phase = Phase::Body;
        m_handler.onHeaderEnd();
        return false;
    }
    if (line.empty()) {
        endHeader();
        return true;
    }
    m_info.keepHeaderLine(line);
    if (line.starts_with("HTTP/1.0") || line.starts_with("HTTP/1.1")) {
        if (!applyStatusLine(line)) {
            m_phase = Phase::BadStatusLine;
            return true;
        }
    } else {
        applyField(line);
    }
    m_handler.onHeaderData(line);
    return true;
}

bool HttpResponseParser::skipInterim(const std::string& line) {
    if (!m_interim) {
        const std::optional<int> status = m_lineCount == 0 ? statusOf(line) : std::nullopt;
        if (!status || *status < 100 || *status > 199 || *status == kSwitchingProtocols) {
            return false;
        }
    }
    if (++m_interimLines > MaxInterimLines) {
        m_phase = Phase::TooManyInterim;
        return true;
    }
    m_interim = !line.empty();  // its blank line ends it
    return true;
}

void HttpResponseParser::endHeader() {
    m_phase = m_info.location ? Phase::Redirect : Phase::Body;
    m_handler.onHeaderEnd();
}

bool HttpResponseParser::applyStatusLine(const std::string& line) {
    constexpr std::size_t ReasonAt = 13;
    const std::optional<int> status = statusOf(line);
    if (!status) {
        return false;
    }
    m_info.statusCode = *status;
    m_info.versionOneOne = line.starts_with("HTTP/1.1");
    m_info.reasonPhrase = line.size() > ReasonAt ? line.substr(ReasonAt) : std::string();
    return true;
}

void HttpResponseParser::applyField(const std::string& line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) {
        return;
    }
    const std::string name = lowerCase(std::string_view(line).substr(0, colon));
    std::string_view value = std::string_view(line).substr(colon + 1);
    while (!value.empty() && isBlank(value.front())) {
        value.remove_prefix(1);
    }
    if (name == "location") {
        m_info.location = std::string(value);
    } else if (name.starts_with("content-length") || name.starts_with("contentlength")) {
        parseContentLength(value, m_info.contentLength);
        parseContentLength(value, m_info.responseLength);
    } else if (name == "content-range") {
        // "bytes 100-199/1000": the unit and its blank take the first six characters.
        const std::string_view range = value.substr(std::min<std::size_t>(6, value.size()));
        const std::size_t dash = range.find('-');
        m_info.contentRangeSeen = true;
        m_info.contentRangeBegin = range.substr(0, std::min(dash, range.find('/')));
        m_info.contentRangeEnd.clear();
        if (dash != std::string_view::npos) {
            const std::string_view after = range.substr(dash + 1);
            m_info.contentRangeEnd = after.substr(0, after.find('/'));
        }
    } else if (name == "accept-ranges") {
        m_info.acceptRanges = value;
    } else if (name == "content-type") {
        m_info.contentType = lowerCase(value);
    } else if (name == "transfer-encoding") {
        if (!m_info.transferEncoding.empty()) {
            m_info.transferEncoding += ',';
        }
        m_info.transferEncoding += lowerCase(value);
    } else if (name == "connection") {
        applyConnectionTokens(lowerCase(value), m_info);
    }
}

void HttpResponseParser::deliverBuffer(std::size_t from) {
    const std::size_t length = m_fill - from;
    m_fill = 0;
    if (length > 0) {
        m_handler.onBody(m_buffer.data() + from, length);
    }
}

}  // namespace quillharbor
