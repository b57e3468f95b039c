#include "ui/qt/object_list_model.h"

#include <QPainter>

#include "ui/object_row.h"

namespace quillharbor {

namespace {

constexpr int kImageSide = 16;

}  // namespace

ObjectListModel::ObjectListModel(const MainWindowModel& model, ObjectListPage page,
                                 const RowImages& images, const QtDesktopShell& shell,
                                 QObject* parent)
    : QAbstractTableModel(parent),
      m_model(model),
      m_page(page),
      m_columns(static_cast<int>(objectColumnCaptions(page).size())),
      m_images(images),
      m_shell(shell) {}

int ObjectListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_model.objectRows(m_page).size());
}

int ObjectListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

TDnObj& ObjectListModel::objectAt(int row) const {
    return m_model.objectRows(m_page).at(static_cast<std::size_t>(row));
}

QVariant ObjectListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const TDnObj& object = objectAt(index.row());
    if (role == Qt::DisplayRole) {
        return QString::fromStdString(
            objectRowCells(m_page, object).at(static_cast<std::size_t>(index.column())));
    }
    if (role == Qt::DecorationRole && index.column() == 0) {
        return rowImage(object);
    }
    if (role == Qt::TextAlignmentRole && index.column() > 0 &&
        index.column() >= columnCount() - (m_page == ObjectListPage::Saved ? 1 : 2)) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

// The status image beside the file-type icon, as one image per pair.
QPixmap ObjectListModel::rowImage(const TDnObj& object) const {
    const int status = objectStatusImage(object);
    const bool progress = m_page == ObjectListPage::BeingRetrieved;
    const qint64 key =
        (qint64{progress} << 40) | (qint64{status + 1} << 32) | static_cast<quint32>(object.Icon);
    const auto cached = m_rowImages.constFind(key);
    if (cached != m_rowImages.constEnd()) {
        return *cached;
    }
    QPixmap pixmap(2 * kImageSide + 2, kImageSide);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const QIcon& state = progress ? m_images.progress(status) : m_images.status(status);
    state.paint(&painter, 0, 0, kImageSide, kImageSide);
    m_shell.icon(object.Icon).paint(&painter, kImageSide + 2, 0, kImageSide, kImageSide);
    painter.end();
    m_rowImages.insert(key, pixmap);
    return pixmap;
}

QVariant ObjectListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    const std::vector<std::string> captions = m_model.objectRows(m_page).columnCaptions();
    return section >= 0 && section < static_cast<int>(captions.size())
               ? QString::fromStdString(captions[static_cast<std::size_t>(section)])
               : QVariant();
}

void ObjectListModel::beginRemove(int row) {
    m_changed.erase(&objectAt(row));
    beginRemoveRows({}, row, row);
}

void ObjectListModel::beginReset() {
    m_changed.clear();
    beginResetModel();
}

void ObjectListModel::flushChanged() {
    const ObjectRows& rows = m_model.objectRows(m_page);
    for (TDnObj* object : m_changed) {
        if (const auto row = rows.rowOf(*object)) {
            const int at = static_cast<int>(*row);
            Q_EMIT dataChanged(index(at, 0), index(at, columnCount() - 1));
        }
    }
    m_changed.clear();
}

}  // namespace quillharbor
