#include "skin/style.h"

HRESULT GxStyle::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  const HRESULT base = CGxObject::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  const struct {
    const char* name;
    COLORREF* field;
  } colors[] = {{"crbg", &Background}, {"crbghover", &BackgroundHover}, {"crtext", &Text},
                {"crhover", &TextHover}, {"crdisabled", &TextDisabled}};
  for (const auto& c : colors)
    if (name == c.name) return gx::ParseColor(value, c.field) ? kAttributeTaken : kAttributeUnknown;
  const struct {
    const char* name;
    int* field;
  } numbers[] = {{"x-margin", &MarginX}, {"y-margin", &MarginY}, {"spacing", &Spacing}, {"linespacing", &LineSpacing}};
  for (const auto& n : numbers)
    if (name == n.name) {
      *n.field = gx::ParseDecimal(value);
      return kAttributeTaken;
    }
  if (name == "margin") {
    MarginX = MarginY = gx::ParseDecimal(value);
  } else if (name == "textmode") {
    TextMode = gx::ParseHex(value);
  } else if (name == "font") {
    Font = gx::ParseHex(value);
  } else if (name == "hoverfont") {
    HoverFont = gx::ParseHex(value);
  } else if (name == "cursor") {
    if (value == "hand") Cursor = IDC_HAND;
    else if (value == "arrow") Cursor = IDC_ARROW;
    else return kAttributeUnknown;
  } else if (name == "skin") {
    Skin = value;
  } else if (name == "name") {
    Name = value;
  } else {
    return kAttributeUnknown;
  }
  return kAttributeTaken;
}
