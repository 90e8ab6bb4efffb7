#include "ui/TaskPanel.h"

#include <QCursor>
#include <QGuiApplication>
#include <QListWidget>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/QtText.h"
#include "ui/UiTexts.h"

namespace ravelong {

namespace {

constexpr int kIndentPerTier = 3;  // blanks

}  // namespace

TaskPanel::TaskPanel(Kind kind, QWidget* parent)
    : QWidget(parent, kind == Kind::popup ? Qt::Popup : Qt::Window),
      kind_(kind),
      list_(new QListWidget(this)) {
    setObjectName(QStringLiteral("taskPanel"));
    setWindowTitle(qt(ui_texts::kApplicationName));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kind == Kind::popup ? 1 : 0, 1, 1, 1);
    layout->addWidget(list_);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setUniformItemSizes(true);
    connect(list_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { rowActivated(list_->row(item)); });
    resize(280, 360);
}

QString TaskPanel::rowText(const TaskPanelRow& row) {
    QString text(row.tier * kIndentPerTier, QLatin1Char(' '));
    text += row.running ? QStringLiteral("▶ ") : QStringLiteral("   ");
    text += QString::fromStdString(row.name);
    return text;
}

void TaskPanel::setRows(std::vector<TaskPanelRow> rows) {
    if (rows == rows_ && list_->count() == static_cast<int>(rows.size()))
        return;
    rows_ = std::move(rows);
    list_->clear();
    for (const TaskPanelRow& row : rows_) {
        auto* item = new QListWidgetItem(rowText(row), list_);
        QFont font = item->font();
        font.setBold(row.running);
        font.setItalic(!row.leaf);
        item->setFont(font);
        if (!row.leaf)
            item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
    }
}

void TaskPanel::rowActivated(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return;
    const TaskPanelRow& clicked = rows_[static_cast<std::size_t>(row)];
    if (clicked.leaf)
        emit taskClicked(QString::fromStdString(clicked.uuid));
}

bool TaskPanel::activateRowNamed(const QString& name) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (QString::fromStdString(rows_[i].name) == name) {
            rowActivated(static_cast<int>(i));
            return true;
        }
    }
    return false;
}

void TaskPanel::showAt(const QRect& anchor) {
    QPoint origin = anchor.isEmpty() ? QCursor::pos() : anchor.bottomLeft();
    QScreen* screen = QGuiApplication::screenAt(origin);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        // A tray at the bottom of the screen: open upwards, above the icon.
        if (origin.y() + height() > area.bottom())
            origin.setY((anchor.isEmpty() ? origin.y() : anchor.top()) - height());
        origin.setX(
            std::clamp(origin.x(), area.left(), std::max(area.left(), area.right() - width())));
        origin.setY(
            std::clamp(origin.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    }
    move(origin);
    show();
    raise();
    activateWindow();
}

void TaskPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    emit shown();
}

}  // namespace ravelong
