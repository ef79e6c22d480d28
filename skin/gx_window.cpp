#include "skin/gx_window.h"

#include <algorithm>
#include <map>

#include "base/handles.h"
#include "skin/gx_notify.h"
#include "skin/pools.h"
#include "skin/skin_pool.h"
#include "skin/style.h"
#include "tinyxml2.h"

// ---- registry ----------------------------------------------------------------------------

namespace {

struct Registry {
  sys::CriticalSection Lock;
  std::map<UINT, CGxWindow*> Windows;
  std::map<std::string, std::vector<UINT>> Groups;
  UINT Next = 1;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry();  // lives until the process ends
  return *registry;
}

class RegistryLock : sys::Locked {
 public:
  RegistryLock() : sys::Locked(TheRegistry().Lock) {}
};

}  // namespace

UINT GxWindowRegistry::Register(CGxWindow* window) {
  const RegistryLock lock;
  const UINT handle = TheRegistry().Next++;
  TheRegistry().Windows[handle] = window;
  return handle;
}

void GxWindowRegistry::Unregister(UINT handle) {
  const RegistryLock lock;
  TheRegistry().Windows.erase(handle);
}

CGxWindow* GxWindowRegistry::Find(UINT handle) {
  if (handle == 0) return nullptr;
  const RegistryLock lock;
  const auto found = TheRegistry().Windows.find(handle);
  return found == TheRegistry().Windows.end() ? nullptr : found->second;
}

void GxWindowRegistry::JoinGroup(const std::string& group, UINT handle) {
  const RegistryLock lock;
  TheRegistry().Groups[group].push_back(handle);
}

void GxWindowRegistry::LeaveGroup(const std::string& group, UINT handle) {
  const RegistryLock lock;
  std::vector<UINT>& members = TheRegistry().Groups[group];
  members.erase(std::remove(members.begin(), members.end(), handle), members.end());
}

std::vector<UINT> GxWindowRegistry::GroupMembers(const std::string& group) {
  const RegistryLock lock;
  const auto found = TheRegistry().Groups.find(group);
  return found == TheRegistry().Groups.end() ? std::vector<UINT>() : found->second;
}

// ---- text measuring, pixels, strings -----------------------------------------------------

namespace {

class GdiMeasurer final : public GxTextMeasurer {
 public:
  SIZE Measure(const std::wstring& text, HFONT font, UINT format, int width) override {
    if (!Dc) Dc.Reset(CreateCompatibleDC(nullptr));  // one for every measurement
    const HGDIOBJ previous = SelectObject(Dc.Get(), font);
    RECT r{0, 0, width > 0 ? width : 0, 0};
    DrawTextW(Dc.Get(), text.c_str(), static_cast<int>(text.size()), &r, format | DT_CALCRECT);
    SelectObject(Dc.Get(), previous);
    return SIZE{r.right - r.left, r.bottom - r.top};
  }

 private:
  sys::UniqueDc Dc;
};

GxTextMeasurer* g_Measurer = nullptr;

}  // namespace

GxTextMeasurer& TextMeasurer() {
  static GdiMeasurer gdi;
  return g_Measurer ? *g_Measurer : gdi;
}

void SetTextMeasurer(GxTextMeasurer* measurer) { g_Measurer = measurer; }

const wchar_t* GxString::Get(int) { return nullptr; }

std::wstring ExpandStringReferences(std::wstring text) {
  size_t at = 0;
  for (;;) {
    const size_t ref = text.find(L"%str", at);
    if (ref == std::wstring::npos) return text;
    size_t end = ref + 4;
    int n = 0;
    while (end < text.size() && iswdigit(text[end])) n = n * 10 + (text[end++] - L'0');
    if (n < 1 || end >= text.size() || text[end] != L'%') return text;
    const wchar_t* value = GxString::Get(n);
    const std::wstring replacement = value ? value : L"";
    text.replace(ref, end + 1 - ref, replacement);
    at = ref + replacement.size();
  }
}

