#include "ui/X11HotKeyService.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
// Xlib's macros would replace names the program uses.
#undef Status
#undef None
#undef Bool

#include <array>

#include "foundation/Log.h"

namespace ravelong {

namespace {

// The error a refused grab raised, collected by the handler below during one synchronous try.
int lastGrabError = 0;

int collectError(::Display*, XErrorEvent* event) {
    lastGrabError = event->error_code;
    return 0;
}

}  // namespace

struct X11HotKeyService::Display {
    ::Display* display = nullptr;
    Window root = 0;
    unsigned int numLockMask = Mod2Mask;
    ~Display() {
        if (display)
            XCloseDisplay(display);
    }
};

X11HotKeyService::X11HotKeyService(const std::string& displayName, QObject* parent)
    : QObject(parent) {
    auto display = std::make_unique<Display>();
    display->display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!display->display) {
        logInfo("X11HotKeyService", "no X display; shortcuts cannot be grabbed here");
        return;
    }
    display->root = DefaultRootWindow(display->display);
    // The modifier bit Num Lock sits on varies between keyboard maps.
    if (XModifierKeymap* map = XGetModifierMapping(display->display)) {
        const KeyCode numLock = XKeysymToKeycode(display->display, XK_Num_Lock);
        for (int modifier = 0; numLock && modifier < 8; ++modifier)
            for (int k = 0; k < map->max_keypermod; ++k)
                if (map->modifiermap[modifier * map->max_keypermod + k] == numLock)
                    display->numLockMask = 1u << modifier;
        XFreeModifiermap(map);
    }
    XSelectInput(display->display, display->root, KeyPressMask);
    display_ = std::move(display);
    notifier_ = std::make_unique<QSocketNotifier>(ConnectionNumber(display_->display),
                                                  QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &X11HotKeyService::readEvents);
}

X11HotKeyService::~X11HotKeyService() {
    if (display_)
        for (const auto& [identifier, grab] : grabs_)
            ungrab(grab);
}

bool X11HotKeyService::isAvailable() const {
    return display_ != nullptr;
}

std::optional<X11HotKeyService::Grab> X11HotKeyService::grabFor(
    const HotKeyCombination& combination) const {
    if (!display_)
        return std::nullopt;
    const KeyCode keycode = XKeysymToKeycode(display_->display, combination.keyCode);
    if (!keycode)
        return std::nullopt;
    unsigned int modifiers = 0;
    if (combination.modifierFlags & HotKeyCombination::kShift)
        modifiers |= ShiftMask;
    if (combination.modifierFlags & HotKeyCombination::kControl)
        modifiers |= ControlMask;
    if (combination.modifierFlags & HotKeyCombination::kAlt)
        modifiers |= Mod1Mask;
    if (combination.modifierFlags & HotKeyCombination::kSuper)
        modifiers |= Mod4Mask;
    return Grab{keycode, modifiers};
}

bool X11HotKeyService::grab(const Grab& grab) {
    const std::array<unsigned int, 4> locks{0, LockMask, display_->numLockMask,
                                            LockMask | display_->numLockMask};
    XSync(display_->display, False);
    lastGrabError = 0;
    auto* previous = XSetErrorHandler(collectError);
    for (unsigned int lock : locks)
        XGrabKey(display_->display, static_cast<int>(grab.keycode), grab.modifiers | lock,
                 display_->root, True, GrabModeAsync, GrabModeAsync);
    XSync(display_->display, False);
    XSetErrorHandler(previous);
    if (lastGrabError == 0)
        return true;
    ungrab(grab);
    return false;
}

void X11HotKeyService::ungrab(const Grab& grab) {
    const std::array<unsigned int, 4> locks{0, LockMask, display_->numLockMask,
                                            LockMask | display_->numLockMask};
    auto* previous = XSetErrorHandler(collectError);
    for (unsigned int lock : locks)
        XUngrabKey(display_->display, static_cast<int>(grab.keycode), grab.modifiers | lock,
                   display_->root);
    XSync(display_->display, False);
    XSetErrorHandler(previous);
}

Status X11HotKeyService::registerHotKey(std::string_view identifier,
                                        const HotKeyCombination& combination) {
    unregisterHotKey(identifier);
    const std::optional<Grab> wanted = grabFor(combination);
    if (!wanted)
        return Error{kRavelongErrorDomain, 1, "The shortcut cannot be registered.",
                     display_ ? "The keyboard has no key for it." : "There is no X display."};
    if (!grab(*wanted))
        return Error{kRavelongErrorDomain, 2, "The shortcut cannot be registered.",
                     "Another program already uses " + combination.displayText() + "."};
    grabs_.emplace(std::string(identifier), *wanted);
    return {};
}

void X11HotKeyService::unregisterHotKey(std::string_view identifier) {
    const auto found = grabs_.find(identifier);
    if (found == grabs_.end())
        return;
    ungrab(found->second);
    grabs_.erase(found);
}

bool X11HotKeyService::isTakenByAnotherClient(const HotKeyCombination& combination) {
    const std::optional<Grab> wanted = grabFor(combination);
    if (!wanted)
        return false;
    for (const auto& [identifier, grab] : grabs_)
        if (grab.keycode == wanted->keycode && grab.modifiers == wanted->modifiers)
            return false;  // ours
    if (!grab(*wanted))
        return true;
    ungrab(*wanted);
    return false;
}

void X11HotKeyService::readEvents() {
    const unsigned int relevant = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;
    while (XPending(display_->display) > 0) {
        XEvent event;
        XNextEvent(display_->display, &event);
        if (event.type != KeyPress)
            continue;
        std::string pressed;
        for (const auto& [identifier, grab] : grabs_)
            if (grab.keycode == event.xkey.keycode &&
                grab.modifiers == (event.xkey.state & relevant))
                pressed = identifier;
        // The handler may change the registrations, so it runs after the search.
        if (!pressed.empty() && handler_)
            handler_(pressed);
    }
}

}  // namespace ravelong
