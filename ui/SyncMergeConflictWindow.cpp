#include "ui/SyncMergeConflictWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

#include "sync/SyncAlerts.h"
#include "sync/SyncTexts.h"
#include "ui/QtText.h"

namespace ravelong {

namespace t = sync_texts;

SyncMergeConflictWindow::SyncMergeConflictWindow(QWidget* parent)
    : SyncQuestionDialog(
          QStringLiteral("mergeConflictWindow"),
          [](const QString& identifier) {
              return identifier == QLatin1String("useCloud") ? SyncAlerts::kUseCloud
                                                             : SyncAlerts::kUseLocal;
          },
          parent),
      applyToAll_(new QCheckBox(qt(t::kApplyToAllConflicts), this)) {
    setWindowTitle(qt(t::kMergeConflictTitle));
    applyToAll_->setObjectName(QStringLiteral("applyToAll"));
    contentLayout()->addWidget(applyToAll_);
    addButton(QStringLiteral("useLocal"), qt(t::kUseLocal));
    addButton(QStringLiteral("useCloud"), qt(t::kUseCloud), true);
    messageLabel()->setTextFormat(Qt::RichText);
    QFont font = messageLabel()->font();
    font.setBold(false);
    messageLabel()->setFont(font);
}

void SyncMergeConflictWindow::setConflictMessage(const QString& message) {
    // Each line of the text is a paragraph; rich text is the one way a label spaces them.
    QString html;
    for (const QString& line : message.split(QLatin1Char('\n')))
        html += QStringLiteral("<p style=\"margin-top:0; margin-bottom:%1px\">%2</p>")
                    .arg(kParagraphSpacing)
                    .arg(line.toHtmlEscaped());
    setMessage(html);
    resize(width(), sizeHint().height());
}

bool SyncMergeConflictWindow::applyToAll() const {
    return applyToAll_->isChecked();
}

QSize SyncMergeConflictWindow::sizeHint() const {
    const int width = std::max(this->width(), minimumWidth());
    const int messageWidth =
        width - layout()->contentsMargins().left() - layout()->contentsMargins().right();
    return {width, messageLabel()->heightForWidth(messageWidth) + kExtraHeight};
}

}  // namespace ravelong
