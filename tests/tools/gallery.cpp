// Renders a layer headless into a PNG: the skinned UI library's gallery, and a benchmark of its
// layout and repaint against drawing the same pictures and texts straight with GDI (each
// window's finished pixels copied back, its text drawn again).
//   gallery.exe <resource folder> <out.png> [rounds [layer file]]
// The folder holds the layer (layer.xml unless named), skins.xml, styles.xml and the images the
// skins name (<id>.png, <id>.bmp). An element's "state" attribute (hexadecimal) is applied to
// its window by id.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

#include "base/handles.h"
#include "skin/controls.h"
#include "skin/dialog_view.h"
#include "skin/gx_object.h"
#include "skin/layer.h"
#include "skin/resource_source.h"
#include "skin/skin_pool.h"
#include "tinyxml2.h"

namespace {

std::string ReadAll(const std::wstring& path) {
  std::string bytes;
  ReadFileBytes(path, &bytes);
  return bytes;
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
  if (CGxSkinBase* frame = GxSkinPool::Instance().Find(layer.FrameSkin)) frame->Draw(dc, client, 0);
  for (CGxDialog* band : {&layer.Header, &layer.Body, &layer.Footer})
    if (band->IsVisible(false)) band->RedrawRegion(dc, nullptr);
}

// Counts the controls that paint (the draw observer sees each one before it draws).
struct PaintCounter : GxDrawObserver {
  int Painted = 0;
  bool OnDraw(CGxWindow&, HDC, const RECT&, bool before) override {
    Painted += before ? 1 : 0;
    return true;
  }
  void Watch(CGxWindow& w) {
    w.Observer = this;
    if (w.IsContainer())
      for (auto& child : static_cast<CGxPanel&>(w).Children()) Watch(*child);
  }
};

// The cost of a hover change in a real dialog view (the mouse moving between buttons 11 and
// 12: two controls' areas repainted, one blit) against a full repaint of the same view.
void BenchHover(const std::string& xml, const RECT& client, int rounds) {
  const HWND owner = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, client.right, client.bottom, nullptr, nullptr,
                                   nullptr, nullptr);
  CGxDialogView view;
  if (!view.LoadLayer(xml) || !view.Create(owner, client)) return;
  CGxWindow* first = view.FindItem(11);
  CGxWindow* second = view.FindItem(12);
  if (!first || !second) return;
  PaintCounter counter;
  for (CGxDialog* band : {&view.Layer().Header, &view.Layer().Body, &view.Layer().Footer}) counter.Watch(*band);
  const sys::UniqueDc target(CreateCompatibleDC(nullptr));
  const sys::UniqueBitmap bitmap(CreateBitmap(client.right, client.bottom, 1, 32, nullptr));
  const HGDIOBJ previous = SelectObject(target.Get(), bitmap.Get());
  auto centre = [](const CGxWindow* w) { return MAKELPARAM((w->Rect.left + w->Rect.right) / 2, (w->Rect.top + w->Rect.bottom) / 2); };
  const auto print = [&] { SendMessageW(view.Window(), WM_PRINT, reinterpret_cast<WPARAM>(target.Get()), 0); };
  print();
  LARGE_INTEGER f, t0, t1, t2;
  QueryPerformanceFrequency(&f);
  counter.Painted = 0;
  QueryPerformanceCounter(&t0);
  for (int i = 0; i < rounds; ++i) {
    SendMessageW(view.Window(), WM_MOUSEMOVE, 0, centre(i % 2 ? second : first));
    print();
  }
  GdiFlush();
  QueryPerformanceCounter(&t1);
  const double hoverControls = static_cast<double>(counter.Painted) / rounds;
  counter.Painted = 0;
  for (int i = 0; i < rounds; ++i) {
    view.Repaint(client);
    print();
  }
  GdiFlush();
  QueryPerformanceCounter(&t2);
  LARGE_INTEGER t3;
  for (int i = 0; i < rounds; ++i) print();
  GdiFlush();
  QueryPerformanceCounter(&t3);
  const double hover = 1000.0 * (t1.QuadPart - t0.QuadPart) / f.QuadPart / rounds;
  const double full = 1000.0 * (t2.QuadPart - t1.QuadPart) / f.QuadPart / rounds;
  const double present = 1000.0 * (t3.QuadPart - t2.QuadPart) / f.QuadPart / rounds;
  wprintf(L"hover change: %.1f controls repainted, %.3f ms; full repaint: %.1f controls, %.3f ms; ratio %.2f "
          L"(presenting the back buffer alone: %.3f ms)\n",
          hoverControls, hover, static_cast<double>(counter.Painted) / rounds, full, hover / full, present);
  SelectObject(target.Get(), previous);
  DestroyWindow(owner);
}

