#include "skin/controls.h"

#include <windowsx.h>

#include "skin/gx_notify.h"
#include "skin/pools.h"
#include "skin/skin_pool.h"
#include "skin/style.h"
#include "tinyxml2.h"

HRESULT CGxTab::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxDialog::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  if (name == "title") Title = gx::Widen(value);
  else if (name == "hide") Hide = gx::ParseDecimal(value);
  else return kAttributeUnknown;
  return kAttributeTaken;
}

CGxTabCtrl::~CGxTabCtrl() {
  for (auto& page : Pages) page->Send(WM_DESTROY);
}

HRESULT CGxTabCtrl::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxContainerWnd::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  const struct {
    const char* name;
    int* field;
  } numbers[] = {{"cursel", &Selected}, {"tabwidth", &TabWidth}, {"tabheight", &TabHeight}, {"tabpos", &TabPos},
                 {"tabspacing", &TabSpacing}, {"framepos", &FramePos}, {"icon-x", &IconX}, {"icon-y", &IconY},
                 {"text-x", &TextX}, {"text-y", &TextY}};
  for (const auto& n : numbers)
    if (name == n.name) {
      *n.field = gx::ParseDecimal(value);
      return kAttributeTaken;
    }
  const struct {
    const char* name;
    std::string* field;
  } skins[] = {{"tabskin", &TabSkin}, {"iconskin", &IconSkin}, {"splitterskin", &SplitterSkin}, {"frameskin", &FrameSkin}};
  for (const auto& k : skins)
    if (name == k.name) {
      *k.field = value;
      return kAttributeTaken;
    }
  if (name == "tabtext") return gx::ParseColor(value, &TabText) ? kAttributeTaken : kAttributeUnknown;
  if (name == "Selfont") {
    SelectedFont = gx::ParseHex(value);
    return kAttributeTaken;
  }
  if (name == "tabalign") {
    if (value == "top") Align = 0;
    else if (value == "left") Align = 1;
    else return kAttributeUnknown;
    return kAttributeTaken;
  }
  return kAttributeUnknown;
}

bool CGxTabCtrl::Load(const tinyxml2::XMLElement& element) {
  CGxContainerWnd::Load(element);
  for (auto& page : Pages) page->Send(WM_DESTROY);
  Pages.clear();
  for (const tinyxml2::XMLElement* e = element.FirstChildElement("tab"); e; e = e->NextSiblingElement("tab")) {
    auto page = std::make_unique<CGxTab>();
    page->ParentHandle = Handle;
    page->SetContainer(Host);
    page->Load(*e);
    page->SetAttribute("pos", "0,0,-0,-0", true);  // every page fills the page area
    Pages.push_back(std::move(page));
  }
  if (Selected < 0 || Selected >= static_cast<int>(Pages.size())) Selected = 0;
  for (size_t i = 0; i < Pages.size(); ++i)
    if (static_cast<int>(i) != Selected) Pages[i]->State |= kWndInvisible;
  return true;
}

void CGxTabCtrl::SetContainer(HWND host) {
  CGxContainerWnd::SetContainer(host);
  for (auto& page : Pages) page->SetContainer(host);
}

SIZE CGxTabCtrl::HeadSize() const {
  const CGxSkinBase* skin = GxSkinPool::Instance().Find(TabSkin);
  const SIZE natural = skin ? skin->GetSkinSize() : SIZE{0, 0};
  return SIZE{TabWidth ? LayoutPixels(TabWidth) : natural.cx, TabHeight ? LayoutPixels(TabHeight) : natural.cy};
}

RECT CGxTabCtrl::PageArea() const {
  const SIZE head = HeadSize();
  const GxStyle& style = Style();
  RECT area = Rect;
  if (Align == 0) area.top += LayoutPixels(FramePos) + head.cy;
  else area.left += LayoutPixels(FramePos) + head.cx;
  area.left += LayoutPixels(style.MarginX);
  area.right -= LayoutPixels(style.MarginX);
  area.top += LayoutPixels(style.MarginY);
  area.bottom -= LayoutPixels(style.MarginY);
  return area;
}

RECT CGxTabCtrl::HeadRect(int index) const {
  if (index < 0 || index >= static_cast<int>(Pages.size()) || Pages[index]->Hide) return RECT{};
  const SIZE head = HeadSize();
  int slot = 0;  // the place among the visible heads
  for (int i = 0; i < index; ++i) slot += Pages[i]->Hide ? 0 : 1;
  const int offset = LayoutPixels(TabPos) + slot * ((Align == 0 ? head.cx : head.cy) + LayoutPixels(TabSpacing));
  if (Align == 0) return RECT{Rect.left + offset, Rect.top, Rect.left + offset + head.cx, Rect.top + head.cy};
  return RECT{Rect.left, Rect.top + offset, Rect.left + head.cx, Rect.top + offset + head.cy};
}

int CGxTabCtrl::HeadAt(int x, int y) const {
  const POINT p{x, y};
  for (int i = 0; i < static_cast<int>(Pages.size()); ++i) {
    const RECT head = HeadRect(i);
    if (PtInRect(&head, p)) return i;
  }
  return -1;
}

