// Skins: named drawable images (image lists, frames, horizontally extended images, colour
// buttons, gradients, PNG and JPEG images). Each draws into a device context handed in by the
// caller; none owns a window.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <string>

#include "base/handles.h"
#include "skin/gx_object.h"

// State bits of a control, as skins read them.
inline constexpr int kStateHover = 0x01;
inline constexpr int kStatePushed = 0x02;
inline constexpr int kStateDisabled = 0x10;

class CGxSkinBase : public CGxObject {
 public:
  // Paints into `dc` at `rect`; `state` is the control's state word or a sub-image index.
  virtual void Draw(HDC dc, const RECT& rect, int state) = 0;
  virtual SIZE GetSkinSize() const { return SIZE{0, 0}; }
  // True when the skin looks the same in every state.
  virtual bool IgnoreState() const { return true; }
};

// The library's bitmap holder: a bitmap from the bitmap pool (not owned), its sub-image width,
// how it is drawn (0 copy, 1 mask colour transparent, 2 per-pixel alpha) and its mask colour.
class CGxImage {
 public:
  HBITMAP Bitmap = nullptr;
  int SubWidth = 0;
  int Mode = 0;
  COLORREF MaskColor = 0xFF00FF;

  SIZE BitmapSize() const;
  // Copies the source part (sx, sy, sw, sh) to (dx, dy, dw, dh) the way `Mode` says, stretching
  // when the sizes differ. Alpha (mode 2) draws only unstretched 32-bit bitmaps.
  void Blit(HDC dc, int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh) const;

 private:
  // For mode 1, made once per bitmap and mask colour: the monochrome mask of the mask-colour
  // pixels and the bitmap with those pixels black.
  struct Masked {
    HBITMAP For = nullptr;
    COLORREF Color = 0;
    sys::UniqueBitmap Mask, Blacked;
  };
  const Masked& MaskedParts(HDC dc) const;
  mutable Masked Cache;
};

class CGxImageSkin : public CGxImage, public CGxSkinBase {
 public:
  const char* GetObjectClass() const override { return "imglst"; }
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  // state: a sub-image index, or -1 for the whole bitmap.
  void Draw(HDC dc, const RECT& rect, int state) override;
  SIZE GetSkinSize() const override;
  bool IgnoreState() const override { return SubWidth == 0; }

  int StretchX = 0, StretchY = 0;
};

class CGxSkinImgFrame : public CGxSkinBase {
 public:
  const char* GetObjectClass() const override { return "imgframe"; }
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  void Draw(HDC dc, const RECT& rect, int state) override;
  bool IgnoreState() const override { return Image.IgnoreState(); }

  CGxImageSkin Image;
  int Left = 0, Top = 0;
  COLORREF Background = kNoColor;
  int Part = 0x2F;  // 0x01 top row, 0x04 bottom row, 0x08 left column, 0x20 right column
};

class CGxSkinImgHorzExtend : public CGxSkinBase {
 public:
  const char* GetObjectClass() const override { return "imghorzex"; }
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  void Draw(HDC dc, const RECT& rect, int state) override;
  SIZE GetSkinSize() const override;
  bool IgnoreState() const override { return Image.IgnoreState(); }

  CGxImageSkin Image;
  int Left = 0;
};

class CGxSkinButton : public CGxSkinBase {
 public:
  const char* GetObjectClass() const override { return "button"; }
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  void Draw(HDC dc, const RECT& rect, int state) override;
  bool IgnoreState() const override { return false; }

  COLORREF Bg = 0xEEEEEE, Border = 0x707070, BgUp = 0xEEEEEE, BgUpHover = 0xEEEEEE, BgUpPush = 0xCECECE,
           BgDown = 0xD6D6D6, BgDownHover = 0xE0E0E0, BgDownPush = 0xC0C0C0;
};

class CGxSkinGradation : public CGxSkinBase {
 public:
  const char* GetObjectClass() const override { return "gradation"; }
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  void Draw(HDC dc, const RECT& rect, int state) override;

  COLORREF From = kNoColor, To = kNoColor;
  int Direction = 0;  // 0 horizontal, 1 vertical
  int Size = 0;
};

class GxImagePool;

// A PNG ("png") or JPEG ("jpg") image from its pool, with optional sub-images.
class CGxPictureSkin : public CGxSkinBase {
 public:
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  bool Load(const tinyxml2::XMLElement& element) override;
  // state: the sub-image index when subwidth is set.
  void Draw(HDC dc, const RECT& rect, int state) override;
  SIZE GetSkinSize() const override;
  bool IgnoreState() const override { return SubWidth == 0; }

  // The pool's picture, decoded at the first draw (its size is known from loading on).
  Gdiplus::Image* Image = nullptr;
  int Src = 0;
  int SubWidth = 0;

 protected:
  virtual GxImagePool& Pool() const = 0;

 private:
  Gdiplus::Image* Picture();
  SIZE PictureSize{0, 0};  // from the picture's header, until it is decoded
  bool Fetched = false;
  // The image as a premultiplied 32-bit bitmap, made at the first draw and drawn with the
  // system's AlphaBlend (GDI+ draws it where that is not there).
  bool Premultiply();
  sys::UniqueBitmap Premultiplied;
  Gdiplus::Image* PremultipliedOf = nullptr;
};

class CGxPngSkin : public CGxPictureSkin {
 public:
  const char* GetObjectClass() const override { return "png"; }

 protected:
  GxImagePool& Pool() const override;
};

class CGxJpgSkin : public CGxPictureSkin {
 public:
  const char* GetObjectClass() const override { return "jpg"; }

 protected:
  GxImagePool& Pool() const override;
};

// A skin for an XML tag, tried in the order imglst, imgframe, button, imghorzex, gradation,
// png, jpg; null for any other tag.
std::unique_ptr<CGxSkinBase> CreateSkin(const char* tag);

// Blends `color` over `rect` with a constant alpha (0 to 255) through the system's AlphaBlend.
bool BlendColor(HDC dc, const RECT& rect, COLORREF color, BYTE alpha);

// Fills `rect` with a two-colour gradient (horizontal: left to right) through GradientFill,
// loaded from the system's msimg32 at the first use. False when it is not there.
bool FillGradient(HDC dc, const RECT& rect, COLORREF from, COLORREF to, bool vertical);
