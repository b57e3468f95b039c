#pragma once

#include <QObject>
#include <QSocketNotifier>

#include "platform/message_loop.h"

namespace quillharbor {

// Runs the engine's message loop inside Qt's: the loop's descriptor is readable whenever a
// message, a timer or socket readiness waits, and each time it is the pending work runs here,
// on the main thread, between Qt's own events.
class LoopNotifier : public QObject {
    Q_OBJECT
public:
    explicit LoopNotifier(MessageLoop& loop, QObject* parent = nullptr);

private:
    MessageLoop& m_loop;
    QSocketNotifier m_notifier;
};

}  // namespace quillharbor
