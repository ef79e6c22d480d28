#include "skin/layer.h"

#include <stdio.h>
#include <string.h>

#include "tinyxml2.h"

namespace {

int IntAttribute(const tinyxml2::XMLElement& e, const char* name) {
  const char* value = e.Attribute(name);
  return value ? gx::ParseDecimal(value) : 0;
}

// Loads a band from its element and gives it its position; only the number in height counts.
int LoadBand(CGxDialog& band, const tinyxml2::XMLElement& e, const char* format, HWND host) {
  band.SetContainer(host);
  band.Load(e);
  const int height = IntAttribute(e, "height");  // a layer number: the position scales it
  char pos[64];
  snprintf(pos, sizeof(pos), format, height);
  band.SetAttribute("pos", pos, true);
  return height;
}

}  // namespace

bool CGxLayer::Load(const std::string& xml, HWND host) {
  for (CGxDialog* band : {&Header, &Body, &Footer}) {
    band->Send(WM_DESTROY);
    band->DestroyChildren();
  }
  HeaderLoaded = BodyLoaded = FooterLoaded = false;
  Style = 0x80090000;
  ExStyle = 0x10000;
  tinyxml2::XMLDocument doc;
  if (doc.Parse(xml.data(), xml.size()) != tinyxml2::XML_SUCCESS) return false;
  const tinyxml2::XMLElement* root = doc.RootElement();
  if (!root || strcmp(root->Name(), "layer") != 0) return false;

  FrameSkin = root->Attribute("frame") ? root->Attribute("frame") : "";
  Title = gx::Widen(root->Attribute("title") ? root->Attribute("title") : "");
  Width = IntAttribute(*root, "width");
  Height = IntAttribute(*root, "height");
  MinWidth = IntAttribute(*root, "min_width");
  MinHeight = IntAttribute(*root, "min_height");
  if (IntAttribute(*root, "appwin")) ExStyle |= 0x40000;
  if (IntAttribute(*root, "child") == 0) {
    KeepSize = IntAttribute(*root, "holdsize") != 0;
    Resizable = IntAttribute(*root, "resize") != 0;
    Style |= Resizable ? 0x70000 : 0x20000;
    ExStyle |= IntAttribute(*root, "noborder") ? 0x88 : 0x300;
    Movable = IntAttribute(*root, "nomove") == 0;
  } else {
    Style = (Style & 0x39F7FFFF) | 0x46000000;
  }
  if (const tinyxml2::XMLElement* e = root->FirstChildElement("header")) {
    HeaderHeight = LoadBand(Header, *e, "0,0,-0,%d", host);
    HeaderLoaded = true;
  }
  if (const tinyxml2::XMLElement* e = root->FirstChildElement("footer")) {
    FooterHeight = LoadBand(Footer, *e, "0,-%d,-0,-0", host);
    FooterLoaded = true;
  }
  if (const tinyxml2::XMLElement* e = root->FirstChildElement("body")) {
    LoadBand(Body, *e, "0,0,-0,-0", host);
    BodyLoaded = true;
  }
  return true;
}

void CGxLayer::Layout(const RECT& c) {
  const int w = c.right - c.left, h = c.bottom - c.top;
  WINDOWPOS pos{nullptr, nullptr, c.left, c.top, w, h, 0};
  int headerBottom = c.top;
  if (HeaderLoaded) {
    Header.Send(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    headerBottom = Header.Rect.bottom;
  }
  int footer = 0;
  if (FooterLoaded) {
    Footer.Send(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    footer = Footer.Rect.bottom - Footer.Rect.top;
    WINDOWPOS bottom{nullptr, nullptr, c.left, c.bottom - footer, w, footer, 0};
    Footer.Send(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&bottom));
  }
  if (BodyLoaded) {
    WINDOWPOS body{nullptr, nullptr, c.left, headerBottom, w, c.bottom - headerBottom - footer, 0};
    Body.Send(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&body));
  }
}

UINT CGxLayer::HitTest(int x, int y) {
  for (CGxDialog* band : {&Header, &Body, &Footer})
    if (band->IsVisible(false))
      if (const UINT hit = band->HitTest(x, y, false)) return hit;
  return 0;
}

CGxWindow* CGxLayer::FindById(int id) {
  for (CGxDialog* band : {&Header, &Body, &Footer})
    if (CGxWindow* found = band->FindChildByCmdID(id)) return found;
  return nullptr;
}
