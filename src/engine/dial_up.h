#pragma once

namespace quillharbor {

// What start-up found of dial-up control: off (no dial-up networking, or UseRasCtrl off), its
// module missing although UseRasCtrl was on, or the module loaded. The Global Options dialog
// disables its dial-up controls by it.
enum class DialUpSupport {
    Off,
    ModuleMissing,
    Loaded,
};

// Dial-up connection control, an optional companion module. Each call is synchronous, returns
// at once and is made on the loop's thread.
class DialUp {
public:
    virtual ~DialUp() = default;
    // Dial-up networking is present on the machine; probed once, at start-up, before the module
    // is loaded.
    virtual bool NetworkingPresent() = 0;
    // Loads the module that answers the three calls below; false when the module or one of its
    // entry points is missing, and the feature is then off.
    virtual bool LoadModule() = 0;
    // Dial-up networking is installed; asked once, at start-up.
    virtual bool IsRASInstalled() = 0;
    // A dial-up connection is up at this moment.
    virtual bool IsRASConnected() = 0;
    virtual void Hangup() = 0;
};

}  // namespace quillharbor
