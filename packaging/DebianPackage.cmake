# The Debian package (scripts/package builds it): cpack -G DEB in a Release build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ravelong)
set(CPACK_PACKAGE_VENDOR "The Ravelong developers")
set(CPACK_PACKAGE_CONTACT "The Ravelong developers <ravelong@users.noreply.github.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "time tracker of the system tray")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/ravelong/ravelong")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
# The libraries the programs link against, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps does not see them: the SVG plugins of Qt, the
# platform plugins, and the session bus the scripting interface lives on.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-qpa-plugins, default-dbus-session-bus | dbus-session-bus")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sound-theme-freedesktop")
# CPack puts the summary on the first line and indents these lines itself; an empty line
# separates paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Ravelong keeps a timer in the system tray: a click on a task starts its
timer, another stops it. The main window shows the task tree, the timings
of every task, totals of a day, week, month or year, and charts.

Backups, CSV export and import, a D-Bus scripting
interface and the ravelong-cli command line program are included.")
include(CPack)
