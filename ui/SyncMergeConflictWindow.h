#pragma once

#include "ui/SyncQuestionDialog.h"

class QCheckBox;

namespace ravelong {

// Asks which side of a merge conflict wins: "Use Cloud" (identifier "useCloud", code 0) or "Use
// Local" (any other button or closing the window, code 1), with a check box that applies the
// answer to every conflict of the merge. The message keeps its line breaks as paragraphs 8
// points apart, and the window is as tall as the message plus 100 points, its width unchanged.
class SyncMergeConflictWindow final : public SyncQuestionDialog {
    Q_OBJECT

public:
    static constexpr int kParagraphSpacing = 8;
    static constexpr int kExtraHeight = 100;

    explicit SyncMergeConflictWindow(QWidget* parent = nullptr);

    // Sets the message (a text of ZRMergeConflictMessage) and fits the window to it.
    void setConflictMessage(const QString& message);
    bool applyToAll() const;

    QSize sizeHint() const override;

private:
    QCheckBox* applyToAll_;
};

}  // namespace ravelong
