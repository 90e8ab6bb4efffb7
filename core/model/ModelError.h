#pragma once

#include <string>

#include "foundation/Error.h"

namespace ravelong {

// Codes of kRavelongErrorDomain for values the records refuse.
enum class ModelErrorCode {
    NewDayHourOutOfRange = 201,  // a day cut-off hour outside 0...23
};

inline Error modelError(ModelErrorCode code, std::string description, std::string reason = {}) {
    return Error{kRavelongErrorDomain, static_cast<int>(code), std::move(description),
                 std::move(reason)};
}

}  // namespace ravelong
