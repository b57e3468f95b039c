#include "storage/ini_integer.h"

#include <gtest/gtest.h>

namespace quillharbor {
namespace {

// Decimal with blanks and a sign, and both hexadecimal forms, up to 32 bits; anything else is
// not a number.
TEST(IniIntegerTest, ReadsDecimalAndBothHexadecimalFormsOnly) {
    const std::pair<const char*, std::int64_t> numbers[] = {{" 12\t", 12},
                                                            {"+7", 7},
                                                            {"-1", -1},
                                                            {"007", 7},
                                                            {"0x1F4", 500},
                                                            {"0XfF", 255},
                                                            {"$1f4", 500},
                                                            {"-$10", -16},
                                                            {"4294967295", 4294967295},
                                                            {"$FFFFFFFF", 4294967295}};
    for (const auto& [text, value] : numbers) {
        EXPECT_EQ(parseIniInteger(text), value) << '"' << text << '"';
    }
    for (const char* text : {"", " ", "12abc", "1.5", "1 2", "- 1", "--1", "0x", "$", "0x1G", "$-1",
                             "4294967296", "0x100000000", "99999999999999999999999"}) {
        EXPECT_EQ(parseIniInteger(text), std::nullopt) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace quillharbor
