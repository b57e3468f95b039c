#pragma once

#include "engine/dial_up.h"
#include "engine/drop_source.h"
#include "engine/engine_view.h"
#include "engine/link_intake.h"
#include "engine/link_rewrite_queue.h"
#include "engine/storage_task_file_writer.h"
#include "engine/task_file_writer.h"
#include "model/transfer_slot_factory.h"
#include "platform/message_loop.h"

namespace quillharbor {

// What a front end hands the engine. Everything must outlive the engine. With designated
// initializers a front end may leave out taskFiles: the engine then writes real task files.
struct EngineServices {
    MessageLoop& loop;
    EngineView& view;
    DropSource& drop;
    DialUp& dialUp;
    TaskFileWriter& taskFiles = storageTaskFiles();
    LinkIntake& intake;                    // NullLinkIntake: documents are not scanned
    LinkRewriteQueue& rewriter;            // NullLinkRewriteQueue: links are not rewritten
    TransferSlotFactory* slots = nullptr;  // nullptr: no transfers, the slot arrays stay empty
    Handle dropReports = 0;                // where the drop window reports; 0: the engine
};

}  // namespace quillharbor
