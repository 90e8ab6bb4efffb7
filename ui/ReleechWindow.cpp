#include "ui/ReleechWindow.h"

#include "sync/SyncAlerts.h"
#include "sync/SyncTexts.h"
#include "ui/QtText.h"

namespace ravelong {

namespace t = sync_texts;

ReleechWindow::ReleechWindow(QWidget* parent)
    : SyncQuestionDialog(
          QStringLiteral("releechWindow"),
          [](const QString& identifier) {
              return identifier == QLatin1String("releech") ? SyncAlerts::kReleechNow
                                                            : SyncAlerts::kReleechLater;
          },
          parent) {
    setWindowTitle(qt(t::kReleechTitle));
    setMessage(qt(t::kReleechMessage));
    setInformativeText(qt(t::kReleechInformative));
    addButton(QStringLiteral("notNow"), qt(t::kNotNow));
    addButton(QStringLiteral("releech"), qt(t::kReleechNow), true);
}

}  // namespace ravelong
