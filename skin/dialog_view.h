// The host view of a skinned dialog: the one real child window that owns a layer, paints it
// through a back buffer (one blit per paint, so nothing flickers), follows the mouse over the
// windowless controls (hover, push, capture, tooltips) and reports clicks and other events to
// its parent, the dialog window, as WM_NOTIFY with a GxNotify record.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/handles.h"
#include "skin/accessible.h"
#include "skin/layer.h"

class CGxDialogView final : public GxAccessibleHost {
 public:
  CGxDialogView() = default;
  ~CGxDialogView();
  CGxDialogView(const CGxDialogView&) = delete;
  CGxDialogView& operator=(const CGxDialogView&) = delete;

  // Creates the view as the child with id 1000 of `parent` over `rect` (client coordinates).
  bool Create(HWND parent, const RECT& rect);
  HWND Window() const override { return Hwnd; }
  CGxLayer& Layer() { return Layers; }
  // Loads layer XML at the layout DPI in use, which becomes the view's; the bands get this view
  // as their host and are laid out when it exists.
  bool LoadLayer(const std::string& xml);
  // The DPI the view lays out and paints at: every message of its window runs with it.
  int Dpi = 96;

  // The item operations: false when no control has the id.
  CGxWindow* FindItem(int id);
  bool SetItemText(int id, const std::wstring& text);
  bool SetItemVisible(int id, bool show);
  bool SetItemAttribute(int id, const std::string& name, const std::string& value);
  bool SetRichText(int id, const std::wstring& markup);
  // The checked and disabled bits of a control, each change repainting its area.
  bool IsItemChecked(int id);
  bool SetItemChecked(int id, bool checked);
  bool SetItemEnabled(int id, bool enabled);
  // Joins a rectangle to the update region and asks for a paint (skipped for a control that
  // or whose ancestor is invisible).
  void Repaint(const RECT& rect);
  void RepaintItem(CGxWindow* item);

  // The keyboard: the focus mark moves to the next (+1) or previous (-1) control that takes
  // the keyboard (the clickable controls of what is visible, and the real child windows that
  // take text or the tab key) in reading order, top to bottom and left to right, the header's
  // last. Activate presses the marked control as a click would; false when none is marked.
  void MoveFocus(int direction);
  bool ActivateFocused();
  UINT FocusedItem() const override { return Focused; }
  // Presses a visible, enabled control of this view as a click would; false for any other.
  // PressLater does it once the current message is done (a reader's call must not wait on
  // what the press opens).
  bool Press(UINT item);
  void PressLater(UINT item) override;

  // For screen readers (the rest of GxAccessibleHost).
  std::vector<const CGxWindow*> Bands() const override;
  UINT HoveredItem() const override { return Hover; }
  UINT ItemAt(int x, int y) override { return Layers.HitTest(x, y); }

  // Presentation of the back buffer: 0 copy, 1 colour key, 2 per-pixel alpha.
  int PresentMode = 0;
  COLORREF ColorKey = 0xFF00FF;
  UINT Hover = 0, Pushed = 0;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint(HDC target);
  void OnMouseMove(int x, int y);
  void OnMouseLeave();
  void OnButtonDown(int x, int y);
  void OnButtonUp(int x, int y);
  void OnDoubleClick(int x, int y);
  struct FocusStop {
    UINT Item;  // a windowless control, or 0 for
    HWND Real;  // a real child window
    RECT Rect;
  };
  std::vector<FocusStop> FocusStops();
  void SetFocusMark(UINT item);
  HWND ReflectionTarget(UINT message, WPARAM wParam, LPARAM lParam) const;
  void Notify(UINT code, UINT id, const char* itemClass = "");
  void SetState(CGxWindow* window, UINT set, UINT clear);

  // The tip window is made when the pointer first reaches a control with a tip: the common
  // controls' library loads then, not while the dialog opens.
  void MakeTooltip();
  void RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam);

  HWND Hwnd = nullptr;
  HWND Tooltip = nullptr;
  bool TooltipTried = false;
  UINT Focused = 0;  // the control with the focus mark
  CGxLayer Layers;
  sys::UniqueBitmap BackBuffer;
  sys::UniqueRegion Update;
  bool RedrawPending = true;
  bool Tracking = false;
  bool Capturing = false;
  std::wstring TipText;
};
