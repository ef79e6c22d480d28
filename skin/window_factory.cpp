#include <string>

#include "skin/gx_container.h"
#include "skin/gx_window.h"

CGxWindow* CreateGxWindow(const char* tag) {
  if (!tag) return nullptr;
  const std::string t = tag;
  if (t == "dlg") return new CGxDialog();
  if (t == "text") return new CGxStatic();
  return nullptr;  // "div", "tab", "br" and unknown tags create nothing
}
