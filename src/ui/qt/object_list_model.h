#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QPixmap>
#include <unordered_set>

#include "ui/main_window_model.h"
#include "ui/qt/qt_desktop_shell.h"
#include "ui/qt/row_images.h"

namespace quillharbor {

// One object list as a view over the model's rows: nothing is copied per row; cells are made
// when the view asks for them, so 200,000 rows cost the view nothing until they are painted.
class ObjectListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    ObjectListModel(const MainWindowModel& model, ObjectListPage page, const RowImages& images,
                    const QtDesktopShell& shell, QObject* parent = nullptr);

    ObjectListPage page() const { return m_page; }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    TDnObj& objectAt(int row) const;

    // The main window forwards the model's row notices.
    void beginInsert(int row) { beginInsertRows({}, row, row); }
    void endInsert() { endInsertRows(); }
    void beginRemove(int row);
    void endRemove() { endRemoveRows(); }
    void beginReset();
    void endReset() { endResetModel(); }
    // A row to draw again at the next flush.
    void markChanged(TDnObj& object) { m_changed.insert(&object); }
    // Draws the marked rows again, each one alone.
    void flushChanged();
    void headersChanged() { Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1); }

private:
    QPixmap rowImage(const TDnObj& object) const;

    const MainWindowModel& m_model;
    ObjectListPage m_page;
    int m_columns;  // asked for every row whenever the view lays its rows out
    const RowImages& m_images;
    const QtDesktopShell& m_shell;
    std::unordered_set<TDnObj*> m_changed;
    mutable QHash<qint64, QPixmap> m_rowImages;  // by (status image, file icon)
};

}  // namespace quillharbor
