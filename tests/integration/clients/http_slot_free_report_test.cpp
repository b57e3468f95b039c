// The HTTP slot's last word on a request comes once it is free again, whatever the outcome, so a
// fast dispatch gives it its next object at once instead of at the next tick.

#include "clients/http_slot_fixture.h"
#include "net/server_process.h"

namespace quillharbor::test {
namespace {

class HttpSlotFreeReportTest : public HttpSlotTest {
protected:
    void onMessage(const Message& message) override {
        HttpSlotTest::onMessage(message);
        last = static_cast<EngineMessage>(message.number - WM_USER);
        freeAtLast = slot->ready();
    }
    EngineMessage last{};
    bool freeAtLast = false;
};

TEST_F(HttpSlotFreeReportTest, TheLastReportFindsTheSlotFree) {
    ASSERT_TRUE(servers.startNginx());
    const struct {
        std::string url;
        EngineMessage outcome;
    } cases[] = {
        {at(servers.nginxPort, "/index.html"), EngineMessage::ObjectDone},
        {at(servers.nginxPort, "/missing.html"), EngineMessage::HttpError},
        {at(freePort(), "/refused"), EngineMessage::HttpError},
    };
    for (const auto& one : cases) {
        reports.clear();
        ASSERT_TRUE(fetch(object(one.url))) << one.url;
        EXPECT_NE(reported(one.outcome), -1) << one.url;
        EXPECT_EQ(last, EngineMessage::AdmitObjects) << one.url;
        EXPECT_TRUE(freeAtLast) << one.url;
    }
}

}  // namespace
}  // namespace quillharbor::test
