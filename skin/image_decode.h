// PNG and JPEG bytes turned into GDI+ images.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <string>

// Decodes PNG or JPEG bytes through GDI+ from a movable memory block that the image keeps for
// its whole life. Null when the bytes are no image (or GDI+ is not started).
std::unique_ptr<Gdiplus::Image> DecodeImage(const std::string& bytes);
