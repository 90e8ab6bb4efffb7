#include "core/tree/TaskSearch.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <unordered_map>

#include "core/model/UndoSuppression.h"
#include "core/model/ZRCDTask.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::task_search {

namespace {

struct FoldedWords {
    std::vector<std::u16string> caseOnly;
    std::vector<std::u16string> caseAndDiacritics;
};

// Folded names, worked out once per task and search.
class NameCache {
public:
    const std::u16string& folded(const ZRCDTask* task, bool ignoreDiacritics) {
        auto& cache = ignoreDiacritics ? withoutDiacritics_ : caseOnly_;
        auto it = cache.find(task);
        if (it == cache.end())
            it =
                cache
                    .emplace(task, foldedForSearch(task->taskName().value_or(""), ignoreDiacritics))
                    .first;
        return it->second;
    }

private:
    std::unordered_map<const ZRCDTask*, std::u16string> caseOnly_;
    std::unordered_map<const ZRCDTask*, std::u16string> withoutDiacritics_;
};

bool matches(const ZRCDTask& task, const FoldedWords& words, NameCache& names) {
    if (words.caseOnly.empty())
        return false;
    if (words.caseOnly.size() == 1)
        return names.folded(&task, false).find(words.caseOnly.front()) != std::u16string::npos;
    const ZRCDTask* parent = task.parentTask();
    const ZRCDTask* grandparent = parent ? parent->parentTask() : nullptr;
    for (const std::u16string& word : words.caseAndDiacritics) {
        bool found = false;
        for (const ZRCDTask* level : {&task, parent, grandparent}) {
            if (level && names.folded(level, true).find(word) != std::u16string::npos) {
                found = true;
                break;
            }
        }
        if (!found)
            return false;
    }
    return true;
}

FoldedWords foldWords(std::string_view text) {
    FoldedWords folded;
    for (const std::string& word : searchWords(text)) {
        folded.caseOnly.push_back(foldedForSearch(word, false));
        folded.caseAndDiacritics.push_back(foldedForSearch(word, true));
    }
    return folded;
}

void setFlag(ZRCDTask* task, bool visible) {
    if (task->isVisibleDuringSearch() != visible)
        task->setIsVisibleDuringSearch(visible);
}

}  // namespace

std::vector<std::string> searchWords(std::string_view text) {
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start)
            words.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

std::u16string foldedForSearch(std::string_view text, bool ignoreDiacritics) {
    icu::UnicodeString string = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    if (ignoreDiacritics) {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
        if (U_SUCCESS(status)) {
            icu::UnicodeString decomposed = nfd->normalize(string, status);
            if (U_SUCCESS(status)) {
                icu::UnicodeString bare;
                for (int32_t i = 0; i < decomposed.length();) {
                    const UChar32 c = decomposed.char32At(i);
                    if (u_charType(c) != U_NON_SPACING_MARK)
                        bare.append(c);
                    i += U16_LENGTH(c);
                }
                string = bare;
            }
        }
    }
    string.foldCase();
    return std::u16string(reinterpret_cast<const char16_t*>(string.getBuffer()),
                          static_cast<std::size_t>(string.length()));
}

bool taskMatchesSearchWords(const ZRCDTask& task, const std::vector<std::string>& words) {
    FoldedWords folded;
    for (const std::string& word : words) {
        folded.caseOnly.push_back(foldedForSearch(word, false));
        folded.caseAndDiacritics.push_back(foldedForSearch(word, true));
    }
    NameCache names;
    return matches(task, folded, names);
}

int setTasksContainingStringAndAncestorsVisibleDuringSearchAndHideOthers(
    std::string_view text, ManagedObjectContext& context) {
    ScopedUndoRegistrationOff undoOff(context);
    const FoldedWords words = foldWords(text);
    NameCache names;
    const std::vector<ZRCDTask*> tasks = ZRCDTask::getAllTasks_inContext(context);
    std::unordered_map<const ZRCDTask*, bool> visible;
    int matched = 0;
    for (ZRCDTask* task : tasks) {
        if (!matches(*task, words, names))
            continue;
        ++matched;
        visible[task] = true;
        if (ZRCDTask* parent = task->parentTask()) {
            visible[parent] = true;
            if (ZRCDTask* grandparent = parent->parentTask())
                visible[grandparent] = true;
        }
    }
    for (ZRCDTask* task : tasks)
        setFlag(task, visible.contains(task));
    return matched;
}

int setLeafTasksContainingStringInFullTaskNameVisibleDuringSearchAndHideOthers(
    std::string_view text, ManagedObjectContext& context) {
    ScopedUndoRegistrationOff undoOff(context);
    const FoldedWords words = foldWords(text);
    NameCache names;
    int matched = 0;
    for (ZRCDTask* task : ZRCDTask::getAllTasks_inContext(context)) {
        const bool match = task->childTasks().empty() && matches(*task, words, names);
        matched += match ? 1 : 0;
        setFlag(task, match);
    }
    return matched;
}

}  // namespace ravelong::task_search
