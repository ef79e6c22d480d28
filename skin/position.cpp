#include "skin/position.h"

#include <stdlib.h>

bool ParsePosition(const std::string& text, Position* pos) {
  if (text.empty()) return false;
  Position read;
  size_t at = 0;
  while (read.Count < 4) {
    const size_t end = text.find(',', at);
    const std::string item = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    PosItem& p = read.Items[read.Count++];
    size_t i = 0;
    if (i < item.size() && item[i] == '|') p.Centre = true, ++i;
    if (i < item.size() && item[i] == '-') p.Far = true, ++i;
    p.Value = abs(atoi(item.c_str() + i));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  if (read.Count != 2 && read.Count != 4) return false;
  *pos = read;
  return true;
}

namespace {
int g_LayoutDpi = 96;
}  // namespace

void SetLayoutDpi(int dpi) { g_LayoutDpi = dpi > 0 ? dpi : 96; }
int LayoutDpi() { return g_LayoutDpi; }

int LayoutPixels(int value) {
  if (g_LayoutDpi == 96) return value;
  const long long scaled = static_cast<long long>(value) * g_LayoutDpi;
  return static_cast<int>(scaled >= 0 ? (scaled + 48) / 96 : -((-scaled + 48) / 96));  // rounded
}

int LinePixels() { return LayoutPixels(1) > 1 ? LayoutPixels(1) : 1; }

int ResolveItem(const PosItem& item, int low, int high) {
  const int value = LayoutPixels(item.Value);
  if (item.Centre) {
    const int middle = low + (high - low) / 2;
    return item.Far ? middle - value : middle + value;
  }
  return item.Far ? high - value : low + value;
}
