#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>

namespace quillharbor {

// SIGTERM and SIGINT close the program like a confirmed close: no question, everything saved.
// The handler only writes to a pipe; the close itself runs on the main thread from Qt's loop.
class CloseSignals : public QObject {
    Q_OBJECT
public:
    explicit CloseSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~CloseSignals() override;

private:
    std::function<void()> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace quillharbor
