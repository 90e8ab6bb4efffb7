#pragma once

#include <QString>
#include <string_view>

namespace ravelong {

// A text of the program (UTF-8) as Qt takes it.
inline QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A full task name (getFullTaskName) as lists and choosers show it: the path without its leading
// mark, which only orders full names after plain ones and which most fonts cannot draw.
inline QString shownTaskPath(std::string_view fullName) {
    QString name = qt(fullName);
    if (name.startsWith(QChar(0xFE46)))
        name.remove(0, 1);
    return name;
}

}  // namespace ravelong
