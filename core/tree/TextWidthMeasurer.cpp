#include "core/tree/TextWidthMeasurer.h"

#include "core/tree/MergedTaskName.h"

namespace ravelong {

namespace {

const CharacterWidthMeasurer& defaultMeasurer() {
    static const CharacterWidthMeasurer measurer;
    return measurer;
}

const TextWidthMeasurer* installed = nullptr;

}  // namespace

const TextWidthMeasurer& TextWidthMeasurer::current() {
    return installed ? *installed : defaultMeasurer();
}

void TextWidthMeasurer::setCurrent(const TextWidthMeasurer* measurer) {
    installed = measurer;
}

double CharacterWidthMeasurer::widthOfText(std::string_view utf8) const {
    return static_cast<double>(merged_task_name::characterCount(utf8)) * kPointsPerCharacter;
}

ScopedTextWidthMeasurer::ScopedTextWidthMeasurer(const TextWidthMeasurer& measurer)
    : previous_(installed) {
    installed = &measurer;
}

ScopedTextWidthMeasurer::~ScopedTextWidthMeasurer() {
    installed = previous_;
}

}  // namespace ravelong
