#include "ui/ScriptingAdaptor.h"

#include <QDBusError>
#include <QDBusMessage>
#include <cmath>
#include <optional>

#include "core/calendar/ZRCalendar.h"
#include "foundation/Log.h"
#include "scripting/IsoDates.h"
#include "scripting/ScriptTexts.h"
#include "scripting/ZRScriptApplication.h"

namespace ravelong {

namespace {

constexpr const char* kParameterErrorName = "io.github.ravelong.Ravelong.Error.Parameter";

// The range of instants a date argument may name: years 1 to 9999, roughly.
constexpr double kEarliestInstant = -63082281600.0;
constexpr double kLatestInstant = 252423993599.0;

enum class Kind { text, identifier, date, flag };

struct Key {
    const char* name;
    Kind kind;
};

QString describe(Kind kind) {
    switch (kind) {
        case Kind::text:
            return QStringLiteral("a text (s)");
        case Kind::identifier:
            return QStringLiteral("an identifier text (s)");
        case Kind::date:
            return QStringLiteral(
                "an ISO 8601 text with offset (s) or an instant in seconds since "
                "2001-01-01 00:00:00 UTC (d)");
        case Kind::flag:
            return QStringLiteral("a boolean (b)");
    }
    return {};
}

// Why an identifier is unusable, or nothing when it is fine.
std::optional<QString> identifierProblem(const QString& id) {
    if (id.size() > ScriptingAdaptor::kMaxIdentifierLength)
        return QStringLiteral("is longer than %1 characters")
            .arg(ScriptingAdaptor::kMaxIdentifierLength);
    for (const QChar c : id) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return QStringLiteral("contains spaces or control characters");
    }
    return std::nullopt;
}

// Checks and converts the arguments of one call; fills `error` and returns nothing when one
// is of the wrong kind, unknown, too long or not a date.
std::optional<ScriptArguments> convert(const QVariantMap& arguments,
                                       std::initializer_list<Key> keys, QString& error) {
    ScriptArguments converted;
    for (auto it = arguments.cbegin(); it != arguments.cend(); ++it) {
        const Key* key = nullptr;
        for (const Key& candidate : keys) {
            if (it.key() == QLatin1String(candidate.name))
                key = &candidate;
        }
        if (!key) {
            QStringList allowed;
            for (const Key& candidate : keys)
                allowed << QLatin1String(candidate.name);
            error = QStringLiteral("Unknown argument \"%1\"; this command takes %2.")
                        .arg(it.key(), allowed.join(QStringLiteral(", ")));
            return std::nullopt;
        }
        const QVariant& value = it.value();
        const int type = value.metaType().id();
        const QString wrongKind =
            QStringLiteral("Argument \"%1\" must be %2.").arg(it.key(), describe(key->kind));
        switch (key->kind) {
            case Kind::text:
            case Kind::identifier: {
                if (type != QMetaType::QString) {
                    error = wrongKind;
                    return std::nullopt;
                }
                const QString text = value.toString();
                if (key->kind == Kind::identifier) {
                    if (const auto problem = identifierProblem(text)) {
                        error = QStringLiteral("Argument \"%1\" %2.").arg(it.key(), *problem);
                        return std::nullopt;
                    }
                } else if (text.size() > ScriptingAdaptor::kMaxTextLength) {
                    error = QStringLiteral("Argument \"%1\" is longer than %2 characters.")
                                .arg(it.key())
                                .arg(ScriptingAdaptor::kMaxTextLength);
                    return std::nullopt;
                }
                converted[it.key().toStdString()] = text.toStdString();
                break;
            }
            case Kind::date: {
                std::optional<Instant> instant;
                if (type == QMetaType::QString) {
                    instant = iso_dates::parse(value.toString().toStdString());
                    if (!instant) {
                        error = QStringLiteral(
                                    "Argument \"%1\" is not an ISO 8601 date with offset, such as "
                                    "2024-03-12T09:30:00+01:00: \"%2\".")
                                    .arg(it.key(), value.toString().left(64));
                        return std::nullopt;
                    }
                } else if (type == QMetaType::Double) {
                    instant = value.toDouble();
                } else {
                    error = wrongKind;
                    return std::nullopt;
                }
                if (!std::isfinite(*instant) || *instant < kEarliestInstant ||
                    *instant > kLatestInstant) {
                    error = QStringLiteral("Argument \"%1\" lies outside the years 1 to 9999.")
                                .arg(it.key());
                    return std::nullopt;
                }
                converted[it.key().toStdString()] = ScriptDate{*instant};
                break;
            }
            case Kind::flag:
                if (type != QMetaType::Bool) {
                    error = wrongKind;
                    return std::nullopt;
                }
                converted[it.key().toStdString()] = value.toBool();
                break;
        }
    }
    return converted;
}

QStringList toStringList(const std::vector<std::string>& values) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(values.size()));
    for (const std::string& value : values)
        list << QString::fromStdString(value);
    return list;
}

