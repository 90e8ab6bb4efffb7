#pragma once

#include <string_view>

namespace ravelong {

class ZRDurationPicker;

// What a duration picker tells the view that shows it. Called on the main thread. The view may
// read the picker from these callbacks but must not change it there.
class ZRDurationPickerDelegate {
public:
    virtual ~ZRDurationPickerDelegate() = default;

    // The duration or the text of a field changed; redraw from the picker.
    virtual void durationPickerDidChange(const ZRDurationPicker& picker) = 0;

    // A key, a step or a value was refused; play the named system sound (kFunkSound).
    virtual void durationPickerPlaySound(std::string_view soundName) = 0;
};

}  // namespace ravelong
