#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

#include "platform/SignalPipe.h"

namespace ravelong {

// SIGTERM and SIGINT as a Qt signal: caught() is emitted on the main thread, from the event loop,
// once per signal received.
class SignalWatcher final : public QObject {
    Q_OBJECT

public:
    explicit SignalWatcher(QObject* parent = nullptr);
    bool isValid() const { return pipe_.isValid(); }

signals:
    void caught(int signalNumber);

private:
    SignalPipe pipe_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ravelong
