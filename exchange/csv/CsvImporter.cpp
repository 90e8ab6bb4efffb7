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
    auto main = stack_.managedObjectContext();
    if (!main.ok())
        return main.error();
    std::unique_ptr<ManagedObjectContext> copy = stack_.newPrivateContext();
    if (!copy)
        return importError("The data could not be prepared for the import.");
    auto outcome = importInto(file, mapping, *copy, clock_.now(), progress);
    if (outcome.ok()) {
        if (Status committed = commit(*copy); !committed.ok())
            outcome = committed.error();
    }
    stack_.discardContext(std::move(copy));
    return outcome;
}

Result<CsvImporter::Outcome> CsvImporter::importInto(const std::filesystem::path& file,
                                                     const CsvImportMapping& mapping,
                                                     ManagedObjectContext& copy, Instant now,
                                                     const std::function<void()>& progress) const {
    if (const std::string_view status = checkSelectedTokens(mapping); !status.empty())
        return importError(std::string(status));
    auto mapped = CsvMappedFile::open(file);
    if (!mapped.ok())
        return mapped.error();
    // One reading validates the file and makes its records: should the file not validate after
    // all, what was made is thrown away with `copy`.
    Outcome outcome;
    ZRGenericCSVValidatorDelegate validator(mapping, calendar_, now);
    ZRGenericCSVParserDelegate importer(copy, now);
    outcome.validation = validator.validateBytes(mapped->bytes(), [&](const CsvImportRow& row) {
        if (importer.importRow(row) && progress)
            progress();
    });
    if (!outcome.validation.validates)
        return importError(std::string(kCSVDoesNotMatch),
                           describeValidationFailure(outcome.validation));
    outcome.counts = importer.counts();
    // The day aggregates are put right for what the import made (the rest of the store was
    // sound); a file whose rows are all there already leaves nothing of its own to repair.
    if (copy.hasChanges()) {
        store_repairs::fixTimingSetsAndTimingsOfChanges_inContext(copy);
        task_tree_repairs::fixParentTaskTimingsAndArchive_inContext(copy);
        task_chain::fixTaskChain_inContext(copy);
        copy.processPendingChanges();
    }
    return outcome;
}

Status CsvImporter::commit(ManagedObjectContext& copy) {
    auto main = stack_.managedObjectContext();
    if (!main.ok())
        return main.error();
    ManagedObjectContext& context = *main.value();
    // A file of rows the store holds already brings nothing, and its group leaves no undo step:
    // the step on top of the stack is then the user's own.
    const bool bringsChanges = copy.hasChanges();
    {
        NamedUndoGroup group(context, kCSVDataImportUndoName);
        // The copy is thrown away after the push: it lets go of its records first.
        Status pushed = copy.saveAndRelease();
        if (!pushed.ok())
            return pushed;
        group.close();
    }
    Status saved = context.save();
    if (!saved.ok()) {
        ZRUndoManager* undo = context.undoManager();
        if (bringsChanges && undo && undo->canUndo())
            undo->undo();
        return saved;
    }
    return Status{};
}

}  // namespace ravelong::csv
