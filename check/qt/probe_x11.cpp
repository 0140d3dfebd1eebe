#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdlib>

#include "check/qt/probes.h"

namespace cue::check {

// The server's name, whether it is Xwayland, and who owns the compositing selection.
void ProbeServer(DisplayFacts& f) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return;
  const char* name = std::getenv("DISPLAY");
  f.server = std::string("X11 (") + ServerVendor(display) + " " +
             std::to_string(VendorRelease(display)) + ") on " + (name ? name : "?");
  int opcode = 0, event = 0, error = 0;
  f.xwayland =
      XQueryExtension(display, "XWAYLAND", &opcode, &event, &error) ||
      (std::getenv("WAYLAND_DISPLAY") != nullptr && *std::getenv("WAYLAND_DISPLAY") != '\0');
  const std::string selection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
  const Window owner = XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False));
  if (owner != None) {
    char* wmName = nullptr;
    f.compositor = XFetchName(display, owner, &wmName) && wmName ? wmName : "a compositing manager";
    if (wmName) XFree(wmName);
  }
  XCloseDisplay(display);
}

// The subject answers with the letters "m" and "n" and goes on with space: some key of the
// layout's current group must give each unshifted, and Caps Lock (the locked Lock modifier)
// must be off, or the answers are capitals that count for nothing.
KeyboardFacts ProbeKeyboard() {
  KeyboardFacts f;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    f.unavailable = "no X server";
    return f;
  }
  XkbStateRec state;
  XkbDescPtr xkb = XkbGetMap(display, XkbAllClientInfoMask, XkbUseCoreKbd);
  if (xkb == nullptr || XkbGetState(display, XkbUseCoreKbd, &state) != Success) {
    f.unavailable = "the X server has no keyboard extension";
  } else {
    f.capsLock = (state.locked_mods & LockMask) != 0;
    const int group = state.group;
    if (XkbGetNames(display, XkbGroupNamesMask, xkb) == Success && xkb->names &&
        xkb->names->groups[group] != None) {
      char* name = XGetAtomName(display, xkb->names->groups[group]);
      f.layout = name ? name : "";
      if (name) XFree(name);
    }
    if (f.layout.empty()) f.layout = "group " + std::to_string(group + 1);
    bool m = false, n = false, space = false;
    for (int code = xkb->min_key_code; code <= xkb->max_key_code; ++code) {
      const int groups = XkbKeyNumGroups(xkb, code);
      if (groups == 0) continue;
      const KeySym sym = XkbKeySymEntry(xkb, code, 0, group < groups ? group : 0);
      m = m || sym == XK_m;
      n = n || sym == XK_n;
      space = space || sym == XK_space;
    }
    if (!m) f.missing.push_back("m");
    if (!n) f.missing.push_back("n");
    if (!space) f.missing.push_back("space");
  }
  if (xkb != nullptr) XkbFreeKeyboard(xkb, 0, True);
  XCloseDisplay(display);
  return f;
}

}  // namespace cue::check
