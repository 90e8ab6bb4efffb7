#include "ui/TaskRowDelegate.h"

#include <QApplication>
#include <QPainter>

#include "menubar/MenuBarTaskRow.h"
#include "ui/TaskListItemModel.h"

namespace ravelong {

namespace {

constexpr int kIndent = 16;
constexpr int kArrow = 14;
constexpr int kMark = 10;
constexpr int kTotalWidth = 64;
constexpr int kTimerWidth = 22;
constexpr int kGap = 4;
constexpr int kRowHeight = 24;

}  // namespace

TaskRowDelegate::Areas TaskRowDelegate::areas(const QRect& rect, int tier) {
    Areas a;
    int x = rect.left() + kGap + tier * kIndent;
    a.disclosure = QRect(x, rect.top(), kArrow, rect.height());
    x += kArrow + 2;
    a.color =
        QRect(x, rect.top() + (std::min(rect.height(), kRowHeight) - kMark) / 2, kMark, kMark);
    x += kMark + kGap + 2;
    int right = rect.right() - kGap;
    a.timer = QRect(right - kTimerWidth + 1, rect.top(), kTimerWidth, rect.height());
    right -= kTimerWidth + kGap;
    a.totalEver = QRect(right - kTotalWidth + 1, rect.top(), kTotalWidth, rect.height());
    right -= kTotalWidth;
    a.periodTotal = QRect(right - kTotalWidth + 1, rect.top(), kTotalWidth, rect.height());
    right -= kTotalWidth + kGap;
    a.name = QRect(x, rect.top(), std::max(0, right - x + 1), rect.height());
    return a;
}

void TaskRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem base = option;
    initStyleOption(&base, index);
    base.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &base, painter, widget);

    const int tier = index.data(TaskListItemModel::TierRole).toInt();
    const bool running = index.data(TaskListItemModel::RunningRole).toBool();
    const bool leaf = index.data(TaskListItemModel::LeafRole).toBool();
    const auto disclosure = static_cast<MenuBarTaskRow::Disclosure>(
        index.data(TaskListItemModel::DisclosureRole).toInt());
    const Areas a = areas(option.rect, tier);
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorRole textRole = selected ? QPalette::HighlightedText : QPalette::Text;

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(option.palette.color(textRole));
    const int lineHeight = std::min(option.rect.height(), kRowHeight);
    const QRect firstLine(0, option.rect.top(), 0, lineHeight);
    auto onFirstLine = [&](QRect r) {
        r.setTop(firstLine.top());
        r.setHeight(lineHeight);
        return r;
    };
    if (disclosure != MenuBarTaskRow::Disclosure::none)
        painter->drawText(onFirstLine(a.disclosure), Qt::AlignCenter,
                          disclosure == MenuBarTaskRow::Disclosure::expanded ? QStringLiteral("▾")
                                                                             : QStringLiteral("▸"));
    painter->setBrush(index.data(TaskListItemModel::ColorRole).value<QColor>());
    painter->setPen(Qt::NoPen);
    painter->drawEllipse(a.color);

    painter->setPen(option.palette.color(textRole));
    QFont font = option.font;
    font.setBold(running);
    painter->setFont(font);
    const QFontMetrics metrics(font);
    const QString name =
        metrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, a.name.width());
    painter->drawText(onFirstLine(a.name), Qt::AlignVCenter | Qt::AlignLeft, name);

    const QString description = index.data(TaskListItemModel::DescriptionRole).toString();
    if (showDescriptions_ && !description.isEmpty()) {
        QFont small = option.font;
        small.setPointSizeF(small.pointSizeF() * 0.85);
        painter->setFont(small);
        painter->setPen(
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
        QRect below = a.name;
        below.setTop(option.rect.top() + lineHeight);
        painter->drawText(
            below, Qt::AlignTop | Qt::AlignLeft,
            QFontMetrics(small).elidedText(description.section(QLatin1Char('\n'), 0, 0),
                                           Qt::ElideRight, below.width()));
        painter->setFont(font);
        painter->setPen(option.palette.color(textRole));
    }
    painter->drawText(onFirstLine(a.periodTotal), Qt::AlignVCenter | Qt::AlignRight,
                      index.data(TaskListItemModel::PeriodTotalRole).toString());
    painter->drawText(onFirstLine(a.totalEver), Qt::AlignVCenter | Qt::AlignRight,
                      index.data(TaskListItemModel::TotalEverRole).toString());
    if (leaf)
        painter->drawText(onFirstLine(a.timer), Qt::AlignCenter,
                          running ? QStringLiteral("■") : QStringLiteral("▶"));
    else if (running)
        painter->drawText(onFirstLine(a.timer), Qt::AlignCenter, QStringLiteral("•"));
    painter->restore();
}

QSize TaskRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const int line = std::max(kRowHeight, option.fontMetrics.height() + 6);
    const bool twoLines =
        showDescriptions_ && !index.data(TaskListItemModel::DescriptionRole).toString().isEmpty();
    return {option.rect.width() > 0 ? option.rect.width() : 400,
            twoLines ? line + option.fontMetrics.height() + 2 : line};
}

QWidget* TaskRowDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    emit editingStarted();
    return editor;
}

void TaskRowDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const {
    QRect r = areas(option.rect, index.data(TaskListItemModel::TierRole).toInt()).name;
    r.setHeight(std::min(option.rect.height(), kRowHeight));
    editor->setGeometry(r);
}

}  // namespace ravelong
