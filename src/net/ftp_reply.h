#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillharbor {

// One line received on the control connection, classified.
struct FtpReplyLine {
    std::string text;        // without its line end: every trailing CR and LF is removed
    int code = -1;           // the leading number, -1 when the line does not start with a digit
    bool endsReply = false;  // the last (or only) line of a reply: the client acts on it
};

// The leading number of a line (saturating at INT32_MAX), -1 when it does not start with a digit.
int replyCode(std::string_view line);

// Whether a "-" follows the leading number: the first line of a multi-line reply.
bool opensMultiLineReply(std::string_view line);

// The size of a SIZE reply: the second number of the line. Nothing when there is none or it does
// not fit 63 bits.
std::optional<std::int64_t> sizeFromReply(std::string_view line);

// The directory of a CWD, PWD, MKD or CDUP reply: the text between the first pair of double
// quotes, a doubled quote standing for one. Nothing without a closing quote.
std::optional<std::string> directoryFromReply(std::string_view line);

// The data port of a 227 reply: the last two of the six comma-separated numbers (inside the
// parentheses when there are any), high byte first. Nothing unless all six are bytes and the
// port is not 0. The address numbers are checked but never used: the data connection goes to the
// control connection's server, so a reply cannot send it anywhere else.
std::optional<std::uint16_t> passivePortFromReply(std::string_view line);

// The data port of a 229 reply to EPSV: "(|||port|)", any delimiter in place of "|". Nothing
// unless the form is whole and the port is not 0; the connection goes to the control
// connection's server as for 227.
std::optional<std::uint16_t> extendedPassivePortFromReply(std::string_view line);

}  // namespace quillharbor
