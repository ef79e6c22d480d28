#include "skin/skins.h"

#include "skin/position.h"

#include <string.h>

#include <algorithm>

#include <vector>

#include "base/handles.h"
#include "skin/pools.h"
#include "sys/system_info.h"

namespace {

// A function of the system's msimg32, loaded by its full path from the system folder at the
// first use and kept; null when it is not there.
template <typename Fn>
Fn Msimg32Function(const char* name) {
  static const HMODULE module = ZFunction::LoadSystemLibrary(L"msimg32.dll");
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// Selects an object into a device context for a scope.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : Dc(dc), Previous(SelectObject(dc, object)) {}
  ~Selected() { SelectObject(Dc, Previous); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC Dc;
  HGDIOBJ Previous;
};

void FillColor(HDC dc, const RECT& rect, COLORREF color) {
  if (color == kNoColor) return;
  const sys::UniqueBrush brush(CreateSolidBrush(color));
  FillRect(dc, &rect, brush.Get());
}

// Blends a 32-bit bitmap's pixels (alpha in the top byte) over what `dc` holds at (dx, dy),
// scaled to dw x dh (each target pixel from the nearest source pixel).
void BlendAlpha(HDC dc, HBITMAP bitmap, const BITMAP& info, int dx, int dy, int dw, int dh) {
  const int w = info.bmWidth, h = info.bmHeight;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  std::vector<DWORD> source(static_cast<size_t>(w) * h);
  const sys::UniqueDc memory(CreateCompatibleDC(dc));
  if (!memory || GetDIBits(memory.Get(), bitmap, 0, h, source.data(), &bi, DIB_RGB_COLORS) != h) return;
  void* bits = nullptr;
  bi.bmiHeader.biWidth = dw;
  bi.bmiHeader.biHeight = -dh;
  const sys::UniqueBitmap target(CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!target || !bits) return;
  const Selected selected(memory.Get(), target.Get());
  BitBlt(memory.Get(), 0, 0, dw, dh, dc, dx, dy, SRCCOPY);
  GdiFlush();
  auto* dest = static_cast<DWORD*>(bits);
  for (size_t i = 0; i < static_cast<size_t>(dw) * dh; ++i) {
    const int x = static_cast<int>(i % dw) * w / dw, y = static_cast<int>(i / dw) * h / dh;
    const DWORD s = source[static_cast<size_t>(y) * w + x], d = dest[i];
    const DWORD a = s >> 24;
    DWORD out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      const DWORD sc = (s >> shift) & 0xFF, dc8 = (d >> shift) & 0xFF;
      out |= ((sc * a + dc8 * (255 - a)) / 255) << shift;
    }
    dest[i] = out;
  }
  BitBlt(dc, dx, dy, dw, dh, memory.Get(), 0, 0, SRCCOPY);
}

}  // namespace

SIZE CGxImage::BitmapSize() const {
  BITMAP info{};
  if (!Bitmap || !GetObjectW(Bitmap, sizeof(info), &info)) return SIZE{0, 0};
  return SIZE{info.bmWidth, info.bmHeight};
}

