#include "skin/rich_text.h"

#include <string.h>
#include <wchar.h>

#include <algorithm>

#include "base/handles.h"
#include "skin/gx_notify.h"
#include "skin/pools.h"
#include "skin/skin_pool.h"
#include "tinyxml2.h"

namespace {

// Punctuation that closes what comes before it: a line never starts with it.
bool NoLineStart(wchar_t c) { return wcschr(L"，。、；：？！）》」』】〕”’…,.;:?!)]}%", c) != nullptr && c != 0; }

// The pen walking the mark-up.
class Walker {
 public:
  Walker(const RichParams& params, RichMeasurer& measure, RichLayout& out)
      : P(params), M(measure), Out(out), X(params.Area.left), Y(params.Area.top) {}

  void Start(int x) { X = x; }
  void Children(const tinyxml2::XMLNode& node, unsigned font, COLORREF color) {
    for (const tinyxml2::XMLNode* child = node.FirstChild(); child; child = child->NextSibling()) {
      if (const tinyxml2::XMLText* text = child->ToText()) {
        Text(gx::Widen(text->Value() ? text->Value() : ""), font, color);
        continue;
      }
      const tinyxml2::XMLElement* e = child->ToElement();
      if (!e) continue;
      const std::string tag = e->Name();
      if (tag == "br") NewLine();
      else if (tag == "b") Children(*e, font | 0x04, color);
      else if (tag == "i") Children(*e, font | 0x01, color);
      else if (tag == "u") Children(*e, font | 0x02, color);
      else if (tag == "c") {
        COLORREF c = color;
        gx::ParseColor(e->Attribute("color") ? e->Attribute("color") : "", &c);
        Children(*e, font, c);
      } else if (tag == "a") {
        Link(*e);
      } else {
        Children(*e, font, color);
      }
    }
  }
  // The width the first line leaves free (for centring).
  int FirstLineFree() const { return FirstLineEnd >= 0 ? P.Area.right - FirstLineEnd : P.Area.right - LastX; }
  int LastX = 0;

 private:
  void NewLine() {
    if (FirstLineEnd < 0) FirstLineEnd = LastX;
    X = P.Area.left;
    Y += P.LineSpacing;
  }
  void Text(std::wstring rest, unsigned font, COLORREF color) {
    while (!rest.empty()) {
      int width = 0;
      int n = M.Fit(rest, font, P.Area.right - X, &width);
      if (n <= 0) {
        if (X > P.Area.left) {  // nothing fits after what the line holds: the next line
          NewLine();
          continue;
        }
        n = 1;  // a line always takes at least one character
        width = M.Size(rest.substr(0, 1), font, false).cx;
      }
      if (n > 1 && n < static_cast<int>(rest.size()) && NoLineStart(rest[n])) {
        --n;  // a closing mark never starts a line: the character before it goes down with it
        width = M.Size(rest.substr(0, n), font, false).cx;
      }
      Out.Runs.push_back(RichRun{rest.substr(0, n), font, color, POINT{X, Y}});
      LastX = X + width;
      if (n == static_cast<int>(rest.size())) {
        X += width + P.Spacing;
        return;
      }
      rest.erase(0, n);
      NewLine();
    }
  }
  void Link(const tinyxml2::XMLElement& e) {
    const std::wstring text = gx::Widen(e.GetText() ? e.GetText() : "");
    const SIZE size = M.Size(text, 0, true);
    if (X + size.cx > P.Area.right && X > P.Area.left) NewLine();
    const char* id = e.Attribute("id");
    Out.Links.push_back(RichLink{text, id ? gx::ParseDecimal(id) : 0, RECT{X, Y, X + size.cx, Y + size.cy}});
    LastX = X + size.cx;
    X += size.cx + P.Spacing;
  }

