// Rich text without a window: runs, line breaks, links and colours laid out with fixed-width
// glyphs (10 pixels a character, 16 high; links too).
#include "skin/rich_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tinyxml2.h"

namespace {

class TenPixelGlyphs : public RichMeasurer {
 public:
  int Fit(const std::wstring& text, unsigned, int width, int* fitWidth) override {
    const int n = std::max(0, std::min<int>(static_cast<int>(text.size()), width / 10));
    *fitWidth = 10 * n;
    return n;
  }
  SIZE Size(const std::wstring& text, unsigned, bool) override { return SIZE{static_cast<LONG>(10 * text.size()), 16}; }
};

RichLayout Lay(const char* markup, int width, bool centre = false) {
  tinyxml2::XMLDocument doc;
  const std::string xml = std::string("<richtext>") + markup + "</richtext>";
  EXPECT_EQ(doc.Parse(xml.c_str()), tinyxml2::XML_SUCCESS) << markup;
  RichParams params;
  params.Area = RECT{100, 50, 100 + width, 200};
  params.Spacing = 2;
  params.LineSpacing = 20;
  params.Centre = centre;
  TenPixelGlyphs glyphs;
  return LayOutRichText(*doc.RootElement(), params, glyphs);
}

std::string At(const RichRun& r) {
  std::string text(r.Text.begin(), r.Text.end());
  return text + "@" + std::to_string(r.At.x) + "," + std::to_string(r.At.y);
}

TEST(RichText, RunsWrapFontsColoursAndLinks) {
  // Wrapped at the right edge; b/i/u add font bits; c colours its children and restores.
  RichLayout l = Lay("abcdefg<b>hi</b><c color=\"7E7E7E\">1</c>j<br/>k", 60);
  ASSERT_EQ(l.Runs.size(), 6u);
  EXPECT_EQ(At(l.Runs[0]), "abcdef@100,50");
  EXPECT_EQ(At(l.Runs[1]), "g@100,70");
  EXPECT_EQ(At(l.Runs[2]), "hi@112,70") << "after the run and the spacing";
  EXPECT_EQ(l.Runs[2].Font, 0x04u);
  EXPECT_EQ(At(l.Runs[3]), "1@134,70");
  EXPECT_EQ(l.Runs[3].Color, RGB(0x7E, 0x7E, 0x7E)) << "grey";
  EXPECT_EQ(At(l.Runs[4]), "j@146,70");
  EXPECT_EQ(l.Runs[4].Color, kNoColor) << "the colour is restored after c";
  EXPECT_EQ(At(l.Runs[5]), "k@100,90") << "br";

  // A link that does not fit moves to the next line and keeps its id; one without id reports 0.
  l = Lay("abc<a id=\"7\">link</a><a>x</a>", 60);
  ASSERT_EQ(l.Links.size(), 2u);
  EXPECT_EQ(l.Links[0].Id, 7);
  EXPECT_EQ(l.Links[0].Rect.left, 100);
  EXPECT_EQ(l.Links[0].Rect.top, 70);
  EXPECT_EQ(l.Links[0].Rect.right, 140);
  EXPECT_EQ(l.Links[1].Id, 0);
  EXPECT_EQ(l.Links[1].Rect.left, 142);

  // A closing mark does not start a line: the character before it moves down with it.
  l = Lay("abcde，f", 50);
  ASSERT_EQ(l.Runs.size(), 2u);
  EXPECT_EQ(l.Runs[1].Text, L"e，f");
  EXPECT_EQ(l.Runs[1].At.y, 70);

  // Narrower than one character: one character per line, and it ends.
  l = Lay("abc", 5);
  ASSERT_EQ(l.Runs.size(), 3u);
  EXPECT_EQ(At(l.Runs[2]), "c@100,90");

  // Centred: the first line starts half its free width further right.
  l = Lay("ab", 100, true);
  EXPECT_EQ(At(l.Runs[0]), "ab@140,50");
}

TEST(RichText, ContentThatDoesNotParseKeepsTheOld) {
  TenPixelGlyphs glyphs;
  SetRichMeasurer(&glyphs);
  CGxRichText text;
  text.Rect = RECT{0, 0, 200, 100};
  ASSERT_TRUE(text.SetContent(L"一<a id=\"3\">链接</a>"));
  ASSERT_EQ(text.Layout().Links.size(), 1u);
  EXPECT_FALSE(text.SetContent(L"<b>unclosed"));
  EXPECT_EQ(text.Layout().Links.size(), 1u) << "the old content stays";
  EXPECT_EQ(text.LinkAt(12, 5), 0);
  EXPECT_EQ(text.LinkAt(190, 5), -1);
  // The layout is kept while nothing changes and follows a move.
  text.Rect = RECT{300, 40, 500, 140};
  EXPECT_EQ(text.LinkAt(12, 5), -1);
  EXPECT_EQ(text.LinkAt(312, 45), 0);
  SetRichMeasurer(nullptr);
}

}  // namespace
