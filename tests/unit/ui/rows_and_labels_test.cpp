#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/details_panel.h"
#include "ui/icon_cache.h"
#include "ui/object_row.h"
#include "ui/ui_fakes.h"

namespace quillharbor {
namespace {

using test::LooseTask;
using ::testing::ElementsAre;

TEST(DetailsPanelTest, LabelsOfATask) {
    LooseTask loose("a");
    TTask& task = *loose.task;
    task.Queued = 3;
    task.Total = 10;
    task.MaxLevels = 4;
    EXPECT_EQ(detailsLabelsOf(task),
              (DetailsLabels{"URL: http://h/a/", "Download from anywhere", "Files queued: 3",
                             "Files read: 7", "Max files: infinity", "Max levels: 4",
                             "Start after 0 minutes"}));
    task.BoundaryPrefix = "http://h/a/";
    task.MaxFiles = 50;
    EXPECT_EQ(detailsLabelsOf(task)[1], "Download from http://h/a/");
    EXPECT_EQ(detailsLabelsOf(task)[4], "Max files: 50");

    // Whole minutes of 300 ticks, ties to even.
    const std::pair<std::int32_t, std::string> delays[] = {{450, "Start after 2 minutes"},
                                                           {750, "Start after 2 minutes"},
                                                           {449, "Start after 1 minutes"}};
    for (const auto& [ticks, label] : delays) {
        task.StartCountdown = ticks;
        EXPECT_EQ(detailsLabelsOf(task)[6], label) << ticks;
    }
}

TEST(ObjectRowTest, StatusImagesByState) {
    LooseTask task("a");
    TDnObj& object = task.add("http://h/a/x.html", ObjectState::Queued);
    struct Case {
        ObjectState state;
        std::int64_t received, size;
        std::int32_t status;
        int image;
    };
    using S = ObjectState;
    const Case cases[] = {
        {S::Queued, 0, 0, 0, 5},           {S::Queued, 10, 0, 0, 7},
        {S::Retrieved, 0, 0, 0, 0},        {S::Retrieving, 500, 1000, 0, 4},
        {S::Retrieving, 500, 0, 0, 0},     {S::Retrieving, 1000, 1000, 0, 7},
        {S::Retrieving, 5000, 1000, 0, 7}, {S::Failed, 0, 0, 0, 1},
        {S::Incomplete, 0, 0, 0, 4},       {S::Removed, 0, 0, 0, 6},
        {S::ProtocolError, 0, 0, 404, 2},  {S::ProtocolError, 0, 0, 500, 1},
        {S::Excluded, 0, 0, 0, 3},         {S::RetrievedByOther, 0, 0, 0, 14},
        {S::FtpError, 0, 0, 0, 1},         {S::Done, 0, 0, 0, 0},
        {S::RobotsRequest, 0, 0, 0, -1},
    };
    for (const Case& each : cases) {
        object.State = each.state;
        object.Received = each.received;
        object.Size = each.size;
        object.Status = each.status;
        EXPECT_EQ(objectStatusImage(object), each.image) << static_cast<int>(each.state);
    }
}

TEST(ObjectRowTest, CellsPerList) {
    LooseTask task("a");
    TDnObj& object = task.add("http://h/a/x.html", ObjectState::Retrieving, "x.html");
    object.Received = 500;
    EXPECT_EQ(pageOfObject(object), ObjectListPage::BeingRetrieved);
    EXPECT_THAT(objectRowCells(ObjectListPage::BeingRetrieved, object),
                ElementsAre("http://h/a/x.html", "x.html", "500", "?"));
    object.Size = 900;
    EXPECT_THAT(objectRowCells(ObjectListPage::Queued, object),
                ElementsAre("http://h/a/x.html", "500", "900"));
    EXPECT_THAT(objectRowCells(ObjectListPage::Saved, object),
                ElementsAre("x.html", "http://h/a/x.html", "500"));
    object.LocalName.clear();
    object.State = ObjectState::Removed;
    EXPECT_EQ(pageOfObject(object), ObjectListPage::Saved);
    EXPECT_EQ(objectRowCaption(ObjectListPage::Saved, object), "Removed from queue");
    object.State = ObjectState::RobotsRequest;
    EXPECT_EQ(pageOfObject(object), std::nullopt);
}

TEST(IconCacheTest, SavedFilesFillTheCacheButProgramsAndIconsNever) {
    LooseTask task("a");
    test::FakeShell shell;
    shell.icons = {{"/tmp/a/one.html", 3}, {"/tmp/a/setup.exe", 8}, {"/tmp/a/page", 9}};
    IconCache cache;

    TDnObj& queued = task.add("http://h/a/q.html", ObjectState::Queued);
    EXPECT_EQ(chooseObjectIcon(queued, cache, shell), 0) << "nothing cached yet, nothing asked";
    EXPECT_TRUE(shell.asked.empty());

    TDnObj& saved = task.add("http://h/a/one.html", ObjectState::Done, "one.html");
    EXPECT_EQ(chooseObjectIcon(saved, cache, shell), 3);
    EXPECT_EQ(chooseObjectIcon(queued, cache, shell), 3) << "found by the URL's extension";
    EXPECT_EQ(shell.asked.size(), 1u) << "the second .html came from the cache";

    TDnObj& program = task.add("http://h/a/setup.exe", ObjectState::Done, "setup.exe");
    EXPECT_EQ(chooseObjectIcon(program, cache, shell), 8);
    EXPECT_EQ(chooseObjectIcon(program, cache, shell), 8);
    EXPECT_EQ(shell.asked.size(), 3u) << ".exe is asked for every time";
    EXPECT_EQ(cache.find(".exe"), -1);

    TDnObj& noDot = task.add("http://h/a/page", ObjectState::Done, "page");
    EXPECT_EQ(chooseObjectIcon(noDot, cache, shell), 0);
    TDnObj& missing = task.add("http://h/a/gone.png", ObjectState::Done, "gone.png");
    EXPECT_EQ(chooseObjectIcon(missing, cache, shell), 0);
    EXPECT_EQ(cache.find(".png"), -1) << "a failed query caches nothing";

    // A removed object with no file of its own is looked up under the name its URL maps to.
    TDnObj& removed = task.add("http://h/a/one.html?x", ObjectState::Removed);
    EXPECT_EQ(chooseObjectIcon(removed, cache, shell), 3);
}

}  // namespace
}  // namespace quillharbor
