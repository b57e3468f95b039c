#pragma once

#include "engine/dial_up.h"
#include "engine/drop_source.h"
#include "engine/engine_view.h"
#include "engine/task_file_writer.h"
#include "model/transfer_slot_factory.h"
#include "platform/message_loop.h"

namespace quillharbor {

// What a front end hands the engine. Everything must outlive the engine.
struct EngineServices {
    MessageLoop& loop;
    EngineView& view;
    DropSource& drop;
    DialUp& dialUp;
    TaskFileWriter& taskFiles;
    TransferSlotFactory* slots = nullptr;  // nullptr: no transfers, the slot arrays stay empty
};

}  // namespace quillharbor
