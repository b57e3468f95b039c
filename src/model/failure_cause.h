#pragma once

#include <cstdint>

namespace quillharbor {

// Why a transfer failed when its status alone does not tell: the HTTP status 801 stands for the
// user's abort, a time-out, a failed look-up and a file that could not be written alike. Above
// 10000 a cause is the Windows Sockets code of the failure (10061 connection refused, 11001 host
// not found). Held in TDnObj::Cause for the run only; task files do not keep it.
inline constexpr std::int32_t kCauseNone = 0;
inline constexpr std::int32_t kCauseFileNotWritten = 1;
inline constexpr std::int32_t kCauseDiskFull = 2;
// A 429 or 503 answer asked for a wait past the longest the program holds a host back.
inline constexpr std::int32_t kCauseWaitTooLong = 3;
inline constexpr std::int32_t kCauseTimedOut = 10060;  // the scheduler's time-out ended it

}  // namespace quillharbor
