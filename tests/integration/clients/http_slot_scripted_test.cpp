// The HTTP slot against the scripted server: what nginx will not do.

#include <fcntl.h>
#include <unistd.h>

#include "clients/http_slot_fixture.h"

namespace quillharbor::test {
namespace {

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

const std::string kDocument = "<html><body>" + repeat("0123456789", 100) + "</body></html>\n";

class HttpSlotScriptedTest : public HttpSlotTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(servers.startScripted());
        HttpSlotTest::SetUp();
    }
    TDnObj& fetched(const std::string& path) {
        TDnObj& target = object(at(servers.scriptedPort, path));
        EXPECT_TRUE(fetch(target)) << path;
        return target;
    }
};

TEST_F(HttpSlotScriptedTest, NamesComeFromRedirectTargetsAndHtmlTypes) {
    TDnObj& cross = fetched("/cross");
    EXPECT_EQ(cross.Location,
              "http://localhost:" + std::to_string(servers.scriptedPort) + "/target.html");
    EXPECT_EQ(cross.LocalName, "target.html");
    EXPECT_EQ(local(cross), kDocument);
    EXPECT_EQ(fetched("/relative").LocalName, "target-1.html");
    EXPECT_EQ(fetched("/html/b.cgi?x=1").LocalName, "b.cgi");
    EXPECT_EQ(fetched("/html/run?x").LocalName, "run.html");
    EXPECT_EQ(fetched("/html/..").LocalName, "index.html");

    TDnObj& bare = fetched("/noheader");
    EXPECT_EQ(bare.Status, 0);
    EXPECT_EQ(bare.LocalName, "noheader.html");
    EXPECT_EQ(local(bare), "<HTML>\r\n<body>no header</body>\r\n</HTML>\r\n");

    TDnObj& longHeader = fetched("/longheader");
    EXPECT_EQ(longHeader.Status, 800);
    EXPECT_EQ(longHeader.State, ObjectState::ProtocolError);
}

TEST_F(HttpSlotScriptedTest, BodyShortOfItsLengthIsIncompleteUnscannedAndResumedWhole) {
    std::string flaky;
    for (int i = 0; i < 5000; ++i) {
        flaky += static_cast<char>((i * 7 + i / 251) % 256);
    }
    const struct {
        const char* path;  // a binary reset mid-body, an HTML page closed cleanly mid-body
        const std::string& document;
        bool scanned;
    } cases[] = {{"/flaky", flaky, false}, {"/cut.html", kDocument, true}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.path);
        const auto size = static_cast<std::int64_t>(each.document.size());
        reports.clear();
        lParams.clear();
        ++task->Queued;
        TDnObj& cut = fetched(each.path);
        EXPECT_EQ(cut.State, ObjectState::Incomplete);
        EXPECT_EQ(cut.Size, size);
        EXPECT_LT(cut.Received, size);
        EXPECT_EQ(reported(EngineMessage::TransferAborted), 0);
        EXPECT_EQ(reported(EngineMessage::ScanLinks), -1);
        EXPECT_EQ(reported(EngineMessage::ObjectDone), -1);

        ++task->Queued;  // queued again, as a resume does
        ASSERT_TRUE(fetch(cut));
        EXPECT_EQ(cut.Received, size);
        EXPECT_EQ(local(cut), each.document);
        EXPECT_EQ(reported(EngineMessage::ObjectDone), size);
        EXPECT_EQ(reported(EngineMessage::ScanLinks) != -1, each.scanned);
    }
}

TEST_F(HttpSlotScriptedTest, WholeDocumentAnsweringARangeStartsTheFileAgain) {
    writeFile(taskDir + "range-ignored", std::string(300, 'x'));
    TDnObj& page = object(at(servers.scriptedPort, "/range-ignored"));
    page.LocalName = "range-ignored";
    page.Received = 300;
    ASSERT_TRUE(fetch(page));
    EXPECT_EQ(page.LocalName, "range-ignored.html");
    EXPECT_EQ(local(page), kDocument);
    EXPECT_EQ(page.Size, static_cast<std::int64_t>(kDocument.size()));

    TDnObj& shrunk = object(at(servers.scriptedPort, "/target.html"));
    shrunk.Size = 99999;  // what an earlier answer announced
    ASSERT_TRUE(fetch(shrunk));
    EXPECT_EQ(shrunk.State, ObjectState::Retrieved) << "whole, so handed to the scanner";
    EXPECT_EQ(shrunk.Size, static_cast<std::int64_t>(kDocument.size()));
}

