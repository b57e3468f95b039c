// The HTTP slot against the scripted server: what nginx will not do.

#include <fcntl.h>
#include <unistd.h>

#include "clients/http_slot_fixture.h"

namespace quillharbor::test {
namespace {

const std::string kDocument = "<html><body>" + [] {
    std::string digits;
    for (int i = 0; i < 100; ++i) {
        digits += "0123456789";
    }
    return digits;
}() + "</body></html>\n";

std::string flakyDocument() {
    std::string bytes;
    for (int i = 0; i < 5000; ++i) {
        bytes += static_cast<char>((i * 7 + i / 251) % 256);
    }
    return bytes;
}

class HttpSlotScriptedTest : public HttpSlotTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(servers.startScripted());
        HttpSlotTest::SetUp();
    }
    std::string scripted(const std::string& path) const { return at(servers.scriptedPort, path); }
};

TEST_F(HttpSlotScriptedTest, RedirectsNameTheFileAfterTheirTarget) {
    TDnObj& cross = object(scripted("/cross"));
    ASSERT_TRUE(fetch(cross));
    EXPECT_EQ(cross.Location,
              "http://localhost:" + std::to_string(servers.scriptedPort) + "/target.html");
    EXPECT_EQ(cross.LocalName, "target.html");
    EXPECT_EQ(local(cross), kDocument);
    EXPECT_FALSE(std::filesystem::exists(taskDir + "cross"));

    TDnObj& relative = object(scripted("/relative"));
    ASSERT_TRUE(fetch(relative));
    EXPECT_EQ(relative.Location, scripted("/target.html"));
    EXPECT_EQ(relative.LocalName, "target-1.html");
}

TEST_F(HttpSlotScriptedTest, HtmlGetsAnExtensionOnlyWhenItHasNoFittingOne) {
    TDnObj& cgi = object(scripted("/html/b.cgi?x=1"));
    TDnObj& run = object(scripted("/html/run?x"));
    TDnObj& dots = object(scripted("/html/.."));
    ASSERT_TRUE(fetch(cgi));
    ASSERT_TRUE(fetch(run));
    ASSERT_TRUE(fetch(dots));
    EXPECT_EQ(cgi.LocalName, "b.cgi");
    EXPECT_EQ(run.LocalName, "run.html");
    EXPECT_EQ(dots.LocalName, "index.html");
    EXPECT_EQ(local(dots), kDocument);
}

TEST_F(HttpSlotScriptedTest, DocumentWithoutHeaderIsSavedAsHtml) {
    TDnObj& bare = object(scripted("/noheader"));
    ASSERT_TRUE(fetch(bare));
    EXPECT_EQ(bare.Status, 0);
    EXPECT_EQ(bare.State, ObjectState::Retrieved);
    EXPECT_EQ(bare.LocalName, "noheader.html");
    EXPECT_EQ(local(bare), "<HTML>\r\n<body>no header</body>\r\n</HTML>\r\n");
    EXPECT_EQ(bare.Size, bare.Received);
}

TEST_F(HttpSlotScriptedTest, HeaderLineLongerThanTheBufferIsAProtocolError) {
    TDnObj& longHeader = object(scripted("/longheader"));
    ASSERT_TRUE(fetch(longHeader));
    EXPECT_EQ(longHeader.Status, 800);
    EXPECT_EQ(longHeader.State, ObjectState::ProtocolError);
    EXPECT_EQ(reports.lParamOf(EngineMessage::HttpError), 800);
}

TEST_F(HttpSlotScriptedTest, DroppedConnectionLeavesAPartialFileThatAResumeCompletes) {
    TDnObj& flaky = object(scripted("/flaky"));
    ASSERT_TRUE(fetch(flaky));
    EXPECT_EQ(flaky.State, ObjectState::Incomplete);
    EXPECT_EQ(flaky.Received, 1000);
    EXPECT_EQ(flaky.Size, 5000);
    EXPECT_TRUE(reports.has(EngineMessage::TransferAborted));
    EXPECT_EQ(task->Queued, 0);

    ++task->Queued;  // queued again, as a retry does
    ASSERT_TRUE(fetch(flaky));
    EXPECT_EQ(flaky.State, ObjectState::Done);
    EXPECT_EQ(flaky.Received, 5000);
    EXPECT_EQ(checksum(local(flaky)), checksum(flakyDocument()));
}

