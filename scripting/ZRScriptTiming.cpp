#include "scripting/ZRScriptTiming.h"

#include "core/chain/NamedUndoGroup.h"
#include "core/model/ContextSaving.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/totals/TimingTotals.h"
#include "scripting/ScriptTexts.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

namespace {

// Well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates or values past
// U+10FFFF.
bool isUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

}  // namespace

std::string ZRScriptTiming::uniqueID() const {
    return timing_ ? timing_->uuid().value_or("") : "";
}

std::string ZRScriptTiming::relatedTaskID() const {
    if (!timing_ || !timing_->task())
        return {};
    return timing_->task()->uuid().value_or("");
}

std::optional<Instant> ZRScriptTiming::startDate() const {
    return timing_ ? timing_->startDate() : std::nullopt;
}

std::optional<Instant> ZRScriptTiming::endDate() const {
    return timing_ ? timing_->endDate() : std::nullopt;
}

bool ZRScriptTiming::running() const {
    return timing_ && timing_->running();
}

double ZRScriptTiming::durationInSeconds() const {
    return timing_ ? timing_->duration() : 0.0;
}

double ZRScriptTiming::durationIncludingRounding() const {
    return timing_ ? timing_totals::durationWithRounding(*timing_) : 0.0;
}

std::string ZRScriptTiming::note() const {
    return timing_ ? timing_->note().value_or("") : "";
}

std::optional<std::string> ZRScriptTiming::noteProblem(const std::string& note) {
    if (note.size() > kMaxNoteBytes)
        return "The note is longer than " + std::to_string(kMaxNoteBytes) + " bytes.";
    if (!isUtf8(note))
        return "The note is not UTF-8 text.";
    return std::nullopt;
}

Status ZRScriptTiming::setNote(const std::string& note) {
    if (!timing_ || timing_->isDeleted() || !timing_->managedObjectContext())
        return Error{"scripting", 1, "The timing no longer exists.", ""};
    if (const auto problem = noteProblem(note))
        return Error{"scripting", 2, *problem, ""};
    ManagedObjectContext& context = *timing_->managedObjectContext();
    NamedUndoGroup group(context, kEditNoteScript);
    timing_->setNote(note.empty() ? std::nullopt : std::optional<std::string>(note));
    group.close();
    return saveThroughDelegate(context);
}

}  // namespace ravelong
