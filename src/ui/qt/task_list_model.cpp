#include "ui/qt/task_list_model.h"

namespace quillharbor {

TaskListModel::TaskListModel(const MainWindowModel& model, const RowImages& images, QObject* parent)
    : QAbstractListModel(parent), m_model(model), m_images(images) {}

int TaskListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_model.taskRows().size());
}

QVariant TaskListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const TTask& task = *m_model.taskRows()[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(task.Name);
        case Qt::DecorationRole:
            return m_images.taskState(MainWindowModel::taskStateImage(task));
        default:
            return {};
    }
}

void TaskListModel::refreshAll() {
    if (rowCount() > 0) {
        Q_EMIT dataChanged(index(0), index(rowCount() - 1), {Qt::DecorationRole});
    }
}

}  // namespace quillharbor
