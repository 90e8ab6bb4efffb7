#pragma once

#include <string>
#include <vector>

#include "core/services/UserScript.h"

namespace ravelong {

// A user script that records its calls, for tests.
class RecordingUserScript final : public UserScript {
public:
    struct Call {
        std::string handlerName;
        std::string timingUuid;
        bool operator==(const Call&) const = default;
    };

    explicit RecordingUserScript(bool installed = true) : installed_(installed) {}

    bool isInstalled() const override { return installed_; }
    void send(std::string handlerName, std::string timingUuid) override {
        calls_.push_back(Call{std::move(handlerName), std::move(timingUuid)});
    }

    const std::vector<Call>& calls() const { return calls_; }

private:
    bool installed_;
    std::vector<Call> calls_;
};

}  // namespace ravelong
