#include "cli/RavelongBus.h"

#ifdef RAVELONG_CLI_DBUS
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <memory>
#endif

namespace ravelong::cli {

namespace {

constexpr const char* kService = "io.github.ravelong.Ravelong";
constexpr const char* kPath = "/io/github/ravelong/Ravelong";
constexpr const char* kInterface = "io.github.ravelong.Ravelong";
// A call that takes longer means the program hangs (or waits on an open dialog).
constexpr int kCallTimeoutMs = 10000;

Error busError(const std::string& message) {
    return Error{"ravelong-cli", 1, "Ravelong did not carry out the request:", message};
}

}  // namespace

#ifdef RAVELONG_CLI_DBUS

namespace {

QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "ravelong-cli";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

QVariantMap toQt(const RavelongBus::Map& map) {
    QVariantMap converted;
    for (const auto& [key, value] : map) {
        QVariant v;
        if (const auto* s = std::get_if<std::string>(&value))
            v = QString::fromStdString(*s);
        else if (const auto* b = std::get_if<bool>(&value))
            v = *b;
        else
            v = std::get<double>(value);
        converted.insert(QString::fromStdString(key), v);
    }
    return converted;
}

RavelongBus::Map fromQt(const QVariant& variant) {
    QVariantMap qmap;
    if (variant.canConvert<QDBusArgument>())
        variant.value<QDBusArgument>() >> qmap;
    else
        qmap = variant.toMap();
    RavelongBus::Map map;
    for (auto it = qmap.cbegin(); it != qmap.cend(); ++it) {
        QVariant value = it.value();
        if (value.canConvert<QDBusVariant>())
            value = value.value<QDBusVariant>().variant();
        const int type = value.metaType().id();
        if (type == QMetaType::Bool)
            map[it.key().toStdString()] = value.toBool();
        else if (type == QMetaType::Double)
            map[it.key().toStdString()] = value.toDouble();
        else
            map[it.key().toStdString()] = value.toString().toStdString();
    }
    return map;
}

std::vector<std::string> toStrings(const QVariant& variant) {
    std::vector<std::string> list;
    for (const QString& s : variant.toStringList())
        list.push_back(s.toStdString());
    return list;
}

Result<QList<QVariant>> callMethod(const char* method, const QList<QVariant>& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call.setArguments(arguments);
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return busError(reply.errorMessage().toStdString());
    return reply.arguments();
}

}  // namespace

RavelongBus::RavelongBus() {
    application();
    QDBusConnection bus = QDBusConnection::sessionBus();
    running_ = bus.isConnected() && bus.interface() &&
               bus.interface()->isServiceRegistered(QString::fromLatin1(kService)).value();
}

RavelongBus::~RavelongBus() = default;

Result<bool> RavelongBus::toggleTask(const std::string& taskID) {
    auto reply = callMethod("ToggleTask", {QString::fromStdString(taskID)});
    if (!reply)
        return reply.error();
    return reply.value().value(0).toBool();
}

Result<bool> RavelongBus::setTimingNote(const std::string& timingID, const std::string& note) {
    auto reply = callMethod("SetTimingNote",
                            {QString::fromStdString(timingID), QString::fromStdString(note)});
    if (!reply)
        return reply.error();
    return reply.value().value(0).toBool();
}

Result<std::vector<std::string>> RavelongBus::getTaskIDs(const Map& arguments) {
    auto reply = callMethod("GetTaskIDs", {toQt(arguments)});
    if (!reply)
        return reply.error();
    return toStrings(reply.value().value(1));
}

Result<std::optional<RavelongBus::Map>> RavelongBus::getTaskWithID(const std::string& taskID) {
    auto reply = callMethod("GetTaskWithID", {QString::fromStdString(taskID)});
    if (!reply)
        return reply.error();
    if (!reply.value().value(0).toBool())
        return std::optional<Map>();
    return std::optional<Map>(fromQt(reply.value().value(1)));
}

Result<std::vector<std::string>> RavelongBus::getTimingIDs(const Map& arguments) {
    auto reply = callMethod("GetTimingIDs", {toQt(arguments)});
    if (!reply)
        return reply.error();
    return toStrings(reply.value().value(1));
}

Result<std::optional<RavelongBus::Map>> RavelongBus::getTimingWithID(const std::string& timingID) {
    auto reply = callMethod("GetTimingWithID", {QString::fromStdString(timingID)});
    if (!reply)
        return reply.error();
    if (!reply.value().value(0).toBool())
        return std::optional<Map>();
    return std::optional<Map>(fromQt(reply.value().value(1)));
}

Result<std::optional<RavelongBus::Map>> RavelongBus::createTiming(const Map& arguments) {
    auto reply = callMethod("CreateTiming", {toQt(arguments)});
    if (!reply)
        return reply.error();
    if (!reply.value().value(0).toBool())
        return std::optional<Map>();
    return std::optional<Map>(fromQt(reply.value().value(1)));
}

Result<std::vector<std::string>> RavelongBus::runningTaskIDs() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << QString::fromLatin1(kInterface) << QStringLiteral("RunningTaskIDs");
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return busError(reply.errorMessage().toStdString());
    return toStrings(reply.arguments().value(0).value<QDBusVariant>().variant());
}

#else

// Built without Qt's D-Bus module: the program is never reached, so commands work on the store.
RavelongBus::RavelongBus() = default;
RavelongBus::~RavelongBus() = default;
Result<bool> RavelongBus::toggleTask(const std::string&) {
    return busError("no D-Bus support");
}
Result<bool> RavelongBus::setTimingNote(const std::string&, const std::string&) {
    return busError("no D-Bus support");
}
Result<std::vector<std::string>> RavelongBus::getTaskIDs(const Map&) {
    return busError("no D-Bus support");
}
Result<std::optional<RavelongBus::Map>> RavelongBus::getTaskWithID(const std::string&) {
    return busError("no D-Bus support");
}
Result<std::vector<std::string>> RavelongBus::getTimingIDs(const Map&) {
    return busError("no D-Bus support");
}
Result<std::optional<RavelongBus::Map>> RavelongBus::getTimingWithID(const std::string&) {
    return busError("no D-Bus support");
}
Result<std::optional<RavelongBus::Map>> RavelongBus::createTiming(const Map&) {
    return busError("no D-Bus support");
}
Result<std::vector<std::string>> RavelongBus::runningTaskIDs() {
    return busError("no D-Bus support");
}

#endif

std::string text(const RavelongBus::Map& map, const std::string& key) {
    const auto found = map.find(key);
    if (found == map.end())
        return {};
    if (const auto* s = std::get_if<std::string>(&found->second))
        return *s;
    return {};
}

double number(const RavelongBus::Map& map, const std::string& key) {
    const auto found = map.find(key);
    if (found == map.end())
        return 0.0;
    if (const auto* d = std::get_if<double>(&found->second))
        return *d;
    return 0.0;
}

}  // namespace ravelong::cli
