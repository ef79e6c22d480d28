#include "skin/controls.h"

#include "skin/skin_pool.h"
#include "skin/style.h"

HRESULT CGxImageWnd::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxWindow::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  if (name == "sub") Sub = gx::ParseDecimal(value);
  else if (name == "skin") SkinName = value;
  else return kAttributeUnknown;
  return kAttributeTaken;
}

SIZE CGxImageWnd::NaturalSize(SIZE offered) {
  SIZE size = CGxWindow::NaturalSize(offered);
  if (const CGxSkinBase* skin = GxSkinPool::Instance().Find(SkinName)) {
    const SIZE natural = skin->GetSkinSize();
    if (natural.cx) size.cx = natural.cx;
    if (natural.cy) size.cy = natural.cy;
  }
  return size;
}

bool CGxImageWnd::ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_PAINT) {
    if (CGxSkinBase* skin = GxSkinPool::Instance().Find(SkinName))
      skin->Draw(reinterpret_cast<HDC>(wParam), Rect, SubImage());
    Handled = true;
    return true;
  }
  return CGxWindow::ProcessWindowMessage(host, message, wParam, lParam, result);
}

int CGxImageBtnWnd::SubImage() const {
  if (State & kWndDisabled) return 3;
  if (State & kWndPushed) return 2;
  if (State & kWndHover) return 1;
  return 0;
}

bool CGxIconWnd::Load(const tinyxml2::XMLElement& element) {
  CGxWindow::Load(element);
  LoadIconImage();
  return true;
}

HRESULT CGxIconWnd::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxWindow::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  if (name == "src") Src = gx::ParseDecimal(value);
  else if (name == "size") Size = gx::ParseDecimal(value);
  else if (name == "oem") Oem = gx::ParseDecimal(value);
  else return kAttributeUnknown;
  if (!loading && name == "src" && Src != LoadedSrc) LoadIconImage();
  return kAttributeTaken;
}

void CGxIconWnd::LoadIconImage() {
  Icon = nullptr;
  Owned.Reset();
  LoadedSrc = Src;
  if (Src < 0) return;
  if (Oem) {
    Icon = ::LoadIconW(nullptr, MAKEINTRESOURCEW(Src));  // shared: never destroyed
  } else {
    Owned.Reset(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(Src), IMAGE_ICON, Size, Size, 0)));
    Icon = Owned.Get();
  }
}

bool CGxIconWnd::ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_PAINT) {
    if (HICON icon = Icon ? Icon : External)
      DrawIconEx(reinterpret_cast<HDC>(wParam), Rect.left, Rect.top, icon, Rect.right - Rect.left,
                 Rect.bottom - Rect.top, 0, nullptr, DI_NORMAL);
    Handled = true;
    return true;
  }
  return CGxWindow::ProcessWindowMessage(host, message, wParam, lParam, result);
}

HRESULT CGxMemoryImage::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxWindow::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  if (name != "mempointer") return kAttributeUnknown;
  Image = reinterpret_cast<Gdiplus::Image*>(static_cast<uintptr_t>(_strtoui64(value.c_str(), nullptr, 10)));
  return kAttributeTaken;
}

bool CGxMemoryImage::ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_PAINT) {
    if (Image) {
      Gdiplus::Graphics graphics(reinterpret_cast<HDC>(wParam));
      graphics.DrawImage(Image, Gdiplus::Rect(Rect.left, Rect.top, Rect.right - Rect.left, Rect.bottom - Rect.top), 0,
                         0, Image->GetWidth(), Image->GetHeight(), Gdiplus::UnitPixel);
    }
    Handled = true;
    return true;
  }
  return CGxWindow::ProcessWindowMessage(host, message, wParam, lParam, result);
}
