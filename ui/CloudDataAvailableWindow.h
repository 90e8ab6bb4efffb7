#pragma once

#include "ui/SyncQuestionDialog.h"

namespace ravelong {

// Asked when this computer joins a sync folder that already holds data: a button whose
// identifier begins with "continue" gives code 2 (merge with it), one beginning with "delete"
// gives 1 (start the folder again from this computer), closing the window gives 0.
class CloudDataAvailableWindow final : public SyncQuestionDialog {
    Q_OBJECT

public:
    explicit CloudDataAvailableWindow(QWidget* parent = nullptr);
    static int codeForButton(const QString& identifier);
};

}  // namespace ravelong
