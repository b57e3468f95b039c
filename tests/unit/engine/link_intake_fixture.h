#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine_link_intake.h"
#include "engine/engine_test_fixture.h"
#include "model/message_identity.h"
#include "platform/files.h"

namespace quillharbor::test {

// An engine with the real link intake and no transfer slots: tests play the HTTP slot's part by
// saving documents and posting what it posts, then drive the loop.
class LinkIntakeTest : public EngineTest {
protected:
    void startWith(const std::string& general, int httpSlots = 0) {
        writeSettings("[General]\nMaxHTTPConns=" + std::to_string(httpSlots) + "\nMaxFTPConns=0\n" +
                      general);
        m_engine =
            std::make_unique<Engine>(EngineServices{m_loop, m_view, m_drop, m_dialUp, m_taskFiles,
                                                    m_links, m_rewriter, &m_slots},
                                     m_dir.path());
    }
    // A running task of url reaching anywhere, FTP links not followed, with these limits (0:
    // none). The task file written at its creation is forgotten.
    TTask& task(const std::string& name, const std::string& url, int maxLevels = 0,
                int maxFiles = 0) {
        TTask* created = create(name, url);
        EXPECT_NE(created, nullptr);
        created->BoundaryPrefix.clear();
        created->MaxLevels = maxLevels;
        created->MaxFiles = maxFiles;
        TaskClearFlag(*created, TaskFlag::FollowFTP);
        m_taskFiles.written.clear();
        return *created;
    }
    TDnObj* find(const TTask& owner, const std::string& url) {
        return owner.Objects.TaskFindObj(url);
    }
    // Saves html as the object's document, the way the HTTP slot leaves a page to be scanned.
    void save(TDnObj& page, const std::string& name, const std::string& html) {
        if (page.InList == GlobalList::Queue) {
            state().Queue.QueueRemove(page);
        }
        if (page.InList == GlobalList::None) {
            state().SeenList.SeenInsert(page);
        }
        page.LocalName = name;
        page.ContentType = "text/html";
        page.State = ObjectState::Retrieved;
        ASSERT_TRUE(replaceFileAtomically(page.Task->Dir + name, html).ok());
    }
    // Saves the page and has it scanned.
    void scan(TDnObj& page, const std::string& name, const std::string& html) {
        save(page, name, html);
        post(EngineMessage::ScanLinks, identityOf(page));
        pump();
    }
    // The robots request is answered with body; an empty body stands for a failed request.
    void answerRobots(TDnObj& request, const std::string& body) {
        if (request.InList == GlobalList::Queue) {
            state().Queue.QueueRemove(request);
            state().SeenList.SeenInsert(request);
        }
        post(EngineMessage::RobotsAnswer, body.empty() ? 0 : state().RobotsBodies.deposit(body),
             static_cast<std::intptr_t>(identityOf(request)));
        pump();
    }
    std::vector<std::string> queuedUrls() {
        std::vector<std::string> urls;
        for (TDnObj* at = state().Queue.head(); at != nullptr; at = at->QueueNext) {
            urls.push_back(at->URL);
        }
        return urls;
    }
    bool called(const std::string& call) const {
        return std::find(m_view.calls.begin(), m_view.calls.end(), call) != m_view.calls.end();
    }

    EngineLinkIntake m_links;
};

}  // namespace quillharbor::test