TEST_F(HttpSlotScriptedTest, WholeDocumentAnsweringARangeStartsTheFileAgain) {
    writeFile(taskDir + "range-ignored", std::string(300, 'x'));
    TDnObj& page = object(scripted("/range-ignored"));
    page.LocalName = "range-ignored";
    page.Received = 300;
    ASSERT_TRUE(fetch(page));
    EXPECT_EQ(page.State, ObjectState::Retrieved);
    EXPECT_EQ(page.LocalName, "range-ignored.html");
    EXPECT_EQ(local(page), kDocument);
    EXPECT_EQ(page.Received, static_cast<std::int64_t>(kDocument.size()));
    EXPECT_EQ(page.Size, static_cast<std::int64_t>(kDocument.size()));
}

TEST_F(HttpSlotScriptedTest, ResumeBeyondTwoGibibytesCountsIn64Bits) {
    constexpr std::int64_t kOffset = 2500000000;
    const std::string path = taskDir + "big-resume";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, kOffset), 0);  // sparse: nothing of it is written
    ::close(fd);
    TDnObj& big = object(scripted("/big-resume"));
    big.LocalName = "big-resume";
    big.Received = kOffset;
    ASSERT_TRUE(fetch(big));
    EXPECT_EQ(big.Status, 206) << "the server answers only a range from " << kOffset;
    EXPECT_EQ(big.Received, kOffset + 65536);
    EXPECT_EQ(big.Size, kOffset + 3000000000);
    EXPECT_EQ(big.State, ObjectState::Incomplete);
    EXPECT_EQ(std::filesystem::file_size(path), static_cast<std::uintmax_t>(kOffset + 65536));
    EXPECT_EQ(state.BytesWindow, 65536);
}

TEST_F(HttpSlotScriptedTest, RefusedConnectionIsQueuedAgainOnceThenEndsWith801) {
    state.RetryOnFails = true;
    TDnObj& refused = object(at(freePort(), "/x"));
    ASSERT_TRUE(fetch(refused));
    EXPECT_EQ(refused.State, ObjectState::Queued);
    EXPECT_EQ(refused.InList, GlobalList::Queue);
    EXPECT_EQ(refused.Retried, 1);
    EXPECT_EQ(task->Queued, 1);
    EXPECT_EQ(reports.lParamOf(EngineMessage::NetworkError), 10061);

    ASSERT_TRUE(fetch(refused));
    EXPECT_EQ(refused.Status, 801);
    EXPECT_EQ(refused.State, ObjectState::ProtocolError);
    EXPECT_EQ(reports.lParamOf(EngineMessage::HttpError), 10061);
    EXPECT_EQ(reports.offsets.back(), 134u);
}

TEST_F(HttpSlotScriptedTest, RobotsBodyGoesToTheEngineNotToAFile) {
    TDnObj& robots = object(scripted("/html/robots.txt"));
    robots.State = ObjectState::RobotsRequest;
    ASSERT_TRUE(fetch(robots));
    ASSERT_EQ(reports.robotsBodies.size(), 1u);
    ASSERT_NE(reports.robotsBodies[0], nullptr);
    EXPECT_EQ(*reports.robotsBodies[0], kDocument);
    EXPECT_TRUE(std::filesystem::is_empty(taskDir));
}

TEST_F(HttpSlotScriptedTest, AbortedEndlessBodyKeepsWhatCameAsAPartialFile) {
    TDnObj& endless = object(scripted("/endless"));
    state.SeenList.SeenInsert(endless);
    slot->Start(endless);
    for (int i = 0; i < 400 && endless.Received < 1000000; ++i) {
        loop.runOnce(std::chrono::milliseconds(50));
    }
    slot->abort();
    for (int i = 0; i < 100 && !slot->ready(); ++i) {
        loop.runOnce(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(endless.Status, 801);
    EXPECT_EQ(endless.State, ObjectState::Incomplete);
    EXPECT_EQ(static_cast<std::int64_t>(std::filesystem::file_size(taskDir + endless.LocalName)),
              endless.Received);
}

}  // namespace
}  // namespace quillharbor::test