void CGxImage::Blit(HDC dc, int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh) const {
  if (!Bitmap || dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  const bool stretched = dw != sw || dh != sh;
  if (Mode == 1) {
    // Mask colour transparent: the destination keeps its pixels under the mask, the bitmap with
    // its mask-colour pixels black is ORed in.
    const Masked& masked = MaskedParts(dc);
    if (!masked.Mask || !masked.Blacked) return;
    const sys::UniqueDc parts(CreateCompatibleDC(dc));
    const COLORREF bk = SetBkColor(dc, RGB(255, 255, 255)), text = SetTextColor(dc, RGB(0, 0, 0));
    const int previous = SetStretchBltMode(dc, COLORONCOLOR);
    {
      const Selected mask(parts.Get(), masked.Mask.Get());
      StretchBlt(dc, dx, dy, dw, dh, parts.Get(), sx, sy, sw, sh, SRCAND);
    }
    {
      const Selected blacked(parts.Get(), masked.Blacked.Get());
      StretchBlt(dc, dx, dy, dw, dh, parts.Get(), sx, sy, sw, sh, SRCPAINT);
    }
    SetStretchBltMode(dc, previous);
    SetBkColor(dc, bk);
    SetTextColor(dc, text);
    return;
  }
  const sys::UniqueDc source(CreateCompatibleDC(dc));
  if (!source) return;
  const Selected selected(source.Get(), Bitmap);
  if (Mode == 2) {  // per-pixel alpha: whole 32-bit bitmaps only (scaled for the DPI)
    BITMAP info{};
    const SIZE size = BitmapSize();
    if (sx != 0 || sy != 0 || sw != size.cx || sh != size.cy || !GetObjectW(Bitmap, sizeof(info), &info) ||
        info.bmBitsPixel != 32)
      return;
    BlendAlpha(dc, Bitmap, info, dx, dy, dw, dh);
    return;
  }
  if (!stretched) {
    BitBlt(dc, dx, dy, dw, dh, source.Get(), sx, sy, SRCCOPY);
  } else {  // an edge stretched from one pixel, or a picture scaled for the DPI (smoothed)
    const bool scaled = LayoutDpi() != 96 && sw > 1 && sh > 1;
    POINT origin;
    const int previous = SetStretchBltMode(dc, scaled ? HALFTONE : COLORONCOLOR);
    if (scaled) SetBrushOrgEx(dc, 0, 0, &origin);
    StretchBlt(dc, dx, dy, dw, dh, source.Get(), sx, sy, sw, sh, SRCCOPY);
    SetStretchBltMode(dc, previous);
    if (scaled) SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
  }
}

const CGxImage::Masked& CGxImage::MaskedParts(HDC dc) const {
  if (Cache.For == Bitmap && Cache.Color == MaskColor && Cache.Mask) return Cache;
  Cache.For = Bitmap;
  Cache.Color = MaskColor;
  const SIZE size = BitmapSize();
  const sys::UniqueDc source(CreateCompatibleDC(dc)), target(CreateCompatibleDC(dc));
  Cache.Mask.Reset(CreateBitmap(size.cx, size.cy, 1, 1, nullptr));
  Cache.Blacked.Reset(CreateCompatibleBitmap(dc, size.cx, size.cy));
  if (!source || !target || !Cache.Mask || !Cache.Blacked) return Cache;
  const Selected bitmap(source.Get(), Bitmap);
  {
    const Selected mask(target.Get(), Cache.Mask.Get());
    SetBkColor(source.Get(), MaskColor);
    BitBlt(target.Get(), 0, 0, size.cx, size.cy, source.Get(), 0, 0, SRCCOPY);  // mask colour -> 1
  }
  const Selected blacked(target.Get(), Cache.Blacked.Get());
  BitBlt(target.Get(), 0, 0, size.cx, size.cy, source.Get(), 0, 0, SRCCOPY);
  const sys::UniqueDc maskDc(CreateCompatibleDC(dc));
  const Selected mask(maskDc.Get(), Cache.Mask.Get());
  SetBkColor(target.Get(), RGB(255, 255, 255));
  SetTextColor(target.Get(), RGB(0, 0, 0));
  BitBlt(target.Get(), 0, 0, size.cx, size.cy, maskDc.Get(), 0, 0, 0x00220326);  // DSna: mask pixels black
  return Cache;
}

HRESULT CGxImageSkin::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxSkinBase::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  if (name == "src") {
    Bitmap = GxBmpPool::Instance().Get(gx::ParseDecimal(value));
  } else if (name == "mode") {
    if (value == "none") Mode = 0;
    else if (value == "mask") Mode = 1;
    else if (value == "alpha") Mode = 2;
    else return kAttributeUnknown;
  } else if (name == "maskcolor") {
    if (!gx::ParseColor(value, &MaskColor)) return kAttributeUnknown;
  } else if (name == "subwidth") {
    SubWidth = gx::ParseDecimal(value);
  } else if (name == "stretch-x") {
    StretchX = gx::ParseDecimal(value);
  } else if (name == "stretch-y") {
    StretchY = gx::ParseDecimal(value);
  } else {
    return kAttributeUnknown;
  }
  return kAttributeTaken;
}