TEST_F(HttpSlotScriptedTest, ResumeBeyondTwoGibibytesCountsIn64Bits) {
    constexpr std::int64_t kOffset = 2500000000;
    const int fd = ::open((taskDir + "big-resume").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::ftruncate(fd, kOffset), 0);  // sparse: nothing of it is written
    ::close(fd);
    TDnObj& big = object(at(servers.scriptedPort, "/big-resume"));
    big.LocalName = "big-resume";
    big.Received = kOffset;
    ASSERT_TRUE(fetch(big));
    EXPECT_EQ(big.Status, 206) << "the server answers only a range from " << kOffset;
    EXPECT_EQ(big.Received, kOffset + 65536);
    EXPECT_EQ(big.Size, kOffset + 3000000000);
    EXPECT_EQ(big.State, ObjectState::Incomplete);
    EXPECT_EQ(std::filesystem::file_size(taskDir + "big-resume"),
              static_cast<std::uintmax_t>(kOffset + 65536));
}

TEST_F(HttpSlotScriptedTest, RefusedConnectionIsQueuedAgainOnceThenEndsWith801) {
    state.RetryOnFails = true;
    TDnObj& refused = object(at(freePort(), "/x"));
    ASSERT_TRUE(fetch(refused));
    EXPECT_EQ(refused.InList, GlobalList::Queue);
    EXPECT_EQ(task->Queued, 1);
    EXPECT_EQ(reported(EngineMessage::NetworkError), 10061);

    ASSERT_TRUE(fetch(refused));
    EXPECT_EQ(refused.Status, 801);
    EXPECT_EQ(refused.Cause, 10061) << "what 801 alone does not tell";
    EXPECT_EQ(refused.State, ObjectState::ProtocolError);
    EXPECT_EQ(reported(EngineMessage::HttpError), 10061);
    EXPECT_EQ(reports.back(), 134u);
}

TEST_F(HttpSlotScriptedTest, RedirectLoopFailsWithItsOwnStatus) {
    TDnObj& loop = fetched("/loop");
    EXPECT_EQ(loop.State, ObjectState::ProtocolError);
    EXPECT_EQ(loop.Status, kHttpTooManyRedirects);
    EXPECT_EQ(reported(EngineMessage::HttpError), kHttpTooManyRedirects);
}

TEST_F(HttpSlotScriptedTest, EndlessBodyStreamsToDiskUntilAbortedOrAbandoned) {
    TDnObj& aborted = object(at(servers.scriptedPort, "/endless"));
    start(aborted);
    ASSERT_TRUE(runUntil([&] { return aborted.Received > 1000000; }));
    slot->abort();
    ASSERT_TRUE(runUntil([this] { return slot->ready(); }));
    EXPECT_EQ(aborted.Status, 801);
    EXPECT_EQ(aborted.State, ObjectState::Incomplete);
    EXPECT_EQ(std::filesystem::file_size(taskDir + aborted.LocalName),
              static_cast<std::uintmax_t>(aborted.Received));

    TDnObj& abandoned = object(at(servers.scriptedPort, "/endless-too"));
    start(abandoned);
    ASSERT_TRUE(runUntil([&] { return abandoned.Received > 0; }));
    slot->abandon();
    loop.processPending();  // what was posted before
    const std::size_t before = reports.size();
    abandoned.State = ObjectState::Removed;
    ASSERT_TRUE(runUntil([this] { return slot->ready(); }));
    EXPECT_EQ(reports.size(), before);
    EXPECT_EQ(abandoned.State, ObjectState::Removed);
}

}  // namespace
}  // namespace quillharbor::test
