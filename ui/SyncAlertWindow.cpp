#include "ui/SyncAlertWindow.h"

#include "sync/SyncTexts.h"
#include "ui/QtText.h"

namespace ravelong {

SyncAlertWindow::SyncAlertWindow(const QString& message, const QString& additionalMessage,
                                 QWidget* parent)
    : SyncQuestionDialog(
          QStringLiteral("syncAlertWindow"), [](const QString&) { return 0; }, parent) {
    setMessage(message);
    setInformativeText(additionalMessage);
    addButton(QStringLiteral("ok"), qt(sync_texts::kOK), true);
}

}  // namespace ravelong
