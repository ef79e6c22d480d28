// PNG and JPEG bytes turned into GDI+ images.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <string>

#include "base/handles.h"

// Decodes PNG or JPEG bytes through GDI+ from a movable memory block that the image keeps for
// its whole life. Null when the bytes are no image (or GDI+ is not started).
std::unique_ptr<Gdiplus::Image> DecodeImage(const std::string& bytes);

// GDI+ loads its picture decoders at the first decode, which costs a window's first paint about
// 10 ms under Wine. Start() decodes a one-pixel picture on a thread of its own while the program
// still prepares its window; the object waits for that thread when it goes, so it must go before
// GDI+ shuts down.
class DecoderWarmUp {
 public:
  DecoderWarmUp() = default;
  ~DecoderWarmUp() { Wait(); }
  DecoderWarmUp(const DecoderWarmUp&) = delete;
  DecoderWarmUp& operator=(const DecoderWarmUp&) = delete;
  void Start();
  void Wait();

 private:
  static DWORD WINAPI Decode(void*);
  sys::UniqueKernel Thread;
};
