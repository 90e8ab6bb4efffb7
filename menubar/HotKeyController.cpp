#include "menubar/HotKeyController.h"

#include "foundation/Log.h"
#include "menubar/HotKeyActions.h"

namespace ravelong {

HotKeyController::HotKeyController(UserDefaults& defaults, GlobalHotKeyService& service,
                                   HotKeyActions& actions)
    : defaults_(defaults), service_(service), actions_(actions) {
    service_.setActivationHandler([this](const std::string& identifier) {
        if (!actions_.perform(identifier))
            logWarning("hot keys", "unknown shortcut identifier " + identifier);
    });
    for (const HotKeyDefinition& definition : kHotKeyDefinitions) {
        update(definition.defaultsKey, definition.identifier);
        observers_.push_back(defaults_.addObserver(
            std::string(definition.defaultsKey), [this, definition](const std::string&) {
                update(definition.defaultsKey, definition.identifier);
            }));
    }
}

HotKeyController::~HotKeyController() {
    for (UserDefaults::ObserverId id : observers_)
        defaults_.removeObserver(id);
    service_.setActivationHandler({});
}

bool HotKeyController::isRegistered(std::string_view defaultsKey) const {
    const auto found = registered_.find(defaultsKey);
    return found != registered_.end() && found->second;
}

void HotKeyController::update(std::string_view defaultsKey, std::string_view identifier) {
    const std::string key(defaultsKey);
    errors_.erase(key);
    if (isRegistered(defaultsKey))
        service_.unregisterHotKey(identifier);
    registered_[key] = false;
    if (!defaults_.exists(defaultsKey))
        return;
    const auto combination =
        HotKeyCombination::fromDictionary(defaults_.dictionaryForKey(defaultsKey, nullptr));
    if (!combination.ok()) {
        errors_.emplace(key, combination.error());
        return;
    }
    if (!combination.value())
        return;
    const Status status = service_.registerHotKey(identifier, *combination.value());
    if (!status.ok()) {
        errors_.emplace(key, status.error());
        return;
    }
    registered_[key] = true;
}

}  // namespace ravelong
