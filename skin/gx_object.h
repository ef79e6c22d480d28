// The skinned UI library's objects built from XML elements: the common root, its attribute
// protocol, and the value forms every XML of the library shares (colours, hexadecimal and
// decimal numbers).
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

namespace tinyxml2 {
class XMLElement;
}

// Result codes of SetAttribute: taken (0 or 1), or not known by this class.
inline constexpr HRESULT kAttributeTaken = 0;
inline constexpr HRESULT kAttributeUnknown = static_cast<HRESULT>(0x80004005);

// "none": the all-ones colour, meaning "not set" wherever a colour is optional.
inline constexpr COLORREF kNoColor = 0xFFFFFFFF;

class CGxObject {
 public:
  virtual ~CGxObject() = default;
  // True when `tag` is this class's XML tag.
  virtual bool IsClass(const char* tag) const;
  virtual const char* GetObjectClass() const = 0;
  // Offers every attribute of the element, in document order, to SetAttribute (loading).
  virtual bool Load(const tinyxml2::XMLElement& element);
  // Takes one attribute (UTF-8 name and value): kAttributeTaken, or kAttributeUnknown when this
  // class does not know the name. Derived classes offer it to their base first.
  virtual HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading);
};

namespace gx {

// "RRGGBB": red, green, blue as two hexadecimal digits each, stored as red + green*256 +
// blue*65536. False (and `color` unchanged) for fewer than six hexadecimal digits.
bool ParseColor(const std::string& text, COLORREF* color);
// Hexadecimal digits, any number of them; one character that is no digit makes it 0.
unsigned ParseHex(const std::string& text);
// A decimal number as the C runtime reads one: blanks, a sign, digits; the rest stops it.
int ParseDecimal(const std::string& text);
// Whether a control's tag is one of `tags`.
bool IsOneOf(const char* tag, std::initializer_list<const char*> tags);
// UTF-8 to UTF-16, and back.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

}  // namespace gx
