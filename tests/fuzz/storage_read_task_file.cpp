// Task file texts. A text that is accepted must give a task whose counters match its objects and
// whose file, written again, reads back to the very same file.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "storage/task_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillharbor;
    const GlobalOptions settings;
    Result<std::unique_ptr<TTask>> task = parseTaskFile(asText(data, size), settings);
    if (!task) {
        check(!task.error().text.empty());
        return 0;
    }
    const TTask& loaded = *task.value();
    const auto count = static_cast<std::int32_t>(loaded.Objects.size());
    check(loaded.Queued == count && loaded.Total == count);
    check(loaded.State != TaskState::Running);
    for (const TDnObj& object : loaded.Objects) {
        check(object.Task == &loaded && object.InList == GlobalList::None);
    }

    const std::string written = composeTaskFile(loaded);
    Result<std::unique_ptr<TTask>> again = parseTaskFile(written, settings);
    check(again.ok());
    check(composeTaskFile(*again.value()) == written);
    return 0;
}
