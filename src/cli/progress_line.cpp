#include "cli/progress_line.h"

#include <sys/ioctl.h>

namespace quillharbor {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr const char* kEraseLine = "\r\x1b[K";

}  // namespace

ProgressLine::ProgressLine(std::ostream& out, int terminalFd)
    : m_out(out), m_terminalFd(terminalFd) {}

void ProgressLine::show(const std::string& text, bool force) {
    if (!onTerminal()) {
        m_out << text << '\n' << std::flush;
        return;
    }
    m_text = text;
    const auto now = std::chrono::steady_clock::now();
    if (force || now - m_lastDraw >= kRedrawInterval) {
        m_lastDraw = now;
        draw();
    }
}

void ProgressLine::print(const std::string& message) {
    erase();
    m_out << message << '\n';
    if (onTerminal() && !m_text.empty()) {
        draw();
    }
    m_out << std::flush;
}

void ProgressLine::finish() {
    if (m_drawn) {
        m_out << '\n' << std::flush;
        m_drawn = false;
    }
    m_text.clear();
}

void ProgressLine::draw() {
    winsize size{};
    std::string shown = m_text;
    // The last column stays free: writing into it makes some terminals wrap at once.
    if (::ioctl(m_terminalFd, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 &&
        shown.size() >= size.ws_col) {
        shown.resize(size.ws_col - 1u);
    }
    m_out << kEraseLine << shown << std::flush;
    m_drawn = true;
}

void ProgressLine::erase() {
    if (m_drawn) {
        m_out << kEraseLine;
        m_drawn = false;
    }
}

}  // namespace quillharbor
