#include "ui/BackupsPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/PreferenceKeys.h"
#include "app/StoreStack.h"
#include "app/ZRUserDefaults.h"
#include "app/ZRUserDefaults2.h"
#include "exchange/BackupReadController.h"
#include "exchange/BackupTexts.h"
#include "exchange/ZRAutomaticBackup.h"
#include "foundation/AlertPresenter.h"
#include "foundation/UserDefaults.h"
#include "ui/QtText.h"

namespace ravelong {

namespace texts = backup_texts;

namespace {

constexpr int kCounts[] = {2, 4, 6, 8, 16, 32};

QString withName(std::string_view text, const std::string& name) {
    QString result = qt(text);
    return result.replace(QStringLiteral("%@"), QString::fromStdString(name));
}

}  // namespace

BackupsPane::BackupsPane(StoreStack& stack, ZRAutomaticBackup& backup, AlertPresenter& alerts,
                         MainLoop& loop, DataLocations locations, QWidget* parent)
    : QWidget(parent),
      stack_(stack),
      backup_(backup),
      alerts_(alerts),
      locations_(std::move(locations)),
      reader_(std::make_unique<BackupReadController>(stack, loop)) {
    chooseFolder_ = [this](const std::filesystem::path& start) {
        QFileDialog dialog(this);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setLabelText(QFileDialog::Accept, qt(texts::kSelect));
        dialog.setDirectory(QString::fromStdString(start.string()));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::filesystem::path();
        return std::filesystem::path(dialog.selectedFiles().front().toStdString());
    };
    chooseFile_ = [this](const std::filesystem::path& start) {
        const QString file = QFileDialog::getOpenFileName(
            this, QString(), QString::fromStdString(start.string()), QStringLiteral("XML (*.xml)"));
        return std::filesystem::path(file.toStdString());
    };

    enabled_ = new QCheckBox(qt(texts::kAutomaticBackups), this);
    count_ = new QComboBox(this);
    for (int count : kCounts)
        count_->addItem(QString::number(count), count);
    folder_ = new QLabel(this);
    folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* choose = new QPushButton(qt(texts::kChooseFolder), this);
    auto* reset = new QPushButton(qt(texts::kDefaultFolder), this);
    backUpNow_ = new QPushButton(qt(texts::kBackUpNow), this);
    restore_ = new QPushButton(qt(texts::kRestoreButton), this);
    import_ = new QPushButton(qt(texts::kImportButton), this);
    clear_ = new QPushButton(qt(texts::kClearAllDataButton), this);
    info_ = new QLabel(qt(texts::kNoFileSelected), this);
    info_->setObjectName("info");
    info_->setWordWrap(true);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(choose);
    folderRow->addWidget(reset);
    auto* form = new QFormLayout;
    form->addRow(enabled_);
    form->addRow(qt(texts::kBackupsKept), count_);
    form->addRow(qt(texts::kBackupFolder), folderRow);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(backUpNow_);
    buttons->addStretch();
    buttons->addWidget(restore_);
    buttons->addWidget(import_);
    buttons->addWidget(clear_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(info_);
    layout->addStretch();

    connect(enabled_, &QCheckBox::toggled, this, [this](bool on) {
        ZRUserDefaults2::setAutoBackupEnabled(on);
        (void)UserDefaults::standard().synchronize();
        if (on)
            backup_.backupForce(false);
    });
    connect(count_, &QComboBox::activated, this, [this](int index) {
        ZRUserDefaults2::setAutoBackupCount(count_->itemData(index).toInt());
        (void)UserDefaults::standard().synchronize();
    });
    connect(choose, &QPushButton::clicked, this, &BackupsPane::chooseBackupFolder);
    connect(reset, &QPushButton::clicked, this, &BackupsPane::resetToDefaultFolder);
    connect(backUpNow_, &QPushButton::clicked, this, &BackupsPane::backUpNow);
    connect(clear_, &QPushButton::clicked, this, &BackupsPane::clearAllData);
    connect(restore_, &QPushButton::clicked, this,
            [this] { selectFile(backup_restore::Mode::restore); });
    connect(import_, &QPushButton::clicked, this,
            [this] { selectFile(backup_restore::Mode::import); });
    refresh();
}

BackupsPane::~BackupsPane() = default;

void BackupsPane::refresh() {
    const QSignalBlocker blockEnabled(enabled_);
    enabled_->setChecked(ZRUserDefaults2::autoBackupEnabled());
    const QSignalBlocker blockCount(count_);
    count_->setCurrentIndex(count_->findData(static_cast<int>(ZRUserDefaults2::autoBackupCount())));
    const bool chosen = UserDefaults::standard().exists(kZRAutoBackupLocationData);
    auto folder = ZRUserDefaults::getAutoBackupLocation(locations_);
    folder_->setText(folder ? QString::fromStdString(folder->string()) : QString());
    // The chosen folder was forgotten just now: say so rather than switch silently.
    if (chosen && !UserDefaults::standard().exists(kZRAutoBackupLocationData))
        info_->setText(qt(texts::kFolderFellBack));
}

void BackupsPane::clearAllData() {
    if (busy())
        return;
    Alert question{std::string(texts::kClearQuestion),
                   std::string(texts::kClearExplanation),
                   {std::string(texts::kCancel), std::string(texts::kDelete)}};
    if (alerts_.runModal(question).buttonIndex != 1)
        return;
    if (stopTimer_)
        stopTimer_();
    auto main = stack_.managedObjectContext();
    Status cleared = main ? backup_restore::clearAllDataAndSave(**main) : Status(main.error());
    if (!cleared)
        showError(std::string(texts::kClearFailed), cleared.error());
    emit backupRead(cleared.ok());
}

QString BackupsPane::folderText() const {
    return folder_->text();
}

bool BackupsPane::busy() const {
    return reader_->busy();
}

void BackupsPane::showError(const std::string& message, const Error& error) {
    Alert alert;
    alert.messageText = message;
    alert.informativeText =
        error.description + (error.failureReason.empty() ? "" : "\n" + error.failureReason);
    alerts_.runModal(alert);
}

void BackupsPane::backUpNow() {
    if (busy())
        return;
    // The file is written on a worker from a copy of the store; the window stays responsive.
    backUpNow_->setEnabled(false);
    info_->setText(qt(texts::kBackingUp));
    reader_->backUp(backup_, [this](Result<std::optional<std::filesystem::path>> written) {
        backUpNow_->setEnabled(true);
        info_->clear();
        if (!written) {
            showError(std::string(texts::kBackupFailed), written.error());
            return;
        }
        if (*written)
            info_->setText(withName(texts::kBackupWritten, (*written)->filename().string()));
    });
}

void BackupsPane::moveBackupsTo(const std::filesystem::path& previous,
                                const std::filesystem::path& folder) {
    std::error_code error;
    if (!previous.empty() && !std::filesystem::equivalent(previous, folder, error))
        ZRAutomaticBackup::moveRavelongBackupsFromFolder(previous, folder);
    refresh();
}

void BackupsPane::chooseBackupFolder() {
    auto previous = ZRUserDefaults::getAutoBackupLocation(locations_);
    const std::filesystem::path chosen =
        chooseFolder_(previous ? *previous : std::filesystem::path());
    if (chosen.empty())
        return;
    ZRUserDefaults::setAutoBackupLocation(chosen);
    moveBackupsTo(previous ? *previous : std::filesystem::path(), chosen);
}

void BackupsPane::resetToDefaultFolder() {
    auto previous = ZRUserDefaults::getAutoBackupLocation(locations_);
    UserDefaults::standard().remove(kZRAutoBackupLocationData);
    (void)UserDefaults::standard().synchronize();
    auto folder = ZRUserDefaults::getAutoBackupLocation(locations_);
    if (folder)
        moveBackupsTo(previous ? *previous : std::filesystem::path(), *folder);
}

void BackupsPane::selectFile(backup_restore::Mode mode) {
    if (busy())
        return;
    auto folder = ZRUserDefaults::getAutoBackupLocation(locations_);
    const std::filesystem::path file = chooseFile_(folder ? *folder : std::filesystem::path());
    if (file.empty())
        return;
    info_->setText(qt(texts::kValidating));
    restore_->setEnabled(false);
    import_->setEnabled(false);
    reader_->check(file, [this, mode, file](Result<BackupFileInfo> info) {
        restore_->setEnabled(true);
        import_->setEnabled(true);
        if (!info) {
            info_->setText(info.error().code == texts::kBackupInvalidCode
                               ? qt(texts::kNotValid)
                               : qt(texts::kValidationError));
            return;
        }
        info_->setText(withName(texts::kSelected, file.filename().string()));
        if (!info->integrityMatches()) {
            Alert edited{std::string(texts::kEditedFile),
                         std::string(texts::kEditedFileExplanation),
                         {std::string(texts::kCancel), std::string(texts::kProceed)}};
            if (alerts_.runModal(edited).buttonIndex != 1) {
                info_->setText(qt(texts::kNoFileSelected));
                return;
            }
        }
        if (mode == backup_restore::Mode::restore) {
            Alert warning{std::string(texts::kRestoreQuestion),
                          std::string(texts::kRestoreExplanation),
                          {std::string(texts::kCancel), std::string(texts::kRestore)}};
            if (alerts_.runModal(warning).buttonIndex != 1) {
                info_->setText(qt(texts::kNoFileSelected));
                return;
            }
        }
        runChecked(*info, mode);
    });
}

void BackupsPane::runChecked(const BackupFileInfo& info, backup_restore::Mode mode) {
    if (mode == backup_restore::Mode::restore && stopTimer_)
        stopTimer_();
    progress_ = new QProgressDialog(
        qt(mode == backup_restore::Mode::import ? texts::kImporting : texts::kRestoring), QString(),
        0, static_cast<int>(std::min<std::uint64_t>(info.progressMaximum, INT32_MAX)), this);
    progress_->setCancelButton(nullptr);
    progress_->setMinimumDuration(0);
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setValue(0);
    reader_->run(
        info, mode,
        [this](std::uint64_t done, std::uint64_t) {
            if (progress_)
                progress_->setValue(static_cast<int>(std::min<std::uint64_t>(done, INT32_MAX)));
        },
        [this, mode](Result<backup_restore::Outcome> outcome) { finished(mode, outcome); });
}

void BackupsPane::finished(backup_restore::Mode mode,
                           const Result<backup_restore::Outcome>& outcome) {
    if (progress_) {
        progress_->deleteLater();
        progress_ = nullptr;
    }
    info_->setText(qt(texts::kNoFileSelected));
    Alert result;
    result.style = Alert::Style::Informational;
    if (outcome) {
        result.messageText = backup_restore::resultTitle(mode);
        result.informativeText = backup_restore::resultText(mode, outcome.value());
    } else {
        result.style = Alert::Style::Warning;
        result.messageText = std::string(texts::kProblem);
        result.informativeText = std::string(texts::kNoChanges) + "\n" +
                                 outcome.error().description + " " + outcome.error().failureReason;
    }
    alerts_.runModal(result);
    emit backupRead(outcome.ok());
}

}  // namespace ravelong
