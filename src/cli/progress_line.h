#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace quillharbor {

// The live status line of a run and the messages printed around it. On a terminal the line is
// drawn in place (carriage return, erase to the end of the line), cut to the terminal's width so
// that it never wraps, and each message is printed above it. Off a terminal nothing is drawn in
// place: statuses and messages are plain lines.
class ProgressLine {
public:
    // terminalFd: the descriptor of out when it is a terminal (for its width), -1 otherwise.
    ProgressLine(std::ostream& out, int terminalFd);

    bool onTerminal() const { return m_terminalFd >= 0; }
    // Terminal: redraws the line, at most every 100 ms unless forced. Otherwise: prints text
    // as a line of its own.
    void show(const std::string& text, bool force = false);
    // A message on a line of its own; on a terminal the live line is drawn again below it.
    void print(const std::string& message);
    // Leaves the live line where it stands, so that what follows starts on a fresh line.
    void finish();

private:
    void draw();
    void erase();

    std::ostream& m_out;
    int m_terminalFd;
    std::string m_text;
    bool m_drawn = false;
    std::chrono::steady_clock::time_point m_lastDraw{};
};

}  // namespace quillharbor
