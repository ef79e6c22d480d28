// The "richtext" control: a small mark-up of text runs, font and colour changes, line breaks
// and clickable links, laid out inside its rectangle. The layout is plain arithmetic over a
// replaceable measurer, so it can be checked without a window.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "skin/gx_window.h"
#include "skin/style.h"

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
}  // namespace tinyxml2

struct RichRun {
  std::wstring Text;
  unsigned Font = 0;           // font key
  COLORREF Color = kNoColor;   // none: the colour the containers selected
  POINT At{};
};

struct RichLink {
  std::wstring Text;
  int Id = 0;
  RECT Rect{};
};

struct RichLayout {
  std::vector<RichRun> Runs;
  std::vector<RichLink> Links;
};

// Measures for the rich-text layout: how many leading characters of `text` fit in `width` (and
// their width), and the size of a whole text, in the font of `key` (or the link font).
class RichMeasurer {
 public:
  virtual ~RichMeasurer() = default;
  virtual int Fit(const std::wstring& text, unsigned key, int width, int* fitWidth) = 0;
  virtual SIZE Size(const std::wstring& text, unsigned key, bool link) = 0;
};

struct RichParams {
  RECT Area{};          // the window rectangle shrunk by the margins
  int Spacing = 0;      // after a run that ends on its line, and after a link
  int LineSpacing = 20;
  unsigned DefaultFont = 0;
  bool Centre = false;  // the first line is centred
};

// The measurer rich-text controls use; null (the default) measures with GDI. Tests set a
// fixed-width one.
RichMeasurer* TextMeasurerForRichText();
void SetRichMeasurer(RichMeasurer* measurer);

// Lays out the children of `content` (see the mark-up of the control).
RichLayout LayOutRichText(const tinyxml2::XMLElement& content, const RichParams& params, RichMeasurer& measure);

class CGxRichText : public CGxWindow {
 public:
  CGxRichText();
  ~CGxRichText() override;
  const char* GetObjectClass() const override { return "richtext"; }
  bool Load(const tinyxml2::XMLElement& element) override;
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  void OnSetCursor() override;
  bool ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  // New content from mark-up text (wrapped in a "richtext" element); false, and the old content
  // kept, when it does not parse.
  bool SetContent(const std::wstring& markup);
  // The layout for the current content and rectangle (made when needed).
  const RichLayout& Layout();
  int LinkAt(int x, int y);
  // What the content says, without its mark-up (line breaks as spaces).
  std::wstring PlainText() const;

  unsigned DefaultFont = 0;
  GxStyle LinkStyle;
  int HoverLink = -1, PushedLink = -1;

 private:
  void Invalidate(int link);
  std::unique_ptr<tinyxml2::XMLDocument> Content;
  RichLayout Laid;
  bool LaidOut = false;
  RECT LaidRect{};  // what Laid was made for
  int LaidDpi = 0;
  RichMeasurer* LaidWith = nullptr;
};
