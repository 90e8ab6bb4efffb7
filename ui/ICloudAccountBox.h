#pragma once

#include <QGroupBox>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ravelong {

class ICloudSyncBackend;

// The iCloud account in the Sync pane: the user's CloudKit container (identifier, API token,
// environment), whether the user is signed in, "Sign In..." (the sign-in page opens in the
// browser) and "Sign Out", and a line where the token can be pasted when the browser does not
// come back by itself. The container is kept when the sign-in starts; what cannot be used is
// said in the box's message line and changes nothing. Main thread; the back-end must outlive
// the box.
class ICloudAccountBox final : public QGroupBox {
    Q_OBJECT

public:
    explicit ICloudAccountBox(ICloudSyncBackend& backend, QWidget* parent = nullptr);
    ~ICloudAccountBox() override;

    // Shows the back-end's settings and sign-in again.
    void refresh();

    // What the box shows, for tests.
    QString accountText() const;
    QString message() const;
    // Shown and enabled.
    bool signInEnabled() const;
    bool signOutEnabled() const;
    bool pasteVisible() const;

    // The controls' actions, as a click reaches them.
    void setFields(const QString& container, const QString& apiToken, const QString& environment);
    void signIn();
    void signOut();
    void usePasted(const QString& text);

signals:
    // The sign-in ended (successfully or not) or the user signed out.
    void accountChanged();

private:
    void showMessage(const QString& text);

    ICloudSyncBackend& backend_;
    QLineEdit* container_;
    QLineEdit* apiToken_;
    QComboBox* environment_;
    QLabel* account_;
    QPushButton* signIn_;
    QPushButton* signOut_;
    QLineEdit* paste_;
    QPushButton* usePaste_;
    QLabel* message_;
};

}  // namespace ravelong
