#include "cli/TaskReference.h"

#include "scripting/ScriptTexts.h"

namespace ravelong::cli {

Result<std::string> resolveTaskOverBus(RavelongBus& bus, const std::string& reference) {
    if (reference.empty())
        return Error{"ravelong-cli", 2, "No task given.", ""};
    // Text with spaces, or longer than any identifier, cannot be one, and the program would
    // refuse it: it can only be a name.
    if (reference.find_first_of(" \t\n\r\v\f") == std::string::npos &&
        reference.size() <= static_cast<std::size_t>(kMaxScriptIdentifierLength)) {
        auto found = bus.getTaskWithID(reference);
        if (!found)
            return found.error();
        if (found.value())
            return text(*found.value(), "uniqueID");
    }
    auto named = bus.getTaskIDs({{"name", reference}});
    if (!named)
        return named.error();
    if (named.value().size() == 1)
        return named.value().front();
    if (named.value().empty())
        return Error{"ravelong-cli", 1, "No task is named \"" + reference + "\".", ""};
    std::string ids;
    for (const std::string& id : named.value())
        ids += " " + id;
    return Error{"ravelong-cli", 1,
                 "Several tasks are named \"" + reference + "\"; name one by its uuid:", ids};
}

}  // namespace ravelong::cli
