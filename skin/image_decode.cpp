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

void DecoderWarmUp::Start() {
  if (!Thread) Thread.Reset(CreateThread(nullptr, 0, &DecoderWarmUp::Decode, nullptr, 0, nullptr));
}

void DecoderWarmUp::Wait() {
  if (Thread) WaitForSingleObject(Thread.Get(), INFINITE);
  Thread.Reset();
}

DWORD WINAPI DecoderWarmUp::Decode(void*) {
  // One red pixel, half transparent: 32-bit RGBA, as the wizard's pictures are.
  static const unsigned char kPixel[] = {
      0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
      0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1f, 0x15, 0xc4, 0x89, 0x00, 0x00, 0x00,
      0x0d, 0x49, 0x44, 0x41, 0x54, 0x08, 0xd7, 0x63, 0xf8, 0xcf, 0xc0, 0xd0, 0x00, 0x00, 0x04, 0x81, 0x01, 0x80,
      0xd7, 0x50, 0xa1, 0xca, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
  const sys::ComScope com(COINIT_MULTITHREADED);
  DecodeImage(std::string(reinterpret_cast<const char*>(kPixel), sizeof(kPixel)));
  return 0;
}
