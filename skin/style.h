// Style classes: named text-and-colour presets that controls refer to by name.
#pragma once

#include <windows.h>

#include <string>

#include "skin/gx_object.h"

class GxStyle : public CGxObject {
 public:
  const char* GetObjectClass() const override { return "style"; }
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;

  COLORREF Background = kNoColor;        // crbg
  COLORREF BackgroundHover = kNoColor;   // crbghover
  COLORREF Text = kNoColor;              // crtext
  COLORREF TextHover = kNoColor;         // crhover
  COLORREF TextDisabled = 0xCCCCCC;      // crdisabled
  unsigned TextMode = 0x28;              // textmode: DrawTextW flags (single line, bottom)
  unsigned Font = 0;                     // font key; 0: the parent's or the pool's default
  unsigned HoverFont = 0;                // hoverfont
  int MarginX = 0, MarginY = 0;          // x-margin, y-margin (margin: both)
  int Spacing = 0;                       // between items on a line
  int LineSpacing = 20;
  LPCWSTR Cursor = IDC_ARROW;            // "hand" or "arrow"
  std::string Skin;
  std::string Name;
};
