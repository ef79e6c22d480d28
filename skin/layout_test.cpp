// The window tree without a window: the position grammar and its resolution, the "dlg" layout
// of a layer, natural sizes with fixed-width glyphs, hit testing, handles and string references.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "base/handles.h"
#include "skin/controls.h"
#include "skin/gx_notify.h"
#include "skin/layer.h"
#include "skin/skin_pool.h"

namespace {

// Every character 7 pixels wide, a line 13 high: text sizes are plain arithmetic.
class FixedGlyphs : public GxTextMeasurer {
 public:
  SIZE Measure(const std::wstring& text, HFONT, UINT, int) override {
    return SIZE{static_cast<LONG>(7 * text.size()), 13};
  }
};

class Layout : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTextMeasurer(&glyphs_);
    GxStylePool::Instance().Clear();
    GxStylePool::Instance().Add(std::string());
    LoadStylesXml("<style><class name=\"inset\" x-margin=\"10\" y-margin=\"5\"/></style>");
  }
  void TearDown() override { SetTextMeasurer(nullptr); }
  static RECT R(int l, int t, int r, int b) { return RECT{l, t, r, b}; }
  static std::string Box(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
  }
  static std::string Box(const CGxWindow* w) { return w ? Box(w->Rect) : "none"; }
  FixedGlyphs glyphs_;
  CGxLayer layer_;
};

TEST(Position, GrammarAndResolution) {
  Position p;
  ASSERT_TRUE(ParsePosition("|-124,-28,|-34,-0", &p));
  EXPECT_EQ(p.Count, 4);
  EXPECT_EQ(ResolveItem(p.Items[0], 0, 537), 268 - 124);
  EXPECT_EQ(ResolveItem(p.Items[1], 0, 100), 72);
  EXPECT_EQ(ResolveItem(p.Items[2], 0, 537), 268 - 34);
  EXPECT_EQ(ResolveItem(p.Items[3], 0, 100), 100) << "-0 is the far edge itself";
  EXPECT_EQ(ResolveItem(PosItem{true, false, 5}, 10, 21), 10 + 5 + 5) << "S/2 rounds toward zero";
  ASSERT_TRUE(ParsePosition("1,2,3,4,5", &p)) << "reading stops after the fourth item";
  EXPECT_EQ(p.Items[3].Value, 4);
  const Position before = p;
  EXPECT_FALSE(ParsePosition("1,2,3", &p));
  EXPECT_FALSE(ParsePosition("7", &p));
  EXPECT_FALSE(ParsePosition("", &p));
  EXPECT_EQ(p.Items[0].Value, before.Items[0].Value) << "an invalid value leaves the position alone";
}

TEST_F(Layout, BandsPositionsNaturalSizesAndModes) {
  ASSERT_TRUE(layer_.Load(
      "<layer width=\"537\" height=\"300\" title=\"T\">"
      "<header height=\"40\"><text id=\"1\" pos=\"-55,7\">abcde</text><text id=\"2\" width=\"full\">x</text></header>"
      "<body><text id=\"3\" pos=\"236,-120,-2,-2\">long text</text><text id=\"4\" pos=\"1,2\" width=\"full\">ab</text>"
      "<text id=\"5\" pos=\"1,2,3\" width=\"30\" height=\"9\">ab</text>"
      "<dlg id=\"6\" class=\"inset\" pos=\"0,0,-0,-0\"><text id=\"7\" pos=\"-0,-0\">z</text></dlg></body>"
      "<footer height=\"35\"><text id=\"8\" pos=\"0,0\">ok</text></footer></layer>"));
  layer_.Layout(R(0, 0, 537, 300));
  EXPECT_EQ(Box(&layer_.Header), Box(R(0, 0, 537, 40)));
  EXPECT_EQ(Box(&layer_.Footer), Box(R(0, 265, 537, 300)));
  EXPECT_EQ(Box(&layer_.Body), Box(R(0, 40, 537, 265)));
  EXPECT_EQ(Box(layer_.FindById(1)), Box(R(482, 7, 482 + 35, 7 + 13))) << "natural size at -55,7";
  EXPECT_EQ(Box(layer_.FindById(2)), Box(R(0, 0, 537, 13))) << "full width without a position";
  EXPECT_EQ(Box(layer_.FindById(3)), Box(R(236, 40 + 105, 535, 40 + 223))) << "four items against 537 x 225";
  EXPECT_EQ(Box(layer_.FindById(4)), Box(R(1, 42, 1 + 14, 42 + 13))) << "a valid pos ignores width=full";
  EXPECT_EQ(Box(layer_.FindById(5)), Box(R(0, 40, 30, 49))) << "three items: no position, fixed size";
  EXPECT_EQ(Box(layer_.FindById(7)), Box(R(527, 260, 527 + 7, 260 + 13))) << "within the margins of its dlg";
  EXPECT_EQ(Box(layer_.FindById(8)), Box(R(0, 265, 14, 278)));
  EXPECT_EQ(layer_.FindById(99), nullptr);

  // A runtime position change places the child again; a text change keeps left and top.
  CGxWindow* moved = layer_.FindById(1);
  moved->SetAttribute("pos", "3,4", false);
  EXPECT_EQ(Box(moved), Box(R(3, 4, 3 + 35, 4 + 13)));
  moved->SetText(L"ab");
  EXPECT_EQ(Box(moved), Box(R(3, 4, 3 + 14, 4 + 13)));
}

