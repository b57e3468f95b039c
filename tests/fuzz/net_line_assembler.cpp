// Line mode of the socket driven by a script. Each input byte is an operation (low three bits)
// and its argument (the rest); an added piece takes the bytes that follow (echoed when their
// count is odd). A plain string kept beside the assembler says what it holds: every offered line
// must end at the first line end in it, and every byte read must be the next one of it, whatever
// the line end was changed to.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "net/line_assembler.h"

namespace {

constexpr std::string_view kLineEnds[] = {"\r\n", "\n", "\r", "", "\n\n", "END", "\r\n\r\n"};

// What the assembler holds after adding bytes in edit mode.
void addEdited(std::string& held, std::size_t offered, std::string_view bytes) {
    for (const char byte : bytes) {
        if (byte == '\b') {
            if (held.size() > offered)
                held.pop_back();
        } else if (byte == '\t') {
            do held.push_back(' ');
            while (held.size() % 8 != 0);
        } else {
            held.push_back(byte);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    LineAssembler lines;
    std::string held;
    std::size_t offered = 0;
    char out[64];
    const auto readOut = [&](std::size_t count) {
        check(std::string_view(out, count) == std::string_view(held).substr(0, count));
        held.erase(0, count);
    };
    for (std::size_t at = 0; at < size;) {
        const std::uint8_t op = data[at] & 7;
        const std::size_t argument = data[at] >> 3;
        ++at;
        switch (op) {
            case 0:
            case 1: {
                const std::string_view piece = asText(data + at, std::min(argument, size - at));
                at += piece.size();
                const bool edit = op == 1;
                // Odd lengths are echoed.
                const bool echo = argument % 2 != 0;
                const std::string echoed = lines.add(piece, edit, echo);
                check(echo || echoed.empty());
                if (edit) {
                    addEdited(held, offered, piece);
                } else {
                    check(!echo || echoed == piece);
                    held += piece;
                }
                break;
            }
            case 2: {
                if (offered == 0 && !lines.lineEnd().empty()) {
                    const std::size_t end = held.find(lines.lineEnd());
                    offered = end == std::string::npos ? 0 : end + lines.lineEnd().size();
                }
                check(lines.offerLine() == offered);
                break;
            }
            case 3: {
                const std::size_t count = lines.readLine(out, std::min(argument, sizeof out));
                check(count == std::min({argument, sizeof out, offered}));
                readOut(count);
                offered -= count;
                break;
            }
            case 4:
                lines.dropLine();
                held.erase(0, offered);
                offered = 0;
                break;
            case 5: {
                const std::size_t count = lines.readBuffered(out, std::min(argument, sizeof out));
                check(count == std::min({argument, sizeof out, held.size()}));
                readOut(count);
                offered -= std::min(offered, count);
                break;
            }
            case 6:
                lines.setLineEnd(std::string(kLineEnds[argument % std::size(kLineEnds)]));
                break;
            case 7:
                if (argument % 2 == 0) {
                    offered = lines.offerRest();
                    check(offered == held.size());
                } else {
                    lines.clear();
                    held.clear();
                    offered = 0;
                }
                break;
        }
        check(lines.size() == held.size() && lines.offered() == offered);
    }
    return 0;
}
