#pragma once

#include <QWidget>
#include <vector>

#include "foundation/UserDefaults.h"

class QComboBox;
class QLabel;

namespace ravelong {

// The Sync pane of the preferences window. Synchronisation with other devices is not offered on
// this platform yet: the pane shows the stored connection state and the time of the last sync,
// read-only, and a disabled service chooser saying that the services are coming. Follows changes
// of the two settings. Main thread.
class SyncPane final : public QWidget {
    Q_OBJECT

public:
    explicit SyncPane(UserDefaults& defaults, QWidget* parent = nullptr);
    ~SyncPane() override;

    void refresh();

private:
    UserDefaults& defaults_;
    std::vector<UserDefaults::ObserverId> observers_;

    QComboBox* service_;
    QLabel* state_;
    QLabel* lastSync_;
};

}  // namespace ravelong
