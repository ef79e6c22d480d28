// Skins, pools and styles: the value forms, the loaders' rules, and pixels drawn into a memory
// device context and read back.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/handles.h"
#include "skin/image_decode.h"
#include "skin/position.h"
#include "skin/pools.h"
#include "skin/resource_source.h"
#include "skin/controls.h"
#include "skin/skin_pool.h"
#include "tinyxml2.h"
#include "tests/support/test_support.h"

using testing_support::TempFolder;

namespace {

// GDI+ for the whole test program's skin tests.
const sys::GdiplusSession& Gdiplus() {
  static const sys::GdiplusSession* session = new sys::GdiplusSession();
  return *session;
}

// A 32-bit top-down memory canvas filled with one colour, read back pixel by pixel.
class Canvas {
 public:
  Canvas(int w, int h, COLORREF fill) : Dc(CreateCompatibleDC(nullptr)) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
    Bitmap.Reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&Bits), nullptr, 0));
    Previous = SelectObject(Dc.Get(), Bitmap.Get());
    Width = w;
    const RECT all{0, 0, w, h};
    const sys::UniqueBrush brush(CreateSolidBrush(fill));
    FillRect(Dc.Get(), &all, brush.Get());
  }
  ~Canvas() { SelectObject(Dc.Get(), Previous); }
  HDC Get() const { return Dc.Get(); }
  COLORREF At(int x, int y) const {
    GdiFlush();
    const DWORD p = Bits[y * Width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }

 private:
  sys::UniqueDc Dc;
  sys::UniqueBitmap Bitmap;
  DWORD* Bits = nullptr;
  HGDIOBJ Previous = nullptr;
  int Width = 0;
};

// A 24- or 32-bit bitmap whose pixel (x, y) is colorAt(x, y).
template <typename F>
HBITMAP MakeBitmap(int w, int h, int bits, F colorAt) {
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, static_cast<WORD>(bits), BI_RGB};
  void* data = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &data, nullptr, 0);
  const int stride = ((w * bits / 8) + 3) & ~3;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const COLORREF c = colorAt(x, y);
      BYTE* p = static_cast<BYTE*>(data) + y * stride + x * bits / 8;
      p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
      if (bits == 32) p[3] = 0x80;
    }
  return bitmap;
}

