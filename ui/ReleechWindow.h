#pragma once

#include "ui/SyncQuestionDialog.h"

namespace ravelong {

// Asked when another computer started the sync folder's data again: "Synchronise Now"
// (identifier "releech", code 1) downloads it again; "Not Now" or closing the window gives 0.
class ReleechWindow final : public SyncQuestionDialog {
    Q_OBJECT

public:
    explicit ReleechWindow(QWidget* parent = nullptr);
};

}  // namespace ravelong
