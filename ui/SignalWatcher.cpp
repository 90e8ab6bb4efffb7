#include "ui/SignalWatcher.h"

#include <csignal>

namespace ravelong {

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent), pipe_({SIGTERM, SIGINT}) {
    if (!pipe_.isValid())
        return;
    notifier_ = std::make_unique<QSocketNotifier>(pipe_.readFd(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        for (int signalNumber : pipe_.takeSignals())
            emit caught(signalNumber);
    });
}

}  // namespace ravelong
