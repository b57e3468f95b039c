#pragma once

#include <QMetaObject>
#include <QString>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "engine/drop_source.h"
#include "platform/message_loop.h"
#include "ui/drop_capture.h"
#include "ui/window_message.h"

class QWidget;

namespace quillharbor {

class DropWidget;

// The drop window and the clipboard watch: a small frameless window that stays on top and takes
// dropped links and HTML documents, a menu of its own, and a watch on the clipboard for copied
// links. Each capture is kept in order and announced with LinkDropped (the action code by the
// keys held; clipboard captures kClipboardAction); GetDropURL takes the oldest one not yet
// taken, whose bytes stay until ReleaseDropData. Main thread only.
class QtDropWindow final : public DropSource {
public:
    explicit QtDropWindow(MessageLoop& loop);
    ~QtDropWindow() override;
    QtDropWindow(const QtDropWindow&) = delete;
    QtDropWindow& operator=(const QtDropWindow&) = delete;

    void CreateDropWindow(Handle reportTo) override;
    void DestroyDropWindow() override;
    void ShowDropWindow() override;
    void HideDropWindow() override;
    bool IsDropWindowVisible() override;
    void SetClipCheck(bool watchClipboard) override;
    void SetPasteMIState(bool checked) override;
    void SetDialogMIStates(bool enabled) override;
    std::optional<std::string> GetDropURL() override;
    std::string_view GetDropData() override;
    void ReleaseDropData() override;

    // Where the window stands, kept across runs; a place off every screen is not taken.
    void placeAt(std::optional<ScreenPoint> point);
    ScreenPoint position() const;
    // What tests and the screenshot look at; null outside CreateDropWindow..DestroyDropWindow.
    QWidget* widget() const;

    // From the window: a capture with its action code, and its menu's reports.
    void captured(int action, DropCapture capture);
    void report(WindowMessage message);

private:
    void onClipboardChanged();

    MessageLoop& m_loop;
    Handle m_reportTo = 0;
    std::unique_ptr<DropWidget> m_widget;
    std::deque<DropCapture> m_pending;
    DropCapture m_taken;
    QMetaObject::Connection m_clipboardWatch;
    QString m_clipboardText;  // the last text seen there, so a re-announced one is not taken
};

}  // namespace quillharbor
