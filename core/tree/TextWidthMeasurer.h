#pragma once

#include <string_view>

namespace ravelong {

// How wide a text is drawn in the 13-point system font, in points. Merged task names are kept
// narrower than kMergedNameWidthLimit so that they fit the task lists.
//
// The user interface installs a measurer of the real font; without one, CharacterWidthMeasurer
// counts characters. Main thread only.
class TextWidthMeasurer {
public:
    virtual ~TextWidthMeasurer() = default;
    virtual double widthOfText(std::string_view utf8) const = 0;

    // The measurer in use (a CharacterWidthMeasurer unless one was installed).
    static const TextWidthMeasurer& current();
    // nullptr restores the default. The caller keeps ownership.
    static void setCurrent(const TextWidthMeasurer* measurer);
};

inline constexpr double kMergedNameWidthLimit = 517.0;

// Every character (code point) counts kPointsPerCharacter, so 70 characters are the most that
// stay narrower than kMergedNameWidthLimit. Text that is not valid UTF-8 counts its bytes.
class CharacterWidthMeasurer final : public TextWidthMeasurer {
public:
    static constexpr double kPointsPerCharacter = 7.3;
    double widthOfText(std::string_view utf8) const override;
};

// Installs a measurer for the lifetime of this object, then restores the previous one.
class ScopedTextWidthMeasurer {
public:
    explicit ScopedTextWidthMeasurer(const TextWidthMeasurer& measurer);
    ~ScopedTextWidthMeasurer();
    ScopedTextWidthMeasurer(const ScopedTextWidthMeasurer&) = delete;
    ScopedTextWidthMeasurer& operator=(const ScopedTextWidthMeasurer&) = delete;

private:
    const TextWidthMeasurer* previous_;
};

}  // namespace ravelong
