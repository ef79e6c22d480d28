// The process-wide caches of the UI library: decoded bitmaps, PNG and JPEG images (by resource
// id) and fonts (by font key). Made on first use, kept until the process ends; nothing is
// reloaded or re-created by a repaint. All of it runs on the user-interface thread.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <string>
#include <unordered_map>

#include "base/handles.h"

class GxBmpPool {
 public:
  static GxBmpPool& Instance();
  // The bitmap of resource `id`, loaded on the first request; null when no source has it.
  HBITMAP Get(int id);

 private:
  std::unordered_map<int, sys::UniqueBitmap> Bitmaps;
};

// PNG (type "png") or JPEG (type "jpg") images by resource id; the two pools are apart, as the
// same id may name both. A picture's size is known before it is decoded: a page decodes only the
// pictures it shows.
class GxImagePool {
 public:
  static GxImagePool& Png();
  static GxImagePool& Jpg();
  Gdiplus::Image* Get(int id);
  // The size of image `id` without decoding it when its header tells (a PNG's does); false when
  // no source has a picture of that id.
  bool Size(int id, SIZE* size);
  // The same picture drawn for `percent` % (150 or 200), decoded at its first use; null when the
  // artwork has no such size.
  Gdiplus::Image* GetScaled(int id, int percent);

 private:
  explicit GxImagePool(const wchar_t* type) : Type(type) {}
  const wchar_t* Type;
  std::unordered_map<int, std::unique_ptr<Gdiplus::Image>> Images;
  std::unordered_map<int, SIZE> Sizes;  // of pictures not decoded yet
  std::unordered_map<long long, std::unique_ptr<Gdiplus::Image>> Scaled;  // by id and percent; null: none
};

// Font keys: 0x0001 italic, 0x0002 underline, 0x0004 bold; the high byte (signed) makes the
// font that many pixels taller than the base ("Tahoma", 11 pixels, antialiased). Key 0 is the
// base font.
class GxFontPool {
 public:
  static GxFontPool& Instance();
  HFONT Get(unsigned key);
  // The description a key gives (what Get creates).
  LOGFONTW Describe(unsigned key) const;

 private:
  GxFontPool();
  LOGFONTW Base{};
  std::unordered_map<unsigned long long, sys::UniqueFont> Fonts;  // by DPI and key
};
