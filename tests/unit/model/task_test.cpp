#include <gtest/gtest.h>

#include <memory>

#include "model/engine_state.h"
#include "model/message_identity.h"
#include "model/task.h"

namespace quillharbor {
namespace {

TEST(MessageIdentityTest, ResolvesLiveTasksAndObjectsAndNothingAfterRemoval) {
    TaskList tasks;
    TTask& first = tasks.TaskInsert(NewTask("a", "http://h/", "/a/", 0, "", 0, 0, "", ""));
    TTask& second = tasks.TaskInsert(NewTask("b", "http://h/", "/b/", 0, "", 0, 0, "", ""));
    TDnObj* object = NewDnObj(second, "http://h/x", 1);
    NewDnObj(second, "http://h/a", 1);
    TDnObj* other = NewDnObj(first, "http://h/x", 1);
    const std::uintptr_t objectId = identityOf(*object);
    const std::uintptr_t taskId = identityOf(second);
    EXPECT_EQ(NewDnObj(second, "http://h/x", 1), nullptr) << "one object per URL";
    EXPECT_EQ(second.Queued, 2);

    EXPECT_EQ(objectByIdentity(tasks, objectId), object);
    EXPECT_EQ(objectByIdentity(tasks, identityOf(*other)), other);
    EXPECT_EQ(taskByIdentity(tasks, taskId), &second);
    EXPECT_EQ(objectByIdentity(tasks, objectId + 5), nullptr);
    // A task identity is no object identity and the reverse.
    EXPECT_EQ(objectByIdentity(tasks, taskId), nullptr);
    EXPECT_EQ(taskByIdentity(tasks, objectId), nullptr);

    tasks.TaskRemove(second);
    EXPECT_EQ(objectByIdentity(tasks, objectId), nullptr);
    EXPECT_EQ(taskByIdentity(tasks, taskId), nullptr);
    EXPECT_EQ(objectByIdentity(tasks, identityOf(*other)), other);
    // A new task of the same name with the same URL is another task: serials are not reused.
    NewDnObj(tasks.TaskInsert(NewTask("b", "http://h/", "/b/", 0, "", 0, 0, "", "")), "http://h/x",
             1);
    EXPECT_EQ(objectByIdentity(tasks, objectId), nullptr);
}

TEST(EngineStateTest, TearsDownWithObjectsStillQueuedAndSeen) {
    auto state = std::make_unique<EngineState>();
    TTask& task = state->TaskList.TaskInsert(NewTask("a", "http://h/", "/a/", 0, "", 0, 0, "", ""));
    state->Queue.Enqueue(*NewDnObj(task, "http://h/1", 1));
    state->SeenList.SeenInsert(*NewDnObj(task, "http://h/2", 1));
    state.reset();  // AddressSanitizer and the object's own check catch a wrong order
}

}  // namespace
}  // namespace quillharbor