// ---- the window ---------------------------------------------------------------------------

CGxWindow::CGxWindow() : Handle(GxWindowRegistry::Register(this)) {}

CGxWindow::~CGxWindow() { GxWindowRegistry::Unregister(Handle); }

LRESULT CGxWindow::Send(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  Handled = false;
  ProcessWindowMessage(Host, message, wParam, lParam, result);
  return result;
}

const GxStyle& CGxWindow::Style() const { return GxStylePool::Instance().Find(ClassName); }

bool CGxWindow::IsVisible(bool withAncestors) const {
  for (const CGxWindow* w = this; w; w = withAncestors ? w->Parent() : nullptr)
    if (w->State & kWndInvisible) return false;
  return true;
}

bool CGxWindow::IsEnabled(bool withAncestors) const {
  for (const CGxWindow* w = this; w; w = withAncestors ? w->Parent() : nullptr)
    if (w->State & kWndDisabled) return false;
  return true;
}

HFONT CGxWindow::DrawFont() const {
  GxFontPool& fonts = GxFontPool::Instance();
  if (State & kWndHover)
    for (const CGxWindow* w = this; w; w = w->Parent())
      if (w->Style().HoverFont) return fonts.Get(w->Style().HoverFont);
  for (const CGxWindow* w = this; w; w = w->Parent()) {
    if (w->OwnFont) return fonts.Get(w->FontKey);  // (for the DPI in use)
    if (w->Style().Font) return fonts.Get(w->Style().Font);
  }
  return fonts.Get(0);
}

bool CGxWindow::Load(const tinyxml2::XMLElement& element) {
  Text = ExpandStringReferences(gx::Widen(element.GetText() ? element.GetText() : ""));
  LayoutFlags = 0;
  CGxObject::Load(element);
  if (const char* show = element.Attribute("show"); show && *show) {
    if (gx::ParseDecimal(show) != 0) State &= ~kWndInvisible;
    else State |= kWndInvisible;
  }
  if (Pos.Count == 2 || Pos.Count == 4) return true;
  const char* width = element.Attribute("width");
  const char* height = element.Attribute("height");
  const int w = width ? gx::ParseDecimal(width) : 0, h = height ? gx::ParseDecimal(height) : 0;
  if (w > 0) {
    LayoutFlags |= kWidthFixed;
    FixedWidth = w;
    Rect.right = Rect.left + LayoutPixels(FixedWidth);
  } else {
    LayoutFlags |= width && strcmp(width, "full") == 0 ? kWidthFull : kWidthAuto;
  }
  if (h > 0) {
    LayoutFlags |= kHeightFixed;
    FixedHeight = h;
    Rect.bottom = Rect.top + LayoutPixels(FixedHeight);
  } else {
    LayoutFlags |= height && strcmp(height, "full") == 0 ? kHeightFull : kHeightAuto;
  }
  if (LayoutFlags & (kWidthAuto | kHeightAuto)) {
    SIZE natural{0, 0};
    Send(WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&natural));
    if (LayoutFlags & kWidthAuto) Rect.right = Rect.left + natural.cx;
    if (LayoutFlags & kHeightAuto) Rect.bottom = Rect.top + natural.cy;
  }
  const char* floating = element.Attribute("float");
  LayoutFlags |= floating && gx::ParseDecimal(floating) > 0 ? kFloating : kInFlow;
  return true;
}

