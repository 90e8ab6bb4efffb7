#include <ostream>

#include "app/DataLocations.h"
#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "cli/CommandLine.h"
#include "cli/RavelongBus.h"
#include "cli/TaskReference.h"
#include "core/model/ZRCDTiming.h"
#include "scripting/StoreReader.h"
#include "scripting/ZRScriptTiming.h"

namespace ravelong::cli {
namespace {

constexpr const char* kUsage =
    "Usage: ravelong-cli note [--timing UUID] TEXT...\n"
    "Sets the note of the running timer (the one changed last when several run), or of the\n"
    "timing with that uuid; the words of TEXT are joined by spaces, and an empty TEXT (\"\")\n"
    "removes the note. One undo step in Ravelong. Through Ravelong when it runs, else directly\n"
    "on the store.\n"
    "Exit status: 0 saved, 1 no timer runs, an unknown timing or the note could not be saved,\n"
    "2 wrong arguments (also a note that is too long or not UTF-8).\n";

struct NoteArguments {
    std::optional<std::string> timing;
    std::string text;
};

std::optional<NoteArguments> parse(CliInvocation& invocation) {
    NoteArguments parsed;
    std::vector<std::string> words;
    const auto& arguments = invocation.arguments;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--timing") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                usageError(invocation, kUsage, "--timing needs a timing's uuid.");
                return std::nullopt;
            }
            parsed.timing = arguments[++i];
        } else if (arguments[i] == "--") {
            words.insert(words.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                         arguments.end());
            break;
        } else if (arguments[i].starts_with("-") && arguments[i].size() > 1) {
            usageError(invocation, kUsage, "unknown option \"" + arguments[i] + "\".");
            return std::nullopt;
        } else {
            words.push_back(arguments[i]);
        }
    }
    if (words.empty()) {
        usageError(invocation, kUsage, "no TEXT given (\"\" removes the note).");
        return std::nullopt;
    }
    for (const std::string& word : words)
        parsed.text += (parsed.text.empty() ? "" : " ") + word;
    if (const auto problem = ZRScriptTiming::noteProblem(parsed.text)) {
        usageError(invocation, kUsage, *problem);
        return std::nullopt;
    }
    return parsed;
}

int failed(CliInvocation& invocation, const Error& error, int status = kExitFailure) {
    printError(invocation.err, error);
    return status;
}

const Error kNoTimerRuns{"ravelong-cli", 1, "No timer runs; name a timing with --timing UUID.", ""};

// While Ravelong runs the change goes through it; the running timer is found in the store it
// has saved.
int overBus(RavelongBus& bus, const NoteArguments& note, CliInvocation& invocation) {
    std::string timing;
    if (note.timing) {
        timing = *note.timing;
    } else {
        auto reader = StoreReader::open(DataLocations::standard().storeURL());
        if (!reader)
            return failed(invocation, Error{"ravelong-cli", 1, "The store could not be read.", ""});
        auto running = reader->runningTimings();
        if (!running)
            return failed(invocation, running.error());
        if (running.value().empty())
            return failed(invocation, kNoTimerRuns);
        timing = running.value().front().uuid;
    }
    auto saved = bus.setTimingNote(timing, note.text);
    if (!saved)
        return failed(invocation, saved.error());
    return saved.value() ? kExitSuccess : kExitFailure;
}

int onStore(const NoteArguments& note, CliInvocation& invocation) {
    auto store = CliStore::open();
    if (!store)
        return failed(invocation, store.error());
    ZRCDTiming* timing = nullptr;
    if (note.timing) {
        timing = ZRCDTiming::getCoreDataTimingWithUUID(*note.timing, store->context());
        if (!timing)
            return failed(
                invocation,
                Error{"ravelong-cli", 1, "No timing has the uuid \"" + *note.timing + "\".", ""});
    } else {
        const auto running =
            ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(store->context());
        if (running.empty())
            return failed(invocation, kNoTimerRuns);
        timing = running.front();
    }
    const Status saved = ZRScriptTiming::initWithoutCreation(timing).setNote(note.text);
    if (!saved)
        return failed(invocation, saved.error());
    return kExitSuccess;
}

int run(CliInvocation& invocation) {
    if (wantsHelp(invocation.arguments)) {
        invocation.out << kUsage;
        return kExitSuccess;
    }
    const auto note = parse(invocation);
    if (!note)
        return kExitUsage;
    RavelongBus bus;
    return bus.running() ? overBus(bus, *note, invocation) : onStore(*note, invocation);
}

const bool registered =
    registerCommand({"note", "[--timing UUID] TEXT", "Set the note of a timing", run});

}  // namespace
}  // namespace ravelong::cli
