#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/engine.h"
#include "engine/engine_fakes.h"
#include "platform/files.h"
#include "platform/temp_directory.h"

namespace quillharbor::test {

// An engine over a temporary program directory, with recording fakes around it. The loop is
// driven step by step; nothing sleeps.
class EngineTest : public ::testing::Test {
protected:
    void writeSettings(const std::string& ini) {
        ASSERT_TRUE(replaceFileAtomically(m_dir / "Quillharbor.ini", ini).ok());
    }
    Engine& start() {
        m_engine =
            std::make_unique<Engine>(EngineServices{m_loop, m_view, m_drop, m_dialUp, m_taskFiles,
                                                    m_intake, m_rewriter, &m_slots},
                                     m_dir.path());
        return *m_engine;
    }
    Engine& engine() { return *m_engine; }
    EngineState& state() { return m_engine->state(); }

    // A task from the defaults with this name and URL.
    TTask* create(const std::string& name, const std::string& url = "http://h/docs/") {
        m_engine->PrepareNewTaskParams();
        m_engine->newTaskParams().Name = name;
        m_engine->newTaskParams().URL = url;
        return m_engine->CreateTask();
    }
    void post(EngineMessage message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) {
        m_loop.post(m_engine->handle(), messageNumber(message), wParam, lParam);
    }
    // Runs the loop until nothing is left to do (a few rounds at most).
    void pump() {
        for (int round = 0; round < 10 && m_loop.processPending(); ++round) {
        }
    }
    std::string root() const { return m_dir / "My Downloads/"; }

    TempDirectory m_dir;
    MessageLoop m_loop;
    RecordingView m_view;
    FakeDropSource m_drop;
    FakeDialUp m_dialUp;
    RecordingTaskFiles m_taskFiles;
    RecordingLinkIntake m_intake;
    RecordingRewriteQueue m_rewriter;
    FakeSlotFactory m_slots{m_loop};
    std::unique_ptr<Engine> m_engine;
};

}  // namespace quillharbor::test
