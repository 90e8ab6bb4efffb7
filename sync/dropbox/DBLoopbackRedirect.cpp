#include "sync/dropbox/DBLoopbackRedirect.h"

#include "sync/SECloudFileSystem.h"

namespace ravelong {

Status DBLoopbackRedirect::open(Completion completion) {
    auto inspect = [this](const std::string& target) -> std::optional<LoopbackListener::Accepted> {
        auto state = LoopbackListener::queryValue(target, "state");
        // Not our sign-in (a stray or forged request): keep waiting for the real one.
        if (!state || *state != state_)
            return std::nullopt;
        auto code = LoopbackListener::queryValue(target, "code");
        if (code && !code->empty())
            return LoopbackListener::Accepted{
                "Ravelong is linked to Dropbox. You can close this window.", *code};
        auto error = LoopbackListener::queryValue(target, "error");
        return LoopbackListener::Accepted{
            "Ravelong was not linked to Dropbox. You can close this window.",
            makeSEError(kSEErrorAuthorization,
                        "Dropbox did not grant access" +
                            (error ? " (" + *error + ")." : std::string(".")))};
    };
    return listener_.open(preferredPort_, true,
                          "This sign-in reply does not belong to Ravelong's request.",
                          std::move(inspect), std::move(completion));
}

}  // namespace ravelong
