#include "skin/image_decode.h"

#include "base/handles.h"

std::unique_ptr<Gdiplus::Image> DecodeImage(const std::string& bytes) {
  if (bytes.empty()) return nullptr;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!block) return nullptr;
  if (void* data = GlobalLock(block)) {
    memcpy(data, bytes.data(), bytes.size());
    GlobalUnlock(block);
  }
  // The stream owns the block, and the image keeps the stream for its whole life.
  sys::ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(block, TRUE, stream.Put()))) {
    GlobalFree(block);
    return nullptr;
  }
  std::unique_ptr<Gdiplus::Image> image(Gdiplus::Bitmap::FromStream(stream.Get(), FALSE));
  if (!image || image->GetLastStatus() != Gdiplus::Ok) return nullptr;
  return image;
}