// PNG bytes of a w x h image whose column x has the colour columnColor(x), through GDI+.
template <typename F>
std::string MakePng(int w, int h, F columnColor) {
  Gdiplus::Bitmap image(w, h, PixelFormat32bppARGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const COLORREF c = columnColor(x);
      image.SetPixel(x, y, Gdiplus::Color(255, GetRValue(c), GetGValue(c), GetBValue(c)));
    }
  CLSID png{};
  UINT count = 0, size = 0;
  Gdiplus::GetImageEncodersSize(&count, &size);
  std::string buffer(size, '\0');
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(&buffer[0]);
  Gdiplus::GetImageEncoders(count, size, encoders);
  for (UINT i = 0; i < count; ++i)
    if (wcscmp(encoders[i].MimeType, L"image/png") == 0) png = encoders[i].Clsid;
  sys::ComPtr<IStream> stream(SHCreateMemStream(nullptr, 0));
  image.Save(stream.Get(), &png, nullptr);
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  std::string bytes(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
  const LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  ULONG read = 0;
  stream->Read(&bytes[0], static_cast<ULONG>(bytes.size()), &read);
  return bytes;
}

TEST(SkinValues, ColoursNumbersAndFontKeys) {
  COLORREF c = 0;
  EXPECT_TRUE(gx::ParseColor("1C56DB", &c));
  EXPECT_EQ(c, 0xDB561Cu) << "red 0x1C, green 0x56, blue 0xDB";
  EXPECT_FALSE(gx::ParseColor("1C56D", &c)) << "fewer than six digits";
  EXPECT_FALSE(gx::ParseColor("1C56DG", &c));
  EXPECT_EQ(gx::ParseHex("25"), 0x25u);
  EXPECT_EQ(gx::ParseHex("4000"), 0x4000u);
  EXPECT_EQ(gx::ParseHex("2G"), 0u) << "one character that is no digit makes it 0";
  EXPECT_EQ(gx::ParseHex(""), 0u);
  EXPECT_EQ(gx::ParseDecimal(" -12px"), -12);

  GxFontPool& fonts = GxFontPool::Instance();
  EXPECT_EQ(fonts.Describe(0).lfHeight, -11);
  EXPECT_EQ(std::wstring(fonts.Describe(0).lfFaceName), L"Tahoma");
  EXPECT_EQ(fonts.Describe(0x0400).lfHeight, -15) << "4 pixels taller";
  EXPECT_EQ(fonts.Describe(0x0400).lfWeight, FW_NORMAL);
  EXPECT_EQ(fonts.Describe(0x0004).lfWeight, FW_BOLD);
  EXPECT_EQ(fonts.Describe(0x0004).lfHeight, -11);
  EXPECT_TRUE(fonts.Describe(0x0002).lfUnderline);
  EXPECT_EQ(fonts.Describe(0xFF00).lfHeight, -10) << "the high byte is signed";
  EXPECT_NE(fonts.Get(0x0400), nullptr);
  EXPECT_EQ(fonts.Get(0x0400), fonts.Get(0x0400)) << "one handle per key";
}

TEST(SkinLoaders, RootsNamesFirstDefinitionAndDefaultStyle) {
  GxSkinPool::Instance().Clear();
  LoadSkinsXml("<notskins><button name=\"a\"/></notskins>");
  LoadSkinsXml("<skins><button bg=\"FF0000\"/><unknown name=\"u\"/><!-- <button name=\"c\"/> -->"
               "<button name=\"b\" bg=\"00FF00\" what=\"ignored\"/><button name=\"b\" bg=\"0000FF\"/></skins>");
  EXPECT_EQ(GxSkinPool::Instance().Find("a"), nullptr) << "root is not skins";
  EXPECT_EQ(GxSkinPool::Instance().Find("u"), nullptr);
  EXPECT_EQ(GxSkinPool::Instance().Find("c"), nullptr);
  auto* b = dynamic_cast<CGxSkinButton*>(GxSkinPool::Instance().Find("b"));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Bg, RGB(0, 0xFF, 0)) << "the first definition stays";

  GxStylePool::Instance().Clear();
  GxStylePool::Instance().Add(std::string());
  LoadStylesXml("<style><class name=\"link\" crtext=\"1C56DB\" font=\"0002\" cursor=\"hand\" textmode=\"25\"/>"
                "<class crtext=\"FFFFFF\"/><class name=\"link\" crtext=\"000000\"/></style>");
  const GxStyle& link = GxStylePool::Instance().Find("link");
  EXPECT_EQ(link.Text, 0xDB561Cu);
  EXPECT_EQ(link.Font, 2u);
  EXPECT_EQ(link.Cursor, IDC_HAND);
  EXPECT_EQ(link.TextMode, 0x25u);
  EXPECT_EQ(link.TextDisabled, 0xCCCCCCu) << "grey when not given";
  EXPECT_EQ(link.LineSpacing, 20);
  const GxStyle& other = GxStylePool::Instance().Find("no such class");
  EXPECT_EQ(&other, &GxStylePool::Instance().Find(""));
  EXPECT_EQ(other.Text, kNoColor);
  EXPECT_EQ(other.Background, kNoColor);
}

// The program's own skins and styles (resources 100 and 101): every element loads, and every
// class names a skin that exists.
TEST(SkinLoaders, TheProgramsOwnSkinsAndStyles) {
  std::wstring res = L"Z:" + gx::Widen(LUMEN_TEST_SOURCE_DIR) + L"/res/";
  std::replace(res.begin(), res.end(), L'/', L'\\');
  GxSkinPool::Instance().Clear();
  LoadSkinsXml(testing_support::ReadBytes(res + L"skins.xml"));
  GxStylePool::Instance().Clear();
  GxStylePool::Instance().Add(std::string());
  const std::string styles = testing_support::ReadBytes(res + L"styles.xml");
  LoadStylesXml(styles);
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.Parse(styles.c_str()), tinyxml2::XML_SUCCESS);
  int classes = 0;
  for (const tinyxml2::XMLElement* e = doc.RootElement()->FirstChildElement("class"); e;
       e = e->NextSiblingElement("class"), ++classes) {
    const GxStyle& style = GxStylePool::Instance().Find(e->Attribute("name"));
    EXPECT_EQ(style.Name, e->Attribute("name"));
    if (!style.Skin.empty()) {
      EXPECT_NE(GxSkinPool::Instance().Find(style.Skin), nullptr) << style.Skin;
    }
  }
  EXPECT_GE(classes, 5);
}