// Loaded at 96 DPI and laid out again at 144 and 192, as when the window moves to another
// screen: every layer number is scaled where it is used.
TEST_F(Layout, EveryLayerNumberScalesWithTheDpi) {
  CGxLayer layer;
  ASSERT_TRUE(layer.Load("<layer width=\"540\" height=\"360\" min_width=\"300\"><header height=\"36\">"
                         "<imgbtn id=\"1\" pos=\"-30,6\"/></header><body>"
                         "<text id=\"2\" pos=\"|-100,202,|100,250\">x</text>"
                         "<dlg id=\"3\" class=\"inset\" pos=\"0,262,-0,-0\"><text id=\"4\" pos=\"30,4,100,26\">y</text>"
                         "<text id=\"5\" width=\"40\" height=\"9\" font=\"10C\">z</text></dlg>"
                         "</body></layer>"));
  HFONT font96 = layer.FindById(5)->DrawFont();
  for (const int dpi : {144, 192}) {
    SetLayoutDpi(dpi);
    const auto px = [dpi](int v) { return (v * dpi + 48) / 96; };  // rounded to the nearest pixel
    EXPECT_EQ(LayoutPixels(layer.Width), px(540));
    EXPECT_EQ(LayoutPixels(layer.MinWidth), px(300));
    layer.Layout(R(0, 0, px(540), px(360)));
    EXPECT_EQ(Box(&layer.Header), Box(R(0, 0, px(540), px(36)))) << dpi;
    EXPECT_EQ(layer.FindById(1)->Rect.left, px(510));
    EXPECT_EQ(layer.FindById(1)->Rect.top, px(6));
    EXPECT_EQ(Box(layer.FindById(2)), Box(R(px(170), px(36 + 202), px(370), px(36 + 250)))) << "from the middle";
    EXPECT_EQ(Box(layer.FindById(4)), Box(R(px(10) + px(30), px(36 + 262) + px(5) + px(4), px(10) + px(100),
                                            px(36 + 262) + px(5) + px(26))))
        << "within its panel's scaled margins";
    const RECT fixed = layer.FindById(5)->Rect;
    EXPECT_EQ(std::make_pair(fixed.right - fixed.left, fixed.bottom - fixed.top), std::make_pair(LONG{px(40)}, LONG{px(9)}));
    LOGFONTW font{};
    GetObjectW(layer.FindById(5)->DrawFont(), sizeof(font), &font);
    EXPECT_NE(layer.FindById(5)->DrawFont(), font96);
    EXPECT_EQ(font.lfHeight, -px(11 + 1)) << "its own font, for the DPI in use";
  }
  SetLayoutDpi(96);
}

TEST_F(Layout, LayerAttributesAndBandsWithoutHeight) {
  ASSERT_TRUE(layer_.Load("<layer resize=\"1\" noborder=\"1\" holdsize=\"1\"><header/><body/></layer>"));
  EXPECT_EQ(layer_.Style, 0x80090000u | 0x70000u);
  EXPECT_EQ(layer_.ExStyle, 0x10000u | 0x88u);
  EXPECT_TRUE(layer_.Resizable);
  EXPECT_TRUE(layer_.KeepSize);
  layer_.Layout(R(0, 0, 100, 80));
  EXPECT_EQ(Box(&layer_.Header), Box(R(0, 0, 100, 0))) << "a header without height is 0 high";
  EXPECT_EQ(Box(&layer_.Body), Box(R(0, 0, 100, 80)));

  CGxLayer child;
  ASSERT_TRUE(child.Load("<layer child=\"1\" resize=\"1\" noborder=\"1\" holdsize=\"1\" nomove=\"1\"/>"));
  EXPECT_EQ(child.Style, (0x80090000u & 0x39F7FFFFu) | 0x46000000u);
  EXPECT_EQ(child.ExStyle, 0x10000u);
  EXPECT_FALSE(child.Resizable);
  EXPECT_FALSE(child.KeepSize);
  EXPECT_TRUE(child.Movable);

  EXPECT_FALSE(child.Load("<notalayer/>"));
  EXPECT_FALSE(child.Load("<layer><body>"));
}

