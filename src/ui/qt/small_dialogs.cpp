#include "ui/qt/small_dialogs.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace quillharbor {

namespace {

constexpr int kPictureSize = 48;
constexpr int kQuestionWidth = 300;

QLabel* picture(const QIcon& icon) {
    auto* label = new QLabel;
    label->setPixmap(icon.pixmap(kPictureSize));
    label->setAlignment(Qt::AlignTop);
    return label;
}

void bringForward(QDialog& dialog) {
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

}  // namespace

ConfirmDialog* ConfirmDialog::confirmRemove(QWidget* parent, ReportTarget reports) {
    return new ConfirmDialog(parent, QStringLiteral("Confirm the operation"),
                             QStringLiteral("Do you really want to remove the selected task(s)? "
                                            "(The task(s) records will be lost!)"),
                             reports, messageNumber(EngineMessage::RemoveSelectedTasks));
}

ConfirmDialog* ConfirmDialog::confirmExit(QWidget* parent, ReportTarget reports) {
    return new ConfirmDialog(parent, QStringLiteral("Confirm exit"),
                             QStringLiteral("Some tasks are still active. Do you want to exit "
                                            "anyway? (All active tasks will be aborted.)"),
                             reports, messageNumber(WindowMessage::ExitConfirmed));
}

ConfirmDialog::ConfirmDialog(QWidget* parent, const QString& caption, const QString& question,
                             ReportTarget reports, unsigned okReport)
    : QDialog(parent) {
    setWindowTitle(caption);
    setModal(false);
    auto* text = new QLabel(question);
    text->setWordWrap(true);
    text->setMinimumWidth(kQuestionWidth);
    auto* row = new QHBoxLayout;
    row->addWidget(picture(style()->standardIcon(QStyle::SP_MessageBoxQuestion)));
    row->addWidget(text, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, [this, reports, okReport] {
        reports.post(okReport);
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void ConfirmDialog::present() {
    bringForward(*this);
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("About Quillharbor"));
    setModal(false);
    auto* name = new QLabel(QStringLiteral("<b>Quillharbor</b>"));
    QFont large = name->font();
    large.setPointSizeF(large.pointSizeF() * 1.5);
    name->setFont(large);
    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(new QLabel(QStringLiteral("Version " QUILLHARBOR_VERSION)));
    texts->addWidget(new QLabel(QStringLiteral("A download manager and site grabber.")));
    texts->addWidget(new QLabel(QStringLiteral(
        "Copyright \u00a9 the Quillharbor developers. It comes with ABSOLUTELY NO WARRANTY.")));
    auto* row = new QHBoxLayout;
    row->addWidget(
        picture(QIcon::fromTheme("quillharbor", QIcon(QStringLiteral(":/icons/quillharbor.svg")))));
    row->addLayout(texts, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void AboutBox::present() {
    bringForward(*this);
}

bool AboutBox::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate && isVisible()) {
        close();
    }
    return QDialog::event(event);
}

}  // namespace quillharbor
