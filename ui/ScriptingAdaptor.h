#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include "scripting/ScriptTexts.h"

namespace ravelong {

class ZRScriptApplication;

// The scripting interface on the session bus: service "io.github.ravelong.Ravelong", object
// "/io/github/ravelong/Ravelong", interface "io.github.ravelong.Ravelong" (documented in
// data/dbus/io.github.ravelong.Ravelong.xml).
//
// Each command keeps the script command's meaning and also returns its findings, so that a
// caller never has to read the Previous... properties that another caller may have replaced.
// Date arguments take an ISO 8601 text with an offset ("2024-03-12T09:30:00+01:00") or an
// instant (a double, seconds since 2001-01-01 00:00:00 UTC); dates returned come as both, in
// "startDate" (text, the user's zone) and "startInstant" (double). Every argument is checked
// (kind, length, uuid text, date) and a bad call gets a D-Bus error naming the argument; nothing
// changes then. Main thread only; the script application outlives the adaptor.
class ScriptingAdaptor final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.ravelong.Ravelong")
    Q_PROPERTY(QStringList Tasks READ tasks)
    Q_PROPERTY(QStringList RunningTaskIDs READ runningTaskIDs)
    Q_PROPERTY(QVariantMap PreviousTask READ previousTask)
    Q_PROPERTY(QVariantMap PreviousTiming READ previousTiming)
    Q_PROPERTY(QStringList PreviousTaskIDs READ previousTaskIDs)
    Q_PROPERTY(QStringList PreviousTimingIDs READ previousTimingIDs)
    Q_PROPERTY(bool UserScriptFound READ userScriptFound)

public:
    static constexpr const char* kServiceName = "io.github.ravelong.Ravelong";
    static constexpr const char* kObjectPath = "/io/github/ravelong/Ravelong";
    // The longest text an argument may have (names, notes, descriptions), in characters.
    static constexpr int kMaxTextLength = 65536;
    // The longest identifier, in characters.
    static constexpr int kMaxIdentifierLength = kMaxScriptIdentifierLength;

    explicit ScriptingAdaptor(ZRScriptApplication& application, QObject* parent = nullptr);
    ~ScriptingAdaptor() override;

    // Exports the object and claims the service name on the connection; false (logged) when
    // the name is taken or there is no bus.
    bool exportOn(QDBusConnection connection);

    QStringList tasks() const;
    QStringList runningTaskIDs() const;
    QVariantMap previousTask() const;
    QVariantMap previousTiming() const;
    QStringList previousTaskIDs() const;
    QStringList previousTimingIDs() const;
    bool userScriptFound() const;

public slots:
    // "name", "parentTaskID", "description" (texts).
    bool CreateTask(const QVariantMap& arguments, QVariantMap& task);
    // "taskID" (text), "startDate", "endDate" (dates), "note" (text).
    bool CreateTiming(const QVariantMap& arguments, QVariantMap& timing);
    bool ToggleTask(const QString& taskID);
    // "name" (text), "includeArchived" (boolean).
    bool GetTaskIDs(const QVariantMap& arguments, QStringList& taskIDs);
    bool GetTaskWithID(const QString& taskID, QVariantMap& task);
    // "taskID" (text), "startDate", "endDate" (dates), "includeArchived" (boolean).
    bool GetTimingIDs(const QVariantMap& arguments, QStringList& timingIDs);
    bool GetTimingWithID(const QString& timingID, QVariantMap& timing);
    // A new task "Untitled Task" (a script's plain creation); returns its properties.
    QVariantMap NewTask();
    // Writes the script task's properties; true when the task changed.
    bool SetTaskName(const QString& taskID, const QString& name);
    bool SetTaskParentID(const QString& taskID, const QString& parentTaskID);
    // Replaces a timing's note (an empty text removes it); true when saved.
    bool SetTimingNote(const QString& timingID, const QString& note);

private:
    void replyScriptError();

    ZRScriptApplication& application_;
    QDBusConnection connection_;
    bool exported_ = false;
};

}  // namespace ravelong
