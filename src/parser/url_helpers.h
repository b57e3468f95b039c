#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillharbor {

// Pure functions on URL strings and file names shared by the whole program. All texts are byte
// strings compared byte-wise and case-sensitively; nothing is decoded or transcoded. Every
// function is reentrant; only MakeUniqueName touches the file system.
//
// A URL's query begins at its first "?", its fragment at its first "#", whichever comes first
// ends the path; the helpers that look for "the last slash" or "the host" look only before it.

// The numbers are the ones the rest of the program (and its trace output) uses for URL kinds.
enum class UrlType {
    Http = 1,         // scheme exactly "http"
    Ftp = 2,          // scheme exactly "ftp"
    NoScheme = 3,     // relative, or a host name without a scheme
    OtherScheme = 4,  // any other scheme, including "HTTP" and "HTTPS"
    Https = 5,        // scheme exactly "https"; the engine takes it only with its HTTPS setting
};

enum class Protocol {
    Http = 1,
    Ftp = 2,
    Other = 4,
};

// The text before the first "#"; the whole text when there is none.
std::string StripFragment(std::string_view url);

// The text before the first "?" or "#": scheme, host and path without query and fragment.
std::string_view WithoutQuery(std::string_view url);

// A scheme is a name of ASCII letters, digits, "+", "-" and "." before the first ":", with no
// "/", "?" or "#" before that colon. Without one (or with an empty one) the URL is NoScheme, so
// "p.html?t=12:00" is relative; otherwise the name decides, case-sensitively.
UrlType UrlKind(std::string_view url);

// As UrlKind, except that a scheme-less text beginning with "ftp" is taken as FTP and any other
// scheme-less text as HTTP, and https is HTTP too: the HTTP slots serve both.
Protocol UrlProtocol(std::string_view url);

// Prefixes "ftp://" or "http://" (by UrlProtocol) to a scheme-less URL; leaves others alone.
void AddScheme(std::string& url);

// The same document over the other of http and https: "https://h/x" for "http://h/x" and back, a
// port that is its scheme's default (80, 443) traded for the other's; empty for any other URL or
// another port. http and https of one host and path are one site and one document.
std::string SchemeTwin(std::string_view url);

// Scheme, host and port ("http://h:81" of "http://h:81/a/b?q"), ended by the first "/", "?" or
// "#" after the "//"; the text before the first of them for a scheme-less URL; empty for another
// scheme.
std::string HostPart(std::string_view url);

// The text through the last slash before the query; empty when there is none.
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

// The local file name for a URL or path: the last segment of its path (after the last slash or
// backslash before the query), with each of \/:*?<>|' and NUL made "-". The fragment is never
// part of it, and the query only when the segment is empty: "http://h/?a=1" names "-a=1". Empty
// when the path has no separator, ends with one and has no query, ends at the "//" after a
// scheme, or when the segment is "." or ".." (a directory, named by the caller like one that
// ends with a slash).
std::string LocalNameFromUrl(std::string_view url);

// name itself when taken(name) is false; otherwise the first NameWithoutExt(name) + "-" + N +
// extension, N = 1, 2, 3..., that is not taken (in a path, "a.b/c.html", only its file name
// is numbered: "a.b/c-1.html") (a name whose only dot is its first character
// keeps it whole and gets the number at its end). taken must turn false within finitely many N.
std::string FirstFreeName(std::string_view name,
                          const std::function<bool(std::string_view)>& taken);

// FirstFreeName of name where a name is taken while directory + name names an existing entry.
// directory ends with "/". There is no attempt limit: the search ends within the number of
// entries of the directory. A path the system cannot examine counts as free, so the caller's
// create reports the problem. Returns the file name without directory.
std::string MakeUniqueName(std::string_view name, std::string_view directory);

// Cleans a URL the user typed, dropped or pasted: cut at the first NUL, stripped of leading and
// trailing bytes <= 32 and of its fragment, emptied when nothing is left or when it has another
// scheme. A scheme-less text loses a leading "//" and gets a scheme; a URL of scheme and host
// only gets its root slash before its query, so that its directory is the host's root. Then
// NormaliseUrlPath.
void CleanTypedUrl(std::string& text);

// What happens to a ".." segment at the root: the URL is dropped, or the segment is.
enum class DotDotAtRoot {
    Fail,
    Ignore,
};

// path without its "." and ".." segments, each ".." taking the segment before it away; a
// trailing "." or ".." leaves the path ending with "/". Empty segments count as segments
// ("a//../b" gives "a/b"). nullopt when a ".." finds nothing to take and atRoot is Fail.
std::optional<std::string> RemoveDotSegments(std::string_view path, DotDotAtRoot atRoot);

// One document, one URL: removes the dot segments of the path of an http(s), ftp or scheme-less
// URL (emptying it when a ".." would climb past the root) and percent-encodes its path and
// query. The scheme and host stay as written; a URL of another scheme is left alone.
void NormaliseUrlPath(std::string& url);

// The value of the first run of decimal digits that follows a non-digit (leading digits are
// skipped: "213 1024" gives 1024); 0 when there is none or it does not fit.
std::int64_t FirstNumberIn(std::string_view text);

}  // namespace quillharbor
