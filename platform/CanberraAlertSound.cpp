#include "platform/CanberraAlertSound.h"

#include <canberra.h>

#include <string>

#include "foundation/Log.h"

namespace ravelong {

namespace {

constexpr std::string_view kRefusedActionEvent = "dialog-warning";

}  // namespace

CanberraAlertSound::CanberraAlertSound(std::function<void()> fallbackBeep)
    : fallbackBeep_(std::move(fallbackBeep)) {}

CanberraAlertSound::~CanberraAlertSound() {
    if (context_)
        ca_context_destroy(context_);
}

std::string_view CanberraAlertSound::eventIdForSound(std::string_view soundName) {
    if (soundName == kFunkSound)
        return kRefusedActionEvent;
    return {};
}

void CanberraAlertSound::playSound(std::string_view soundName) {
    const std::string_view eventId = eventIdForSound(soundName);
    if (!eventId.empty() && playEvent(eventId))
        return;
    if (fallbackBeep_)
        fallbackBeep_();
}

bool CanberraAlertSound::playEvent(std::string_view eventId) {
    if (!context_ && !contextFailed_) {
        if (ca_context_create(&context_) != CA_SUCCESS) {
            context_ = nullptr;
            contextFailed_ = true;
            logWarning("CanberraAlertSound", "no sound context; using the desktop bell");
        } else {
            ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Ravelong",
                                    CA_PROP_APPLICATION_ID, "app.ravelong.Ravelong", nullptr);
        }
    }
    if (!context_)
        return false;
    const std::string id(eventId);
    // Id 0: nothing ever cancels these short sounds. The call returns before the sound ends.
    const int result = ca_context_play(context_, 0, CA_PROP_EVENT_ID, id.c_str(),
                                       CA_PROP_EVENT_DESCRIPTION, "Action refused", nullptr);
    return result == CA_SUCCESS;
}

}  // namespace ravelong