TEST_F(Layout, HitTestingHandlesAndStringReferences) {
  ASSERT_TRUE(layer_.Load("<layer><header height=\"30\"><text id=\"1\" pos=\"0,0,20,20\">a</text>"
                          "<text id=\"2\" pos=\"0,0,20,20\" transparent=\"1\">b</text></header>"
                          "<body><text id=\"3\" pos=\"0,0,50,50\" show=\"0\">c</text>"
                          "<dlg id=\"4\" pos=\"60,0,90,30\" onlydrawchild=\"1\"><text id=\"5\" pos=\"0,0\">d</text></dlg>"
                          "</body></layer>"));
  layer_.Layout(R(0, 0, 200, 100));
  EXPECT_EQ(layer_.HitTest(5, 5), layer_.FindById(1)->Handle) << "through the transparent one";
  EXPECT_EQ(layer_.HitTest(100, 10), layer_.Header.Handle) << "empty header space";
  EXPECT_EQ(layer_.HitTest(10, 40), layer_.Body.Handle) << "hidden controls are not hit";
  EXPECT_EQ(layer_.HitTest(62, 32), layer_.FindById(4)->Handle) << "onlydrawchild stops at the panel";
  EXPECT_EQ(layer_.HitTest(500, 500), 0u);

  const UINT first = CGxStatic().Handle;
  CGxStatic second, third;
  EXPECT_GT(second.Handle, first) << "a destroyed window's handle is not given out again";
  EXPECT_EQ(third.Handle, second.Handle + 1);
  EXPECT_EQ(GxWindowRegistry::Find(first), nullptr);
  EXPECT_EQ(GxWindowRegistry::Find(third.Handle), &third);

  EXPECT_EQ(ExpandStringReferences(L"a%str3%b"), L"ab") << "the table is empty";
  EXPECT_EQ(ExpandStringReferences(L"a%str0%b%str3%"), L"a%str0%b%str3%") << "0 stops the replacement";
  EXPECT_EQ(ExpandStringReferences(L"%str%x"), L"%str%x");
}

}  // namespace

namespace {

// Truncated and mutated skins, styles and layers: loaded, laid out and painted, never a crash.
TEST(MalformedInput, LoadersLayoutAndPaintingSurvive) {
  const std::string skins =
      "<skins><imglst name=\"a\" src=\"7\" subwidth=\"-3\" mode=\"mask\" stretch-x=\"99999\"/>"
      "<imgframe name=\"f\" left=\"-5\" top=\"900\" part=\"middle\" crbg=\"00FF00\"/>"
      "<imghorzex name=\"h\" left=\"40\"/><gradation name=\"g\" from=\"112233\" to=\"445566\" size=\"-9\"/>"
      "<button name=\"b\"/><png name=\"p\" src=\"3\" subwidth=\"0\"/></skins>";
  const std::string styles =
      "<style><class name=\"s\" skin=\"f\" margin=\"-20\" font=\"FF07\" textmode=\"FFFFFFFF\"/>"
      "<class name=\"t\" skin=\"g\" linespacing=\"-1\"/></style>";
  const std::string layer =
      "<layer width=\"300\" height=\"200\"><header height=\"-40\" class=\"s\"><text pos=\"|-5,|-5\">hdr</text>"
      "<progress pos=\"0,0,-0,-0\" min=\"5\" max=\"5\" value=\"9\" showpercent=\"1\" posskin=\"h\"/></header>"
      "<body class=\"t\"><dlg pos=\"-0,-0,0,0\"><img skin=\"a\" sub=\"99\"/><imgbtn skin=\"p\"/>"
      "<hr style=\"zigzag\" size=\"-4\"/><check>c</check><radio group=\"\">r</radio><icon src=\"1\" size=\"-8\"/>"
      "<link>%str2%</link></dlg></body><footer height=\"999\"><button class=\"s\">b</button></footer></layer>";
  std::mt19937 random(12345);
  const sys::UniqueDc dc(CreateCompatibleDC(nullptr));
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 300, -200, 1, 32, BI_RGB};
  void* bits = nullptr;
  const sys::UniqueBitmap canvas(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  const HGDIOBJ previous = SelectObject(dc.Get(), canvas.Get());
  auto mutate = [&](std::string text) {
    switch (random() % 3) {
      case 0:
        text.resize(random() % (text.size() + 1));
        break;
      case 1:
        for (int n = 1 + random() % 6; n > 0; --n) text[random() % text.size()] = static_cast<char>(random() % 256);
        break;
      default:
        text.insert(random() % text.size(), text.substr(random() % text.size(), 1 + random() % 40));
    }
    return text;
  };
  for (int i = 0; i < 300; ++i) {
    GxSkinPool::Instance().Clear();
    LoadSkinsXml(i % 4 ? mutate(skins) : skins);
    GxStylePool::Instance().Clear();
    GxStylePool::Instance().Add(std::string());
    LoadStylesXml(i % 5 ? mutate(styles) : styles);
    CGxLayer l;
    l.Load(i % 2 ? mutate(layer) : layer);
    const int w = static_cast<int>(random() % 400) - 50, h = static_cast<int>(random() % 300) - 50;
    l.Layout(RECT{0, 0, w, h});
    for (CGxDialog* band : {&l.Header, &l.Body, &l.Footer}) band->RedrawRegion(dc.Get(), nullptr);
    l.HitTest(static_cast<int>(random() % 300), static_cast<int>(random() % 200));
  }
  SelectObject(dc.Get(), previous);
  GxSkinPool::Instance().Clear();
}

}  // namespace

