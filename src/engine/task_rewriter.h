#pragma once

#include "engine/rewrite_job.h"
#include "engine/rewrite_result.h"
#include "platform/result.h"

namespace quillharbor {

// Rewrites a task's saved HTML for offline browsing, on the job's copy of the task and in the
// files of its Dir; meant for the rewriting worker, but touches nothing shared.
//
// First the objects another task had already retrieved (state 10) are settled: with
// saveSeparate the other task's file is copied into Dir under a name of its own (never over an
// existing file; a failed copy leaves the name without a file), otherwise its name is taken
// over as it is. Then every complete object gets " Parsed" appended to its content type, and
// the saved HTML files and style sheets among them have their links (requisites and CSS
// references included) replaced by the paths from their own files to the files of the objects
// they name, or by their absolute URLs (also for an object that ended with an error: its saved
// error page is no copy of the document). A page marked before keeps its local names.
//
// A file that cannot be read or written ends the pass with that error: the objects settled so
// far keep their new fields, that page stays unmarked, and the later objects are untouched.
Status RewriteTask(RewriteJob& job);

// The worker's pass over one job: RewriteTask, with the objects as queued and as left.
RewriteResult runRewritePass(RewriteJob job);

}  // namespace quillharbor
