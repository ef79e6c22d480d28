#include "skin/gx_object.h"

#include <stdlib.h>
#include <string.h>

#include "tinyxml2.h"

bool CGxObject::IsClass(const char* tag) const { return tag && strcmp(tag, GetObjectClass()) == 0; }

bool CGxObject::Load(const tinyxml2::XMLElement& element) {
  for (const tinyxml2::XMLAttribute* a = element.FirstAttribute(); a; a = a->Next())
    SetAttribute(a->Name(), a->Value() ? a->Value() : "", true);
  return true;
}

HRESULT CGxObject::SetAttribute(const std::string&, const std::string&, bool) { return kAttributeUnknown; }

namespace gx {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool IsOneOf(const char* tag, std::initializer_list<const char*> tags) {
  for (const char* t : tags)
    if (strcmp(tag, t) == 0) return true;
  return false;
}

bool ParseColor(const std::string& text, COLORREF* color) {
  if (text.size() < 6) return false;
  int digits[6];
  for (int i = 0; i < 6; ++i)
    if ((digits[i] = HexDigit(text[i])) < 0) return false;
  const COLORREF red = digits[0] * 16 + digits[1], green = digits[2] * 16 + digits[3], blue = digits[4] * 16 + digits[5];
  *color = red | (green << 8) | (blue << 16);
  return true;
}

unsigned ParseHex(const std::string& text) {
  unsigned value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return 0;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return value;
}

int ParseDecimal(const std::string& text) { return atoi(text.c_str()); }

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  return wide;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], n, nullptr, nullptr);
  return narrow;
}

}  // namespace gx
