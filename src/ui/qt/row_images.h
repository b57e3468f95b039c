#pragma once

#include <QIcon>
#include <QPixmap>
#include <vector>

namespace quillharbor {

// The images of the lists, drawn at start-up so that they need no files: the task state images
// (0 running, 1 stopped, 2 waiting, 3 aborted, 4 other), the status images of object rows (0 to
// 14) and the progress images of the Being retrieved list (0 to 7).
class RowImages {
public:
    RowImages();
    const QIcon& taskState(int index) const;
    const QIcon& status(int index) const;
    const QIcon& progress(int index) const;

private:
    std::vector<QIcon> m_taskStates;
    std::vector<QIcon> m_statuses;
    std::vector<QIcon> m_progress;
    QIcon m_none;
};

}  // namespace quillharbor
