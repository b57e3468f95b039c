#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillharbor {

// Pure functions on URL strings and file names shared by the whole program. All texts are byte
// strings compared byte-wise and case-sensitively; nothing is decoded or transcoded. Every
// function is reentrant; only MakeUniqueName touches the file system.

// The numbers are the ones the rest of the program (and its trace output) uses for URL kinds.
enum class UrlType {
    Http = 1,         // scheme exactly "http"
    Ftp = 2,          // scheme exactly "ftp"
    NoScheme = 3,     // relative, or a host name without a scheme
    OtherScheme = 4,  // any other scheme, including "HTTP" and "https"
};

enum class Protocol {
    Http = 1,
    Ftp = 2,
    Other = 4,
};

// The text before the last "#"; the whole text when there is none.
std::string StripFragment(std::string_view url);

// Decided by the first colon or slash: a slash first, no colon, or a colon as the first
// character make NoScheme; otherwise the text before the colon names the scheme.
UrlType UrlKind(std::string_view url);

// As UrlKind, except that a scheme-less text beginning with "ftp" is taken as FTP and any other
// scheme-less text as HTTP.
Protocol UrlProtocol(std::string_view url);

// Prefixes "ftp://" or "http://" (by UrlProtocol) to a scheme-less URL; leaves others alone.
void AddScheme(std::string& url);

// Scheme, host and port ("http://h:81" of "http://h:81/a/b"); the text before the first slash
// for a scheme-less URL; empty for another scheme.
std::string HostPart(std::string_view url);

// The text through the last slash; empty when there is none.
std::string DirPart(std::string_view url);

// The host (with port) of an FTP URL: after the first "//" (or from the start) up to the next
// slash.
std::string FtpHostOf(std::string_view url);

// The directory of an FTP URL from the slash after the host through the last slash
// ("/pub/dir/" of "ftp://h/pub/dir/file"); empty when nothing follows the host.
std::string FtpDirOf(std::string_view url);

// From the last dot to the end, dot included; empty when there is no dot.
std::string FileExtOf(std::string_view name);

// The text before the last dot, unless that dot is the first character (".profile" stays whole).
std::string NameWithoutExt(std::string_view name);

// The local file name for a URL or path: its last segment (after the last slash or backslash),
// with each of \/:*?<>|' and NUL made "-" and the name cut at a "?" that is not its first
// character. Empty when the text has no separator, ends with one, ends at the "//" after a
// scheme, or when the segment is "." or ".." (a directory, named by the caller like one that
// ends with a slash).
std::string LocalNameFromUrl(std::string_view url);

// name itself when directory + name names no existing entry; otherwise the first free
// NameWithoutExt(name) + "-" + N + extension, N = 1, 2, 3... (a name whose only dot is its
// first character keeps it whole and gets the number at its end). directory ends with "/".
// There is no attempt limit: only an existing entry makes it try the next N, so the search ends
// within the number of entries of the directory. A path the system cannot examine counts as
// free, so the caller's create reports the problem. Returns the file name without directory.
std::string MakeUniqueName(std::string_view name, std::string_view directory);

// Cleans a URL the user typed, dropped or pasted: cut at the first NUL, stripped of leading and
// trailing bytes <= 32, emptied when nothing is left or when it has another scheme. A scheme-less
// text without a slash gets one and then a scheme; an http or ftp URL of scheme and host only
// gets its root slash, so that its directory is the host's root.
void CleanTypedUrl(std::string& text);

// The value of the first run of decimal digits that follows a non-digit (leading digits are
// skipped: "213 1024" gives 1024); 0 when there is none or it does not fit.
std::int64_t FirstNumberIn(std::string_view text);

}  // namespace quillharbor
