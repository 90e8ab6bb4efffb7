#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "app/LoginItemService.h"
#include "foundation/Error.h"

namespace ravelong {

// Start at login through the desktop's autostart folders: the entry
// <config home>/autostart/ravelong.desktop starts `programPath` when the user logs in.
//
// Turning it on writes that entry (atomically); turning it off removes it, or, when the system
// itself starts the program (an entry of the same name in a system autostart folder, as a
// package may install), writes an entry with Hidden=true, which is how a user's entry switches a
// system one off. The program path is quoted as desktop entries require, so a path with blanks,
// quotes, backslashes or percent signs starts the right program.
class XdgAutostart final : public LoginItemService {
public:
    XdgAutostart(std::filesystem::path programPath, std::filesystem::path configHome,
                 std::vector<std::filesystem::path> systemConfigFolders);

    // The running program (/proc/self/exe), $XDG_CONFIG_HOME (else ~/.config) and
    // $XDG_CONFIG_DIRS (else /etc/xdg). Relative paths in the variables are ignored, as the base
    // directory rules say.
    static XdgAutostart standard();

    const std::filesystem::path& programPath() const { return programPath_; }
    std::filesystem::path entryPath() const;

    bool isEnabled() const override;
    // Fails (nothing changed) when the entry cannot be written or removed, or when there is no
    // program path or it holds control characters, which an entry cannot carry.
    Status setEnabled(bool enabled) override;

    // The Exec value that starts `program` with no arguments.
    static std::string execValue(const std::filesystem::path& program);

private:
    std::filesystem::path systemEntry() const;

    std::filesystem::path programPath_;
    std::filesystem::path configHome_;
    std::vector<std::filesystem::path> systemConfigFolders_;
};

}  // namespace ravelong