HRESULT CGxWindow::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxObject::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  if (name == "class") {
    ClassName = value;
  } else if (name == "id") {
    Id = gx::ParseDecimal(value);
  } else if (name == "crbg") {
    if (!gx::ParseColor(value, &Background)) return kAttributeUnknown;
  } else if (name == "crtext") {
    if (!gx::ParseColor(value, &TextColor)) return kAttributeUnknown;
  } else if (name == "font") {
    FontKey = gx::ParseHex(value);
    OwnFont = true;
  } else if (name == "href") {
    Link = gx::Widen(value);
  } else if (name == "tip") {
    Tip = gx::Widen(value);
  } else if (name == "valign") {
    if (value == "top") VAlign = 0;
    else if (value == "middle") VAlign = 0x1000;
    else if (value == "bottom") VAlign = 0x2000;
    else return kAttributeUnknown;
  } else if (name == "align") {
    if (value == "left") HAlign = 0;
    else if (value == "center") HAlign = 0x4000;
    else if (value == "right") HAlign = 0x8000;
    else return kAttributeUnknown;
  } else if (name == "pos") {
    if (value.empty()) return kAttributeTaken;
    if (ParsePosition(value, &Pos)) {
      LayoutFlags = (LayoutFlags & ~(kWidthFixed | kWidthFull | kHeightFixed | kHeightFull)) | kWidthAuto | kHeightAuto;
    } else {
      Pos.Count = 0;
    }
    if (CGxWindow* parent = Parent(); !loading && parent) parent->ChildPositionChanged(this);
  } else if (name == "transparent") {
    Transparent = gx::ParseDecimal(value);
  } else if (name == "notify") {
    NotifyFlags = static_cast<UINT>(gx::ParseDecimal(value));
  } else {
    return kAttributeUnknown;
  }
  return kAttributeTaken;
}

void CGxWindow::OnSetCursor() { SetCursor(LoadCursorW(nullptr, Style().Cursor)); }

UINT CGxWindow::HitTest(int x, int y, bool) {
  const POINT p{x, y};
  return PtInRect(&Rect, p) ? Handle : 0;
}

bool CGxWindow::NeedRedrawWhenStateChange() {
  const GxStyle& style = Style();
  const CGxSkinBase* skin = style.Skin.empty() ? nullptr : GxSkinPool::Instance().Find(style.Skin);
  return (skin && !skin->IgnoreState()) || style.TextHover != kNoColor || style.HoverFont != 0 ||
         style.BackgroundHover != kNoColor;
}

bool CGxWindow::RedrawRegion(HDC dc, HRGN update) {
  if (update && !RectInRegion(update, &Rect)) return false;
  const GxStyle& style = Style();
  CGxSkinBase* skin = style.Skin.empty() ? nullptr : GxSkinPool::Instance().Find(style.Skin);
  if (skin) {
    skin->Draw(dc, Rect, static_cast<int>(State));
  } else {
    COLORREF color = Background != kNoColor ? Background : style.Background;
    if ((State & kWndHover) && style.BackgroundHover != kNoColor) color = style.BackgroundHover;
    if (color != kNoColor) {
      const sys::UniqueBrush brush(CreateSolidBrush(color));
      FillRect(dc, &Rect, brush.Get());
    }
  }
  if (Observer && !Observer->OnDraw(*this, dc, Rect, true)) return true;
  Send(WM_PAINT, reinterpret_cast<WPARAM>(dc));
  if (Observer) Observer->OnDraw(*this, dc, Rect, false);
  return true;
}

SIZE CGxWindow::NaturalSize(SIZE offered) {
  const GxStyle& style = Style();
  UINT format = (FormatOverride ? FormatOverride : style.TextMode) & ~0x0Fu;
  const int marginX = LayoutPixels(style.MarginX), marginY = LayoutPixels(style.MarginY);
  const int width = (format & DT_WORDBREAK) ? std::max<int>(0, offered.cx - 2 * marginX) : 0;
  const SIZE text = Text.empty() ? SIZE{0, 0} : TextMeasurer().Measure(Text, DrawFont(), format, width);
  return SIZE{text.cx + 2 * marginX, text.cy + 2 * marginY};
}

