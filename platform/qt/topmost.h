#pragma once

#include <cstdint>

class QWidget;

namespace cue {

// Keeps a window above every window that is not topmost, also while another window is active;
// its place and size do not change. topMost: non-zero asks for topmost, 0 for an ordinary
// window again (the system only ever asks for topmost). Afterwards topMost holds the result:
// 1 on success, 0 when frm is not a top-level window (nothing is changed then).
//
// How it holds on X11: the window gets Qt::WindowStaysOnTopHint, which Qt announces as the
// state _NET_WM_STATE_ABOVE; a window manager keeps such windows above the others, whoever has
// the focus. A bare X server (a kiosk session without a window manager, or Xvfb) ignores that
// state and stacks windows in the order in which they were mapped or raised. So, in addition,
// whenever another window of this program is shown or raised, the topmost windows are raised
// again right after it. Windows of other programs are left to the window manager. Menus and
// tooltips are not counted as windows that cover.
void SetTopMost(QWidget& frm, std::int16_t& topMost);

}  // namespace cue
