#pragma once

#include <QDialog>
#include <functional>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace ravelong {

// What the synchronisation windows share: a bold message, an informative text and buttons
// known by identifiers. The window floats above the others; each button ends it with the code
// its identifier gives, and closing it (Escape, the title bar) ends it with the code of the
// empty identifier. Main thread.
class SyncQuestionDialog : public QDialog {
    Q_OBJECT

public:
    using CodeForButton = std::function<int(const QString& identifier)>;

    SyncQuestionDialog(const QString& objectName, CodeForButton codeForButton,
                       QWidget* parent = nullptr);

    void setMessage(const QString& text);
    void setInformativeText(const QString& text);
    QPushButton* addButton(const QString& identifier, const QString& text, bool isDefault = false);

    // Shows the window centred, in front and with the focus, and returns its code once answered.
    int ask();

    QString message() const;
    QString informativeText() const;

    void reject() override;

protected:
    QLabel* messageLabel() const { return message_; }
    QVBoxLayout* contentLayout() const { return content_; }

private:
    CodeForButton codeForButton_;
    QLabel* message_;
    QLabel* informative_;
    QVBoxLayout* content_;
    QHBoxLayout* buttons_;
};

}  // namespace ravelong
