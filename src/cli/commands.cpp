#include "cli/commands.h"

#include "cli/new_task_request.h"

namespace quillharbor {

namespace {

constexpr std::string_view kRunHelp =
    "Progress goes to standard output: on a terminal one live status line (per task the files\n"
    "read and queued, then bytes per second, bytes total and the work time) with the\n"
    "notifications printed above it; otherwise plain lines. Ctrl+C stops every task cleanly:\n"
    "transfers are cut, the task files saved, and `resume` later continues the partial files.\n"
    "\n"
    "Exit status: 0 when every task finished and no object failed; 1 when objects failed\n"
    "(they are listed with their status codes) or a file could not be saved; 2 for bad usage or\n"
    "a task that could not be created; 130 when interrupted.\n";

std::string getHelp() {
    return "Creates a task as the desktop program's New Task dialog does and runs it until it\n"
           "has finished and its pages are rewritten for offline browsing. The files go to\n"
           "TaskRoot/NAME/ (see `settings`).\n\n" +
           std::string(kNewTaskOptionsHelp) +
           "\nThe task's folder, expressions, rate, user agent, proxy and robots choice are kept\n"
           "beside its task file, so `resume` honours them.\n\n" +
           std::string(kRunHelp);
}

std::string listHelp() {
    return "Prints every task of the program directory as the desktop program shows it after\n"
           "loading: state, URL, directory, files queued and read, boundary and limits, and the\n"
           "hosts its queued files wait for after they asked for a wait (429 or 503).\n\n"
           "Options:\n"
           "  --json                  print a JSON array instead, one task object a line, with\n"
           "                          its counters and its own options\n";
}

std::string resumeHelp() {
    return "Starts the named tasks, or every task that still has queued objects, and runs them\n"
           "to the end. Partial files are continued where they stopped.\n\n"
           "Options:\n"
           "  -q, --quiet, -v, --verbose\n"
           "                          print less, or also every object as it completes\n"
           "  --fast                  free slots take their next file at once, not at the next\n"
           "                          tick (servers you own or may load; keeps the Pause)\n"
           "  --per-host N            at most N connections to one host at once in this run\n"
           "                          (1 to 16; default: MaxConnsPerHost, 0 for no cap)\n"
           "  --keep-alive            HTTP/1.1 connections that serve a slot's next file of the\n"
           "                          same server\n\n" +
           std::string(kRunHelp);
}

std::string removeHelp() {
    return "Removes the named tasks and their task files. The downloaded files stay in the task\n"
           "directories, as in the desktop program.\n";
}

std::string settingsHelp() {
    return "Prints the General and Default settings in effect: the built-in defaults overlaid\n"
           "with the configuration file Quillharbor.ini of the program directory. Passwords\n"
           "show as (set).\n";
}

std::string setHelp() {
    return "Writes one key of Quillharbor.ini, e.g. General.MaxHTTPConns=4 or\n"
           "Default.DownloadFrom=3. The key must be one that `settings` prints; numbers must\n"
           "fit their setting and switches are 0 or 1. A relative General.TaskRoot is taken\n"
           "from the program directory. The file's other lines are kept.\n";
}

const Command kCommands[] = {
    {"get", "URL [OPTIONS]", "grab URL as a new task and run it to the end", getHelp, runGet},
    {"list", "[--json]", "list the tasks with their state, counters, boundary and limits", listHelp,
     runList},
    {"resume", "[NAME...] [OPTIONS]",
     "run the named tasks (all unfinished ones when none is named) to the end", resumeHelp,
     runResume},
    {"remove", "NAME...", "remove task records (their downloaded files stay on disk)", removeHelp,
     runRemove},
    {"settings", "", "print the effective settings, one Section.Key=value line each", settingsHelp,
     runSettings},
    {"set", "SECTION.KEY=VALUE", "change one setting in the configuration file", setHelp, runSet},
};

}  // namespace

std::span<const Command> allCommands() {
    return kCommands;
}

}  // namespace quillharbor
