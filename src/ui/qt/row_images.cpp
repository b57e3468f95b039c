#include "ui/qt/row_images.h"

#include <QPainter>

namespace quillharbor {

namespace {

constexpr int kSide = 16;

QIcon dot(const QColor& colour, int fillEighths = 8) {
    QPixmap pixmap(kSide, kSide);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour.darker(150), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(2, 2, kSide - 4, kSide - 4);
    painter.setBrush(colour);
    // A pie of fillEighths eighths: the progress images fill as the transfer advances.
    painter.drawPie(2, 2, kSide - 4, kSide - 4, 90 * 16, -fillEighths * 45 * 16);
    return QIcon(pixmap);
}

}  // namespace

RowImages::RowImages() {
    m_taskStates = {dot(QColor(0x2e, 0x9e, 0x44)), dot(QColor(0x88, 0x88, 0x88)),
                    dot(QColor(0xe0, 0xb0, 0x20)), dot(QColor(0xc0, 0x30, 0x30)),
                    dot(QColor(0x30, 0x60, 0xc0))};
    const QColor green(0x2e, 0x9e, 0x44), red(0xc0, 0x30, 0x30), amber(0xe0, 0xb0, 0x20),
        grey(0x88, 0x88, 0x88), blue(0x30, 0x60, 0xc0), purple(0x80, 0x40, 0xa0);
    // 0 retrieved, 1 failed, 2 not found, 3 excluded, 4 incomplete, 5 queued, 6 removed,
    // 7 queued to resume, 8-13 unused, 14 retrieved by another task.
    m_statuses = {dot(green),   dot(red),  dot(red.darker(130)), dot(purple), dot(amber, 4),
                  dot(grey, 0), dot(grey), dot(amber, 2)};
    m_statuses.resize(14, m_none);
    m_statuses.push_back(dot(blue));
    for (int eighths = 0; eighths <= 7; ++eighths) {
        m_progress.push_back(dot(blue, eighths + (eighths == 7 ? 1 : 0)));
    }
}

const QIcon& RowImages::taskState(int index) const {
    return index >= 0 && index < static_cast<int>(m_taskStates.size()) ? m_taskStates[index]
                                                                       : m_none;
}

const QIcon& RowImages::status(int index) const {
    return index >= 0 && index < static_cast<int>(m_statuses.size()) ? m_statuses[index] : m_none;
}

const QIcon& RowImages::progress(int index) const {
    return index >= 0 && index < static_cast<int>(m_progress.size()) ? m_progress[index] : m_none;
}

}  // namespace quillharbor
