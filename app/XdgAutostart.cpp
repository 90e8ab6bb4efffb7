#include "app/XdgAutostart.h"

#include <fstream>
#include <string_view>
#include <system_error>

#include "app/AppStrings.h"
#include "foundation/AtomicFile.h"
#include "foundation/UserFolders.h"

namespace ravelong {

namespace {

constexpr std::string_view kAutostartFolder = "autostart";
constexpr std::string_view kDeletedSuffix = " (deleted)";

Error autostartError(std::string description, std::string reason) {
    return Error{kRavelongErrorDomain, kFileWriteErrorCode, std::move(description),
                 std::move(reason)};
}

std::filesystem::path runningProgram() {
    std::error_code ec;
    std::string path = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec)
        return {};
    // The program file was replaced by an update while running; the new one is at the old path.
    if (path.ends_with(kDeletedSuffix))
        path.resize(path.size() - kDeletedSuffix.size());
    return path;
}

// Whether an entry starts the program: it is not hidden and not switched off.
bool entryStartsProgram(const std::filesystem::path& entry) {
    std::ifstream in(entry);
    if (!in)
        return false;
    bool inMainGroup = false;
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false")
            return false;
    }
    return true;
}

bool hasControlCharacter(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return true;
    }
    return false;
}

}  // namespace

XdgAutostart::XdgAutostart(std::filesystem::path programPath, std::filesystem::path configHome,
                           std::vector<std::filesystem::path> systemConfigFolders)
    : programPath_(std::move(programPath)),
      configHome_(std::move(configHome)),
      systemConfigFolders_(std::move(systemConfigFolders)) {}

XdgAutostart XdgAutostart::standard() {
    return XdgAutostart(runningProgram(), user_folders::configHome(), user_folders::configDirs());
}

std::filesystem::path XdgAutostart::entryPath() const {
    return configHome_ / kAutostartFolder / kAutostartFileName;
}

std::filesystem::path XdgAutostart::systemEntry() const {
    for (const std::filesystem::path& folder : systemConfigFolders_) {
        std::filesystem::path entry = folder / kAutostartFolder / kAutostartFileName;
        std::error_code ec;
        if (std::filesystem::is_regular_file(entry, ec))
            return entry;
    }
    return {};
}

bool XdgAutostart::isEnabled() const {
    std::error_code ec;
    if (std::filesystem::exists(entryPath(), ec))
        return entryStartsProgram(entryPath());
    const std::filesystem::path system = systemEntry();
    return !system.empty() && entryStartsProgram(system);
}

// Arguments with reserved characters are quoted, with ", `, $ and \ escaped inside the quotes;
// the whole value is then a string value, whose own escaping doubles every backslash; and a
// literal % is written %%. So /opt/My "App"/ravelong becomes "/opt/My \\"App\\"/ravelong".
std::string XdgAutostart::execValue(const std::filesystem::path& program) {
    const std::string path = program.string();
    constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string argument;
    const bool quote = path.find_first_of(kReserved) != std::string::npos;
    for (char c : path) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            argument += '\\';
        argument += c;
    }
    if (quote)
        argument = '"' + argument + '"';
    std::string value;
    for (char c : argument) {
        if (c == '\\')
            value += "\\\\";
        else if (c == '%')
            value += "%%";
        else
            value += c;
    }
    return value;
}

Status XdgAutostart::setEnabled(bool enabled) {
    const std::filesystem::path entry = entryPath();
    const bool systemStartsIt = [&] {
        const std::filesystem::path system = systemEntry();
        return !system.empty() && entryStartsProgram(system);
    }();

    if (!enabled && !systemStartsIt) {
        std::error_code ec;
        std::filesystem::remove(entry, ec);
        if (ec) {
            return autostartError("The startup entry " + entry.string() + " could not be removed.",
                                  ec.message());
        }
        return Status::success();
    }

    if (programPath_.empty() || !programPath_.is_absolute()) {
        return autostartError("The location of the program is not known.",
                              "Cannot tell the desktop what to start.");
    }
    if (hasControlCharacter(programPath_.string())) {
        return autostartError("The program's location " + programPath_.string() +
                                  " cannot be written into a startup entry.",
                              "It contains control characters.");
    }
    std::string contents = "[Desktop Entry]\nType=Application\nName=";
    contents += kApplicationName;
    contents += "\nExec=" + execValue(programPath_) + "\n";
    if (enabled) {
        contents += "Icon=ravelong\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
    } else {
        contents += "Hidden=true\n";
    }
    Status written = writeFileAtomically(entry, contents);
    if (!written) {
        return autostartError("The startup entry " + entry.string() + " could not be written.",
                              written.error().failureReason);
    }
    return Status::success();
}

}  // namespace ravelong