namespace {

// Hiding a container hides the real child windows below it; showing it shows each only when all
// its ancestors are visible.
TEST(Visibility, RealWindowsFollowTheirAncestors) {
  HWND host = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  HWND real = CreateWindowW(L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, host, reinterpret_cast<HMENU>(103),
                            nullptr, nullptr);
  CGxLayer layer;
  ASSERT_TRUE(layer.Load("<layer><body><dlg id=\"1\" pos=\"0,0,-0,-0\"><dlg id=\"2\" pos=\"0,0,-0,-0\">"
                         "<realwnd id=\"103\" pos=\"5,5,50,20\"/></dlg></dlg></body></layer>",
                         host));
  layer.Layout(RECT{0, 0, 200, 100});
  CGxWindow* outer = layer.FindById(1);
  CGxWindow* inner = layer.FindById(2);
  outer->Send(WM_SHOWWINDOW, FALSE);
  EXPECT_FALSE(GetWindowLongW(real, GWL_STYLE) & WS_VISIBLE);
  inner->Send(WM_SHOWWINDOW, TRUE);
  EXPECT_FALSE(GetWindowLongW(real, GWL_STYLE) & WS_VISIBLE) << "an ancestor is still hidden";
  outer->Send(WM_SHOWWINDOW, TRUE);
  EXPECT_TRUE(GetWindowLongW(real, GWL_STYLE) & WS_VISIBLE);
  DestroyWindow(host);
}

}  // namespace

namespace {

bool g_CancelTabChange = false;

// Pages, heads, hit testing, and a selection the owner may cancel.
TEST(TabControl, HeadsPagesAndCancelledSelection) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_NOTIFY && reinterpret_cast<NMHDR*>(l)->code == kNotifyTabChange)
      reinterpret_cast<GxNotify*>(l)->Cancel = g_CancelTabChange;
    return DefWindowProcW(h, m, w, l);
  };
  wc.lpszClassName = L"LumenTestTabView";
  RegisterClassW(&wc);
  // The view the controls tell; it would forward the notification to the dialog window.
  HWND host = CreateWindowW(wc.lpszClassName, L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  CGxLayer layer;
  ASSERT_TRUE(layer.Load("<layer><body><tabctrl id=\"9\" pos=\"0,0,-0,-0\" tabwidth=\"60\" tabheight=\"20\" framepos=\"4\">"
                         "<tab title=\"一\"><text id=\"11\" pos=\"0,0,-0,-0\">a</text></tab><tab title=\"hidden\" hide=\"1\"/>"
                         "<tab title=\"三\"><text id=\"13\" pos=\"0,0,-0,-0\">c</text></tab></tabctrl></body></layer>",
                         host));
  layer.Layout(RECT{0, 0, 300, 200});
  auto* tabs = static_cast<CGxTabCtrl*>(layer.FindById(9));
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(tabs->PageArea().top, 24);
  const RECT hidden = tabs->HeadRect(1);
  EXPECT_TRUE(IsRectEmpty(&hidden)) << "a hidden tab has no head";
  EXPECT_EQ(tabs->HeadRect(2).left, 60) << "the next visible head";
  EXPECT_EQ(layer.HitTest(50, 100), layer.FindById(11)->Handle) << "the selected page";
  EXPECT_EQ(layer.HitTest(200, 10), tabs->Handle) << "the strip";

  g_CancelTabChange = true;
  tabs->Send(WM_LBUTTONUP, 0, MAKELPARAM(70, 10));
  EXPECT_EQ(tabs->Selected, 0) << "cancelled by the owner";
  g_CancelTabChange = false;
  tabs->Send(WM_LBUTTONUP, 0, MAKELPARAM(70, 10));
  EXPECT_EQ(tabs->Selected, 2);
  EXPECT_EQ(layer.HitTest(50, 100), layer.FindById(13)->Handle);
  EXPECT_FALSE(tabs->Pages[0]->IsVisible(false));
  EXPECT_FALSE(tabs->Select(7));
  DestroyWindow(host);
}

}  // namespace
