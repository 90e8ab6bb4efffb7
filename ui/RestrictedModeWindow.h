#pragma once

#include <QDialog>

class QLabel;

namespace ravelong {

// Explains the restricted mode (the user's calendar is not Gregorian). Floating and centred.
class RestrictedModeWindow final : public QDialog {
    Q_OBJECT

public:
    explicit RestrictedModeWindow(QWidget* parent = nullptr);
    void present(const QString& text);
    QString text() const;

private:
    QLabel* text_;
};

}  // namespace ravelong