void CGxImageSkin::Draw(HDC dc, const RECT& rect, int state) {
  const SIZE size = BitmapSize();
  int sx = 0, sw = size.cx;
  if (state >= 0) {
    if (SubWidth == 0) return;
    sx = state * SubWidth;
    sw = SubWidth;
  }
  const SIZE drawn = GetSkinSize();
  Blit(dc, rect.left, rect.top, drawn.cx, drawn.cy, sx, 0, sw, size.cy);
}

SIZE CGxImageSkin::GetSkinSize() const {
  if (StretchX && StretchY) return SIZE{LayoutPixels(StretchX), LayoutPixels(StretchY)};
  const SIZE size = BitmapSize();
  return SIZE{LayoutPixels(SubWidth ? SubWidth : size.cx), LayoutPixels(size.cy)};
}

HRESULT CGxSkinImgFrame::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT member = Image.SetAttribute(name, value, loading);
  if (member >= 0) return member;
  if (name == "crbg") {
    if (!gx::ParseColor(value, &Background)) return kAttributeUnknown;
  } else if (name == "left") {
    Left = gx::ParseDecimal(value);
  } else if (name == "top") {
    Top = gx::ParseDecimal(value);
  } else if (name == "part") {
    static const struct {
      const char* word;
      int bits;
    } kParts[] = {{"all", 0x2F}, {"top", 0x2B}, {"middle", 0x2A}, {"bottom", 0x2E},
                  {"left", 0x0F}, {"center", 0x07}, {"right", 0x27}};
    for (const auto& p : kParts)
      if (value == p.word) {
        Part = p.bits;
        return kAttributeTaken;
      }
    return kAttributeUnknown;
  } else {
    return kAttributeUnknown;
  }
  return kAttributeTaken;
}

void CGxSkinImgFrame::Draw(HDC dc, const RECT& r, int) {
  const SIZE size = Image.BitmapSize();
  // Source corner sizes L, T, R, B; drawn scaled for the DPI as dL, dT, dR, dB.
  const int L = Left, T = Top, R = size.cx - L - 1, B = size.cy - T - 1;
  const int dL = LayoutPixels(L), dT = LayoutPixels(T), dR = LayoutPixels(R), dB = LayoutPixels(B);
  const bool top = Part & 0x01, bottom = Part & 0x04, left = Part & 0x08, right = Part & 0x20;
  const RECT in{r.left + (left ? dL : 0), r.top + (top ? dT : 0), r.right - (right ? dR : 0), r.bottom - (bottom ? dB : 0)};
  const int iw = in.right - in.left, ih = in.bottom - in.top;
  if (Image.Bitmap && R >= 0 && B >= 0) {
    if (top && left) Image.Blit(dc, r.left, r.top, dL, dT, 0, 0, L, T);
    if (top && right) Image.Blit(dc, in.right, r.top, dR, dT, L + 1, 0, R, T);
    if (bottom && left) Image.Blit(dc, r.left, in.bottom, dL, dB, 0, T + 1, L, B);
    if (bottom && right) Image.Blit(dc, in.right, in.bottom, dR, dB, L + 1, T + 1, R, B);
    if (top) Image.Blit(dc, in.left, r.top, iw, dT, L, 0, 1, T);
    if (left) Image.Blit(dc, r.left, in.top, dL, ih, 0, T, L, 1);
    if (bottom) Image.Blit(dc, in.left, in.bottom, iw, dB, L, T + 1, 1, B);
    if (right) Image.Blit(dc, in.right, in.top, dR, ih, L + 1, T, R, 1);
  }
  if (iw > 0 && ih > 0) FillColor(dc, in, Background);
}