// A bitmap file's bytes: `bits` per pixel (8 with a palette of `colours` greys), `height` below 0
// for rows from the top; pixel bytes follow a fixed pattern.
std::string MakeBmp(int width, int height, int bits, int colours = 0) {
  const int stride = (width * bits + 31) / 32 * 4, rows = height < 0 ? -height : height;
  const int info = static_cast<int>(sizeof(BITMAPINFOHEADER)) + colours * 4;
  BITMAPFILEHEADER file{0x4D42, 0, 0, 0, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + info)};
  BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), width, height, 1, static_cast<WORD>(bits), BI_RGB};
  header.biClrUsed = static_cast<DWORD>(colours);
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
  bytes.append(reinterpret_cast<const char*>(&header), sizeof(header));
  for (int i = 0; i < colours; ++i) bytes.append({static_cast<char>(i * 60), static_cast<char>(i * 60), static_cast<char>(i * 60), 0});
  for (int i = 0; i < stride * rows; ++i) bytes += static_cast<char>(bits == 8 ? i % colours : i * 37 % 251);
  return bytes;
}

// The pixels of a bitmap as 32-bit rows from the top.
std::vector<DWORD> PixelsOf(HBITMAP bitmap) {
  BITMAP b{};
  if (!bitmap || !GetObjectW(bitmap, sizeof(b), &b)) return {};
  std::vector<DWORD> pixels(static_cast<size_t>(b.bmWidth) * b.bmHeight);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), b.bmWidth, -b.bmHeight, 1, 32, BI_RGB};
  const sys::UniqueDc dc(CreateCompatibleDC(nullptr));
  GetDIBits(dc.Get(), bitmap, 0, static_cast<UINT>(b.bmHeight), pixels.data(), &info, DIB_RGB_COLORS);
  return pixels;
}

// The resource folder's files as the program holds them in memory while they are written: a
// bitmap of each layout comes out as loading its file gives it, the reader's bytes win over
// the disk's, a damaged bitmap is none; a PNG's size is known from its header, and it is the
// decoded picture's.
TEST(SkinLoaders, FolderFilesFromMemoryAsFromTheDisk) {
  TempFolder dir;
  const std::wstring folder = dir.Path().substr(0, dir.Path().size() - 1);
  std::map<std::wstring, std::string> memory;
  GxResourceSource& source = GxResourceSource::Instance();
  source.SetFolder(folder);
  int id = 950;
  for (const std::string& bmp : {MakeBmp(3, 2, 24), MakeBmp(5, 3, 8, 4), MakeBmp(2, 2, 32), MakeBmp(7, 1, 16)}) {
    const std::wstring file = folder + L"\\" + std::to_wstring(++id) + L".bmp";
    testing_support::WriteBytes(file, bmp);
    const sys::UniqueBitmap fromDisk(source.LoadBitmap(id));
    ASSERT_TRUE(fromDisk) << id;
    DeleteFileW(file.c_str());
    source.SetFileReader([&](const std::wstring& path, std::string* bytes) {
      const auto found = memory.find(path);
      return found != memory.end() && (*bytes = found->second, true);
    });
    memory[file] = bmp;
    const sys::UniqueBitmap fromMemory(source.LoadBitmap(id));
    EXPECT_EQ(PixelsOf(fromMemory.Get()), PixelsOf(fromDisk.Get())) << id;
    memory[file] = bmp.substr(0, bmp.size() - 1);
    EXPECT_EQ(source.LoadBitmap(id), nullptr) << id << ": one byte short";
    source.SetFileReader(nullptr);
  }

  const std::wstring png = folder + L"\\960.png";
  testing_support::WriteBytes(png, MakePng(2, 2, [](int) { return RGB(0, 0, 0); }));
  memory[png] = MakePng(7, 3, [](int x) { return RGB(x, 0, 0); });
  source.SetFileReader([&](const std::wstring& path, std::string* bytes) {
    const auto found = memory.find(path);
    return found != memory.end() && (*bytes = found->second, true);
  });
  SIZE size{};
  ASSERT_TRUE(GxImagePool::Png().Size(960, &size));
  EXPECT_EQ(size.cx, 7);
  EXPECT_EQ(size.cy, 3);
  Gdiplus::Image* decoded = GxImagePool::Png().Get(960);
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(decoded->GetWidth(), 7u);
  EXPECT_EQ(decoded->GetHeight(), 3u);
  EXPECT_FALSE(GxImagePool::Png().Size(961, &size));
  source.SetFileReader(nullptr);
  source.SetFolder(L"");
}

