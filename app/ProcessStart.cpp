#include "app/ProcessStart.h"

#include <sys/utsname.h>

#include <limits>
#include <system_error>

#include "app/PreferenceKeys.h"
#include "foundation/UserDefaults.h"

namespace ravelong::process_start {

namespace {

constexpr double kSystemFontSize = 13.0;
constexpr std::int64_t kFontSmoothing = 1;

std::int64_t runningKernelMinorVersion() {
    utsname names{};
    if (uname(&names) != 0)
        return 0;
    return minorVersionOfRelease(names.release);
}

}  // namespace

void writeStartPreferences(const DataLocations& locations) {
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setDouble(kNSSystemFontSize, kSystemFontSize);
    defaults.setInteger(kZRSystemVersion, runningKernelMinorVersion());
    defaults.setInteger(kAppleFontSmoothing, kFontSmoothing);
    defaults.setInteger(kZRFilesInOldDirectory,
                        numberOfEntriesInDirectory(locations.applicationFilesDirectory()));
    defaults.setInteger(kZRFilesInNewDirectory,
                        numberOfEntriesInDirectory(locations.oldGroupApplicationFilesDirectory()));
    (void)defaults.synchronize();  // failures are logged there
}

std::int64_t minorVersionOfRelease(std::string_view release) {
    const std::size_t dot = release.find('.');
    if (dot == std::string_view::npos)
        return 0;
    constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max();
    std::int64_t minor = 0;
    for (std::size_t i = dot + 1; i < release.size() && release[i] >= '0' && release[i] <= '9';
         ++i) {
        const int digit = release[i] - '0';
        if (minor > (kLargest - digit) / 10)
            return 0;
        minor = minor * 10 + digit;
    }
    return minor;
}

std::int64_t numberOfEntriesInDirectory(const std::filesystem::path& folder) {
    std::int64_t count = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        ++count;
    return error ? 0 : count;
}

}  // namespace ravelong::process_start