void CGxTabCtrl::RepositionChildren() {
  const RECT area = PageArea();
  WINDOWPOS pos{nullptr, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top, 0};
  for (auto& page : Pages) page->Send(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
}

void CGxTabCtrl::UpdateRealWindows() {
  for (auto& page : Pages) page->UpdateRealWindows();
}

UINT CGxTabCtrl::HitTest(int x, int y, bool hover) {
  const POINT p{x, y};
  if (!PtInRect(&Rect, p)) return 0;
  const RECT area = PageArea();
  if (PtInRect(&area, p) && Selected < static_cast<int>(Pages.size()))
    if (const UINT hit = Pages[Selected]->HitTest(x, y, hover)) return hit;
  return Handle;
}

CGxWindow* CGxTabCtrl::FindChildByCmdID(int id) {
  for (auto& page : Pages)
    if (page->Id == id) return page.get();
  for (auto& page : Pages)
    if (CGxWindow* found = page->FindChildByCmdID(id)) return found;
  return nullptr;
}

bool CGxTabCtrl::Select(int index) {
  if (index < 0 || index >= static_cast<int>(Pages.size())) return false;
  if (index == Selected) return true;
  GxNotify change;
  change.ItemId = static_cast<UINT>(Id);
  change.NewIndex = index;
  change.OldIndex = Selected;
  SendGxNotify(Host, Host, kNotifyTabChange, change);
  if (change.Cancel) return false;
  const int old = Selected;
  Selected = index;
  Pages[old]->Send(WM_SHOWWINDOW, FALSE);
  Pages[index]->Send(WM_SHOWWINDOW, TRUE);
  const RECT area = PageArea();
  WINDOWPOS pos{nullptr, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top, 0};
  Pages[index]->Send(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  RequestRepaint(Host, Rect);
  return true;
}

bool CGxTabCtrl::RedrawRegion(HDC dc, HRGN update) {
  if (!CGxContainerWnd::RedrawRegion(dc, update)) return false;
  CGxSkinBase* head = GxSkinPool::Instance().Find(TabSkin);
  CGxSkinBase* icon = GxSkinPool::Instance().Find(IconSkin);
  CGxSkinBase* splitter = GxSkinPool::Instance().Find(SplitterSkin);
  const int mode = SetBkMode(dc, TRANSPARENT);
  const COLORREF color = SetTextColor(dc, TabText != kNoColor ? TabText : GetTextColor(dc));
  for (int i = 0; i < static_cast<int>(Pages.size()); ++i) {
    const RECT r = HeadRect(i);
    if (IsRectEmpty(&r)) continue;
    // The head skin's sub-images: 0 normal, 1 under the mouse, 2 selected.
    if (head) head->Draw(dc, r, i == Selected ? 2 : i == Hover ? 1 : 0);
    if (icon) {
      const RECT at{r.left + IconX, r.top + IconY, r.right, r.bottom};
      icon->Draw(dc, at, i);
    }
    RECT text{r.left + TextX, r.top + TextY, r.right, r.bottom};
    const HGDIOBJ font =
        SelectObject(dc, i == Selected && SelectedFont ? GxFontPool::Instance().Get(SelectedFont) : DrawFont());
    DrawTextW(dc, Pages[i]->Title.c_str(), -1, &text, DT_SINGLELINE | (TextX || TextY ? 0 : DT_CENTER | DT_VCENTER));
    SelectObject(dc, font);
    if (splitter && i + 1 < static_cast<int>(Pages.size())) {
      const RECT s = Align == 0 ? RECT{r.right, r.top, r.right + LayoutPixels(TabSpacing), r.bottom}
                                : RECT{r.left, r.bottom, r.right, r.bottom + LayoutPixels(TabSpacing)};
      splitter->Draw(dc, s, 0);
    }
  }
  SetTextColor(dc, color);
  SetBkMode(dc, mode);
  if (CGxSkinBase* frame = GxSkinPool::Instance().Find(FrameSkin)) {
    RECT area = PageArea();
    if (Align == 0) area.top -= LayoutPixels(FramePos);
    else area.left -= LayoutPixels(FramePos);
    frame->Draw(dc, area, 0);
  }
  if (Selected < static_cast<int>(Pages.size()) && Pages[Selected]->IsVisible(false))
    Pages[Selected]->RedrawRegion(dc, update);
  return true;
}

bool CGxTabCtrl::ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  switch (message) {
    case WM_PAINT:
      Handled = true;
      return true;
    case WM_MOUSEMOVE: {
      const int at = HeadAt(x, y);
      const int hover = at != Selected ? at : -1;
      if (hover != Hover) {
        for (int i : {Hover, hover}) {
          const RECT r = HeadRect(i);
          RequestRepaint(Host, r);
        }
        Hover = hover;
      }
      if (Hover >= 0) SetCursor(LoadCursorW(nullptr, IDC_HAND));
      Handled = true;
      return true;
    }
    case WM_MOUSELEAVE:
      if (Hover >= 0) RequestRepaint(Host, HeadRect(Hover));
      Hover = -1;
      Handled = true;
      return true;
    case WM_LBUTTONUP: {
      const int at = HeadAt(x, y);
      if (at >= 0 && at != Selected) Select(at);
      Handled = true;
      return true;
    }
    default: {
      const bool taken = CGxContainerWnd::ProcessWindowMessage(host, message, wParam, lParam, result);
      if (message == WM_WINDOWPOSCHANGED && taken) RepositionChildren();
      if (message == WM_SHOWWINDOW) UpdateRealWindows();
      return taken;
    }
  }
}
