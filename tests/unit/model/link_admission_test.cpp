// Which links and listing entries a task accepts, and the pace of its reads.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "model/grab_options.h"
#include "model/link_admission.h"
#include "model/task.h"

namespace quillharbor {
namespace {

constexpr const char* kPictures = " .gif .jpg .png .bmp .pcx ";
constexpr auto kFollowFtp = static_cast<std::int32_t>(TaskFlag::FollowFTP);

std::unique_ptr<TTask> taskWith(std::string boundary, std::string extensions = "",
                                std::int32_t flags = 0) {
    auto task = NewTask("t", "http://h/docs/", "/d/", 0, std::move(boundary), 0, flags, "", "");
    task->Extensions = std::move(extensions);
    return task;
}

// A link, the task's boundary, extensions and flags: whether the link is accepted.
using AdmissionCase = std::tuple<std::string, std::string, std::string, std::int32_t, bool>;

TEST(LinkAcceptedTest, BoundaryExtensionsFtpAndControlBytes) {
    const AdmissionCase cases[] = {
        // HTTP links begin with the boundary exactly; http and https of one host are one site,
        // another port is another server.
        {"http://h/docs/sub/a.html", "http://h/docs/", "", 0, true},
        {"http://h/DOCS/a.html", "http://h/docs/", "", 0, false},
        {"http://h/docs", "http://h/docs/", "", 0, false},
        {"https://h:443/docs/x.html", "http://h/docs/", "", 0, true},
        {"http://h/docs/x.html", "https://h/docs/", "", 0, true},
        {"https://h/other/x.html", "http://h/docs/", "", 0, false},
        {"https://h:8443/docs/x.html", "http://h/docs/", "", 0, false},
        {"https://h/docs/x.html", "http://h:8080/docs/", "", 0, false},
        {"http://h/a\tb.html", "", "", 0, false},
        {std::string("http://h/a\0b", 12), "", "", 0, false},
        {"http://h/caf\xC3\xA9.html", "", "", 0, true},
        // FTP links need a file name and FollowFTP, but no boundary.
        {"ftp://f/pub/a.zip", "http://h/docs/", "", kFollowFtp, true},
        {"ftp.f.org/pub/a.zip", "http://h/docs/", "", kFollowFtp, true},
        {"ftp://f/pub/", "http://h/docs/", "", kFollowFtp, false},
        {"ftp://f/pub/a.zip", "", "", 0, false},
        // The extension is taken from the whole link, lower-cased; both tests must hold.
        {"http://h/a/B.GIF", "", kPictures, 0, true},
        {"http://h/a/b.gif?x=1", "", kPictures, 0, false},
        {"http://www.h.com/pics/", "", kPictures, 0, false},
        {"http://localhost/picture", "", kPictures, 0, false},
        {"http://h/other/b.gif", "http://h/docs/", "  .gif ", 0, false},
        {"ftp://f/pub/b.jpg", "", kPictures, kFollowFtp, true},
        {"ftp://f/pub/b.zip", "", kPictures, kFollowFtp, false}};
    for (const auto& [link, boundary, extensions, flags, accepted] : cases) {
        EXPECT_EQ(LinkAccepted(link, *taskWith(boundary, extensions, flags)), accepted)
            << link << " within '" << boundary << "'";
    }
}

// Entries of a listed FTP directory: the boundary holds unless the task follows FTP links, and
// extensions choose files while every directory is taken.
TEST(ListingEntryAcceptedTest, BoundaryOrFollowFtpAndExtensionsForFilesOnly) {
    const AdmissionCase cases[] = {{"ftp://f/pub/sub%20dir/", "ftp://f/pub/", "", 0, true},
                                   {"ftp://f/other/a.txt", "ftp://f/pub/", "", 0, false},
                                   {"ftp://f/other/a.txt", "ftp://f/pub/", "", kFollowFtp, true},
                                   {"ftp://f/pub/a\tb.txt", "", "", 0, false},
                                   {"ftp://f/pub/b.gif", "ftp://f/pub/", kPictures, 0, true},
                                   {"ftp://f/pub/README", "ftp://f/pub/", kPictures, 0, false},
                                   {"ftp://f/pub/pics/", "ftp://f/pub/", kPictures, 0, true}};
    for (const auto& [link, boundary, extensions, flags, accepted] : cases) {
        EXPECT_EQ(ListingEntryAccepted(link, *taskWith(boundary, extensions, flags)), accepted)
            << link << " within '" << boundary << "'";
    }
}

using namespace std::chrono_literals;

// The pace spreads the task's bytes over its rate without credit for idle time.
TEST(GrabOptions, PaceSpreadsTheTasksBytesOverItsRate) {
    ReadPace pace;
    const auto start = ReadPace::Clock::time_point{} + 1h;
    // 1000 bytes a second: 100 bytes are a tenth of a second, too short alone to wait for.
    EXPECT_EQ(pace.charge(1000, 5, start), ReadPace::Clock::duration{});
    EXPECT_EQ(pace.charge(1000, 100, start), 105ms);
    // A second transfer of the task reading at the same moment waits behind the first.
    EXPECT_EQ(pace.charge(1000, 100, start), 205ms);
    // A reader late by a little makes up for it; after a long pause only for that little.
    EXPECT_EQ(pace.charge(1000, 100, start + 255ms), 50ms);
    EXPECT_EQ(pace.charge(1000, 1000, start + 10s), 800ms);
    EXPECT_EQ(pace.charge(0, 1000000, start + 10s), ReadPace::Clock::duration{});
}

}  // namespace
}  // namespace quillharbor
