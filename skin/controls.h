// The controls: the leaves of the window tree (text, link, button, images, image buttons,
// progress bar, line, check box, radio button, icon, real-window placeholder, memory image) and
// the tab control with its pages. Each adds its attributes, natural size and drawing.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <string>
#include <vector>

#include "base/handles.h"
#include "skin/gx_container.h"

class CGxLink : public CGxWindow {
 public:
  const char* GetObjectClass() const override { return "link"; }
};

class CGxButton : public CGxWindow {
 public:
  const char* GetObjectClass() const override { return "button"; }
  bool NeedRedrawWhenStateChange() override { return true; }
};

class CGxImageWnd : public CGxWindow {
 public:
  const char* GetObjectClass() const override { return "img"; }
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  SIZE NaturalSize(SIZE offered) override;
  bool ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // The sub-image index the skin is drawn with.
  virtual int SubImage() const { return Sub; }

  int Sub = -1;
  std::string SkinName;
};

class CGxImageBtnWnd : public CGxImageWnd {
 public:
  const char* GetObjectClass() const override { return "imgbtn"; }
  bool NeedRedrawWhenStateChange() override { return true; }
  // 3 disabled, else 2 pushed, else 1 hovered, else 0.
  int SubImage() const override;
};

class CGxProgress : public CGxWindow {
 public:
  const char* GetObjectClass() const override { return "progress"; }
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  SIZE NaturalSize(SIZE offered) override;
  bool ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // The share of the range reached: value clamped into [min, max] (swapped when max < min).
  double Ratio() const;
  // One marquee step (one paint) within the inner span [left, right]: after a restart the block
  // starts empty at the left edge and grows by 10 each paint up to 30 pixels, then moves by 10;
  // at the right edge only its left edge moves on, and once that reaches the right edge the
  // next paint restarts.
  static void StepMarquee(RECT& block, bool& restart, int left, int right);

  int Min = 0, Max = 0, Value = 0, ShowPercent = 0, Marquee = 0;
  bool MarqueeRestart = true;
  RECT MarqueeBlock{};
  std::string BackgroundSkin, PositionSkin;
};

class CGxLine : public CGxWindow {
 public:
  const char* GetObjectClass() const override { return "hr"; }
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  bool ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  int PenStyle = PS_SOLID;
  int PenWidth = 1;
};

// The visual-styles theme of the standard button class, opened at the first paint (when the
// system has visual styles) and closed with its owner.
class GxButtonTheme {
 public:
  GxButtonTheme() = default;
  ~GxButtonTheme();
  GxButtonTheme(const GxButtonTheme&) = delete;
  GxButtonTheme& operator=(const GxButtonTheme&) = delete;
  HANDLE Get(HWND window);
  // Draws part `part` in `state`; false without a theme.
  bool Draw(HWND window, HDC dc, int part, int state, const RECT& rect);

 private:
  HANDLE Theme = nullptr;
  bool Tried = false;
};

// Check box (13-pixel box, text 17 pixels right) and radio button (12x12 mark, text 14 right).
class CGxCheckBox : public CGxWindow {
 public:
  ~CGxCheckBox() override;
  const char* GetObjectClass() const override { return "check"; }
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  SIZE NaturalSize(SIZE offered) override;
  bool NeedRedrawWhenStateChange() override { return true; }
  bool ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // The theme state of the button part: 1-4 unchecked, 5-8 checked (normal, hover, pushed,
  // disabled; disabled wins over pushed, pushed over hover).
  int ThemeState() const;
  // The frame-control flags when no theme opens.
  UINT FrameFlags() const;
  // Draws the box or mark at the left, with the theme when there is one.
  void DrawMark(HDC dc);

  int Check = 0;
  GxButtonTheme Theme;

 protected:
  virtual bool Radio() const { return false; }
  virtual void Clicked();
};

class CGxRadioBox : public CGxCheckBox {
 public:
  ~CGxRadioBox() override;
  const char* GetObjectClass() const override { return "radio"; }
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  bool Load(const tinyxml2::XMLElement& element) override;

  std::string Group;

 protected:
  bool Radio() const override { return true; }
  void Clicked() override;
};

class CGxIconWnd : public CGxWindow {
 public:
  const char* GetObjectClass() const override { return "icon"; }
  bool Load(const tinyxml2::XMLElement& element) override;
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  SIZE NaturalSize(SIZE) override { return SIZE{Size, Size}; }
  bool ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void LoadIconImage();

  // What is drawn: the system's shared icon, or Owned, the program's own loaded at size. Which
  // one follows what was loaded, not the "oem" flag, which may change after.
  HICON Icon = nullptr;
  sys::UniqueIcon Owned;
  int Src = -1, LoadedSrc = -1, Size = 16, Oem = 0;
  HICON External = nullptr;
};

class CGxMemoryImage : public CGxWindow {
 public:
  const char* GetObjectClass() const override { return "memimage"; }
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  bool ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  Gdiplus::Image* Image = nullptr;  // the caller's
};

// A placeholder for a real child window of the host (its control id is `id`).
class CGxRealWnd : public CGxWindow {
 public:
  const char* GetObjectClass() const override { return "realwnd"; }
  bool NeedRedrawWhenStateChange() override { return false; }
  bool ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  HWND RealWindow() const { return Host ? GetDlgItem(Host, Id) : nullptr; }
  // Shown only while it and every ancestor are visible.
  void UpdateRealWindows() override;
};

// A "dlg" that answers hit tests for its whole group of children.
class CGxDialogButton : public CGxDialog {
 public:
  const char* GetObjectClass() const override { return "dlgbtn"; }
  bool Load(const tinyxml2::XMLElement& element) override;
};

// A page of a tab control: a "dlg" with a title; hidden tabs get no head.
class CGxTab : public CGxDialog {
 public:
  const char* GetObjectClass() const override { return "tab"; }
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;

  std::wstring Title;
  int Hide = 0;
};

// Tab heads in a row above the pages ("top") or a column left of them ("left"), and the
// selected page below or beside them.
class CGxTabCtrl : public CGxContainerWnd {
 public:
  ~CGxTabCtrl() override;
  const char* GetObjectClass() const override { return "tabctrl"; }
  bool Load(const tinyxml2::XMLElement& element) override;
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  void SetContainer(HWND host) override;
  UINT HitTest(int x, int y, bool hover) override;
  bool RedrawRegion(HDC dc, HRGN update) override;
  bool ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  CGxWindow* FindChildByCmdID(int id) override;
  void RepositionChildren() override;
  void UpdateRealWindows() override;

  // The page area, and the head of page `index` (empty for a hidden page).
  RECT PageArea() const;
  RECT HeadRect(int index) const;
  int HeadAt(int x, int y) const;
  // Selects a page (asking the host first, which may cancel); false outside the pages.
  bool Select(int index);

  std::vector<std::unique_ptr<CGxTab>> Pages;
  int Selected = 0, Hover = -1;
  int TabWidth = 0, TabHeight = 0, TabPos = 0, TabSpacing = 0, FramePos = 0;
  int IconX = 0, IconY = 0, TextX = 0, TextY = 0;
  std::string TabSkin, IconSkin, SplitterSkin, FrameSkin;
  COLORREF TabText = kNoColor;
  unsigned SelectedFont = 0;
  int Align = 0;  // 0 top, 1 left

 private:
  SIZE HeadSize() const;
};
