#include "ui/TimedEntriesTableModel.h"

#include <QDateTime>
#include <QLocale>

#include "core/durations/DateDurationStrings.h"
#include "foundation/Instant.h"
#include "menubar/TimedEntriesList.h"
#include "menubar/TimedEntryEditor.h"
#include "ui/QtText.h"

namespace ravelong {

namespace {

QDateTime localTime(Instant instant) {
    return QDateTime::fromMSecsSinceEpoch(
        static_cast<qint64>(unixTimeFromInstant(instant) * 1000.0));
}

Instant instantOf(const QDateTime& time) {
    return instantFromUnixTime(static_cast<double>(time.toMSecsSinceEpoch()) / 1000.0);
}

QString dayText(ZRYearMonthDay day) {
    const QDate date(static_cast<int>(day / 10000), static_cast<int>(day / 100 % 100),
                     static_cast<int>(day % 100));
    return QLocale().toString(date, QLocale::ShortFormat);
}

// A time typed into a start or end cell: a whole date and time, or a time of day on the day the
// cell showed.
std::optional<QDateTime> readTime(const QString& text, const QDateTime& shown) {
    const QString trimmed = text.trimmed();
    const QLocale locale;
    for (const QString& format :
         {locale.dateTimeFormat(QLocale::ShortFormat), QStringLiteral("yyyy-MM-dd HH:mm:ss"),
          QStringLiteral("yyyy-MM-dd HH:mm")}) {
        const QDateTime parsed = locale.toDateTime(trimmed, format);
        if (parsed.isValid())
            return parsed;
    }
    for (const QString& format : {locale.timeFormat(QLocale::ShortFormat),
                                  QStringLiteral("HH:mm:ss"), QStringLiteral("H:mm")}) {
        const QTime time = locale.toTime(trimmed, format);
        if (time.isValid())
            return QDateTime(shown.date(), time);
    }
    return std::nullopt;
}

}  // namespace

TimedEntriesTableModel::TimedEntriesTableModel(TimedEntriesList& list, TimedEntryEditor& editor,
                                               QObject* parent)
    : QAbstractTableModel(parent), list_(list), editor_(editor) {}

void TimedEntriesTableModel::listChanged() {
    beginResetModel();
    endResetModel();
}

int TimedEntriesTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_.rowCount());
}

int TimedEntriesTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant TimedEntriesTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const auto values = list_.valuesOfRow(static_cast<std::size_t>(index.row()));
    if (!values)
        return {};
    const QLocale locale;
    switch (index.column()) {
        case kDate:
            return dayText(values->day);
        case kStart:
            return locale.toString(localTime(values->start).time(), QLocale::ShortFormat);
        case kEnd:
            return values->running
                       ? QString()
                       : locale.toString(localTime(values->end).time(), QLocale::ShortFormat);
        case kDuration:
            return qt(date_additions::getStringOfDuration_hhmmss(
                role == Qt::EditRole ? values->duration : values->shownDuration));
        case kTask:
            return shownTaskPath(values->taskName);
        case kNote:
            return qt(values->note);
        default:
            return {};
    }
}

QVariant TimedEntriesTableModel::headerData(int section, Qt::Orientation orientation,
                                            int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
        case kDate:
            return tr("Date");
        case kStart:
            return tr("Start");
        case kEnd:
            return tr("End");
        case kDuration:
            return tr("Duration");
        case kTask:
            return tr("Task");
        case kNote:
            return tr("Note");
        default:
            return {};
    }
}

Qt::ItemFlags TimedEntriesTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (!index.isValid() || list_.compact())
        return result;
    const int column = index.column();
    if (column == kStart || column == kEnd || column == kDuration || column == kNote)
        result |= Qt::ItemIsEditable;
    return result;
}

bool TimedEntriesTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    const auto row = static_cast<std::size_t>(index.row());
    ZRCDTiming* timing = list_.timingAtRow(row);
    const auto values = list_.valuesOfRow(row);
    if (!timing || !values) {
        emit editRefused(tr("Only single timings can be edited; switch off the compact list."));
        return false;
    }
    const QString text = value.toString();
    Status status;
    switch (index.column()) {
        case kStart:
        case kEnd: {
            const bool start = index.column() == kStart;
            const QDateTime shown = localTime(start ? values->start : values->end);
            const auto time = readTime(text, shown);
            if (!time) {
                emit editRefused(tr("\"%1\" is not a time.").arg(text));
                return false;
            }
            status = start ? editor_.setStart(timing, instantOf(*time))
                           : editor_.setEnd(timing, instantOf(*time));
            break;
        }
        case kDuration:
            status = editor_.setDurationText(timing, text.toStdString());
            break;
        case kNote:
            status = editor_.setNote(timing, text.toStdString());
            break;
        default:
            return false;
    }
    if (!status.ok()) {
        emit editRefused(qt(status.error().description));
        return false;
    }
    // The list refills on the save path's notifications; the cell is redrawn meanwhile.
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), kColumnCount - 1));
    return true;
}

}  // namespace ravelong
