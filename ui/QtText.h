#pragma once

#include <QString>
#include <string_view>

namespace ravelong {

// A text of the program (UTF-8) as Qt takes it.
inline QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace ravelong
