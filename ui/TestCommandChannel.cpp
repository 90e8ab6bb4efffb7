#include "ui/TestCommandChannel.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "ui/MilestoneReport.h"

namespace ravelong {

std::optional<TestCommandChannel::Command> TestCommandChannel::parse(const QString& text) {
    const QString line = text.trimmed();
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    const QString verb = blank < 0 ? line : line.left(blank);
    const QString rest = blank < 0 ? QString() : line.mid(blank + 1).trimmed();
    if (verb == QLatin1String("click-task") && !rest.isEmpty())
        return Command{Command::Kind::clickTask, rest};
    if (verb == QLatin1String("toggle-panel") && rest.isEmpty())
        return Command{Command::Kind::togglePanel, {}};
    if (verb == QLatin1String("quit") && rest.isEmpty())
        return Command{Command::Kind::quit, {}};
    if (verb == QLatin1String("add-task") && !rest.isEmpty())
        return Command{Command::Kind::addTask, rest};
    if (verb == QLatin1String("undo") && rest.isEmpty())
        return Command{Command::Kind::undo, {}};
    if (verb == QLatin1String("preferences") && !rest.isEmpty())
        return Command{Command::Kind::preferences, rest};
    if (verb == QLatin1String("sync-now") && rest.isEmpty())
        return Command{Command::Kind::syncNow, {}};
    if (verb == QLatin1String("show-window") && !rest.isEmpty())
        return Command{Command::Kind::showWindow, rest};
    if (verb == QLatin1String("close-window") && !rest.isEmpty())
        return Command{Command::Kind::closeWindow, rest};
    if (verb == QLatin1String("main-window-preset") && !rest.isEmpty())
        return Command{Command::Kind::mainWindowPreset, rest};
    if (verb == QLatin1String("main-window-chart") &&
        (rest == QLatin1String("pie") || rest == QLatin1String("bar") ||
         rest == QLatin1String("line")))
        return Command{Command::Kind::mainWindowChart, rest};
    if (verb == QLatin1String("delete-timing")) {
        bool ok = false;
        const int row = rest.toInt(&ok);
        if (ok && row >= 0)
            return Command{Command::Kind::deleteTiming, {}, row, {}};
    }
    if (verb == QLatin1String("add-subtask") || verb == QLatin1String("rename-task") ||
        verb == QLatin1String("add-timing")) {
        const qsizetype arrow = rest.indexOf(QLatin1String(" => "));
        const QString first = arrow < 0 ? QString() : rest.left(arrow).trimmed();
        const QString second = arrow < 0 ? QString() : rest.mid(arrow + 4).trimmed();
        if (!first.isEmpty() && !second.isEmpty())
            return Command{verb == QLatin1String("add-subtask")  ? Command::Kind::addSubtask
                           : verb == QLatin1String("add-timing") ? Command::Kind::addTiming
                                                                 : Command::Kind::renameTask,
                           first, 0, second};
    }
    if (verb == QLatin1String("answer-alert")) {
        bool ok = false;
        const int number = rest.toInt(&ok);
        if (ok && number >= 0)
            return Command{Command::Kind::answerAlert, {}, number, {}};
    }
    return std::nullopt;
}

bool TestCommandChannel::enabledByEnvironment() {
    const char* value = std::getenv("RAVELONG_TEST_COMMANDS");
    return value && std::strcmp(value, "1") == 0;
}

TestCommandChannel::TestCommandChannel(int fd, QObject* parent) : QObject(parent), fd_(fd) {
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TestCommandChannel::readAvailable);
}

void TestCommandChannel::acknowledge(const QString& line, bool done) {
    milestone_report::line(done ? "command-done" : "command-failed", line.toStdString());
}

void TestCommandChannel::readAvailable() {
    char buffer[4096];
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n <= 0) {
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        notifier_->setEnabled(false);  // end of input: nothing more will come
        return;
    }
    pending_.append(buffer, n);
    for (qsizetype end = pending_.indexOf('\n'); end >= 0; end = pending_.indexOf('\n')) {
        const QString line = QString::fromUtf8(pending_.left(end)).trimmed();
        pending_.remove(0, end + 1);
        if (line.isEmpty())
            continue;
        if (const std::optional<Command> command = parse(line))
            emit received(*command, line);
        else
            acknowledge(line, false);
    }
}

}  // namespace ravelong
