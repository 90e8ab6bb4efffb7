#include "ui/ICloudAccountBox.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "sync/cloudkit/ICloudSyncBackend.h"
#include "ui/QtText.h"

namespace ravelong {

ICloudAccountBox::ICloudAccountBox(ICloudSyncBackend& backend, QWidget* parent)
    : QGroupBox(tr("iCloud"), parent), backend_(backend) {
    setObjectName(QStringLiteral("ICloudAccount"));
    container_ = new QLineEdit(this);
    container_->setObjectName(QStringLiteral("ICloudContainer"));
    container_->setPlaceholderText(QStringLiteral("iCloud.org.example.Times"));
    apiToken_ = new QLineEdit(this);
    apiToken_->setObjectName(QStringLiteral("ICloudAPIToken"));
    environment_ = new QComboBox(this);
    environment_->setObjectName(QStringLiteral("ICloudEnvironment"));
    environment_->addItem(tr("Development"), QStringLiteral("development"));
    environment_->addItem(tr("Production"), QStringLiteral("production"));
    account_ = new QLabel(this);
    account_->setObjectName(QStringLiteral("ICloudSignedIn"));
    signIn_ = new QPushButton(tr("Sign In..."), this);
    signIn_->setObjectName(QStringLiteral("ICloudSignIn"));
    signOut_ = new QPushButton(tr("Sign Out"), this);
    signOut_->setObjectName(QStringLiteral("ICloudSignOut"));
    paste_ = new QLineEdit(this);
    paste_->setObjectName(QStringLiteral("ICloudPaste"));
    paste_->setPlaceholderText(tr("Paste the address the browser ended at"));
    paste_->setEchoMode(QLineEdit::Password);
    usePaste_ = new QPushButton(tr("Use"), this);
    usePaste_->setObjectName(QStringLiteral("ICloudUsePaste"));
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("ICloudMessage"));
    message_->setWordWrap(true);
    message_->setStyleSheet(QStringLiteral("color: palette(highlight);"));
    message_->hide();

    auto* accountRow = new QHBoxLayout;
    accountRow->addWidget(account_, 1);
    accountRow->addWidget(signIn_);
    accountRow->addWidget(signOut_);
    auto* pasteRow = new QHBoxLayout;
    pasteRow->addWidget(paste_, 1);
    pasteRow->addWidget(usePaste_);
    auto* form = new QFormLayout(this);
    form->addRow(tr("Container:"), container_);
    form->addRow(tr("API token:"), apiToken_);
    form->addRow(tr("Environment:"), environment_);
    form->addRow(tr("Account:"), accountRow);
    form->addRow(pasteRow);
    form->addRow(message_);

    connect(signIn_, &QPushButton::clicked, this, &ICloudAccountBox::signIn);
    connect(signOut_, &QPushButton::clicked, this, &ICloudAccountBox::signOut);
    connect(usePaste_, &QPushButton::clicked, this, [this] { usePasted(paste_->text()); });
    connect(paste_, &QLineEdit::returnPressed, this, [this] { usePasted(paste_->text()); });
    refresh();
}

ICloudAccountBox::~ICloudAccountBox() {
    backend_.cancelSignIn();
}

void ICloudAccountBox::refresh() {
    const bool signedIn = backend_.isSignedIn();
    const bool signingIn = backend_.isSigningIn();
    container_->setText(qt(backend_.containerIdentifier()));
    apiToken_->setText(qt(backend_.apiToken()));
    environment_->setCurrentIndex(environment_->findData(qt(backend_.environment())));
    for (QWidget* field : std::initializer_list<QWidget*>{container_, apiToken_, environment_})
        field->setEnabled(!signedIn && !signingIn);
    account_->setText(signingIn  ? tr("Signing in... (finish in your browser)")
                      : signedIn ? tr("Signed in")
                                 : tr("Not signed in"));
    // One account action at a time, as Dropbox's Link/Unlink: "Sign In..." until signed in
    // (disabled while the browser has the page), then "Sign Out" ("Cancel" during a sign-in).
    signIn_->setVisible(!signedIn);
    signIn_->setEnabled(!signedIn && !signingIn);
    signOut_->setVisible(signedIn || signingIn);
    signOut_->setEnabled(signedIn || signingIn);
    signOut_->setText(signingIn ? tr("Cancel") : tr("Sign Out"));
    paste_->setVisible(signingIn);
    usePaste_->setVisible(signingIn);
}

void ICloudAccountBox::setFields(const QString& container, const QString& apiToken,
                                 const QString& environment) {
    container_->setText(container);
    apiToken_->setText(apiToken);
    environment_->setCurrentIndex(std::max(0, environment_->findData(environment)));
}

void ICloudAccountBox::signIn() {
    showMessage(QString());
    if (!backend_.isSignedIn()) {
        Status kept =
            backend_.setContainer(container_->text().toStdString(), apiToken_->text().toStdString(),
                                  environment_->currentData().toString().toStdString());
        if (!kept) {
            showMessage(qt(kept.error().description));
            return;
        }
    }
    QPointer<ICloudAccountBox> box(this);
    backend_.signIn([box](Status status) {
        if (!box)
            return;
        box->paste_->clear();
        box->showMessage(status ? QString() : qt(status.error().description));
        box->refresh();
        emit box->accountChanged();
    });
    refresh();
}

void ICloudAccountBox::signOut() {
    showMessage(QString());
    if (backend_.isSigningIn()) {
        backend_.cancelSignIn();
    } else if (Status out = backend_.signOut(); !out) {
        showMessage(qt(out.error().description));
    }
    refresh();
    emit accountChanged();
}

void ICloudAccountBox::usePasted(const QString& text) {
    Status used = backend_.paste(text.toStdString());
    showMessage(used ? QString() : qt(used.error().description));
}

void ICloudAccountBox::showMessage(const QString& text) {
    message_->setText(text);
    message_->setVisible(!text.isEmpty());
}

QString ICloudAccountBox::accountText() const {
    return account_->text();
}

QString ICloudAccountBox::message() const {
    return message_->text();
}

bool ICloudAccountBox::signInEnabled() const {
    return !signIn_->isHidden() && signIn_->isEnabled();
}

bool ICloudAccountBox::signOutEnabled() const {
    return !signOut_->isHidden() && signOut_->isEnabled();
}

bool ICloudAccountBox::pasteVisible() const {
    return !paste_->isHidden();
}

}  // namespace ravelong
