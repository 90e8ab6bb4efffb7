#pragma once

#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "exchange/csv/CsvExport.h"

class QWidget;

namespace ravelong {

class AppDelegate;
class CsvExportSheet;
class CsvImportWindow;
class TimedEntriesList;

namespace csv {
class CsvImporter;
class CsvImportRunner;
class ZRGenericCSVImportController;
}  // namespace csv

// Opens the CSV windows from the menus: the import window (one, brought forward again while it
// is open; its import runs in the background) and the export sheet for the entries a timed
// entries list shows. Made once the store is open; main thread only.
class CsvWindows {
public:
    explicit CsvWindows(AppDelegate& delegate);
    ~CsvWindows();
    CsvWindows(const CsvWindows&) = delete;
    CsvWindows& operator=(const CsvWindows&) = delete;

    // Runs after an import changed the store (also when its window was closed meanwhile).
    void setImportedHandler(std::function<void()> handler) { imported_ = std::move(handler); }

    void showImport();
    // The sheet for what `list` shows, newest first; running timings are left out (their end
    // is not known yet).
    void showExport(const TimedEntriesList& list, QWidget* parent);
    // The entries the sheet gets for `list`.
    static std::vector<csv::CsvExportEntry> exportEntries(const TimedEntriesList& list);

    CsvImportWindow* importWindow() const { return importWindow_.get(); }
    CsvExportSheet* exportSheet() const;
    csv::CsvImportRunner& runner() const { return *runner_; }

private:
    AppDelegate& delegate_;
    std::function<void()> imported_;
    std::unique_ptr<csv::CsvImporter> importer_;
    std::unique_ptr<csv::ZRGenericCSVImportController> controller_;
    std::unique_ptr<csv::CsvImportRunner> runner_;
    std::unique_ptr<CsvImportWindow> importWindow_;
    QPointer<CsvExportSheet> exportSheet_;
};

}  // namespace ravelong
