// The skinned dialog window: a borderless top-level window built from a layer resource, with
// the host view as its only child. It runs modally, turns Enter, Escape and the close box into
// clicks on items 1 and 2, keeps its size within the layer's limits and, with round corners,
// cuts its four corner pixels. Concrete dialogs derive from it and react to the view's
// notifications.
#pragma once

#include <windows.h>

#include "skin/dialog_view.h"
#include "skin/gx_notify.h"

class CGxDialogImpl {
 public:
  explicit CGxDialogImpl(int layerId) : LayerId(layerId) {}
  virtual ~CGxDialogImpl();
  CGxDialogImpl(const CGxDialogImpl&) = delete;
  CGxDialogImpl& operator=(const CGxDialogImpl&) = delete;

  // Reads the layer of `id` from the first resource source that has it and loads it.
  bool LoadLayer(int id);
  // Runs the dialog modally over `owner` (none: the current dialog, else the active window);
  // returns the end code, 0 when the window could not be made.
  int DoModal(HWND owner = nullptr, const RECT* rect = nullptr);
  void EndDialog(int code);

  HWND Window() const { return Hwnd; }
  CGxDialogView& View() { return Host; }
  bool RoundCorners = false;

 protected:
  virtual void OnInitDialog() {}
  // A notification from the view (code 1: a click on ItemId of ItemClass, or the keys: 1 Enter,
  // 2 Escape and the close box).
  virtual void OnNotify(const GxNotify& note) {}
  // Any message of the dialog window before the dialog's own handling; true when taken.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) { return false; }
  // The window moved to a screen of another DPI and its layer is laid out anew; real child
  // windows the dialog placed itself follow here.
  virtual void OnDpiChanged() {}

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  bool CreateDialogWindow(HWND owner, const RECT* rect);
  void CenterOver(HWND owner);

  int LayerId;
  bool LayerLoaded = false;
  HWND Hwnd = nullptr;
  HWND FocusBefore = nullptr;  // where the keyboard focus was when the window was last deactivated
  CGxDialogView Host;
  int EndCode = 0;
  bool Ended = false;
};
