// The record that travels with WM_NOTIFY from the skinned controls and their host view to the
// dialog window. The header's control id is always 1000 (the view's); the fields after it that
// count depend on the code.
#pragma once

#include <windows.h>

inline constexpr UINT_PTR kGxViewId = 1000;

enum GxNotifyCode : UINT {
  kNotifyClick = 1,        // ItemId, ItemClass
  kNotifyRealMoved = 2,    // ItemId, Rect
  kNotifyMouseMove = 3,    // ItemId
  kNotifyMouseLeave = 4,   // ItemId
  kNotifyTabChange = 5,    // ItemId (the tab control's), NewIndex, OldIndex, Cancel (set to veto)
  kNotifyWindowEvent = 6,  // ItemId, ItemClass "wnd", Event (3 move, 4 leave)
  kNotifyButtonDown = 7,   // ItemId
  kNotifyRepaint = 1000,   // Rect: a control of the view (windowless or a real child) asks for that area's repaint
};

struct GxNotify {
  NMHDR Header;
  UINT ItemId = 0;
  const char* ItemClass = "";
  RECT Rect{};
  int NewIndex = 0, OldIndex = 0;
  BOOL Cancel = FALSE;
  int Event = 0;
};

// Sends `note` with `code` from `host` (the view) to `to`; controls send codes 2, 5 and 6 to the
// view, which forwards them to its parent unchanged.
inline void SendGxNotify(HWND to, HWND host, UINT code, GxNotify& note) {
  note.Header = NMHDR{host, kGxViewId, code};
  if (to) SendMessageW(to, WM_NOTIFY, kGxViewId, reinterpret_cast<LPARAM>(&note));
}

// A windowless control asks its host to draw `rect` again. The view keeps a back buffer and an
// update region, which a bare InvalidateRect would pass by (the old picture would be shown
// again); a host that is no view (it does not answer) gets the InvalidateRect.
inline void RequestRepaint(HWND host, const RECT& rect) {
  if (!host || IsRectEmpty(&rect)) return;
  GxNotify note;
  note.Rect = rect;
  note.Header = NMHDR{host, kGxViewId, kNotifyRepaint};
  if (!SendMessageW(host, WM_NOTIFY, kGxViewId, reinterpret_cast<LPARAM>(&note))) InvalidateRect(host, &rect, FALSE);
}
