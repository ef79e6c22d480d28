// The position grammar of the layers ("pos") and its resolution against an area: plain
// arithmetic on numbers, the heart of the layout.
#pragma once

#include <string>

struct PosItem {
  bool Centre = false;  // "|": from the middle of the span
  bool Far = false;     // "-": from the far edge (right or bottom), or left of / above the middle
  int Value = 0;        // never negative
};

struct Position {
  int Count = 0;  // 0 (none), 2 (left, top) or 4 (left, top, right, bottom)
  PosItem Items[4];
};

// Reads a pos value: items split at commas (at most four read), each "|"? "-"? number. True
// when it holds exactly 2 or 4 items (then `pos` is set); false otherwise (`pos` unchanged).
bool ParsePosition(const std::string& text, Position* pos);

// The layout's one scaling place: every pixel number of a layer (positions, sizes, margins,
// spacing, font heights) is a number at 96 DPI and passes through LayoutPixels on its way to the
// screen, scaled to the DPI of the dialogs being laid out (identity at 96).
void SetLayoutDpi(int dpi);
int LayoutDpi();
int LayoutPixels(int value);
// The layout DPI for as long as it lives, the previous one put back after: each dialog lays out
// and paints at its own DPI, also when another dialog at another DPI opened and closed meanwhile.
class LayoutDpiScope {
 public:
  explicit LayoutDpiScope(int dpi) : Previous(LayoutDpi()) { SetLayoutDpi(dpi); }
  ~LayoutDpiScope() { SetLayoutDpi(Previous); }
  LayoutDpiScope(const LayoutDpiScope&) = delete;
  LayoutDpiScope& operator=(const LayoutDpiScope&) = delete;

 private:
  int Previous;
};
// The width of a one-pixel line at the DPI in use (at least 1).
int LinePixels();

// One item against the span [low, high]: plain low + v, far high - v, centre low + S/2 + v,
// centre and far low + S/2 - v (S = high - low, S/2 rounded toward zero), v scaled to the
// layout's DPI.
int ResolveItem(const PosItem& item, int low, int high);