HRESULT CGxSkinImgHorzExtend::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT member = Image.SetAttribute(name, value, loading);
  if (member >= 0) return member;
  if (name != "left") return kAttributeUnknown;
  Left = gx::ParseDecimal(value);
  return kAttributeTaken;
}

void CGxSkinImgHorzExtend::Draw(HDC dc, const RECT& rect, int state) {
  int index = -1;
  if (state != -1) index = (state & kStateDisabled) ? 3 : (state & kStatePushed) ? 2 : (state & kStateHover) ? 1 : 0;
  const SIZE size = Image.BitmapSize();
  const int W = Image.SubWidth ? Image.SubWidth : size.cx, H = size.cy, L = Left;
  const int ox = index > 0 ? index * W : 0;
  const int rightPiece = W - L - 1;
  if (L < 0 || rightPiece < 0) return;
  const int dL = LayoutPixels(L), dR = LayoutPixels(rightPiece), dH = LayoutPixels(H);  // drawn for the DPI
  const int width = std::max<int>(rect.right - rect.left, LayoutPixels(W));
  Image.Blit(dc, rect.left, rect.top, dL, dH, ox, 0, L, H);
  Image.Blit(dc, rect.left + width - dR, rect.top, dR, dH, ox + L + 1, 0, rightPiece, H);
  Image.Blit(dc, rect.left + dL, rect.top, width - dL - dR, dH, ox + L, 0, 1, H);
}

SIZE CGxSkinImgHorzExtend::GetSkinSize() const { return SIZE{0, LayoutPixels(Image.BitmapSize().cy)}; }

HRESULT CGxSkinButton::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxSkinBase::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  COLORREF* const fields[] = {&Bg, &Border, &BgUp, &BgUpHover, &BgUpPush, &BgDown, &BgDownHover, &BgDownPush};
  const char* const names[] = {"bg", "border", "bgup", "bguphover", "bguppush", "bgdown", "bgdownhover", "bgdownpush"};
  for (int i = 0; i < 8; ++i)
    if (name == names[i]) return gx::ParseColor(value, fields[i]) ? kAttributeTaken : kAttributeUnknown;
  return kAttributeUnknown;
}

void CGxSkinButton::Draw(HDC dc, const RECT& rect, int state) {
  FillColor(dc, rect, Bg);
  const int line = LinePixels();  // the border's width
  if (!(state & kStateDisabled)) {
    const RECT inner{rect.left + 2 * line, rect.top + 2 * line, rect.right - 2 * line, rect.bottom - 2 * line};
    if (state & kStatePushed) FillGradient(dc, inner, BgUpPush, BgDownPush, true);
    else if (state & kStateHover) FillGradient(dc, inner, BgUpHover, BgDownHover, true);
    else FillGradient(dc, inner, BgUp, BgDown, true);
  }
  const sys::UniqueBrush border(CreateSolidBrush(Border));
  RECT frame = rect;
  for (int i = 0; i < line; ++i, InflateRect(&frame, -1, -1)) FrameRect(dc, &frame, border.Get());
}

HRESULT CGxSkinGradation::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxSkinBase::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  if (name == "from") return gx::ParseColor(value, &From) ? kAttributeTaken : kAttributeUnknown;
  if (name == "to") return gx::ParseColor(value, &To) ? kAttributeTaken : kAttributeUnknown;
  if (name == "size") {
    Size = gx::ParseDecimal(value);
    return kAttributeTaken;
  }
  if (name == "direction") {
    if (value == "horz") Direction = 0;
    else if (value == "vert") Direction = 1;
    else return kAttributeUnknown;
    return kAttributeTaken;
  }
  return kAttributeUnknown;
}

