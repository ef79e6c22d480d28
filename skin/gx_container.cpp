#include "skin/gx_container.h"

#include "skin/style.h"
#include "tinyxml2.h"

CGxPanel::~CGxPanel() { DestroyChildren(); }

void CGxPanel::DestroyChildren() {
  for (auto& child : Kids) child->Send(WM_DESTROY);
  Kids.clear();
}

bool CGxPanel::Load(const tinyxml2::XMLElement& element) {
  CGxWindow::Load(element);
  DestroyChildren();
  for (const tinyxml2::XMLElement* e = element.FirstChildElement(); e; e = e->NextSiblingElement()) {
    std::unique_ptr<CGxWindow> child(CreateGxWindow(e->Name()));
    if (!child) continue;
    child->ParentHandle = Handle;
    child->SetContainer(Host);
    child->Load(*e);
    Kids.push_back(std::move(child));
  }
  return true;
}

HRESULT CGxPanel::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxContainerWnd::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  if (name != "onlydrawchild") return kAttributeUnknown;
  OnlyDrawChild = gx::ParseDecimal(value);
  return kAttributeTaken;
}

void CGxPanel::SetContainer(HWND host) {
  CGxContainerWnd::SetContainer(host);
  for (auto& child : Kids) child->SetContainer(host);
}

UINT CGxPanel::HitTest(int x, int y, bool hover) {
  const POINT p{x, y};
  if (!PtInRect(&Rect, p)) return 0;
  if (OnlyDrawChild) return Handle;
  for (const bool floating : {true, false}) {
    for (auto& child : Kids) {
      if (((child->LayoutFlags & kFloating) != 0) != floating) continue;
      if (!child->IsVisible(false) || child->Transparent) continue;
      if (const UINT hit = child->HitTest(x, y, hover)) return hit;
    }
  }
  return Handle;
}

bool CGxPanel::RedrawRegion(HDC dc, HRGN update) {
  if (!CGxContainerWnd::RedrawRegion(dc, update)) return false;
  const int saved = SaveDC(dc);
  SelectObject(dc, DrawFont());
  for (auto& child : Kids)
    if (child->IsVisible(false)) child->RedrawRegion(dc, update);
  RestoreDC(dc, saved);
  return true;
}

bool CGxPanel::ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_PAINT) {  // a panel draws its children, not text of its own
    Handled = true;
    return true;
  }
  const bool taken = CGxContainerWnd::ProcessWindowMessage(host, message, wParam, lParam, result);
  if (message == WM_SHOWWINDOW) UpdateRealWindows();
  return taken;
}

void CGxPanel::UpdateRealWindows() {
  for (auto& child : Kids) child->UpdateRealWindows();
}

CGxWindow* CGxPanel::FindChildByCmdID(int id) {
  for (auto& child : Kids)
    if (child->Id == id) return child.get();
  for (auto& child : Kids)
    if (child->IsContainer())
      if (CGxWindow* found = static_cast<CGxContainerWnd*>(child.get())->FindChildByCmdID(id)) return found;
  return nullptr;
}

bool CGxDialog::ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const bool taken = CGxPanel::ProcessWindowMessage(host, message, wParam, lParam, result);
  if (message == WM_WINDOWPOSCHANGED && taken) RepositionChildren();
  return taken;
}

void CGxDialog::RepositionChildren() {
  for (auto& child : Kids) RepositionChild(child.get());
}

void CGxDialog::RepositionChild(CGxWindow* child) {
  const GxStyle& style = Style();
  const RECT area{Rect.left + LayoutPixels(style.MarginX), Rect.top + LayoutPixels(style.MarginY),
                  Rect.right - LayoutPixels(style.MarginX), Rect.bottom - LayoutPixels(style.MarginY)};
  const bool placed = child->Pos.Count == 2 || child->Pos.Count == 4;
  WINDOWPOS pos{};
  pos.x = placed ? ResolveItem(child->Pos.Items[0], area.left, area.right) : area.left;
  pos.y = placed ? ResolveItem(child->Pos.Items[1], area.top, area.bottom) : area.top;
  pos.cx = area.right - area.left;
  pos.cy = area.bottom - area.top;
  child->Send(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
}
