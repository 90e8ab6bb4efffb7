#pragma once

#include "ui/SyncQuestionDialog.h"

namespace ravelong {

// A message about synchronisation with an additional message and an OK button (code 0); also
// the warning that the computers' clocks differ.
class SyncAlertWindow final : public SyncQuestionDialog {
    Q_OBJECT

public:
    explicit SyncAlertWindow(const QString& message, const QString& additionalMessage,
                             QWidget* parent = nullptr);
};

}  // namespace ravelong
