#pragma once

#include <string>
#include <string_view>

namespace quillharbor {

// %-escapes of URL paths, byte-wise: nothing is transcoded.

// Every "%" followed by two hexadecimal digits becomes the byte they name; any other "%" stays as
// it is. The result may hold any byte, line ends and NUL included: callers that send it on a
// line refuse those.
std::string PercentDecode(std::string_view text);

// One path segment as it may stand in a URL: controls, blank, bytes above 127, "/" and every byte
// that would end the segment, start a query or fragment, or read as an escape or a markup
// character ("#%&'?\"<>\\^`{|}" and DEL) become %XX (upper-case hex). PercentDecode gives back
// the segment.
std::string PercentEncodeSegment(std::string_view segment);

// The bytes that may not stand raw in a URL (controls, blank, DEL, bytes above 127 and
// "<>\^`{|}) made %XX, and a "%" that does not begin a %XX escape made "%25". Escapes already
// present stay as written, so encoding twice changes nothing.
std::string PercentEncodeUrl(std::string_view text);

}  // namespace quillharbor
