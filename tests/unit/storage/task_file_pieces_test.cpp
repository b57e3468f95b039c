#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "platform/temp_directory.h"
#include "storage/task_file.h"

namespace quillharbor {
namespace {

// Files of several megabytes are read a piece at a time: lines that cross a piece's end, and a
// value longer than a piece, must read back as they were written, with either line end.
TEST(TaskFilePiecesTest, AFileOfManyPiecesReadsBackWholeWithEitherLineEnd) {
    test::TempDirectory dir;
    const std::string path = dir.path() + "large.tsf";
    auto task = NewTask("large", "http://h/", dir.path(), 0, "http://h/", 0, 0, "", "");
    for (int i = 0; i < 30000; ++i) {
        TDnObj& object = *NewDnObj(*task, "http://h/section/page" + std::to_string(i) + ".html", 1);
        object.LocalName = "page" + std::to_string(i) + ".html";
        object.Received = i;
    }
    NewDnObj(*task, "http://h/long", 1)->Referrer = std::string(3 << 20, 'r');
    ASSERT_TRUE(WriteTaskFileAt(*task, path));
    const std::string crlf = readWholeFile(path).value();
    std::string lf;
    for (char c : crlf) {
        if (c != '\r') {
            lf += c;
        }
    }
    for (const std::string& text : {crlf, lf}) {
        SCOPED_TRACE(text.size());
        ASSERT_TRUE(replaceFileAtomically(path, text));
        Result<std::unique_ptr<TTask>> loaded = ReadTaskFile(path, GlobalOptions{});
        ASSERT_TRUE(loaded) << loaded.error().text;
        ASSERT_EQ(loaded.value()->Objects.size(), task->Objects.size());
        auto original = task->Objects.begin();
        for (const TDnObj& object : loaded.value()->Objects) {
            EXPECT_EQ(object.URL, original->URL);
            EXPECT_EQ(object.Referrer, original->Referrer);
            EXPECT_EQ(object.LocalName, original->LocalName);
            EXPECT_EQ(object.Received, original->Received);
            ++original;
        }
    }
    // Cut inside the last group, the file is refused as it is when read whole.
    ASSERT_TRUE(replaceFileAtomically(path, lf.substr(0, lf.size() - 3)));
    EXPECT_FALSE(ReadTaskFile(path, GlobalOptions{}));
    EXPECT_FALSE(ReadTaskFile(dir.path() + "missing.tsf", GlobalOptions{}));
}

}  // namespace
}  // namespace quillharbor