// Sources in order: every XML source of an id is loaded, an earlier one's names win.
TEST(SkinLoaders, ResourceFolderOverridesSingleNames) {
  struct Provider : GxResourceProvider {
    IStream* OpenFirst(const wchar_t* type, int id) override {
      const std::string xml = "<skins><button name=\"closebtn\" bg=\"FF0000\"/></skins>";
      return id == 900 && wcscmp(type, L"xml") == 0
                 ? SHCreateMemStream(reinterpret_cast<const BYTE*>(xml.data()), static_cast<UINT>(xml.size()))
                 : nullptr;
    }
    IStream* OpenSecond(const wchar_t*, int) override { return nullptr; }
  } provider;
  TempFolder dir;
  testing_support::WriteBytes(dir / L"900.xml",
                              "\xEF\xBB\xBF<skins><button name=\"closebtn\" bg=\"00FF00\"/><button name=\"okbtn\"/></skins>");
  GxResourceSource& source = GxResourceSource::Instance();
  source.SetFolder(dir.Path().substr(0, dir.Path().size() - 1));
  source.SetProvider(&provider);
  EXPECT_TRUE(LoadSkins(900));
  source.SetProvider(nullptr);
  source.SetFolder(L"");
  auto* close = dynamic_cast<CGxSkinButton*>(GxSkinPool::Instance().Find("closebtn"));
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(close->Bg, RGB(0xFF, 0, 0));
  EXPECT_NE(GxSkinPool::Instance().Find("okbtn"), nullptr) << "names only a later source has are added";
  EXPECT_FALSE(LoadSkins(901));
}

