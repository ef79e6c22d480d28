#include "skin/pools.h"

#include "skin/position.h"

#include "skin/image_decode.h"
#include "skin/resource_source.h"

GxBmpPool& GxBmpPool::Instance() {
  static GxBmpPool* pool = new GxBmpPool();  // lives until the process ends
  return *pool;
}

HBITMAP GxBmpPool::Get(int id) {
  auto found = Bitmaps.find(id);
  if (found != Bitmaps.end()) return found->second.Get();
  sys::UniqueBitmap bitmap(GxResourceSource::Instance().LoadBitmap(id));
  if (!bitmap) return nullptr;
  return Bitmaps.emplace(id, std::move(bitmap)).first->second.Get();
}

GxImagePool& GxImagePool::Png() {
  static GxImagePool* pool = new GxImagePool(L"png");
  return *pool;
}

GxImagePool& GxImagePool::Jpg() {
  static GxImagePool* pool = new GxImagePool(L"jpg");
  return *pool;
}

Gdiplus::Image* GxImagePool::Get(int id) {
  auto found = Images.find(id);
  if (found != Images.end()) return found->second.get();
  std::string bytes;
  if (!GxResourceSource::Instance().Read(id, Type, &bytes)) return nullptr;
  std::unique_ptr<Gdiplus::Image> image = DecodeImage(bytes);
  if (!image) return nullptr;
  return Images.emplace(id, std::move(image)).first->second.get();
}

namespace {

// The width and height in a PNG's header (its first chunk, IHDR); false for other bytes.
bool PngSize(const std::string& bytes, SIZE* size) {
  static const unsigned char kStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  if (bytes.size() < 24 || memcmp(bytes.data(), kStart, sizeof(kStart)) != 0) return false;
  auto at = [&bytes](size_t i) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data()) + i;
    return static_cast<unsigned long>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
  };
  const unsigned long w = at(16), h = at(20);
  if (w == 0 || h == 0 || w > 32767 || h > 32767) return false;
  *size = SIZE{static_cast<LONG>(w), static_cast<LONG>(h)};
  return true;
}

}  // namespace

bool GxImagePool::Size(int id, SIZE* size) {
  if (const auto known = Sizes.find(id); known != Sizes.end()) {
    *size = known->second;
    return true;
  }
  if (Images.find(id) == Images.end()) {
    std::string bytes;
    if (GxResourceSource::Instance().Read(id, Type, &bytes) && PngSize(bytes, size)) {
      Sizes.emplace(id, *size);
      return true;
    }
  }
  Gdiplus::Image* image = Get(id);  // another kind of picture: its size once decoded
  if (!image) return false;
  *size = SIZE{static_cast<LONG>(image->GetWidth()), static_cast<LONG>(image->GetHeight())};
  return true;
}

Gdiplus::Image* GxImagePool::GetScaled(int id, int percent) {
  const long long key = static_cast<long long>(id) << 16 | percent;
  auto found = Scaled.find(key);
  if (found != Scaled.end()) return found->second.get();
  std::string bytes;
  std::unique_ptr<Gdiplus::Image> image;
  if (GxResourceSource::Instance().ReadScaled(id, Type, percent, &bytes)) image = DecodeImage(bytes);
  return Scaled.emplace(key, std::move(image)).first->second.get();  // a miss is remembered too
}

GxFontPool& GxFontPool::Instance() {
  static GxFontPool* pool = new GxFontPool();
  return *pool;
}

GxFontPool::GxFontPool() {
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(Base), &Base);
  wcscpy(Base.lfFaceName, L"Tahoma");
  Base.lfHeight = -11;
  Base.lfQuality = ANTIALIASED_QUALITY;
  Get(0);
}

LOGFONTW GxFontPool::Describe(unsigned key) const {
  LOGFONTW font = Base;
  font.lfWeight = (key & 0x04) ? FW_BOLD : FW_NORMAL;
  font.lfItalic = (key & 0x01) ? TRUE : FALSE;
  font.lfUnderline = (key & 0x02) ? TRUE : FALSE;
  font.lfHeight = -LayoutPixels(-Base.lfHeight + static_cast<signed char>((key >> 8) & 0xFF));
  return font;
}

HFONT GxFontPool::Get(unsigned key) {
  const unsigned long long entry = static_cast<unsigned long long>(LayoutDpi()) << 32 | key;  // one font per DPI
  auto found = Fonts.find(entry);
  if (found != Fonts.end()) return found->second.Get();
  const LOGFONTW font = Describe(key);
  sys::UniqueFont handle(CreateFontIndirectW(&font));
  if (!handle) return nullptr;  // a failure is not cached
  return Fonts.emplace(entry, std::move(handle)).first->second.Get();
}
