#pragma once

#include <string_view>

#include "foundation/Error.h"

namespace ravelong {

// What a pass over a backup file tells its reader, element by element (BackupFilePass).
class BackupElementHandler {
public:
    virtual ~BackupElementHandler() = default;
    virtual Status startElement(std::string_view name) = 0;
    // `text`: the element's own text, as in the file (entities decoded, white space kept); empty
    // for elements that hold other elements.
    virtual Status endElement(std::string_view name, std::string_view text) = 0;
};

}  // namespace ravelong