TEST(SkinPixels, FrameButtonAlphaAndPngStrip) {
  ASSERT_TRUE(Gdiplus().Started());
  // A 3 x 3 frame, left and top 1: corners, edges stretched from the middle row and column,
  // the centre filled.
  const COLORREF corner = RGB(255, 0, 0), edge = RGB(0, 0, 255), middle = RGB(0, 255, 0);
  const sys::UniqueBitmap frameBits(MakeBitmap(3, 3, 24, [&](int x, int y) {
    const bool cx = x == 1, cy = y == 1;
    return cx && cy ? middle : (cx || cy) ? edge : corner;
  }));
  CGxSkinImgFrame frame;
  frame.Image.Bitmap = frameBits.Get();
  frame.Left = frame.Top = 1;
  ASSERT_EQ(frame.SetAttribute("crbg", "FFFF00", true), kAttributeTaken);
  Canvas canvas(12, 10, RGB(0, 0, 0));
  frame.Draw(canvas.Get(), RECT{1, 1, 11, 9}, 0);
  EXPECT_EQ(canvas.At(1, 1), corner);
  EXPECT_EQ(canvas.At(10, 8), corner);
  EXPECT_EQ(canvas.At(5, 1), edge) << "top edge";
  EXPECT_EQ(canvas.At(1, 4), edge) << "left edge";
  EXPECT_EQ(canvas.At(10, 4), edge) << "right edge";
  EXPECT_EQ(canvas.At(5, 5), RGB(255, 255, 0)) << "centre";
  EXPECT_EQ(canvas.At(0, 0), RGB(0, 0, 0)) << "outside";
  // At 192 DPI its corners and edges are two pixels wide.
  SetLayoutDpi(192);
  Canvas doubled(12, 10, RGB(0, 0, 0));
  frame.Draw(doubled.Get(), RECT{1, 1, 11, 9}, 0);
  EXPECT_EQ(std::vector<COLORREF>({doubled.At(2, 2), doubled.At(9, 7), doubled.At(2, 5), doubled.At(5, 2), doubled.At(3, 3)}),
            std::vector<COLORREF>({corner, corner, edge, edge, RGB(255, 255, 0)}));
  SetLayoutDpi(96);

  // The same frame with its corners in the mask colour: what lies below shows through there.
  const sys::UniqueBitmap masked(MakeBitmap(3, 3, 24, [&](int x, int y) {
    const bool cx = x == 1, cy = y == 1;
    return cx && cy ? middle : (cx || cy) ? edge : RGB(255, 0, 255);
  }));
  frame.Image.Bitmap = masked.Get();
  ASSERT_EQ(frame.SetAttribute("mode", "mask", true), kAttributeTaken);
  Canvas m(12, 10, RGB(0, 0, 0));
  frame.Draw(m.Get(), RECT{1, 1, 11, 9}, 0);
  EXPECT_EQ(m.At(1, 1), RGB(0, 0, 0)) << "a transparent corner";
  EXPECT_EQ(m.At(5, 1), edge);
  EXPECT_EQ(m.At(10, 4), edge);

  // A disabled colour button: only bg and the border.
  CGxSkinButton button;
  Canvas b(20, 12, RGB(0, 0, 0));
  button.Draw(b.Get(), RECT{0, 0, 20, 12}, kStateDisabled);
  EXPECT_EQ(b.At(0, 0), RGB(0x70, 0x70, 0x70));
  EXPECT_EQ(b.At(10, 6), RGB(0xEE, 0xEE, 0xEE));
  button.Draw(b.Get(), RECT{0, 0, 20, 12}, kStatePushed);
  EXPECT_LT(GetRValue(b.At(10, 9)), 0xCE) << "the pushed gradient runs down to bgdownpush";

  // Alpha on a 24-bit bitmap draws nothing; on a 32-bit one it blends.
  const sys::UniqueBitmap rgb(MakeBitmap(4, 4, 24, [](int, int) { return RGB(255, 255, 255); }));
  const sys::UniqueBitmap argb(MakeBitmap(4, 4, 32, [](int, int) { return RGB(255, 255, 255); }));
  CGxImageSkin alpha;
  alpha.SetAttribute("mode", "alpha", true);
  alpha.Bitmap = rgb.Get();
  Canvas a(4, 4, RGB(0, 0, 0));
  alpha.Draw(a.Get(), RECT{0, 0, 4, 4}, -1);
  EXPECT_EQ(a.At(1, 1), RGB(0, 0, 0));
  alpha.Bitmap = argb.Get();
  alpha.Draw(a.Get(), RECT{0, 0, 4, 4}, -1);
  EXPECT_EQ(a.At(1, 1), RGB(0x80, 0x80, 0x80)) << "(255 * 128 + 0 * 127) / 255";
  SetLayoutDpi(144);
  Canvas a6(8, 8, RGB(0, 0, 0));
  alpha.Draw(a6.Get(), RECT{0, 0, 8, 8}, -1);
  EXPECT_EQ(std::make_pair(a6.At(5, 5), a6.At(6, 6)), std::make_pair(RGB(0x80, 0x80, 0x80), RGB(0, 0, 0))) << "6 x 6 at 144 DPI";
  SetLayoutDpi(96);

  // A PNG strip of 14-pixel sub-images: index 2 shows x = 28 to 41.
  const std::unique_ptr<Gdiplus::Image> strip(DecodeImage(MakePng(56, 5, [](int x) { return RGB(x, 0, 0); })));
  ASSERT_NE(strip, nullptr);
  CGxPngSkin png;
  png.Image = strip.get();
  png.SubWidth = 14;
  Canvas p(20, 6, RGB(0, 0, 255));
  png.Draw(p.Get(), RECT{0, 0, 20, 6}, 2);
  EXPECT_EQ(p.At(0, 2), RGB(28, 0, 0));
  EXPECT_EQ(p.At(13, 2), RGB(41, 0, 0));
  EXPECT_EQ(p.At(14, 2), RGB(0, 0, 255)) << "nothing beyond the sub-image";
  EXPECT_EQ(png.GetSkinSize().cx, 14);
  png.Image = nullptr;  // the test's, not a pool's
}

}  // namespace