QVariantMap taskMap(const ZRScriptTask& task) {
    return QVariantMap{
        {QStringLiteral("uniqueID"), QString::fromStdString(task.uniqueID())},
        {QStringLiteral("name"), QString::fromStdString(task.name())},
        {QStringLiteral("parentTaskID"), QString::fromStdString(task.parentTaskID())}};
}

QVariantMap timingMap(const ZRScriptTiming& timing) {
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    QVariantMap map{
        {QStringLiteral("uniqueID"), QString::fromStdString(timing.uniqueID())},
        {QStringLiteral("relatedTaskID"), QString::fromStdString(timing.relatedTaskID())},
        {QStringLiteral("running"), timing.running()},
        {QStringLiteral("durationInSeconds"), timing.durationInSeconds()},
        {QStringLiteral("durationIncludingRounding"), timing.durationIncludingRounding()},
    };
    const auto start = timing.startDate();
    map[QStringLiteral("startDate")] =
        start ? QString::fromStdString(iso_dates::format(*start, calendar)) : QString();
    map[QStringLiteral("startInstant")] = start.value_or(0.0);
    // A running timing's end is the running marker: no text, the marker as the instant.
    const auto end = timing.endDate();
    map[QStringLiteral("endDate")] = end && !timing.running()
                                         ? QString::fromStdString(iso_dates::format(*end, calendar))
                                         : QString();
    map[QStringLiteral("endInstant")] = end.value_or(0.0);
    return map;
}

}  // namespace

ScriptingAdaptor::ScriptingAdaptor(ZRScriptApplication& application, QObject* parent)
    : QObject(parent), application_(application), connection_(QString()) {}

ScriptingAdaptor::~ScriptingAdaptor() {
    if (exported_) {
        connection_.unregisterService(QLatin1String(kServiceName));
        connection_.unregisterObject(QLatin1String(kObjectPath));
    }
}

bool ScriptingAdaptor::exportOn(QDBusConnection connection) {
    connection_ = connection;
    if (!connection_.isConnected()) {
        logWarning("scripting", "no session bus; the scripting interface is not offered");
        return false;
    }
    if (!connection_.registerObject(
            QLatin1String(kObjectPath), this,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties)) {
        logWarning("scripting", "the scripting object could not be exported");
        return false;
    }
    if (!connection_.registerService(QLatin1String(kServiceName))) {
        logWarning("scripting", "the name io.github.ravelong.Ravelong is taken: " +
                                    connection_.lastError().message().toStdString());
        connection_.unregisterObject(QLatin1String(kObjectPath));
        return false;
    }
    exported_ = true;
    return true;
}

QStringList ScriptingAdaptor::tasks() const {
    QStringList ids;
    for (const ZRScriptTask& task : application_.tasks())
        ids << QString::fromStdString(task.uniqueID());
    return ids;
}

QStringList ScriptingAdaptor::runningTaskIDs() const {
    return toStringList(application_.runningTaskIDs());
}

QVariantMap ScriptingAdaptor::previousTask() const {
    return application_.previousTask() ? taskMap(*application_.previousTask()) : QVariantMap();
}

QVariantMap ScriptingAdaptor::previousTiming() const {
    return application_.previousTiming() ? timingMap(*application_.previousTiming())
                                         : QVariantMap();
}

QStringList ScriptingAdaptor::previousTaskIDs() const {
    return toStringList(application_.previousTaskIDs());
}

QStringList ScriptingAdaptor::previousTimingIDs() const {
    return toStringList(application_.previousTimingIDs());
}

bool ScriptingAdaptor::userScriptFound() const {
    return application_.userScriptFound();
}

void ScriptingAdaptor::replyScriptError() {
    // A command sent without arguments answers with a D-Bus error carrying the script error's
    // number and text.
    if (calledFromDBus() && application_.scriptError().number != 0)
        sendErrorReply(QLatin1String(kParameterErrorName),
                       QStringLiteral("(%1) %2")
                           .arg(application_.scriptError().number)
                           .arg(QString::fromStdString(application_.scriptError().text)));
}

namespace {

// The arguments of a command, or nothing when they are empty (a command sent without any).
std::optional<ScriptArguments> orNone(std::optional<ScriptArguments> arguments) {
    if (arguments && arguments->empty())
        return std::nullopt;
    return arguments;
}

std::optional<ScriptArguments> direct(const QString& value) {
    if (value.isEmpty())
        return std::nullopt;
    return ScriptArguments{{kDirectParameter, value.toStdString()}};
}

}  // namespace

bool ScriptingAdaptor::CreateTask(const QVariantMap& arguments, QVariantMap& task) {
    QString error;
    const auto converted = convert(arguments,
                                   {{kArgName, Kind::text},
                                    {kArgParentTaskID, Kind::identifier},
                                    {kArgDescription, Kind::text}},
                                   error);
    if (!converted) {
        sendErrorReply(QDBusError::InvalidArgs, error);
        return false;
    }
    const bool created = application_.createTask(orNone(converted));
    replyScriptError();
    task = created && application_.previousTask() ? taskMap(*application_.previousTask())
                                                  : QVariantMap();
    return created;
}

