#include "exchange/csv/CsvImporter.h"

#include "app/StoreStack.h"
#include "core/chain/ChainRepair.h"
#include "core/chain/NamedUndoGroup.h"
#include "core/repairs/TimingSetRepairs.h"
#include "core/tree/TreeRepairs.h"
#include "exchange/csv/CsvEncoding.h"
#include "exchange/csv/CsvMappedFile.h"
#include "exchange/csv/CsvTexts.h"
#include "store/ManagedObjectContext.h"
#include "store/ZRUndoManager.h"

namespace ravelong::csv {
namespace {

Error importError(std::string description, std::string reason = {}) {
    return Error{kCsvErrorDomain, 0, std::move(description), std::move(reason)};
}

}  // namespace

std::string describeValidationFailure(const CsvValidation& validation) {
    if (validation.error)
        return validation.error->description;
    std::string text = std::to_string(validation.numberOfSkippedRows) + " of " +
                       std::to_string(validation.rowsSeen) + " rows cannot be read";
    for (std::size_t i = 0; i < validation.failures.size() && i < 5; ++i) {
        const CsvCellFailure& f = validation.failures[i];
        text += "; line " + std::to_string(f.line) + ", column " + std::to_string(f.column) + ": " +
                f.message;
    }
    return text + ".";
}

CsvImporter::CsvImporter(StoreStack& stack, const Clock& clock, ZRCalendar calendar)
    : stack_(stack), clock_(clock), calendar_(std::move(calendar)) {}

Result<CsvValidation> CsvImporter::validate(const std::filesystem::path& file,
                                            const CsvImportMapping& mapping) const {
    if (const std::string_view status = checkSelectedTokens(mapping); !status.empty())
        return importError(std::string(status));
    ZRGenericCSVValidatorDelegate validator(mapping, calendar_, clock_.now());
    return validator.validateFile(file);
}

Result<CsvImporter::Outcome> CsvImporter::importFile(const std::filesystem::path& file,
                                                     const CsvImportMapping& mapping,
                                                     const std::function<void()>& progress) {
    if (const std::string_view status = checkSelectedTokens(mapping); !status.empty())
        return importError(std::string(status));
    // One mapping of the file serves both passes, so they read the same bytes.
    auto mapped = CsvMappedFile::open(file);
    if (!mapped.ok())
        return mapped.error();
    Outcome outcome;
    ZRGenericCSVValidatorDelegate validator(mapping, calendar_, clock_.now());
    outcome.validation = validator.validateBytes(mapped->bytes());
    if (!outcome.validation.validates)
        return importError(std::string(kCSVDoesNotMatch),
                           describeValidationFailure(outcome.validation));

    auto main = stack_.managedObjectContext();
    if (!main.ok())
        return main.error();
    std::unique_ptr<ManagedObjectContext> child = stack_.newPrivateContext();
    if (!child)
        return importError("The data could not be prepared for the import.");
    ZRGenericCSVParserDelegate importer(mapping, calendar_, *child, clock_.now());
    auto counts = importer.importBytes(mapped->bytes(), progress);
    if (!counts.ok()) {
        stack_.discardContext(std::move(child));
        return counts.error();
    }
    outcome.counts = counts.value();
    // The repairs look at every record of the store: a file whose rows are all there already
    // leaves nothing of its own to repair.
    if (child->hasChanges()) {
        store_repairs::fixTimingSetsAndTimings_inContext(*child);
        task_tree_repairs::fixParentTaskTimingsAndArchive_inContext(*child);
        task_chain::fixTaskChain_inContext(*child);
        child->processPendingChanges();
    }

    ManagedObjectContext& context = *main.value();
    {
        NamedUndoGroup group(context, kCSVDataImportUndoName);
        Status pushed = child->save();
        if (!pushed.ok()) {
            stack_.discardContext(std::move(child));
            return pushed.error();
        }
        group.close();
    }
    stack_.discardContext(std::move(child));
    Status saved = context.save();
    if (!saved.ok()) {
        if (ZRUndoManager* undo = context.undoManager(); undo && undo->canUndo())
            undo->undo();
        return saved.error();
    }
    return outcome;
}

}  // namespace ravelong::csv
