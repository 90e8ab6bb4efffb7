#pragma once

#include "foundation/Error.h"

namespace ravelong {

// Starting the program when the user logs in. XdgAutostart is the desktop's implementation;
// tests may substitute their own.
class LoginItemService {
public:
    virtual ~LoginItemService() = default;

    // Whether the program is started at login now.
    virtual bool isEnabled() const = 0;
    // Turns starting at login on or off. On failure nothing changed.
    virtual Status setEnabled(bool enabled) = 0;
};

}  // namespace ravelong
