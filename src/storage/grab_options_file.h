#pragma once

#include <string>
#include <string_view>

#include "model/grab_options.h"
#include "platform/result.h"

namespace quillharbor {

// A task's own options live beside its task file, in programDir + Name + ".tsf-options", so
// that readers of task files that know nothing of them read the task file as before. One
// "Key=value" line each (UserAgent, ProxyHost, ProxyPort, RateLimit, Include, Exclude,
// NoRobots), values escaped as in task files; keys not known are passed over, so a later
// program's file still loads.
std::string grabOptionsPath(const std::string& programDir, const std::string& taskName);

std::string composeGrabOptions(const GrabOptions& options);
// An error names the line that is not "Key=value" or a number that is not one.
Result<GrabOptions> parseGrabOptions(std::string_view text);

// Writes the file of a task with options, replacing it atomically; a task without any has no
// file (one left from before is deleted).
Status writeGrabOptions(const std::string& path, const GrabOptions& options);
// The options in the file at path; none when there is no file.
Result<GrabOptions> readGrabOptions(const std::string& path);

}  // namespace quillharbor
