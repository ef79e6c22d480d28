// The path edit box: a plain single-line Win32 edit control laid over a skinned dialog (the
// settings page's input-box picture). The skinned controls are windowless, so text entry is
// the one place a real control takes over.
#pragma once

#include <windows.h>

#include <string>

#include "base/handles.h"

class ZRichEdit {
 public:
  // Where the box goes in the dialog's view, in layer numbers (scaled for the DPI in use).
  void SetRect(int left, int top, int right, int bottom) { Rect = RECT{left, top, right, bottom}; }
  // Creates the box in a dialog's host view; false when the window cannot be made. The view is
  // named, not taken from the active window: a screen reader may open the page while another
  // program is active.
  bool Create(HWND view);
  // Shows the box, creating it in `view` first when needed.
  void Show(HWND view);
  void Hide();
  // The text (at most 260 characters); empty until the box exists.
  std::wstring GetText() const;
  void SetText(const std::wstring& text);
  HWND Window() const { return Edit; }
  // Place and font again, for the DPI now in use.
  void FollowDpi();

 private:
  HWND Edit = nullptr;  // owned by its parent view, which destroys it with the dialog
  RECT Rect{};
  sys::UniqueFont Font;
};
