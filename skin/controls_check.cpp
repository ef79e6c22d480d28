#include "skin/controls.h"

#include <algorithm>

#include "skin/gx_notify.h"
#include "skin/style.h"
#include "sys/system_info.h"

namespace {

// Visual styles, from the system's uxtheme when it is there (loaded by its full path at the
// first use); a theme handle is opened for one paint.
struct ThemeApi {
  using Open = HANDLE(WINAPI*)(HWND, LPCWSTR);
  using Close = HRESULT(WINAPI*)(HANDLE);
  using DrawBackground = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*);
  Open OpenTheme = nullptr;
  Close CloseTheme = nullptr;
  DrawBackground Draw = nullptr;

  static const ThemeApi& Get() {
    static const ThemeApi api = [] {
      ThemeApi a;
      if (HMODULE module = ZFunction::LoadSystemLibrary(L"uxtheme.dll")) {
        a.OpenTheme = reinterpret_cast<Open>(reinterpret_cast<void*>(GetProcAddress(module, "OpenThemeData")));
        a.CloseTheme = reinterpret_cast<Close>(reinterpret_cast<void*>(GetProcAddress(module, "CloseThemeData")));
        a.Draw = reinterpret_cast<DrawBackground>(reinterpret_cast<void*>(GetProcAddress(module, "DrawThemeBackground")));
      }
      return a;
    }();
    return api;
  }
};

}  // namespace

GxButtonTheme::~GxButtonTheme() {
  if (Theme) ThemeApi::Get().CloseTheme(Theme);
}

HANDLE GxButtonTheme::Get(HWND window) {
  if (!Tried) {
    Tried = true;
    const ThemeApi& api = ThemeApi::Get();
    if (api.OpenTheme && api.CloseTheme && api.Draw) Theme = api.OpenTheme(window, L"BUTTON");
  }
  return Theme;
}

bool GxButtonTheme::Draw(HWND window, HDC dc, int part, int state, const RECT& rect) {
  HANDLE theme = Get(window);
  return theme && SUCCEEDED(ThemeApi::Get().Draw(theme, dc, part, state, &rect, nullptr));
}

CGxCheckBox::~CGxCheckBox() = default;

HRESULT CGxCheckBox::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxWindow::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  if (name != "check") return kAttributeUnknown;
  Check = gx::ParseDecimal(value);
  return kAttributeTaken;
}

SIZE CGxCheckBox::NaturalSize(SIZE offered) {
  SIZE size = CGxWindow::NaturalSize(offered);
  const int box = LayoutPixels(Radio() ? 12 : 13);
  size.cx += LayoutPixels(Radio() ? 14 : 17);
  size.cy = std::max<LONG>(size.cy, box);
  return size;
}

int CGxCheckBox::ThemeState() const {
  int state = 1;  // normal
  if (!IsEnabled()) state = 4;
  else if (State & kWndPushed) state = 3;
  else if (State & kWndHover) state = 2;
  return (State & kWndChecked) ? state + 4 : state;
}

UINT CGxCheckBox::FrameFlags() const {
  UINT flags = 0x800 | (Radio() ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK);
  if (State & kWndHover) flags |= 0x1000;
  if (!IsEnabled()) flags |= DFCS_INACTIVE;
  if (State & kWndPushed) flags |= DFCS_PUSHED;
  if (State & kWndChecked) flags |= DFCS_CHECKED;
  return flags;
}

bool CGxCheckBox::ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_LBUTTONUP) {
    Clicked();
    Handled = true;
    return true;
  }
  if (message != WM_PAINT) return CGxWindow::ProcessWindowMessage(host, message, wParam, lParam, result);
  Handled = true;
  HDC dc = reinterpret_cast<HDC>(wParam);
  if (!dc) return true;
  DrawMark(dc);
  // The text right of the mark, vertically centred.
  const RECT whole = Rect;
  const UINT previousFormat = FormatOverride;
  FormatOverride = ((FormatOverride ? FormatOverride : Style().TextMode) & ~0x8u) | 0x4u;
  Rect.left += LayoutPixels(Radio() ? 14 : 17);
  CGxWindow::ProcessWindowMessage(host, WM_PAINT, wParam, lParam, result);
  Rect = whole;
  FormatOverride = previousFormat;
  return true;
}

void CGxCheckBox::DrawMark(HDC dc) {
  const int box = LayoutPixels(Radio() ? 12 : 13);
  const int top = Rect.top + (Rect.bottom - Rect.top - box) / 2;
  const RECT mark{Rect.left, top, Rect.left + box, top + box};
  if (!Theme.Draw(Host, dc, Radio() ? 2 : 3, ThemeState(), mark)) {
    RECT r = mark;
    DrawFrameControl(dc, &r, DFC_BUTTON, FrameFlags());
  }
}

void CGxCheckBox::Clicked() { State ^= kWndChecked; }

CGxRadioBox::~CGxRadioBox() { GxWindowRegistry::LeaveGroup(Group, Handle); }

HRESULT CGxRadioBox::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxCheckBox::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  if (name != "group") return kAttributeUnknown;
  Group = value;
  return kAttributeTaken;
}

bool CGxRadioBox::Load(const tinyxml2::XMLElement& element) {
  CGxCheckBox::Load(element);
  GxWindowRegistry::JoinGroup(Group, Handle);
  return true;
}

void CGxRadioBox::Clicked() {
  State |= kWndChecked;
  for (UINT member : GxWindowRegistry::GroupMembers(Group)) {
    if (member == Handle) continue;
    CGxWindow* other = GxWindowRegistry::Find(member);
    if (!other || !(other->State & kWndChecked)) continue;
    other->State &= ~kWndChecked;
    RequestRepaint(other->Host, other->Rect);
  }
}
