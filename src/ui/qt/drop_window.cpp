#include "ui/qt/drop_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include "model/engine_message.h"
#include "ui/qt/qt_desktop_shell.h"

namespace quillharbor {

namespace {

constexpr int kSide = 64;
constexpr int kIconSide = 40;
constexpr int kMargin = 24;
// Firefox names the page a dragged selection comes from; its URL formats are UTF-16.
constexpr const char* kSourcePageFormat = "text/x-moz-url-priv";

std::string firstLineOf(const QByteArray& data) {
    const bool utf16 = data.size() % 2 == 0 && data.contains('\0');
    const QString text =
        utf16 ? QString::fromUtf16(reinterpret_cast<const char16_t*>(data.constData()),
                                   data.size() / 2)
              : QString::fromUtf8(data);
    return text.section(QLatin1Char('\n'), 0, 0).toStdString();
}

DropFormats formatsOf(const QMimeData& mime) {
    DropFormats formats;
    if (mime.hasFormat("text/uri-list")) {
        formats.uriList = mime.data("text/uri-list").toStdString();
    }
    if (mime.hasText()) {
        formats.text = mime.text().toStdString();
    }
    if (mime.hasHtml()) {
        formats.html = mime.html().toStdString();
    }
    if (mime.hasFormat(kSourcePageFormat)) {
        formats.pageUrl = firstLineOf(mime.data(kSourcePageFormat));
    }
    return formats;
}

std::optional<int> actionOf(Qt::KeyboardModifiers keys) {
    return dropActionFor(keys.testFlag(Qt::ControlModifier), keys.testFlag(Qt::ShiftModifier),
                         keys.testFlag(Qt::AltModifier));
}

}  // namespace

// The window itself: it draws the program's icon, takes drags it can use with the keys held,
// moves where the left button drags it, and hides rather than closes.
class DropWidget final : public QWidget {
public:
    explicit DropWidget(QtDropWindow& module)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
          m_module(module) {
        setWindowTitle(QStringLiteral("Quillharbor Drop Window"));
        setFixedSize(kSide, kSide);
        setAcceptDrops(true);
        setToolTip(QString::fromUtf8(kDropWindowTip));
        // It is hovered from other programs' windows and seldom active.
        setAttribute(Qt::WA_AlwaysShowToolTips);
        m_icon = QIcon::fromTheme("quillharbor", QIcon(":/icons/quillharbor.svg"));
        m_menu->addAction("&Hide Drop Window", [this] { report(WindowMessage::DropWindowHidden); });
        m_paste = m_menu->addAction("&Paste Links From Clipboard",
                                    [this] { report(WindowMessage::DropWatchingToggled); });
        m_paste->setCheckable(true);
        m_menu->addSeparator();
        m_newTask =
            m_menu->addAction("&New Task ...", [this] { report(WindowMessage::DropNewTask); });
        m_options = m_menu->addAction("&Default Task Options ...",
                                      [this] { report(WindowMessage::DropDefaultTaskOptions); });
        m_menu->addSeparator();
        m_menu->addAction("E&xit", [this] { report(WindowMessage::DropExit); });
    }

    QAction* pasteItem() const { return m_paste; }
    void setDialogItemsEnabled(bool enabled) {
        m_newTask->setEnabled(enabled);
        m_options->setEnabled(enabled);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().window());
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        const int inset = (kSide - kIconSide) / 2;
        m_icon.paint(&painter, QRect(inset, inset, kIconSide, kIconSide));
    }
    void dragEnterEvent(QDragEnterEvent* event) override { consider(event); }
    void dragMoveEvent(QDragMoveEvent* event) override { consider(event); }
    void dropEvent(QDropEvent* event) override {
        const std::optional<int> action = actionOf(event->modifiers());
        std::optional<DropCapture> capture = event->mimeData() != nullptr
                                                 ? captureOfDrop(formatsOf(*event->mimeData()))
                                                 : std::nullopt;
        if (!action || !capture) {
            event->ignore();
            return;
        }
        event->setDropAction(Qt::CopyAction);
        event->accept();
        m_module.captured(*action, std::move(*capture));
    }
    void contextMenuEvent(QContextMenuEvent* event) override { m_menu->popup(event->globalPos()); }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            m_grab = event->globalPosition().toPoint() - frameGeometry().topLeft();
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (event->buttons().testFlag(Qt::LeftButton)) {
            move(event->globalPosition().toPoint() - m_grab);
        }
    }
    // Alt+F4 and the like hide it, as its menu does.
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        report(WindowMessage::DropWindowHidden);
    }

