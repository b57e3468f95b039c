#pragma once

#include <array>
#include <cstddef>

namespace quillharbor {

// The main window's commands. A toolbar button, a menu item and a popup item that run the same
// operation share one entry, so one enabling rule drives all of them.
enum class UiCommand {
    NewTask,
    EditTask,  // also the task list's "Properties ..."
    RemoveTask,
    StartTask,
    StopTask,
    AbortTask,
    StopAllTasks,
    AbortAllTasks,
    RetryFailedLinks,
    StartObject,
    StopObject,
    RemoveFromQueue,
    CopyUrl,
    DefaultTaskOptions,
    GlobalOptions,
    ToggleDropWindow,          // the toolbar button
    TogglePasteFromClipboard,  // the toolbar button
    // The menu items of the two toggles: their check marks follow rules of their own.
    DropWindowItem,
    PasteFromClipboardItem,
    Exit,
    HelpContents,
    License,
    About,
    Count,
};

inline constexpr std::size_t kUiCommandCount = static_cast<std::size_t>(UiCommand::Count);

// Which commands are enabled; all of them at first, the rules then take away.
class CommandStates {
public:
    CommandStates() { m_enabled.fill(true); }
    bool enabled(UiCommand command) const { return m_enabled[index(command)]; }
    void set(UiCommand command, bool enabled) { m_enabled[index(command)] = enabled; }
    bool operator==(const CommandStates&) const = default;

private:
    static std::size_t index(UiCommand command) { return static_cast<std::size_t>(command); }
    std::array<bool, kUiCommandCount> m_enabled{};
};

}  // namespace quillharbor