  const RichParams& P;
  RichMeasurer& M;
  RichLayout& Out;
  int X, Y;
  int FirstLineEnd = -1;
};

// The GDI measurer: the fonts of the pool, the link style's font for links.
class GdiRichMeasurer final : public RichMeasurer {
 public:
  GdiRichMeasurer(HDC dc, unsigned linkFont) : Dc(dc), LinkFont(linkFont) {}
  int Fit(const std::wstring& text, unsigned key, int width, int* fitWidth) override {
    const HGDIOBJ old = SelectObject(Dc, GxFontPool::Instance().Get(key));
    int fit = 0;
    SIZE size{};
    std::vector<int> extents(text.size());
    GetTextExtentExPointW(Dc, text.c_str(), static_cast<int>(text.size()), std::max(0, width), &fit, extents.data(),
                          &size);
    *fitWidth = fit > 0 ? extents[fit - 1] : 0;
    SelectObject(Dc, old);
    return fit;
  }
  SIZE Size(const std::wstring& text, unsigned key, bool link) override {
    const HGDIOBJ old = SelectObject(Dc, GxFontPool::Instance().Get(link ? LinkFont : key));
    SIZE size{};
    GetTextExtentPoint32W(Dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(Dc, old);
    return size;
  }

 private:
  HDC Dc;
  unsigned LinkFont;
};

RichMeasurer* g_RichMeasurer = nullptr;

}  // namespace

RichMeasurer* TextMeasurerForRichText() { return g_RichMeasurer; }
void SetRichMeasurer(RichMeasurer* measurer) { g_RichMeasurer = measurer; }

RichLayout LayOutRichText(const tinyxml2::XMLElement& content, const RichParams& params, RichMeasurer& measure) {
  RichLayout layout;
  Walker walker(params, measure, layout);
  walker.Children(content, params.DefaultFont, kNoColor);
  if (!params.Centre) return layout;
  // Centred: once more, starting half the first line's free width further right.
  const int shift = std::max(0, walker.FirstLineFree() / 2);
  RichLayout centred;
  Walker again(params, measure, centred);
  again.Start(params.Area.left + shift);
  again.Children(content, params.DefaultFont, kNoColor);
  return centred;
}

CGxRichText::CGxRichText() : Content(std::make_unique<tinyxml2::XMLDocument>()) {}
CGxRichText::~CGxRichText() = default;

bool CGxRichText::Load(const tinyxml2::XMLElement& element) {
  CGxWindow::Load(element);
  Content = std::make_unique<tinyxml2::XMLDocument>();
  Content->InsertEndChild(element.DeepClone(Content.get()));
  LaidOut = false;
  return true;
}

HRESULT CGxRichText::SetAttribute(const std::string& name, const std::string& value, bool loading) {
  LaidOut = false;  // a style, font or margin may change the layout
  const HRESULT base = CGxWindow::SetAttribute(name, value, loading);
  if (base >= 0) return base;
  if (name == "defaultfont") {
    DefaultFont = gx::ParseHex(value);
  } else if (name == "linkclass") {
    const GxStyle& style = GxStylePool::Instance().Find(value);
    LinkStyle = style;
  } else {
    return kAttributeUnknown;
  }
  return kAttributeTaken;
}

std::wstring CGxRichText::PlainText() const {
  struct Walk {
    static void Into(const tinyxml2::XMLNode& node, std::wstring& out) {
      for (const tinyxml2::XMLNode* n = node.FirstChild(); n; n = n->NextSibling()) {
        if (const tinyxml2::XMLText* text = n->ToText()) out += gx::Widen(text->Value() ? text->Value() : "");
        else if (n->ToElement() && strcmp(n->Value(), "br") == 0) out += L' ';
        else Into(*n, out);
      }
    }
  };
  std::wstring out;
  if (const tinyxml2::XMLElement* root = Content ? Content->RootElement() : nullptr) Walk::Into(*root, out);
  return out;
}

bool CGxRichText::SetContent(const std::wstring& markup) {
  const std::string utf8 = [&] {
    const int n = WideCharToMultiByte(CP_UTF8, 0, markup.c_str(), static_cast<int>(markup.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, markup.c_str(), static_cast<int>(markup.size()), &s[0], n, nullptr, nullptr);
    return s;
  }();
  auto parsed = std::make_unique<tinyxml2::XMLDocument>();
  const std::string wrapped = "<richtext>" + utf8 + "</richtext>";
  if (parsed->Parse(wrapped.c_str(), wrapped.size()) != tinyxml2::XML_SUCCESS) return false;
  Content = std::move(parsed);
  LaidOut = false;
  HoverLink = PushedLink = -1;
  return true;
}

const RichLayout& CGxRichText::Layout() {
  // Laid out again only when the content, the rectangle, the DPI or the measurer changed: a
  // layout pass that places the control where it was costs nothing here.
  if (LaidOut && EqualRect(&LaidRect, &Rect) && LaidDpi == LayoutDpi() && LaidWith == TextMeasurerForRichText())
    return Laid;
  LaidRect = Rect;
  LaidDpi = LayoutDpi();
  LaidWith = TextMeasurerForRichText();
  const GxStyle& style = Style();
  RichParams params;
  params.Area = RECT{Rect.left + LayoutPixels(style.MarginX), Rect.top + LayoutPixels(style.MarginY),
                     Rect.right - LayoutPixels(style.MarginX), Rect.bottom - LayoutPixels(style.MarginY)};
  params.Spacing = LayoutPixels(style.Spacing);
  params.LineSpacing = LayoutPixels(style.LineSpacing);
  params.DefaultFont = DefaultFont;
  params.Centre = (style.TextMode & DT_CENTER) != 0;
  const tinyxml2::XMLElement* root = Content ? Content->RootElement() : nullptr;
  const sys::UniqueDc dc(CreateCompatibleDC(nullptr));
  GdiRichMeasurer measure(dc.Get(), LinkStyle.Font);
  Laid = root ? LayOutRichText(*root, params, TextMeasurerForRichText() ? *TextMeasurerForRichText() : measure)
              : RichLayout();
  LaidOut = true;
  return Laid;
}

int CGxRichText::LinkAt(int x, int y) {
  const POINT p{x, y};
  const RichLayout& layout = Layout();
  for (size_t i = 0; i < layout.Links.size(); ++i)
    if (PtInRect(&layout.Links[i].Rect, p)) return static_cast<int>(i);
  return -1;
}

void CGxRichText::Invalidate(int link) {
  if (link < 0 || link >= static_cast<int>(Laid.Links.size()) || !Host) return;
  RequestRepaint(Host, Laid.Links[link].Rect);
}

void CGxRichText::OnSetCursor() {
  SetCursor(LoadCursorW(nullptr, HoverLink >= 0 ? IDC_HAND : IDC_ARROW));
}

bool CGxRichText::ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
  switch (message) {
    case WM_PAINT: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      if (!dc) break;
      const RichLayout& layout = Layout();
      const GxStyle& style = Style();
      const int saved = SaveDC(dc);
      IntersectClipRect(dc, Rect.left + style.MarginX, Rect.top + style.MarginY, Rect.right - style.MarginX,
                        Rect.bottom - style.MarginY);
      SetBkMode(dc, TRANSPARENT);
      const COLORREF inherited = GetTextColor(dc);
      for (const RichRun& run : layout.Runs) {
        SelectObject(dc, GxFontPool::Instance().Get(run.Font));
        SetTextColor(dc, run.Color != kNoColor ? run.Color : inherited);
        TextOutW(dc, run.At.x, run.At.y, run.Text.c_str(), static_cast<int>(run.Text.size()));
      }
      for (size_t i = 0; i < layout.Links.size(); ++i) {
        const bool hover = static_cast<int>(i) == HoverLink;
        SelectObject(dc, GxFontPool::Instance().Get(hover && LinkStyle.HoverFont ? LinkStyle.HoverFont : LinkStyle.Font));
        COLORREF color = !IsEnabled() ? LinkStyle.TextDisabled : hover && LinkStyle.TextHover != kNoColor ? LinkStyle.TextHover : LinkStyle.Text;
        SetTextColor(dc, color != kNoColor ? color : inherited);
        const RichLink& link = layout.Links[i];
        TextOutW(dc, link.Rect.left, link.Rect.top, link.Text.c_str(), static_cast<int>(link.Text.size()));
      }
      RestoreDC(dc, saved);
      break;
    }
    case WM_WINDOWPOSCHANGED:
      CGxWindow::ProcessWindowMessage(host, message, wParam, lParam, result);
      if (!EqualRect(&LaidRect, &Rect)) HoverLink = -1;  // (the layout follows when next used)
      break;
    case WM_MOUSEMOVE: {
      const int at = LinkAt(x, y);
      if (at != HoverLink) {
        Invalidate(HoverLink);
        Invalidate(at);
        HoverLink = at;
      }
      break;
    }
    case WM_MOUSELEAVE:
      Invalidate(HoverLink);
      HoverLink = -1;
      break;
    case WM_LBUTTONDOWN:
      PushedLink = HoverLink;
      break;
    case WM_LBUTTONUP: {
      const int at = LinkAt(x, y);
      if (at >= 0 && at == PushedLink) {
        GxNotify note;
        note.ItemId = static_cast<UINT>(Laid.Links[at].Id);
        note.ItemClass = "richtext";
        SendGxNotify(Host ? GetParent(Host) : nullptr, Host, kNotifyClick, note);
      }
      PushedLink = -1;
      break;
    }
    default:
      return CGxWindow::ProcessWindowMessage(host, message, wParam, lParam, result);
  }
  Handled = true;
  return true;
}
