#include "ui/CloudDataAvailableWindow.h"

#include "sync/SyncAlerts.h"
#include "sync/SyncTexts.h"
#include "ui/QtText.h"

namespace ravelong {

namespace t = sync_texts;

CloudDataAvailableWindow::CloudDataAvailableWindow(QWidget* parent)
    : SyncQuestionDialog(QStringLiteral("cloudDataAvailableWindow"), &codeForButton, parent) {
    setWindowTitle(qt(t::kCloudDataTitle));
    setMessage(qt(t::kCloudDataMessage));
    setInformativeText(qt(t::kCloudDataInformative));
    addButton(QStringLiteral("deleteCloudData"), qt(t::kDeleteCloudData));
    addButton(QStringLiteral("continueWithCloudData"), qt(t::kContinue), true);
}

int CloudDataAvailableWindow::codeForButton(const QString& identifier) {
    if (identifier.startsWith(QLatin1String("continue")))
        return SyncAlerts::kCloudDataContinue;
    if (identifier.startsWith(QLatin1String("delete")))
        return SyncAlerts::kCloudDataDelete;
    return SyncAlerts::kCloudDataOther;
}

}  // namespace ravelong
