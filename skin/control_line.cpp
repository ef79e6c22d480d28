#include "skin/controls.h"

#include "base/handles.h"
#include "skin/style.h"

HRESULT CGxLine::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxWindow::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  if (name == "size") {
    PenWidth = gx::ParseDecimal(value);
    return kAttributeTaken;
  }
  if (name != "style") return kAttributeUnknown;
  const char* const styles[] = {"solid", "dash", "dot", "dashdot", "dashdotdot"};
  for (int i = 0; i < 5; ++i)
    if (value == styles[i]) {
      PenStyle = i;  // PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT
      return kAttributeTaken;
    }
  return kAttributeUnknown;
}

bool CGxLine::ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message != WM_PAINT) return CGxWindow::ProcessWindowMessage(host, message, wParam, lParam, result);
  Handled = true;
  HDC dc = reinterpret_cast<HDC>(wParam);
  const COLORREF color = Background != kNoColor ? Background : Style().Background;
  if (!dc || color == kNoColor) return true;
  const sys::UniquePen pen(CreatePen(PenStyle, PenWidth, color));
  const HGDIOBJ old = SelectObject(dc, pen.Get());
  MoveToEx(dc, Rect.left, Rect.top, nullptr);
  LineTo(dc, Rect.right, Rect.bottom);
  SelectObject(dc, old);
  return true;
}