private:
    void report(WindowMessage message) {
        if (message == WindowMessage::DropWindowHidden) {
            hide();
        }
        m_module.report(message);
    }
    void consider(QDragMoveEvent* event) {
        const bool usable = actionOf(event->modifiers()).has_value() &&
                            event->mimeData() != nullptr &&
                            captureOfDrop(formatsOf(*event->mimeData())).has_value();
        if (usable) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
        } else {
            event->ignore();
        }
    }

    QtDropWindow& m_module;
    QIcon m_icon;
    QMenu* m_menu = new QMenu(this);
    QAction* m_paste = nullptr;
    QAction* m_newTask = nullptr;
    QAction* m_options = nullptr;
    QPoint m_grab;
};

QtDropWindow::QtDropWindow(MessageLoop& loop) : m_loop(loop) {}

QtDropWindow::~QtDropWindow() {
    DestroyDropWindow();
}

void QtDropWindow::CreateDropWindow(Handle reportTo) {
    m_reportTo = reportTo;
    m_widget = std::make_unique<DropWidget>(*this);
    placeAt(std::nullopt);
}

void QtDropWindow::DestroyDropWindow() {
    SetClipCheck(false);
    m_widget.reset();
}

void QtDropWindow::ShowDropWindow() {
    if (m_widget) {
        m_widget->show();
        m_widget->raise();
    }
}

void QtDropWindow::HideDropWindow() {
    if (m_widget) {
        m_widget->hide();
    }
}

bool QtDropWindow::IsDropWindowVisible() {
    return m_widget && m_widget->isVisible();
}

void QtDropWindow::SetClipCheck(bool watchClipboard) {
    QObject::disconnect(m_clipboardWatch);
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!watchClipboard || !m_widget || clipboard == nullptr) {
        return;
    }
    // What is there already was copied before the watch began.
    m_clipboardText = clipboard->text();
    m_clipboardWatch = QObject::connect(clipboard, &QClipboard::dataChanged, m_widget.get(),
                                        [this] { onClipboardChanged(); });
}

void QtDropWindow::onClipboardChanged() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (mime == nullptr || !mime->hasText() || mime->hasFormat(kOwnCopyFormat)) {
        return;
    }
    // A clipboard keeper taking over the same text announces it again.
    const QString text = mime->text();
    if (text == std::exchange(m_clipboardText, text)) {
        return;
    }
    if (std::optional<std::string> link = linkInText(text.toStdString())) {
        captured(kClipboardAction, DropCapture{std::move(link), {}});
    }
}

void QtDropWindow::SetPasteMIState(bool checked) {
    if (m_widget) {
        m_widget->pasteItem()->setChecked(checked);
    }
}

void QtDropWindow::SetDialogMIStates(bool enabled) {
    if (m_widget) {
        m_widget->setDialogItemsEnabled(enabled);
    }
}

std::optional<std::string> QtDropWindow::GetDropURL() {
    if (m_pending.empty()) {
        m_taken = {};
    } else {
        m_taken = std::move(m_pending.front());
        m_pending.pop_front();
    }
    return m_taken.url;
}

std::string_view QtDropWindow::GetDropData() {
    return m_taken.document;
}

void QtDropWindow::ReleaseDropData() {
    m_taken.document = std::string();
}

void QtDropWindow::captured(int action, DropCapture capture) {
    const auto size = static_cast<std::intptr_t>(capture.document.size());
    m_pending.push_back(std::move(capture));
    if (!m_loop.post(m_reportTo, messageNumber(EngineMessage::LinkDropped),
                     static_cast<std::uintptr_t>(action), size)) {
        m_pending.pop_back();
    }
}

void QtDropWindow::report(WindowMessage message) {
    m_loop.post(m_reportTo, messageNumber(message));
}

void QtDropWindow::placeAt(std::optional<ScreenPoint> point) {
    if (!m_widget) {
        return;
    }
    const QScreen* screen = nullptr;
    if (point) {
        screen = QGuiApplication::screenAt(QPoint(point->x, point->y));
    }
    if (screen == nullptr) {
        point.reset();
        screen = QGuiApplication::primaryScreen();
    }
    if (!point && screen != nullptr) {
        // First run: the top right corner, clear of the edge.
        const QRect area = screen->availableGeometry();
        point = ScreenPoint{area.right() - kSide - kMargin, area.top() + kMargin};
    }
    if (point) {
        m_widget->move(point->x, point->y);
    }
}

ScreenPoint QtDropWindow::position() const {
    return m_widget ? ScreenPoint{m_widget->x(), m_widget->y()} : ScreenPoint{};
}

QWidget* QtDropWindow::widget() const {
    return m_widget.get();
}

}  // namespace quillharbor