void CGxSkinGradation::Draw(HDC dc, const RECT& rect, int) {
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
  FillColor(dc, rect, To);
  RECT gradient = rect;
  if (Direction == 0 && Size > 0) gradient.right = rect.left + Size;
  if (Direction == 1 && Size > 0) gradient.bottom = rect.top + Size;
  if (From != kNoColor && To != kNoColor) FillGradient(dc, gradient, From, To, Direction == 1);
  RestoreDC(dc, saved);
}

HRESULT CGxPictureSkin::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxSkinBase::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  if (name == "src") Src = gx::ParseDecimal(value);
  else if (name == "subwidth") SubWidth = gx::ParseDecimal(value);
  else return kAttributeUnknown;
  return kAttributeTaken;
}

bool CGxPictureSkin::Load(const tinyxml2::XMLElement& element) {
  CGxSkinBase::Load(element);
  if (Src != 0 && !Pool().Size(Src, &PictureSize)) PictureSize = SIZE{0, 0};
  return true;
}

Gdiplus::Image* CGxPictureSkin::Picture() {
  if (!Image && !Fetched && Src != 0) Image = Pool().Get(Src);
  Fetched = true;
  return Image;
}

void CGxPictureSkin::Draw(HDC dc, const RECT& rect, int state) {
  if (!Picture()) return;
  const int w = SubWidth ? SubWidth : static_cast<int>(Image->GetWidth()), h = static_cast<int>(Image->GetHeight());
  const int sx = SubWidth ? SubWidth * state : 0;
  const int dw = LayoutPixels(w), dh = LayoutPixels(h);
  if (dw != w || dh != h) {  // scaled for the screen's DPI: the artwork drawn for it when there is
    if (sx < 0 || sx >= static_cast<int>(Image->GetWidth())) return;  // one, else a good filter
    Gdiplus::Image* source = Image;
    int percent = 100;
    // The smallest size not below the screen's (150 % for 144 DPI, 200 % for 192), else 200 %.
    const int wanted = LayoutDpi() * 100 <= 150 * 96 ? 150 : 200;
    for (const int p : {wanted, 350 - wanted})
      if (Gdiplus::Image* scaled = Src != 0 ? Pool().GetScaled(Src, p) : nullptr) {
        source = scaled;
        percent = p;
        break;
      }
    Gdiplus::Graphics graphics(dc);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    Gdiplus::ImageAttributes edges;
    edges.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    graphics.DrawImage(source, Gdiplus::Rect(rect.left, rect.top, dw, dh), sx * percent / 100, 0, w * percent / 100,
                       h * percent / 100, Gdiplus::UnitPixel, &edges);
    return;
  }
  using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
  static const auto alphaBlend = Msimg32Function<AlphaBlendFn>("AlphaBlend");
  if (alphaBlend && Premultiply()) {
    const sys::UniqueDc source(CreateCompatibleDC(dc));
    const Selected selected(source.Get(), Premultiplied.Get());
    const int sw = std::min(w, static_cast<int>(Image->GetWidth()) - sx);
    if (sx >= 0 && sw > 0)
      alphaBlend(dc, rect.left, rect.top, sw, h, source.Get(), sx, 0, sw, h, BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA});
    return;
  }
  Gdiplus::Graphics graphics(dc);
  graphics.DrawImage(Image, Gdiplus::Rect(rect.left, rect.top, w, h), sx, 0, w, h, Gdiplus::UnitPixel);
}

