#include "ui/CsvWindows.h"

#include <QDialog>

#include "app/AppDelegate.h"
#include "core/calendar/ZRCalendar.h"
#include "core/model/ZRCDTiming.h"
#include "exchange/csv/CsvImportRunner.h"
#include "exchange/csv/CsvImporter.h"
#include "exchange/csv/ZRGenericCSVImportController.h"
#include "foundation/Clock.h"
#include "foundation/MainLoop.h"
#include "foundation/UserDefaults.h"
#include "menubar/TimedEntriesList.h"
#include "ui/CsvExportSheet.h"
#include "ui/CsvImportWindow.h"

namespace ravelong {

CsvWindows::CsvWindows(AppDelegate& delegate) : delegate_(delegate) {}

CsvWindows::~CsvWindows() {
    // The window first: it points at the controller and the runner.
    importWindow_.reset();
    delete exportSheet_;
}

void CsvWindows::showImport() {
    if (!importWindow_) {
        importer_ = std::make_unique<csv::CsvImporter>(delegate_.storeStack(), Clock::current(),
                                                       ZRCalendar::zrCalendar());
        controller_ = std::make_unique<csv::ZRGenericCSVImportController>(
            UserDefaults::standard(), *importer_, ZRCalendar::zrCalendar());
        runner_ = std::make_unique<csv::CsvImportRunner>(*importer_, MainLoop::current());
        importWindow_ = std::make_unique<CsvImportWindow>(*controller_, runner_.get());
        QObject::connect(importWindow_.get(), &CsvImportWindow::imported, [this] {
            if (imported_)
                imported_();
        });
    }
    importWindow_->show();
    importWindow_->raise();
    importWindow_->activateWindow();
}

std::vector<csv::CsvExportEntry> CsvWindows::exportEntries(const TimedEntriesList& list) {
    std::vector<csv::CsvExportEntry> entries;
    if (list.compact()) {
        for (const ZRCDTimingSet* set : list.timingSets())
            entries.emplace_back(set);
    } else {
        for (const ZRCDTiming* timing : list.timings())
            if (!timing->running())
                entries.emplace_back(timing);
    }
    return entries;
}

CsvExportSheet* CsvWindows::exportSheet() const {
    return exportSheet_;
}

void CsvWindows::showExport(const TimedEntriesList& list, QWidget* parent) {
    delete exportSheet_;
    exportSheet_ = new CsvExportSheet(
        delegate_.managedObjectContext(), exportEntries(list),
        UserDefaults::standard().boolForKey("ZRTimingsRoundDurationsAfterCompact"), parent);
    exportSheet_->setAttribute(Qt::WA_DeleteOnClose);
    exportSheet_->show();
    exportSheet_->raise();
    exportSheet_->activateWindow();
}

}  // namespace ravelong
