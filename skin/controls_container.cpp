#include "skin/controls.h"

#include "skin/gx_notify.h"

bool CGxRealWnd::ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  HWND real = RealWindow();
  switch (message) {
    case WM_WINDOWPOSCHANGED: {
      const RECT old = Rect;
      CGxWindow::ProcessWindowMessage(host, message, wParam, lParam, result);
      if (EqualRect(&old, &Rect) || !real) return true;
      MoveWindow(real, Rect.left, Rect.top, Rect.right - Rect.left, Rect.bottom - Rect.top, FALSE);
      GxNotify note;
      note.ItemId = static_cast<UINT>(Id);
      note.Rect = Rect;
      SendGxNotify(Host, Host, kNotifyRealMoved, note);
      if (IsWindowVisible(real)) {
        InvalidateRect(real, nullptr, TRUE);
        SetWindowPos(real, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
      }
      return true;
    }
    case WM_SHOWWINDOW:
      CGxWindow::ProcessWindowMessage(host, message, wParam, lParam, result);
      UpdateRealWindows();
      return true;
    case WM_DESTROY:
      if (real) ShowWindow(real, SW_HIDE);
      Handled = true;
      return true;
    default:
      return CGxWindow::ProcessWindowMessage(host, message, wParam, lParam, result);
  }
}

void CGxRealWnd::UpdateRealWindows() {
  if (HWND real = RealWindow()) ShowWindow(real, IsVisible() ? SW_SHOW : SW_HIDE);
}

bool CGxDialogButton::Load(const tinyxml2::XMLElement& element) {
  CGxDialog::Load(element);
  OnlyDrawChild = 1;  // the whole group answers as one clickable item
  return true;
}
