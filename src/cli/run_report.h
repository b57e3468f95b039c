#pragma once

#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "cli/exit_code.h"
#include "cli/invocation.h"
#include "model/task.h"

namespace quillharbor {

// The end of a command that ran tasks: closes the session (files saved), then prints how each
// task the run drove ended (its files read are the objects that arrived whole) and, whatever the
// verbosity, every object of theirs that did not arrive whole, with its code and reason in
// words. Returns the exit code: Interrupted after a signal (with how to resume, and no failure
// list: a resume tries those objects again); Failure when an object failed or is incomplete, a
// task did not finish or a file was not saved; Success otherwise.
ExitCode finishRun(CliSession& session, CliSession::RunEnd end, const std::vector<TTask*>& tasks,
                   const Invocation& invocation);

}  // namespace quillharbor
