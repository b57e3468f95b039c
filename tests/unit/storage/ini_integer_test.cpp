#include "storage/ini_integer.h"

#include <gtest/gtest.h>

namespace quillharbor {
namespace {

TEST(IniIntegerTest, ReadsDecimalAndBothHexadecimalForms) {
    EXPECT_EQ(parseIniInteger("300"), 300);
    EXPECT_EQ(parseIniInteger(" 12\t"), 12);
    EXPECT_EQ(parseIniInteger("+7"), 7);
    EXPECT_EQ(parseIniInteger("-1"), -1);
    EXPECT_EQ(parseIniInteger("007"), 7);
    EXPECT_EQ(parseIniInteger("0x1F4"), 500);
    EXPECT_EQ(parseIniInteger("0XfF"), 255);
    EXPECT_EQ(parseIniInteger("$1f4"), 500);
    EXPECT_EQ(parseIniInteger("-$10"), -16);
    EXPECT_EQ(parseIniInteger("4294967295"), 4294967295);
    EXPECT_EQ(parseIniInteger("$FFFFFFFF"), 4294967295);
}

TEST(IniIntegerTest, AnythingElseIsNotANumber) {
    for (const char* text :
         {"", " ", "abc", "12abc", "1.5", "1 2", "- 1", "--1", "0x", "$", "x1", "0x1G", "$-1",
          "4294967296", "0x100000000", "99999999999999999999999"}) {
        EXPECT_EQ(parseIniInteger(text), std::nullopt) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace quillharbor