void CGxWindow::Place(int left, int top, int width, int height) {
  SIZE size{width, height};
  Send(WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&size));
  Rect = RECT{left, top, left + size.cx, top + size.cy};
  if (LayoutFlags & kWidthFull) Rect.right = std::max<LONG>(left, left + width);
  if (LayoutFlags & kWidthFixed) Rect.right = left + LayoutPixels(FixedWidth);
  if (LayoutFlags & kHeightFull) Rect.bottom = std::max<LONG>(top, top + height);
  if (LayoutFlags & kHeightFixed) Rect.bottom = top + LayoutPixels(FixedHeight);
}

void CGxWindow::SetText(const std::wstring& text) {
  Text = text;
  if (Pos.Count == 4 || !(LayoutFlags & (kWidthAuto | kHeightAuto))) return;
  SIZE natural{0, 0};
  Send(WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&natural));
  if (LayoutFlags & kWidthAuto) Rect.right = Rect.left + natural.cx;
  if (LayoutFlags & kHeightAuto) Rect.bottom = Rect.top + natural.cy;
}

namespace {

// Tells the view of a single window's mouse move (event 3) or leave (4).
void NotifyView(const CGxWindow& window, int event) {
  GxNotify note;
  note.ItemId = static_cast<UINT>(window.Id);
  note.ItemClass = "wnd";
  note.Event = event;
  SendGxNotify(window.Host, window.Host, kNotifyWindowEvent, note);
}

}  // namespace

bool CGxWindow::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_CREATE:
      result = 1;
      break;
    case WM_DESTROY:
      break;
    case WM_PAINT: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      if (!dc || Text.empty()) break;
      const GxStyle& style = Style();
      RECT r{Rect.left + LayoutPixels(style.MarginX), Rect.top + LayoutPixels(style.MarginY),
             Rect.right - LayoutPixels(style.MarginX), Rect.bottom - LayoutPixels(style.MarginY)};
      const bool skinned = !style.Skin.empty() && GxSkinPool::Instance().Find(style.Skin);
      const COLORREF bk = Background != kNoColor ? Background : style.Background;
      const int mode = SetBkMode(dc, skinned || bk == kNoColor ? TRANSPARENT : OPAQUE);
      if (bk != kNoColor) SetBkColor(dc, bk);
      COLORREF color = TextColor != kNoColor ? TextColor : style.Text;
      if (!IsEnabled()) color = style.TextDisabled;
      else if ((State & kWndHover) && style.TextHover != kNoColor) color = style.TextHover;
      const COLORREF previousColor = color != kNoColor ? SetTextColor(dc, color) : GetTextColor(dc);
      const HGDIOBJ previousFont = SelectObject(dc, DrawFont());
      DrawTextW(dc, Text.c_str(), static_cast<int>(Text.size()), &r, FormatOverride ? FormatOverride : style.TextMode);
      SelectObject(dc, previousFont);
      SetTextColor(dc, previousColor);
      SetBkMode(dc, mode);
      break;
    }
    case WM_NCCALCSIZE: {
      auto* size = reinterpret_cast<SIZE*>(lParam);
      if (!size) break;
      if (wParam && Pos.Count == 4) {
        const int w = size->cx, h = size->cy;
        *size = SIZE{ResolveItem(Pos.Items[2], 0, w) - ResolveItem(Pos.Items[0], 0, w),
                     ResolveItem(Pos.Items[3], 0, h) - ResolveItem(Pos.Items[1], 0, h)};
      } else {
        *size = NaturalSize(*size);
      }
      break;
    }
    case WM_WINDOWPOSCHANGED: {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
      if (pos) Place(pos->x, pos->y, pos->cx, pos->cy);
      break;
    }
    case WM_SHOWWINDOW:
      if (wParam) State &= ~kWndInvisible;
      else State |= kWndInvisible;
      break;
    case WM_MOUSEMOVE:
      if (!(NotifyFlags & 0x01)) return false;
      NotifyView(*this, 3);
      break;
    case WM_MOUSELEAVE:
      if (!(NotifyFlags & 0x02)) return false;
      NotifyView(*this, 4);
      break;
    default:
      return false;
  }
  Handled = true;
  return true;
}
