#pragma once

#include <QWidget>
#include <cstdint>

class QLabel;
class QProgressBar;

namespace ravelong {

// The small window shown at quit while the last merge finishes: "Synchronizing..." (with the
// service's name for iCloud and Dropbox) over a bar that is indeterminate until progress comes
// and again once a phase reports 1.0. Floats above normal windows, centred. Main thread.
class FinishingSyncWindow final : public QWidget {
    Q_OBJECT

public:
    explicit FinishingSyncWindow(std::int64_t service, QWidget* parent = nullptr);

    void present();
    // A progress fraction of the engine (0.0 ... 1.0).
    void mergeMadeProgress(double fraction);

    QString label() const;
    bool isIndeterminate() const;
    double barValue() const;  // -1 while indeterminate

private:
    std::int64_t service_;
    QLabel* label_;
    QProgressBar* bar_;
};

}  // namespace ravelong
