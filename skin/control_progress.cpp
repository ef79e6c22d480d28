#include "skin/controls.h"

#include <stdio.h>

#include <algorithm>

#include "base/handles.h"
#include "skin/skin_pool.h"
#include "skin/style.h"

namespace {

const COLORREF kBarColor = RGB(0x42, 0x61, 0x90);

void RoundBox(HDC dc, const RECT& r, COLORREF fill, COLORREF outline, bool filled) {
  const sys::UniquePen pen(CreatePen(PS_SOLID, 1, filled ? fill : outline));
  const sys::UniqueBrush brush(CreateSolidBrush(fill));
  const HGDIOBJ oldPen = SelectObject(dc, pen.Get());
  const HGDIOBJ oldBrush = SelectObject(dc, filled ? static_cast<HGDIOBJ>(brush.Get()) : GetStockObject(NULL_BRUSH));
  RoundRect(dc, r.left, r.top, r.right, r.bottom, 2, 2);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
}

}  // namespace

HRESULT CGxProgress::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxWindow::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  if (name == "bgskin") BackgroundSkin = value;
  else if (name == "posskin") PositionSkin = value;
  else if (name == "min") Min = gx::ParseDecimal(value);
  else if (name == "max") Max = gx::ParseDecimal(value);
  else if (name == "value") Value = gx::ParseDecimal(value);
  else if (name == "showpercent") ShowPercent = gx::ParseDecimal(value);
  else if (name == "progressbar") Marquee = gx::ParseDecimal(value);
  else return kAttributeUnknown;
  return kAttributeTaken;
}

SIZE CGxProgress::NaturalSize(SIZE offered) {
  SIZE size = CGxWindow::NaturalSize(offered);
  if (const CGxSkinBase* skin = GxSkinPool::Instance().Find(PositionSkin)) size.cy = skin->GetSkinSize().cy;
  return size;
}

double CGxProgress::Ratio() const {
  const int low = std::min(Min, Max), high = std::max(Min, Max);
  if (high == low) return 0.0;
  const int value = std::clamp(Value, low, high);
  return static_cast<double>(value - low) / (high - low);
}

void CGxProgress::StepMarquee(RECT& block, bool& restart, int left, int right) {
  if (restart || block.left >= right) {  // back to an empty block at the left edge
    block.left = block.right = left;
    restart = false;
  }
  if (block.left == left && block.right - block.left < 30) {  // growing at the start
    block.right = std::min<LONG>(block.right + 10, right);
    return;
  }
  block.left += 10;  // moving; at the right edge only the left edge moves on
  block.right = std::min<LONG>(block.right + 10, right);
  if (block.left >= right) restart = true;
}

bool CGxProgress::ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message != WM_PAINT) return CGxWindow::ProcessWindowMessage(host, message, wParam, lParam, result);
  Handled = true;
  HDC dc = reinterpret_cast<HDC>(wParam);
  if (!dc) return true;
  if (CGxSkinBase* bg = GxSkinPool::Instance().Find(BackgroundSkin)) bg->Draw(dc, Rect, 0);
  else RoundBox(dc, Rect, RGB(0x70, 0x70, 0x70), RGB(0x70, 0x70, 0x70), false);

  const double ratio = Ratio();
  wchar_t percent[16];
  swprintf(percent, 16, L"%d%%", static_cast<int>(ratio * 100));
  const int mode = SetBkMode(dc, TRANSPARENT);
  const HGDIOBJ font = SelectObject(dc, DrawFont());
  RECT text = Rect;
  if (ShowPercent) DrawTextW(dc, percent, -1, &text, DT_SINGLELINE | DT_CENTER | DT_VCENTER);

  RECT bar{Rect.left + 2, Rect.top + 2, Rect.right - 2, Rect.bottom - 2};
  if (Marquee) {
    StepMarquee(MarqueeBlock, MarqueeRestart, bar.left, bar.right);
    RECT block{MarqueeBlock.left, bar.top, MarqueeBlock.right, bar.bottom};
    if (block.right > block.left) RoundBox(dc, block, kBarColor, kBarColor, true);
    bar = block;
  } else if (CGxSkinBase* pos = GxSkinPool::Instance().Find(PositionSkin)) {
    const int h = pos->GetSkinSize().cy;
    bar.top = Rect.top + (Rect.bottom - Rect.top - h) / 2;
    bar.bottom = bar.top + h;
    bar.right = bar.left + static_cast<int>((bar.right - bar.left) * ratio);
    if (bar.right > bar.left) pos->Draw(dc, bar, 0);
  } else {
    bar.right = bar.left + static_cast<int>((bar.right - bar.left) * ratio);
    if (bar.right > bar.left) RoundBox(dc, bar, kBarColor, kBarColor, true);
  }
  if (ShowPercent && bar.right > bar.left) {
    // The part of the text over the bar, in the contrasting colour.
    const COLORREF bk = Background != kNoColor ? Background : Style().Background;
    const COLORREF previous = SetTextColor(dc, bk != kNoColor ? bk : RGB(255, 255, 255));
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, bar.left, bar.top, bar.right, bar.bottom);
    text = Rect;
    DrawTextW(dc, percent, -1, &text, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    RestoreDC(dc, saved);
    SetTextColor(dc, previous);
  }
  SelectObject(dc, font);
  SetBkMode(dc, mode);
  return true;
}