bool ScriptingAdaptor::CreateTiming(const QVariantMap& arguments, QVariantMap& timing) {
    QString error;
    const auto converted = convert(arguments,
                                   {{kArgTaskID, Kind::identifier},
                                    {kArgStartDate, Kind::date},
                                    {kArgEndDate, Kind::date},
                                    {kArgNote, Kind::text}},
                                   error);
    if (!converted) {
        sendErrorReply(QDBusError::InvalidArgs, error);
        return false;
    }
    const bool created = application_.createTiming(orNone(converted));
    replyScriptError();
    timing =
        application_.previousTiming() ? timingMap(*application_.previousTiming()) : QVariantMap();
    return created;
}

bool ScriptingAdaptor::ToggleTask(const QString& taskID) {
    if (const auto problem = identifierProblem(taskID)) {
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("The task identifier %1.").arg(*problem));
        return false;
    }
    const bool toggled = application_.toggleTask(direct(taskID));
    replyScriptError();
    return toggled;
}

bool ScriptingAdaptor::GetTaskIDs(const QVariantMap& arguments, QStringList& taskIDs) {
    QString error;
    const auto converted =
        convert(arguments, {{kArgName, Kind::text}, {kArgIncludeArchived, Kind::flag}}, error);
    if (!converted) {
        sendErrorReply(QDBusError::InvalidArgs, error);
        return false;
    }
    const bool listed = application_.getTaskIDs(converted);
    taskIDs = toStringList(application_.previousTaskIDs());
    return listed;
}

bool ScriptingAdaptor::GetTaskWithID(const QString& taskID, QVariantMap& task) {
    if (const auto problem = identifierProblem(taskID)) {
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("The task identifier %1.").arg(*problem));
        return false;
    }
    const bool found = application_.getTaskWithID(direct(taskID));
    replyScriptError();
    task = application_.previousTask() ? taskMap(*application_.previousTask()) : QVariantMap();
    return found;
}

bool ScriptingAdaptor::GetTimingIDs(const QVariantMap& arguments, QStringList& timingIDs) {
    QString error;
    const auto converted = convert(arguments,
                                   {{kArgTaskID, Kind::identifier},
                                    {kArgStartDate, Kind::date},
                                    {kArgEndDate, Kind::date},
                                    {kArgIncludeArchived, Kind::flag}},
                                   error);
    if (!converted) {
        sendErrorReply(QDBusError::InvalidArgs, error);
        return false;
    }
    const bool listed = application_.getTimingIDs(converted);
    timingIDs = toStringList(application_.previousTimingIDs());
    return listed;
}

bool ScriptingAdaptor::GetTimingWithID(const QString& timingID, QVariantMap& timing) {
    if (const auto problem = identifierProblem(timingID)) {
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("The timing identifier %1.").arg(*problem));
        return false;
    }
    const bool found = application_.getTimingWithID(direct(timingID));
    replyScriptError();
    timing =
        application_.previousTiming() ? timingMap(*application_.previousTiming()) : QVariantMap();
    return found;
}

QVariantMap ScriptingAdaptor::NewTask() {
    return taskMap(application_.makeNewTask());
}

bool ScriptingAdaptor::SetTaskName(const QString& taskID, const QString& name) {
    if (name.size() > kMaxTextLength) {
        sendErrorReply(
            QDBusError::InvalidArgs,
            QStringLiteral("The name is longer than %1 characters.").arg(kMaxTextLength));
        return false;
    }
    auto task =
        identifierProblem(taskID) ? std::nullopt : application_.taskWithID(taskID.toStdString());
    if (!task) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("No task has the identifier \"%1\".")
                                                    .arg(taskID.left(kMaxIdentifierLength)));
        return false;
    }
    return task->setName(name.toStdString());
}

bool ScriptingAdaptor::SetTaskParentID(const QString& taskID, const QString& parentTaskID) {
    auto task =
        identifierProblem(taskID) ? std::nullopt : application_.taskWithID(taskID.toStdString());
    if (!task) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("No task has the identifier \"%1\".")
                                                    .arg(taskID.left(kMaxIdentifierLength)));
        return false;
    }
    if (const auto problem = identifierProblem(parentTaskID)) {
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("The parent task identifier %1.").arg(*problem));
        return false;
    }
    return task->setParentTaskID(parentTaskID.toStdString());
}

bool ScriptingAdaptor::SetTimingNote(const QString& timingID, const QString& note) {
    auto timing = identifierProblem(timingID) ? std::nullopt
                                              : application_.timingWithID(timingID.toStdString());
    if (!timing) {
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("No timing has the identifier \"%1\".")
                           .arg(timingID.left(kMaxIdentifierLength)));
        return false;
    }
    // The note's limits are the script timing's own, so that every way in keeps the same.
    const Status saved = timing->setNote(note.toStdString());
    if (!saved) {
        sendErrorReply(saved.error().code == 2 ? QDBusError::InvalidArgs : QDBusError::Failed,
                       QString::fromStdString(saved.error().description));
        return false;
    }
    return true;
}

}  // namespace ravelong
