#pragma once

#include <QRect>
#include <QStyledItemDelegate>

namespace ravelong {

// Draws a row of the task list panel from the roles of TaskListItemModel, left to right: the
// indentation of its tier, the disclosure arrow (when it has subtasks), a colour mark, the name
// (bold while running) with the description under it when asked, the period total, the total
// ever, and the timer control (▶ to start, ■ while running; none on a row with subtasks). Name
// editing uses a line edit over the name. Main thread only.
class TaskRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    // Where the parts of a row lie within its rectangle.
    struct Areas {
        QRect disclosure;
        QRect color;
        QRect name;
        QRect periodTotal;
        QRect totalEver;
        QRect timer;
    };
    static Areas areas(const QRect& rect, int tier);

    explicit TaskRowDelegate(QObject* parent = nullptr) : QStyledItemDelegate(parent) {}

    void setShowDescriptions(bool show) { showDescriptions_ = show; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

signals:
    // A name editor opened; closeEditor follows when it closes.
    void editingStarted() const;

private:
    bool showDescriptions_ = false;
};

}  // namespace ravelong
