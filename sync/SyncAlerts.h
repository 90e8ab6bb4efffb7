#pragma once

#include <string>

namespace ravelong {

// The questions synchronisation asks the user, each answered with its window's modal code.
// The Qt program shows its windows; tests answer from a script. Main thread only; each call
// returns once the user has answered.
class SyncAlerts {
public:
    // Merge conflict: kUseCloud or kUseLocal, and whether the answer holds for every conflict
    // of this merge.
    static constexpr int kUseCloud = 0, kUseLocal = 1;
    // Cloud data available when this computer joins: keep this computer's data and continue,
    // or delete the cloud's data; anything else (the window closed) is kCloudDataOther.
    static constexpr int kCloudDataOther = 0, kCloudDataDelete = 1, kCloudDataContinue = 2;
    // Re-leech (another computer reset the cloud data): download it again, or not now.
    static constexpr int kReleechLater = 0, kReleechNow = 1;

    struct ConflictAnswer {
        int code = kUseLocal;
        bool applyToAll = false;
    };

    virtual ~SyncAlerts() = default;
    // `message` comes from ZRMergeConflictMessage.
    virtual ConflictAnswer askMergeConflict(const std::string& message) = 0;
    virtual int askCloudDataAvailable() = 0;
    virtual int askReleech() = 0;
    virtual void showAlert(const std::string& message, const std::string& additionalMessage) = 0;
};

}  // namespace ravelong