// The reference: the same picture drawn straight with GDI. Each window's finished pixels are
// kept as a bitmap once; a straight repaint copies them back, draws the texts again and has the
// system draw the check boxes and radio buttons again.
struct Straight {
  CGxWindow* Window;
  sys::UniqueDc Dc;
  sys::UniqueBitmap Bitmap;
  HGDIOBJ Previous;
};

void Keep(CGxWindow& w, HDC canvas, std::vector<std::unique_ptr<Straight>>& kept) {
  const int cx = w.Rect.right - w.Rect.left, cy = w.Rect.bottom - w.Rect.top;
  if (cx > 0 && cy > 0 && w.IsVisible(false)) {
    auto s = std::make_unique<Straight>();
    s->Window = &w;
    s->Dc.Reset(CreateCompatibleDC(canvas));
    s->Bitmap.Reset(CreateCompatibleBitmap(canvas, cx, cy));
    s->Previous = SelectObject(s->Dc.Get(), s->Bitmap.Get());
    BitBlt(s->Dc.Get(), 0, 0, cx, cy, canvas, w.Rect.left, w.Rect.top, SRCCOPY);
    kept.push_back(std::move(s));
  }
  if (w.IsContainer())
    for (auto& child : static_cast<CGxPanel&>(w).Children()) Keep(*child, canvas, kept);
}

void PaintStraight(const std::vector<std::unique_ptr<Straight>>& kept, HDC dc) {
  SetBkMode(dc, TRANSPARENT);
  for (const auto& s : kept) {
    const RECT& r = s->Window->Rect;
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, s->Dc.Get(), 0, 0, SRCCOPY);
    if (!s->Window->Text.empty() && !s->Window->IsContainer()) {
      RECT t = r;
      DrawTextW(dc, s->Window->Text.c_str(), -1, &t, DT_SINGLELINE | DT_VCENTER);
    }
    // Check boxes and radio buttons are the system's drawing either way.
    if (auto* check = dynamic_cast<CGxCheckBox*>(s->Window)) check->DrawMark(dc);
  }
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
    fwprintf(stderr, L"usage: gallery.exe <resource folder> <out.png> [rounds [layer file]]\n");
    return 2;
  }
  const std::wstring folder = argv[1];
  const int rounds = argc > 3 ? _wtoi(argv[3]) : 0;
  const sys::GdiplusSession gdiplus;
  GxResourceSource::Instance().SetFolder(folder);
  GxStylePool::Instance().Add(std::string());
  LoadSkinsXml(ReadAll(folder + L"\\skins.xml"));
  LoadStylesXml(ReadAll(folder + L"\\styles.xml"));
  const std::string xml = ReadAll(folder + L"\\" + (argc > 4 ? argv[4] : L"layer.xml"));
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
    std::vector<std::unique_ptr<Straight>> kept;
    for (CGxDialog* band : {&layer.Header, &layer.Body, &layer.Footer}) Keep(*band, dc.Get(), kept);
    LARGE_INTEGER f, t0, t1, t2, tl;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&tl);
    for (int i = 0; i < rounds; ++i) layer.Layout(client);
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < rounds; ++i) {
      layer.Layout(client);
      Paint(layer, dc.Get(), client);
    }
    GdiFlush();
    QueryPerformanceCounter(&t1);
    wprintf(L"layout alone: %.3f ms\n", 1000.0 * (t0.QuadPart - tl.QuadPart) / f.QuadPart / rounds);
    for (int i = 0; i < rounds; ++i) {
      const sys::UniqueBrush white(CreateSolidBrush(RGB(255, 255, 255)));
      FillRect(dc.Get(), &client, white.Get());
      PaintStraight(kept, dc.Get());
    }
    GdiFlush();
    QueryPerformanceCounter(&t2);
    const double skinned = 1000.0 * (t1.QuadPart - t0.QuadPart) / f.QuadPart / rounds;
    const double straight = 1000.0 * (t2.QuadPart - t1.QuadPart) / f.QuadPart / rounds;
    wprintf(L"layout + repaint of the gallery layer: %.3f ms; straight GDI: %.3f ms; ratio %.2f\n", skinned, straight,
            skinned / straight);
    layer.Layout(client);
    Paint(layer, dc.Get(), client);
    BenchHover(xml, client, rounds);
  }
  SelectObject(dc.Get(), previous);
  return Save(canvas.Get(), argv[2]);
}