bool CGxPictureSkin::Premultiply() {
  if (PremultipliedOf == Image && Premultiplied) return true;
  PremultipliedOf = Image;
  Premultiplied.Reset();
  auto* bitmap = static_cast<Gdiplus::Bitmap*>(Image);
  const int w = static_cast<int>(Image->GetWidth()), h = static_cast<int>(Image->GetHeight());
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
  void* bits = nullptr;
  sys::UniqueBitmap dib(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  Gdiplus::BitmapData data{};
  Gdiplus::Rect all(0, 0, w, h);
  if (!dib || !bits || bitmap->LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
    return false;
  for (int y = 0; y < h; ++y)
    memcpy(static_cast<BYTE*>(bits) + y * w * 4, static_cast<const BYTE*>(data.Scan0) + y * data.Stride, w * 4);
  bitmap->UnlockBits(&data);
  Premultiplied = std::move(dib);
  return true;
}

GxImagePool& CGxPngSkin::Pool() const { return GxImagePool::Png(); }
GxImagePool& CGxJpgSkin::Pool() const { return GxImagePool::Jpg(); }

SIZE CGxPictureSkin::GetSkinSize() const {
  const SIZE size = Image ? SIZE{static_cast<LONG>(Image->GetWidth()), static_cast<LONG>(Image->GetHeight())} : PictureSize;
  if (size.cy == 0) return SIZE{LayoutPixels(SubWidth), 0};
  return SIZE{LayoutPixels(SubWidth ? SubWidth : static_cast<int>(size.cx)), LayoutPixels(static_cast<int>(size.cy))};
}

std::unique_ptr<CGxSkinBase> CreateSkin(const char* tag) {
  if (!tag) return nullptr;
  if (strcmp(tag, "imglst") == 0) return std::make_unique<CGxImageSkin>();
  if (strcmp(tag, "imgframe") == 0) return std::make_unique<CGxSkinImgFrame>();
  if (strcmp(tag, "button") == 0) return std::make_unique<CGxSkinButton>();
  if (strcmp(tag, "imghorzex") == 0) return std::make_unique<CGxSkinImgHorzExtend>();
  if (strcmp(tag, "gradation") == 0) return std::make_unique<CGxSkinGradation>();
  if (strcmp(tag, "png") == 0) return std::make_unique<CGxPngSkin>();
  if (strcmp(tag, "jpg") == 0) return std::make_unique<CGxJpgSkin>();
  return nullptr;
}

bool BlendColor(HDC dc, const RECT& rect, COLORREF color, BYTE alpha) {
  using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
  static const auto alphaBlend = Msimg32Function<AlphaBlendFn>("AlphaBlend");
  if (!alphaBlend || rect.right <= rect.left || rect.bottom <= rect.top) return false;
  const sys::UniqueDc source(CreateCompatibleDC(dc));
  const sys::UniqueBitmap pixel(CreateCompatibleBitmap(dc, 1, 1));
  const Selected selected(source.Get(), pixel.Get());
  SetPixelV(source.Get(), 0, 0, color);
  return alphaBlend(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source.Get(), 0, 0, 1, 1,
                    BLENDFUNCTION{AC_SRC_OVER, 0, alpha, 0}) != FALSE;
}

bool FillGradient(HDC dc, const RECT& rect, COLORREF from, COLORREF to, bool vertical) {
  using GradientFn = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);
  static const auto gradient = Msimg32Function<GradientFn>("GradientFill");
  if (!gradient || rect.right <= rect.left || rect.bottom <= rect.top) return false;
  TRIVERTEX v[2] = {};
  v[0].x = rect.left;
  v[0].y = rect.top;
  v[0].Red = static_cast<COLOR16>(GetRValue(from) << 8);
  v[0].Green = static_cast<COLOR16>(GetGValue(from) << 8);
  v[0].Blue = static_cast<COLOR16>(GetBValue(from) << 8);
  v[1].x = rect.right;
  v[1].y = rect.bottom;
  v[1].Red = static_cast<COLOR16>(GetRValue(to) << 8);
  v[1].Green = static_cast<COLOR16>(GetGValue(to) << 8);
  v[1].Blue = static_cast<COLOR16>(GetBValue(to) << 8);
  GRADIENT_RECT r{0, 1};
  return gradient(dc, v, 2, &r, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H) != FALSE;
}
