// The host view in a real window, driven by mouse messages: hover, push and click reach the
// parent as notifications, a release elsewhere is no click, the header background starts a
// move, and the item operations find controls by id.
#include "skin/dialog_view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/handles.h"
#include "skin/gx_notify.h"
#include "skin/skin_pool.h"

namespace {

std::vector<std::string> g_Events;

LRESULT CALLBACK Recorder(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_NOTIFY) {
    const auto* note = reinterpret_cast<const GxNotify*>(l);
    std::string event = std::to_string(note->Header.code) + ":" + std::to_string(note->ItemId);
    if (note->Header.code == kNotifyClick) event += std::string(":") + note->ItemClass;
    g_Events.push_back(event);
    return 0;
  }
  if (m == WM_SYSCOMMAND && w == 0xF012) {
    g_Events.push_back("move");
    return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

TEST(DialogView, HoverPushClickAndMove) {
  GxStylePool::Instance().Clear();
  GxStylePool::Instance().Add(std::string());
  WNDCLASSW wc{};
  wc.lpfnWndProc = Recorder;
  wc.lpszClassName = L"LumenTestDialog";
  RegisterClassW(&wc);
  HWND dialog = CreateWindowW(wc.lpszClassName, L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  CGxDialogView view;
  ASSERT_TRUE(view.LoadLayer("<layer><header height=\"30\"><text pos=\"0,0\">title</text>"
                             "<imgbtn id=\"100\" pos=\"-30,3,-6,27\"/></header>"
                             "<body><button id=\"5\" pos=\"10,10,90,40\">OK</button>"
                             "<text id=\"6\" pos=\"10,60,90,80\">plain</text></body></layer>"));
  ASSERT_TRUE(view.Create(dialog, RECT{0, 0, 300, 200}));  // loaded first, as a dialog does
  HWND v = view.Window();
  auto send = [&](UINT m, int x, int y) { SendMessageW(v, m, 0, MAKELPARAM(x, y)); };
  CGxWindow* button = view.FindItem(5);
  ASSERT_NE(button, nullptr);

  send(WM_MOUSEMOVE, 20, 50);
  EXPECT_TRUE(button->State & kWndHover);
  {  // a repaint of one control before the first paint: the first paint still draws everything
    view.Repaint(button->Rect);
    const sys::WindowDc screen(nullptr);
    const sys::UniqueDc dc(CreateCompatibleDC(screen.Get()));
    const sys::UniqueBitmap bits(CreateCompatibleBitmap(screen.Get(), 300, 200));
    const HGDIOBJ old = SelectObject(dc.Get(), bits.Get());
    SendMessageW(v, WM_PRINT, reinterpret_cast<WPARAM>(dc.Get()), 0);
    const COLORREF border = GetPixel(dc.Get(), 1, 150);
    EXPECT_NE(border, RGB(0, 0, 0)) << "the soft border, far from the button";
    view.Repaint(button->Rect);
    SendMessageW(v, WM_PRINT, reinterpret_cast<WPARAM>(dc.Get()), 0);
    EXPECT_EQ(GetPixel(dc.Get(), 1, 150), border) << "blended once, not again by a paint of the button";
    SelectObject(dc.Get(), old);
  }
  send(WM_LBUTTONDOWN, 20, 50);
  EXPECT_TRUE(button->State & kWndPushed);
  send(WM_LBUTTONUP, 20, 50);
  EXPECT_FALSE(button->State & kWndPushed);
  EXPECT_EQ(g_Events, (std::vector<std::string>{"3:5", "7:5", "1:5:button"}));

  // Pressed on the button and released outside: no click.
  g_Events.clear();
  send(WM_LBUTTONDOWN, 20, 50);
  send(WM_MOUSEMOVE, 200, 150);
  send(WM_LBUTTONUP, 200, 150);
  EXPECT_EQ(g_Events, (std::vector<std::string>{"7:5", "3:0", "4:5"}));

  // The header's background moves the dialog; its image button does not.
  g_Events.clear();
  send(WM_LBUTTONDOWN, 150, 10);
  send(WM_LBUTTONDOWN, 280, 10);
  send(WM_LBUTTONUP, 280, 10);
  EXPECT_EQ(g_Events, (std::vector<std::string>{"move", "7:100", "1:100:imgbtn"}));

  EXPECT_TRUE(view.SetItemText(6, L"changed"));
  EXPECT_EQ(view.FindItem(6)->Text, L"changed");
  EXPECT_TRUE(view.SetItemVisible(6, false));
  EXPECT_FALSE(view.FindItem(6)->IsVisible());
  EXPECT_FALSE(view.SetItemText(77, L"x"));
  EXPECT_FALSE(view.SetRichText(6, L"not rich"));

  // A real child's own messages come back to it reflected (0x2000 added); its WM_COMMAND goes on
  // to the dialog.
  HWND edit = CreateWindowW(L"EDIT", L"", WS_CHILD, 0, 0, 50, 20, v, nullptr, nullptr, nullptr);
  static UINT s_Reflected = 0;
  static WNDPROC s_EditProc = nullptr;
  s_EditProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(
      +[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m >= 0x2000) s_Reflected = m;
        return CallWindowProcW(s_EditProc, h, m, w, l);
      })));
  SendMessageW(v, WM_CTLCOLOREDIT, 0, reinterpret_cast<LPARAM>(edit));
  EXPECT_EQ(s_Reflected, 0x2000u + WM_CTLCOLOREDIT);
  DestroyWindow(dialog);
  g_Events.clear();
}

}  // namespace
