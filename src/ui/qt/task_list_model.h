#pragma once

#include <QAbstractListModel>

#include "ui/main_window_model.h"
#include "ui/qt/row_images.h"

namespace quillharbor {

// The task list over the model's task rows: the task name and its state image.
class TaskListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    TaskListModel(const MainWindowModel& model, const RowImages& images, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The main window forwards the model's row notices.
    void beginInsert(int row) { beginInsertRows({}, row, row); }
    void endInsert() { endInsertRows(); }
    void beginRemove(int row) { beginRemoveRows({}, row, row); }
    void endRemove() { endRemoveRows(); }
    void refreshAll();

private:
    const MainWindowModel& m_model;
    const RowImages& m_images;
};

}  // namespace quillharbor
