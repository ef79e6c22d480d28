// A layer: the description of a whole skinned dialog (its window attributes and three bands,
// header, body and footer), loaded from layer XML, and the layout of the bands in a client
// rectangle. The host view that owns it paints it and feeds it input.
#pragma once

#include <windows.h>

#include <string>

#include "skin/gx_container.h"

class CGxLayer {
 public:
  // Empties the bands and loads the layer XML (UTF-8). False (bands empty) when it does not
  // parse or its root is not "layer".
  bool Load(const std::string& xml, HWND host = nullptr);
  // Places the bands in the client rectangle: the header on top, the footer at the bottom, the
  // body between them.
  void Layout(const RECT& client);
  // The deepest visible window under the point, the bands asked header first, then body and
  // footer: where a window too small for its bands makes them overlap, the header's buttons and
  // its drag area win, for the mouse, the keyboard's click and a screen reader alike.
  UINT HitTest(int x, int y);
  CGxWindow* FindById(int id);

  std::wstring Title;
  // Layer numbers (96 DPI); the window's pixels are LayoutPixels of them.
  int Width = 0, Height = 0, MinWidth = 0, MinHeight = 0;
  DWORD Style = 0x80090000, ExStyle = 0x10000;
  bool Resizable = false, KeepSize = false, Movable = true;
  std::string FrameSkin;
  CGxDialog Header, Body, Footer;
  bool HeaderLoaded = false, BodyLoaded = false, FooterLoaded = false;
  int HeaderHeight = 0, FooterHeight = 0;
};
