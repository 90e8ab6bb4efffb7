#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include "PrivateBus.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "tests/scripting/ScriptTestWorld.h"
#include "ui/ScriptingAdaptor.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

using ::testing::HasSubstr;
using ui_testing::runUntil;

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class ScriptingAdaptorTest : public scripting_testing::ScriptWorld {
protected:
    ScriptingAdaptorTest() {
        connection =
            std::make_unique<QDBusConnection>(bus.connect(QStringLiteral("scripting-test")));
        adaptor = std::make_unique<ScriptingAdaptor>(app);
        exported = adaptor->exportOn(*connection);
    }
    ~ScriptingAdaptorTest() override { adaptor.reset(); }

    // Runs a real client while this process serves the bus.
    ToolRun tool(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        ToolRun run;
        if (!process.waitForStarted(5000))
            return run;
        runUntil([&] { return process.state() == QProcess::NotRunning; }, 10000);
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = process.readAllStandardOutput().toStdString();
        run.err = process.readAllStandardError().toStdString();
        return run;
    }
    // A method of the program's interface, or any method named in full.
    ToolRun call(const QString& method, const QStringList& arguments = {}) {
        const QString full = method.contains(QLatin1Char('.'))
                                 ? method
                                 : QStringLiteral("io.github.ravelong.Ravelong.") + method;
        return tool(
            QStringLiteral("gdbus"),
            QStringList{QStringLiteral("call"), QStringLiteral("--address"), bus.address(),
                        QStringLiteral("--dest"), QLatin1String(ScriptingAdaptor::kServiceName),
                        QStringLiteral("--object-path"),
                        QLatin1String(ScriptingAdaptor::kObjectPath), QStringLiteral("--method"),
                        full} +
                arguments);
    }
    ToolRun get(const QString& name) {
        return call(QStringLiteral("org.freedesktop.DBus.Properties.Get"),
                    {QStringLiteral("io.github.ravelong.Ravelong"), name});
    }

    ui_testing::PrivateBus bus;
    std::unique_ptr<QDBusConnection> connection;
    std::unique_ptr<ScriptingAdaptor> adaptor;
    bool exported = false;
};

TEST_F(ScriptingAdaptorTest, GdbusTogglesATaskAndReadsTheRunningTasks) {
    ASSERT_FALSE(bus.address().isEmpty());
    ASSERT_TRUE(exported);
    tree("A B");
    const QString a = QString::fromStdString(uuid("A"));
    ToolRun run = call(QStringLiteral("ToggleTask"), {a});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "(true,)\n");
    EXPECT_EQ(ZRCDTask::getTasksThatHaveRunningTimings_inContext(*context).front(), tasks["A"]);
    run = get(QStringLiteral("RunningTaskIDs"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "(<['" + uuid("A") + "']>,)\n");
    // An unknown task is a plain false, not an error.
    run = call(QStringLiteral("ToggleTask"), {QStringLiteral("no-such-task")});
    EXPECT_EQ(run.out, "(false,)\n");
}