namespace {

// Loads one control from XML, lays it out in `area` as a "dlg" child would be.
template <typename T>
std::unique_ptr<T> Control(const std::string& xml, const RECT& area) {
  tinyxml2::XMLDocument doc;
  doc.Parse(xml.c_str());
  std::unique_ptr<T> control(static_cast<T*>(CreateGxWindow(doc.RootElement()->Name())));
  control->Load(*doc.RootElement());
  CGxDialog parent;
  parent.Rect = area;
  control->ParentHandle = parent.Handle;
  parent.RepositionChild(control.get());
  control->ParentHandle = 0;
  return control;
}

TEST(ControlPixels, ProgressLineImageButtonAndChecks) {
  ASSERT_TRUE(Gdiplus().Started());
  // 33 % of 0..100: the bar covers a third of the inner width; the text "33%" is drawn twice,
  // in the text colour and, over the bar, in the contrasting colour.
  auto bar = Control<CGxProgress>("<progress pos=\"0,0,-0,-0\" max=\"100\" value=\"33\" showpercent=\"1\"/>",
                                  RECT{0, 0, 104, 20});
  EXPECT_DOUBLE_EQ(bar->Ratio(), 0.33);
  Canvas c(104, 20, RGB(255, 255, 255));
  SetTextColor(c.Get(), RGB(0, 0, 0));
  bar->RedrawRegion(c.Get(), nullptr);
  EXPECT_EQ(c.At(10, 10), RGB(0x42, 0x61, 0x90)) << "inside the bar";
  EXPECT_EQ(c.At(40, 3), RGB(255, 255, 255)) << "beyond 2 + 100 * 0.33";
  int dark = 0;
  for (int x = 36; x < 70; ++x)
    for (int y = 4; y < 16; ++y) dark += GetGValue(c.At(x, y)) < 128;  // antialiased glyphs
  EXPECT_GT(dark, 5) << "the percent text";
  auto swapped = Control<CGxProgress>("<progress min=\"100\" max=\"0\" value=\"150\"/>", RECT{0, 0, 10, 10});
  EXPECT_DOUBLE_EQ(swapped->Ratio(), 1.0) << "swapped, then clamped";

  // The marquee block: 10, 30 wide after 1 and 3 paints, then moving by 10.
  RECT block{};
  bool restart = true;
  int paints = 0;
  auto after = [&](int n) {
    while (paints < n) CGxProgress::StepMarquee(block, restart, 2, 102), ++paints;
    return std::to_string(block.left) + "-" + std::to_string(block.right);
  };
  EXPECT_EQ(after(1), "2-12");
  EXPECT_EQ(after(3), "2-32");
  EXPECT_EQ(after(6), "32-62");
  EXPECT_EQ(after(11), "82-102") << "at the right edge only the left edge moves";
  EXPECT_EQ(after(13), "102-102");
  EXPECT_EQ(after(14), "2-12") << "and restarts";

  // A line at y 30 from x 10 across a 150-pixel area.
  auto line = Control<CGxLine>("<hr pos=\"10,30,-10,30\" crbg=\"FF0000\"/>", RECT{0, 0, 150, 60});
  Canvas l(150, 60, RGB(255, 255, 255));
  line->RedrawRegion(l.Get(), nullptr);
  EXPECT_EQ(l.At(10, 30), RGB(255, 0, 0));
  EXPECT_EQ(l.At(139, 30), RGB(255, 0, 0));
  EXPECT_EQ(l.At(75, 31), RGB(255, 255, 255));

  // Image button: sub-image 0 normal, 1 hover, 2 pushed (also hovered), 3 disabled whatever.
  auto button = Control<CGxImageBtnWnd>("<imgbtn skin=\"none\"/>", RECT{0, 0, 10, 10});
  EXPECT_EQ(button->SubImage(), 0);
  button->State = kWndHover;
  EXPECT_EQ(button->SubImage(), 1);
  button->State = kWndHover | kWndPushed;
  EXPECT_EQ(button->SubImage(), 2);
  button->State = kWndHover | kWndPushed | kWndDisabled;
  EXPECT_EQ(button->SubImage(), 3);

  // Check boxes and radio buttons: theme states, frame flags, clicks, groups.
  auto check = Control<CGxCheckBox>("<check>agree</check>", RECT{0, 0, 100, 20});
  EXPECT_EQ(check->ThemeState(), 1);
  check->State = kWndChecked | kWndPushed | kWndHover;
  EXPECT_EQ(check->ThemeState(), 7) << "checked, pushed wins over hover";
  check->State |= kWndDisabled;
  EXPECT_EQ(check->ThemeState(), 8);
  EXPECT_EQ(check->FrameFlags(), 0x800u | DFCS_BUTTONCHECK | 0x1000u | DFCS_INACTIVE | DFCS_PUSHED | DFCS_CHECKED);
  check->State = kWndChecked;
  check->Send(WM_LBUTTONUP);
  EXPECT_FALSE(check->State & kWndChecked) << "a click clears a checked box";
  Canvas k(100, 20, RGB(255, 255, 255));
  check->RedrawRegion(k.Get(), nullptr);
  int drawn = 0;
  for (int x = 0; x < 13; ++x) drawn += k.At(x, 10) != RGB(255, 255, 255);
  EXPECT_GT(drawn, 0) << "the box at the left";

  std::unique_ptr<CGxRadioBox> radios[3];
  for (auto& r : radios) r = Control<CGxRadioBox>("<radio group=\"g1\">x</radio>", RECT{0, 0, 50, 20});
  radios[0]->Send(WM_LBUTTONUP);
  radios[2]->Send(WM_LBUTTONUP);
  EXPECT_FALSE(radios[0]->State & kWndChecked);
  EXPECT_FALSE(radios[1]->State & kWndChecked);
  EXPECT_TRUE(radios[2]->State & kWndChecked) << "exactly the clicked one";
  EXPECT_EQ(radios[0]->FrameFlags() & DFCS_BUTTONRADIO, static_cast<UINT>(DFCS_BUTTONRADIO));
}

// An icon control destroys the program's own icon it loaded and never the system's shared one,
// whatever its "oem" flag says by the time it goes.
TEST(ControlPixels, IconsGoWithWhatWasLoaded) {
  ICONINFO info{};
  auto alive = [&info](HICON icon) {
    const bool ok = GetIconInfo(icon, &info) != FALSE;
    if (ok) DeleteObject(info.hbmColor), DeleteObject(info.hbmMask);
    return ok;
  };
  HICON own = nullptr;
  {
    auto icon = Control<CGxIconWnd>("<icon src=\"128\" size=\"32\"/>", RECT{0, 0, 32, 32});
    own = icon->Icon;
    ASSERT_TRUE(own && alive(own));
    icon->SetAttribute("oem", "1", false);
  }
  EXPECT_FALSE(alive(own)) << "the program's own icon goes with its control";
  const HICON question = LoadIconW(nullptr, IDI_QUESTION);
  {
    auto icon = Control<CGxIconWnd>("<icon src=\"32514\" oem=\"1\"/>", RECT{0, 0, 32, 32});
    EXPECT_EQ(icon->Icon, question);
    icon->SetAttribute("oem", "0", false);
  }
  EXPECT_TRUE(alive(question)) << "the system's icon stays";
  EXPECT_EQ(LoadIconW(nullptr, IDI_QUESTION), question);
}

}  // namespace
