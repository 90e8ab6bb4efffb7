#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/DataLocations.h"
#include "exchange/BackupRestore.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressDialog;
class QPushButton;

namespace ravelong {

class AlertPresenter;
class AutomaticBackup;
class BackupReadController;
class MainLoop;
class StoreStack;
class ZRAutomaticBackup;

// The Backups pane of the preferences window: automatic backups on or off, how many are kept,
// the folder they go to (choosing another moves the existing backups there), a backup at once,
// and restoring or importing a backup file with its checks, questions, progress and result.
// The work itself is done by ZRAutomaticBackup and BackupReadController; questions and results
// go through the AlertPresenter given. Main thread.
class BackupsPane final : public QWidget {
    Q_OBJECT

public:
    // Asks for a file or folder; an empty path when the user cancelled. The defaults show
    // QFileDialog; tests give their own.
    using FolderChooser = std::function<std::filesystem::path(const std::filesystem::path& start)>;
    using FileChooser = std::function<std::filesystem::path(const std::filesystem::path& start)>;

    BackupsPane(StoreStack& stack, ZRAutomaticBackup& backup, AlertPresenter& alerts,
                MainLoop& loop, DataLocations locations, QWidget* parent = nullptr);
    ~BackupsPane() override;

    void setFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }
    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    // Called before a restore, to stop the running timer (the timer controller's job).
    void setStopTimer(std::function<void()> stopTimer) { stopTimer_ = std::move(stopTimer); }

    // Shows the stored settings again (when the pane is shown).
    void refresh();
    // The actions of the buttons.
    void backUpNow();
    void chooseBackupFolder();
    void resetToDefaultFolder();
    void selectFile(backup_restore::Mode mode);
    void clearAllData();

    QString folderText() const;
    bool busy() const;

signals:
    // A restore or import ended (successfully or not); the store may have changed.
    void backupRead(bool succeeded);

private:
    void moveBackupsTo(const std::filesystem::path& previous, const std::filesystem::path& folder);
    void runChecked(const BackupFileInfo& info, backup_restore::Mode mode);
    void finished(backup_restore::Mode mode, const Result<backup_restore::Outcome>& outcome);
    void showError(const std::string& message, const Error& error);

    StoreStack& stack_;
    ZRAutomaticBackup& backup_;
    AlertPresenter& alerts_;
    DataLocations locations_;
    std::unique_ptr<BackupReadController> reader_;
    FolderChooser chooseFolder_;
    FileChooser chooseFile_;
    std::function<void()> stopTimer_;

    QCheckBox* enabled_;
    QComboBox* count_;
    QLabel* folder_;
    QPushButton* backUpNow_;
    QPushButton* restore_;
    QPushButton* import_;
    QPushButton* clear_;
    QLabel* info_;
    QProgressDialog* progress_ = nullptr;
};

}  // namespace ravelong
