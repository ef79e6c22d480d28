// The window tree of a skinned dialog: windowless controls with handles from one registry,
// the attribute grammar every control shares, the layout messages, hit testing and painting.
// Controls talk to each other only through ProcessWindowMessage with Win32 message numbers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "skin/gx_object.h"
#include "skin/position.h"

class CGxWindow;
class GxStyle;

// State bits of a window.
inline constexpr UINT kWndHover = 0x01, kWndPushed = 0x02, kWndChecked = 0x04, kWndInvisible = 0x08,
                      kWndDisabled = 0x10;
// Layout flags: width fixed / automatic / full, height fixed / automatic / full, flow, floating.
inline constexpr UINT kWidthFixed = 0x01, kWidthAuto = 0x02, kWidthFull = 0x04, kHeightFixed = 0x10,
                      kHeightAuto = 0x20, kHeightFull = 0x40, kInFlow = 0x100, kFloating = 0x200;

// The one lock of the library: a process-wide map from handle to window. Handles count up from
// 1 and are never given out again.
namespace GxWindowRegistry {
UINT Register(CGxWindow* window);
void Unregister(UINT handle);
CGxWindow* Find(UINT handle);
// Radio groups, kept under the same lock: members by group name.
void JoinGroup(const std::string& group, UINT handle);
void LeaveGroup(const std::string& group, UINT handle);
std::vector<UINT> GroupMembers(const std::string& group);
}  // namespace GxWindowRegistry

// Measures text for the layout; tests replace it with fixed-width glyphs.
class GxTextMeasurer {
 public:
  virtual ~GxTextMeasurer() = default;
  // The size DrawTextW with DT_CALCRECT gives for `text` in `font` with `format`, within `width`
  // (used when the format wraps words).
  virtual SIZE Measure(const std::wstring& text, HFONT font, UINT format, int width) = 0;
};
// The measurer in use (the GDI one unless a test set another); null restores the GDI one.
GxTextMeasurer& TextMeasurer();
void SetTextMeasurer(GxTextMeasurer* measurer);


// The string table behind "%str<n>%" references; the installer fills none.
namespace GxString {
const wchar_t* Get(int id);
}  // namespace GxString

// Replaces "%str" n "%" references (n >= 1) left to right; stops at the first one that does not
// have that form.
std::wstring ExpandStringReferences(std::wstring text);

// Optional observer of a window's painting: before (false ends the painting) and after.
class GxDrawObserver {
 public:
  virtual ~GxDrawObserver() = default;
  virtual bool OnDraw(CGxWindow& window, HDC dc, const RECT& rect, bool before) = 0;
};

class CGxWindow : public CGxObject {
 public:
  CGxWindow();
  ~CGxWindow() override;
  CGxWindow(const CGxWindow&) = delete;
  CGxWindow& operator=(const CGxWindow&) = delete;

  bool Load(const tinyxml2::XMLElement& element) override;
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  virtual void OnSetCursor();
  virtual void SetContainer(HWND host) { Host = host; }
  virtual UINT HitTest(int x, int y, bool hover);
  virtual bool NeedRedrawWhenStateChange();
  virtual bool IsContainer() const { return false; }
  virtual bool RedrawRegion(HDC dc, HRGN update);
  // Shows or hides the real child windows at or below this window as they are visible now.
  virtual void UpdateRealWindows() {}
  // A child's position changed at run time; containers place it again.
  virtual void ChildPositionChanged(CGxWindow*) {}
  virtual LRESULT Hook1() { return 0; }
  virtual LRESULT Hook2() { return 0; }
  // The message map; true when the window took the message.
  virtual bool ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // Sends message m: clears the handled flag and calls the message map.
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  // The parent window, or null for a band.
  CGxWindow* Parent() const { return GxWindowRegistry::Find(ParentHandle); }
  const GxStyle& Style() const;
  // Visible (or enabled) itself and, when asked, every ancestor too.
  bool IsVisible(bool withAncestors = true) const;
  bool IsEnabled(bool withAncestors = true) const;
  // The font to measure and draw with: own, style's, nearest ancestor's, the base font; the
  // hover font while hovered.
  HFONT DrawFont() const;
  // The text, and its natural size within `offered` (text measured plus twice the margins).
  void SetText(const std::wstring& text);
  virtual SIZE NaturalSize(SIZE offered);
  // Places the window at (left, top) within an offered size (WM_WINDOWPOSCHANGED).
  void Place(int left, int top, int width, int height);

  UINT Handle;
  UINT ParentHandle = 0;
  HWND Host = nullptr;
  int Id = 0;
  RECT Rect{};
  UINT LayoutFlags = 0;
  std::wstring Text;
  int FixedWidth = 0, FixedHeight = 0;
  UINT State = 0;
  UINT VAlign = 0;  // 0 top, 0x1000 middle, 0x2000 bottom
  UINT HAlign = 0;  // 0 left, 0x4000 center, 0x8000 right
  std::wstring Link;
  int Transparent = 0;
  std::wstring Tip;
  std::string ClassName;
  COLORREF Background = kNoColor;
  COLORREF TextColor = kNoColor;
  unsigned FontKey = 0;  // the font attribute, when OwnFont
  bool OwnFont = false;
  UINT FormatOverride = 0;
  Position Pos;
  GxDrawObserver* Observer = nullptr;
  bool Handled = false;
  UINT NotifyFlags = 0;
};

// Creates a window for a layer tag ("dlg", "text", ...); null for tags that create nothing.
// (Defined with all the controls in window_factory.cpp.)
CGxWindow* CreateGxWindow(const char* tag);