TEST_F(ScriptingAdaptorTest, CreateTimingTakesIsoTextsAndInstantsAndReturnsTheTiming) {
    ASSERT_TRUE(exported);
    tree("A");
    const std::string a = uuid("A");
    ToolRun run =
        call(QStringLiteral("CreateTiming"),
             {QString::fromStdString("{'taskID': <'" + a +
                                     "'>, 'startDate': <'2024-03-12T09:00:00+01:00'>, "
                                     "'endDate': <'2024-03-12T08:30:00Z'>, 'note': <'x'>}")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("(true, {"));
    EXPECT_THAT(run.out, HasSubstr("'startDate': <'2024-03-12T09:00:00+01:00'>"));
    EXPECT_THAT(run.out, HasSubstr("'endDate': <'2024-03-12T09:30:00+01:00'>"));
    EXPECT_THAT(run.out, HasSubstr("'durationInSeconds': <1800.0>"));
    EXPECT_THAT(run.out, HasSubstr("'relatedTaskID': <'" + a + "'>"));

    // The same as instants: 2024-03-12 10:00 and 10:10 in Berlin.
    const Instant start = stats_testing::berlinTime(2024, 3, 12, 10);
    run = call(
        QStringLiteral("CreateTiming"),
        {QString::fromStdString("{'taskID': <'" + a + "'>, 'startDate': <" + std::to_string(start) +
                                ">, 'endDate': <" + std::to_string(start + 600) + ">}")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("'startDate': <'2024-03-12T10:00:00+01:00'>"));
    EXPECT_EQ(tasks["A"]->timings().size(), 2u);

    // Too short: false, and no timing.
    run = call(QStringLiteral("CreateTiming"),
               {QString::fromStdString("{'taskID': <'" + a +
                                       "'>, 'startDate': <'2024-03-12T11:00:00+01:00'>, "
                                       "'endDate': <'2024-03-12T11:00:10+01:00'>}")});
    EXPECT_EQ(run.out, "(false, @a{sv} {})\n");
    EXPECT_EQ(tasks["A"]->timings().size(), 2u);
}

TEST_F(ScriptingAdaptorTest, SetTimingNoteSavesTheNoteAndRefusesUnknownTimings) {
    ASSERT_TRUE(exported);
    tree("A");
    ZRCDTiming* made = timing("A", stats_testing::berlinTime(2024, 3, 12, 9),
                              stats_testing::berlinTime(2024, 3, 12, 10), "old");
    settle();
    const QString id = QString::fromStdString(made->uuid().value());
    ToolRun run = call(QStringLiteral("SetTimingNote"), {id, QStringLiteral("Wrote the draft")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "(true,)\n");
    EXPECT_EQ(made->note(), "Wrote the draft");
    EXPECT_FALSE(context->hasChanges());

    run = call(QStringLiteral("SetTimingNote"), {QStringLiteral("no-such-timing"), "x"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_THAT(run.err, HasSubstr("No timing has the identifier \"no-such-timing\""));
    run = call(QStringLiteral("SetTimingNote"), {id, QString(70000, QLatin1Char('n'))});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_THAT(run.err, HasSubstr("longer than 65536 bytes"));
    EXPECT_EQ(made->note(), "Wrote the draft");

    // An empty text removes the note.
    run = call(QStringLiteral("SetTimingNote"), {id, QStringLiteral("")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(made->note().has_value());
}

TEST_F(ScriptingAdaptorTest, BadCallsGetAClearErrorAndChangeNothing) {
    ASSERT_TRUE(exported);
    tree("A");
    const std::string a = uuid("A");
    struct Case {
        QString method;
        QStringList arguments;
        std::string expected;
    };
    const std::vector<Case> cases{
        {"CreateTask", {"{'name': <3>}"}, "Argument \"name\" must be a text (s)"},
        {"CreateTask", {"{'colour': <'red'>}"}, "Unknown argument \"colour\""},
        {"CreateTask", {"{'parentTaskID': <'two words'>}"}, "contains spaces"},
        {"CreateTask", {"@a{sv} {}"}, "(-50) Parameter Error"},
        {"CreateTiming",
         {QString::fromStdString(
             "{'taskID': <'" + a +
             "'>, 'startDate': <'2024-03-12T09:00:00'>, 'endDate': <'2024-03-12T10:00:00Z'>}")},
         "is not an ISO 8601 date with offset"},
        {"CreateTiming",
         {QString::fromStdString(
             "{'taskID': <'" + a +
             "'>, 'startDate': <int32 5>, 'endDate': <'2024-03-12T10:00:00Z'>}")},
         "Argument \"startDate\" must be an ISO 8601 text"},
        {"CreateTiming",
         {QString::fromStdString("{'taskID': <'" + a +
                                 "'>, 'startDate': <1e300>, 'endDate': <'2024-03-12T10:00:00Z'>}")},
         "outside the years 1 to 9999"},
        {"GetTaskIDs", {"{'includeArchived': <'yes'>}"}, "must be a boolean (b)"},
        {"ToggleTask", {""}, "(-50) Parameter Error"},
        {"GetTimingWithID", {QString(300, QLatin1Char('x'))}, "longer than 256 characters"},
        {"SetTaskName", {"nope", "x"}, "No task has the identifier"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method.toStdString() + " " + c.arguments.join(' ').toStdString());
        const ToolRun run = call(c.method, c.arguments);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_THAT(run.err, HasSubstr(c.expected));
    }
    EXPECT_EQ(ZRCDTask::numberOfTasks_inContext(*context), 1u);
    EXPECT_EQ(ZRCDTiming::numberOfTimings_inContext(*context), 0u);
    EXPECT_EQ(tasks["A"]->taskName(), "A");
}

TEST_F(ScriptingAdaptorTest, TheInstalledDescriptionMatchesWhatTheObjectOffers) {
    ASSERT_TRUE(exported);
    QFile file(QStringLiteral(RAVELONG_SOURCE_DIR "/data/dbus/io.github.ravelong.Ravelong.xml"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString described = QString::fromUtf8(file.readAll());
    const ToolRun run =
        tool(QStringLiteral("busctl"),
             {QStringLiteral("--address=") + bus.address(), QStringLiteral("introspect"),
              QLatin1String(ScriptingAdaptor::kServiceName),
              QLatin1String(ScriptingAdaptor::kObjectPath),
              QStringLiteral("io.github.ravelong.Ravelong")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // busctl lists ".Name  method  in-signature  out-signature ...".
    QStringList offered;
    const QRegularExpression row(
        QStringLiteral("^\\.(\\w+)\\s+(method|property)\\s+(\\S+)\\s+(\\S+)"),
        QRegularExpression::MultilineOption);
    for (auto match = row.globalMatch(QString::fromStdString(run.out)); match.hasNext();) {
        const auto m = match.next();
        offered << m.captured(1);
    }
    QStringList documented;
    const QRegularExpression entry(QStringLiteral("<(method|property) name=\"(\\w+)\""));
    for (auto match = entry.globalMatch(described); match.hasNext();)
        documented << match.next().captured(2);
    offered.sort();
    documented.sort();
    EXPECT_EQ(offered, documented);
    EXPECT_GE(documented.size(), 17);
}

}  // namespace
}  // namespace ravelong
