#include "exchange/BackupRestore.h"

#include <memory>

#include "app/StoreStack.h"
#include "core/chain/ChainRepair.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/repairs/TimingSetRepairs.h"
#include "core/tree/TreeRepairs.h"
#include "exchange/BackupFilePass.h"
#include "exchange/BackupSchemas.h"
#include "exchange/BackupTexts.h"
#include "exchange/IntegrityDigest.h"
#include "exchange/ZRRavelongXMLParserDelegateV1.h"
#include "exchange/ZRRavelongXMLParserDelegateV2.h"
#include "exchange/ZRRavelongXMLParserDelegateV3.h"
#include "foundation/Log.h"
#include "store/ZRUndoManager.h"

namespace ravelong::backup_restore {

namespace texts = backup_texts;

namespace {

std::unique_ptr<ZRRavelongXMLParserDelegate> readerFor(int generation,
                                                       ManagedObjectContext& context,
                                                       bool updatingDatabase) {
    if (generation == 1)
        return std::make_unique<ZRRavelongXMLParserDelegateV1>(context, updatingDatabase);
    if (generation == 2)
        return std::make_unique<ZRRavelongXMLParserDelegateV2>(context, updatingDatabase);
    return std::make_unique<ZRRavelongXMLParserDelegateV3>(context, updatingDatabase);
}

std::string replaced(std::string text, std::string_view marker, const std::string& value) {
    if (const std::size_t at = text.find(marker); at != std::string::npos)
        text.replace(at, marker.size(), value);
    return text;
}

}  // namespace

void clearAllData(ManagedObjectContext& context) {
    ZRUndoManager* undo = context.undoManager();
    if (undo)
        undo->disableUndoRegistration();
    for (ZRCDTiming* timing : context.fetchAll<ZRCDTiming>())
        context.deleteObject(timing);
    for (ZRCDTask* task : context.fetchAll<ZRCDTask>())
        context.deleteObject(task);
    for (ZRCDTimingSet* set : context.fetchAll<ZRCDTimingSet>())
        context.deleteObject(set);
    context.processPendingChanges();
    if (undo)
        undo->enableUndoRegistration();
}

Status clearAllDataAndSave(ManagedObjectContext& mainContext) {
    clearAllData(mainContext);
    ZRUndoManager* undo = mainContext.undoManager();
    if (undo)
        undo->disableUndoRegistration();
    for (ZRCDOrigin* origin : mainContext.fetchAll<ZRCDOrigin>())
        mainContext.deleteObject(origin);
    mainContext.processPendingChanges();
    Status saved = mainContext.save();
    if (undo) {
        undo->enableUndoRegistration();
        undo->removeAllActions();
    }
    if (!saved)
        mainContext.rollback();
    return saved;
}

Result<Outcome> readInto(const BackupFileInfo& file, ManagedObjectContext& context, Mode mode,
                         const std::function<void(std::uint64_t)>& progress, bool clearFirst,
                         IntegrityValues* integrity) {
    auto schema = backup_schemas::schemaFile(file.generation);
    if (!schema)
        return schema.error();
    if (mode == Mode::restore && clearFirst)
        clearAllData(context);
    std::unique_ptr<ZRRavelongXMLParserDelegate> reader =
        readerFor(file.generation, context, mode == Mode::import);
    if (progress)
        reader->setProgress(progress);
    BackupFilePass pass(file.file);
    pass.setSchema(*schema);
    pass.setHandler(reader.get());
    IntegrityDigest whole;
    if (integrity)
        pass.setDigest(&whole);
    if (Status read = pass.run(); !read) {
        logError("importRavelongXMLFile",
                 read.error().description + " " + read.error().failureReason);
        return read.error();
    }
    // The file was checked before; a different root now means it was replaced in between.
    if (backupGenerationOfRoot(pass.rootName()) != file.generation)
        return Error{kRavelongErrorDomain, texts::kBackupContentCode,
                     "The file changed while it was read.", std::string(texts::kNoChanges)};
    if (integrity) {
        integrity->stored = pass.rootId().value_or("");
        integrity->computed = whole.hex();
    }
    // The day aggregates are put right for what the reading made (the rest of the store was
    // sound); a reading that changed nothing (an import of records the store has already) leaves
    // nothing of the file's to repair.
    if (context.hasChanges()) {
        store_repairs::fixTimingSetsAndTimingsOfChanges_inContext(context);
        task_tree_repairs::fixParentTaskTimingsAndArchive_inContext(context);
        task_chain::fixTaskChain_inContext(context);
        context.processPendingChanges();
    }
    return Outcome{reader->counts(), reader->refusedTimings()};
}

Status commit(ManagedObjectContext& privateContext, ManagedObjectContext& mainContext, Mode mode) {
    ZRUndoManager* undo = mainContext.undoManager();
    mainContext.processPendingChanges();
    if (undo) {
        if (mode == Mode::import) {
            undo->beginUndoGrouping();
            undo->setActionName(std::string(texts::kImportUndoName));
        } else {
            undo->removeAllActions();
            undo->disableUndoRegistration();
        }
    }
    // The private context is thrown away after the push: it lets go of its records first.
    Status pushed = privateContext.saveAndRelease();
    if (pushed) {
        mainContext.processPendingChanges();
        pushed = mainContext.save();
    }
    if (undo) {
        if (mode == Mode::import)
            undo->endUndoGrouping();
        else
            undo->enableUndoRegistration();
    }
    if (!pushed) {
        mainContext.rollback();
        Error error = pushed.error();
        error.code = texts::kBackupStoreCode;
        return error;
    }
    return Status::success();
}

Result<Outcome> run(StoreStack& stack, const std::filesystem::path& file, const Options& options) {
    // Only the root element is needed before the reading: it names the generation and schema.
    BackupFilePass look(file);
    look.setStopAfterRoot(true);
    if (Status looked = look.run(); !looked)
        return looked.error();
    BackupFileInfo info;
    info.file = file;
    info.generation = backupGenerationOfRoot(look.rootName());

    auto main = stack.managedObjectContext();
    if (!main)
        return main.error();
    std::unique_ptr<ManagedObjectContext> privateContext = stack.newPrivateContext();
    if (!privateContext)
        return Error{kRavelongErrorDomain, texts::kBackupStoreCode, "The store cannot be opened.",
                     std::string(texts::kNoChanges)};
    IntegrityValues integrity;
    auto outcome = readInto(
        info, *privateContext, options.mode,
        [&](std::uint64_t done) {
            if (options.progress)
                options.progress(done, 0);
        },
        true, &integrity);
    if (outcome && !options.ignoreIntegrity &&
        (integrity.stored.empty() || integrity.stored != integrity.computed))
        outcome = Error{kRavelongErrorDomain, texts::kBackupIntegrityCode,
                        "The file " + file.string() +
                            " has been edited or damaged since it was written: its integrity "
                            "value does not match.",
                        std::string(texts::kNoChanges)};
    if (!outcome) {
        stack.discardContext(std::move(privateContext));
        return outcome.error();
    }
    Status committed = commit(*privateContext, **main, options.mode);
    stack.discardContext(std::move(privateContext));
    if (!committed)
        return committed.error();
    return outcome;
}

std::string resultTitle(Mode mode) {
    return std::string(mode == Mode::import ? texts::kImported : texts::kRestored);
}

std::string resultText(Mode mode, const Outcome& outcome) {
    const BackupReadCounts& c = outcome.counts;
    std::string text;
    if (mode == Mode::import) {
        text = std::string(texts::kImportCounts);
        for (std::int64_t value :
             {c.numberOfImportedTasks, c.numberOfUpdatedTasks, c.numberOfSkippedTasks,
              c.numberOfImportedTimings, c.numberOfUpdatedTimings, c.numberOfSkippedTimings})
            text = replaced(std::move(text), "%ld", std::to_string(value));
    } else {
        text = std::string(texts::kRestoreCounts);
        text = replaced(std::move(text), "%ld", std::to_string(c.numberOfImportedTasks));
        text = replaced(std::move(text), "%ld", std::to_string(c.numberOfImportedTimings));
    }
    if (!outcome.refusedTimings.empty()) {
        text += "\n\nSkipped:";
        for (const std::string& line : outcome.refusedTimings)
            text += "\n" + line;
    }
    return text;
}

}  // namespace ravelong::backup_restore
