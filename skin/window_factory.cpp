#include <string>

#include "skin/controls.h"
#include "skin/gx_container.h"
#include "skin/gx_window.h"
#include "skin/rich_text.h"

CGxWindow* CreateGxWindow(const char* tag) {
  if (!tag) return nullptr;
  const std::string t = tag;
  // In this order; "div", "tab" (read only inside "tabctrl"), "br" and unknown tags create
  // nothing.
  if (t == "dlg") return new CGxDialog();
  if (t == "text") return new CGxStatic();
  if (t == "button") return new CGxButton();
  if (t == "img") return new CGxImageWnd();
  if (t == "progress") return new CGxProgress();
  if (t == "imgbtn") return new CGxImageBtnWnd();
  if (t == "realwnd") return new CGxRealWnd();
  if (t == "hr") return new CGxLine();
  if (t == "check") return new CGxCheckBox();
  if (t == "icon") return new CGxIconWnd();
  if (t == "tabctrl") return new CGxTabCtrl();
  if (t == "radio") return new CGxRadioBox();
  if (t == "richtext") return new CGxRichText();
  if (t == "link") return new CGxLink();
  if (t == "memimage") return new CGxMemoryImage();
  if (t == "dlgbtn") return new CGxDialogButton();
  return nullptr;
}
