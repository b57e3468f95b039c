#include "ui/qt/loop_notifier.h"

namespace quillharbor {

LoopNotifier::LoopNotifier(MessageLoop& loop, QObject* parent)
    : QObject(parent), m_loop(loop), m_notifier(loop.descriptor(), QSocketNotifier::Read) {
    // The descriptor stays readable while work is left (messages posted meanwhile wait for the
    // next call), so Qt calls again on its next turn instead of this handler looping.
    connect(&m_notifier, &QSocketNotifier::activated, this, [this] { m_loop.processPending(); });
}

}  // namespace quillharbor
