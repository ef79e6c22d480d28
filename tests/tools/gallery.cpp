// Renders a layer headless into a PNG: the skinned UI library's gallery, and a benchmark of its
// layout and repaint against drawing the same rectangles, texts and images straight with GDI.
//   gallery.exe <resource folder> <out.png> [rounds]
// The folder holds layer.xml, skins.xml, styles.xml and the images the skins name (<id>.png,
// <id>.bmp). An element's "state" attribute (hexadecimal) is applied to its window by id.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <stdio.h>

#include <fstream>
#include <sstream>
#include <string>

#include "base/handles.h"
#include "skin/gx_object.h"
#include "skin/layer.h"
#include "skin/resource_source.h"
#include "skin/skin_pool.h"
#include "tinyxml2.h"

namespace {

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void ApplyStates(const tinyxml2::XMLElement* e, CGxLayer& layer) {
  for (; e; e = e->NextSiblingElement()) {
    const char* state = e->Attribute("state");
    const char* id = e->Attribute("id");
    if (state && id)
      if (CGxWindow* w = layer.FindById(atoi(id))) w->State = gx::ParseHex(state);
    ApplyStates(e->FirstChildElement(), layer);
  }
}

void Paint(CGxLayer& layer, HDC dc, const RECT& client) {
  const sys::UniqueBrush white(CreateSolidBrush(RGB(255, 255, 255)));
  FillRect(dc, &client, white.Get());
  for (CGxDialog* band : {&layer.Header, &layer.Body, &layer.Footer})
    if (band->IsVisible(false)) band->RedrawRegion(dc, nullptr);
}

// The same picture's ingredients drawn straight: a rectangle fill and a text per window.
void PaintStraight(CGxWindow& w, HDC dc) {
  const sys::UniqueBrush brush(CreateSolidBrush(RGB(0xEE, 0xEE, 0xEE)));
  FillRect(dc, &w.Rect, brush.Get());
  RECT r = w.Rect;
  if (!w.Text.empty()) DrawTextW(dc, w.Text.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER);
  if (w.IsContainer())
    for (auto& child : static_cast<CGxPanel&>(w).Children()) PaintStraight(*child, dc);
}

int Save(HBITMAP bitmap, const std::wstring& path) {
  Gdiplus::Bitmap image(bitmap, nullptr);
  UINT count = 0, size = 0;
  Gdiplus::GetImageEncodersSize(&count, &size);
  std::string buffer(size, '\0');
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(&buffer[0]);
  Gdiplus::GetImageEncoders(count, size, encoders);
  for (UINT i = 0; i < count; ++i)
    if (wcscmp(encoders[i].MimeType, L"image/png") == 0)
      return image.Save(path.c_str(), &encoders[i].Clsid, nullptr) == Gdiplus::Ok ? 0 : 1;
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fwprintf(stderr, L"usage: gallery.exe <resource folder> <out.png> [rounds]\n");
    return 2;
  }
  const std::wstring folder = argv[1];
  const int rounds = argc > 3 ? _wtoi(argv[3]) : 0;
  const sys::GdiplusSession gdiplus;
  GxResourceSource::Instance().SetFolder(folder);
  GxStylePool::Instance().Add(std::string());
  LoadSkinsXml(ReadAll(folder + L"\\skins.xml"));
  LoadStylesXml(ReadAll(folder + L"\\styles.xml"));
  const std::string xml = ReadAll(folder + L"\\layer.xml");
  CGxLayer layer;
  if (!layer.Load(xml)) {
    fwprintf(stderr, L"gallery: the layer does not load\n");
    return 1;
  }
  tinyxml2::XMLDocument doc;
  doc.Parse(xml.c_str());
  ApplyStates(doc.RootElement(), layer);
  const RECT client{0, 0, layer.Width, layer.Height};

  const sys::UniqueDc dc(CreateCompatibleDC(nullptr));
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), layer.Width, -layer.Height, 1, 32, BI_RGB};
  void* bits = nullptr;
  const sys::UniqueBitmap canvas(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  const HGDIOBJ previous = SelectObject(dc.Get(), canvas.Get());
  layer.Layout(client);
  for (int i = 0; i < 3; ++i) Paint(layer, dc.Get(), client);  // the marquee block moves per paint

  if (rounds > 0) {
    LARGE_INTEGER f, t0, t1, t2;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < rounds; ++i) {
      layer.Layout(client);
      Paint(layer, dc.Get(), client);
    }
    GdiFlush();
    QueryPerformanceCounter(&t1);
    for (int i = 0; i < rounds; ++i) {
      const sys::UniqueBrush white(CreateSolidBrush(RGB(255, 255, 255)));
      FillRect(dc.Get(), &client, white.Get());
      for (CGxDialog* band : {&layer.Header, &layer.Body, &layer.Footer}) PaintStraight(*band, dc.Get());
    }
    GdiFlush();
    QueryPerformanceCounter(&t2);
    const double skinned = 1000.0 * (t1.QuadPart - t0.QuadPart) / f.QuadPart / rounds;
    const double straight = 1000.0 * (t2.QuadPart - t1.QuadPart) / f.QuadPart / rounds;
    wprintf(L"layout + repaint of the gallery layer: %.3f ms; straight GDI: %.3f ms; ratio %.2f\n", skinned, straight,
            skinned / straight);
    layer.Layout(client);
    Paint(layer, dc.Get(), client);
  }
  SelectObject(dc.Get(), previous);
  return Save(canvas.Get(), argv[2]);
}
