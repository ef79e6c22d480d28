// The host view in a real window, driven by mouse messages: hover, push and click reach the
// parent as notifications, a release elsewhere is no click, the header background starts a
// move, and the item operations find controls by id.
#include "skin/dialog_view.h"

#include <oleacc.h>

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

  // A window too small for its header and footer: where they overlap, the header's button is
  // what the mouse, the layer and a reader find, and what a click presses.
  ASSERT_TRUE(view.LoadLayer("<layer><header height=\"30\"><imgbtn id=\"100\" pos=\"0,0,-0,-0\"/></header><body/>"
                             "<footer height=\"30\"><button id=\"5\" pos=\"0,0,-0,-0\">f</button></footer></layer>"));
  MoveWindow(v, 0, 0, 300, 40, FALSE);
  const UINT header = view.FindItem(100)->Handle;
  EXPECT_EQ(std::vector<UINT>({view.ItemAt(50, 20), view.Layer().HitTest(50, 20), view.ItemAt(50, 35)}),
            std::vector<UINT>({header, header, view.FindItem(5)->Handle}));
  g_Events.clear();
  send(WM_LBUTTONDOWN, 50, 20);
  send(WM_LBUTTONUP, 50, 20);
  EXPECT_EQ(g_Events, (std::vector<std::string>{"7:100", "1:100:imgbtn"}));
  DestroyWindow(dialog);
  g_Events.clear();
}

// Controls that change by themselves (the radio of a group that another click unchecked, a
// link under the mouse, a tab head under the mouse and a new selected tab) are drawn again by the
// view: what it shows then is what a full repaint draws.
TEST(DialogView, ControlsThatChangeByThemselvesAreDrawnAgain) {
  LoadSkinsXml("<skins><button name=\"head\" bg=\"808080\" border=\"000000\" bgup=\"FFFFFF\" bgdown=\"FFFFFF\" "
               "bguphover=\"00C000\" bgdownhover=\"00C000\" bguppush=\"0000FF\" bgdownpush=\"0000FF\"/></skins>");
  LoadStylesXml("<style><class name=\"link\" crtext=\"1C56DB\" crhover=\"E81123\" font=\"0002\" hoverfont=\"0002\" "
                "textmode=\"24\"/></style>");
  WNDCLASSW wc{};
  wc.lpfnWndProc = Recorder;
  wc.lpszClassName = L"LumenTestDialog";
  RegisterClassW(&wc);
  HWND dialog = CreateWindowW(wc.lpszClassName, L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  CGxDialogView view;
  ASSERT_TRUE(view.LoadLayer(
      "<layer><body crbg=\"FFFFFF\"><radio id=\"10\" pos=\"10,10,100,30\" group=\"g\" state=\"4\">one</radio>"
      "<radio id=\"11\" pos=\"150,10,240,30\" group=\"g\">two</radio>"
      "<richtext id=\"12\" pos=\"10,40,290,70\" linkclass=\"link\">see <a id=\"5\">the licence terms</a></richtext>"
      "<tabctrl id=\"13\" pos=\"10,90,290,190\" tabwidth=\"60\" tabheight=\"22\" tabskin=\"head\" cursel=\"0\">"
      "<tab title=\"A\"><text pos=\"4,4\">first</text></tab><tab title=\"B\"><text pos=\"4,4\">second</text></tab>"
      "</tabctrl></body></layer>"));
  ASSERT_TRUE(view.Create(dialog, RECT{0, 0, 300, 200}));
  HWND v = view.Window();
  const sys::WindowDc screen(nullptr);
  const sys::UniqueDc dc(CreateCompatibleDC(screen.Get()));
  const sys::UniqueBitmap bits(CreateCompatibleBitmap(screen.Get(), 300, 200));
  const HGDIOBJ old = SelectObject(dc.Get(), bits.Get());
  auto shown = [&](const RECT& r) {
    SendMessageW(v, WM_PRINT, reinterpret_cast<WPARAM>(dc.Get()), 0);
    std::vector<COLORREF> pixels;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) pixels.push_back(GetPixel(dc.Get(), x, y));
    return pixels;
  };
  auto asRepainted = [&](const RECT& r) {
    view.Repaint(RECT{0, 0, 300, 200});
    return shown(r);
  };
  auto send = [&](UINT m, int x, int y) { SendMessageW(v, m, 0, MAKELPARAM(x, y)); };
  shown(RECT{0, 0, 1, 1});  // the first paint

  const RECT one = view.FindItem(10)->Rect;
  send(WM_LBUTTONDOWN, 160, 20);
  send(WM_LBUTTONUP, 160, 20);
  ASSERT_FALSE(view.IsItemChecked(10));
  std::vector<COLORREF> now = shown(one);
  EXPECT_TRUE(now == asRepainted(one)) << "the radio the click unchecked";

  const RECT text = view.FindItem(12)->Rect;
  send(WM_MOUSEMOVE, 60, 50);  // over the link
  now = shown(text);
  EXPECT_TRUE(now == asRepainted(text)) << "the link under the mouse";
  send(WM_MOUSEMOVE, 290, 80);  // away from it
  now = shown(text);
  EXPECT_TRUE(now == asRepainted(text)) << "the link the mouse left";

  const RECT tabs = view.FindItem(13)->Rect;
  send(WM_MOUSEMOVE, 100, 100);  // over the second head
  now = shown(tabs);
  EXPECT_TRUE(now == asRepainted(tabs)) << "the tab head under the mouse";
  send(WM_LBUTTONDOWN, 100, 100);
  send(WM_LBUTTONUP, 100, 100);
  now = shown(tabs);
  EXPECT_TRUE(now == asRepainted(tabs)) << "the newly selected tab";
  SelectObject(dc.Get(), old);
  DestroyWindow(dialog);
  g_Events.clear();
  GxSkinPool::Instance().Clear();
  GxStylePool::Instance().Clear();
}

// The view's accessible objects as a reader holding them sees them: children in order with
// their roles, names and states; a default action that changes a check box; and an error, not
// a crash, once the control or the whole view is gone.
TEST(DialogView, AccessibleObjectsOutliveNothingTheyName) {
  GxStylePool::Instance().Clear();
  GxStylePool::Instance().Add(std::string());
  WNDCLASSW wc{};
  wc.lpfnWndProc = Recorder;
  wc.lpszClassName = L"LumenTestDialog";
  RegisterClassW(&wc);  // (or it is there from the test before)
  HWND dialog = CreateWindowW(wc.lpszClassName, L"Test dialog", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  auto view = std::make_unique<CGxDialogView>();
  ASSERT_TRUE(view->LoadLayer("<layer><body><check id=\"7\" pos=\"10,10,190,30\">agree</check>"
                              "<dlg pos=\"0,40,300,100\"><imgbtn id=\"8\" tip=\"Install\" pos=\"10,10,90,40\"/></dlg>"
                              "<button id=\"9\" pos=\"10,150,90,180\">hidden</button></body></layer>"));
  ASSERT_TRUE(view->Create(dialog, RECT{0, 0, 300, 200}));
  view->SetItemVisible(9, false);
  view->SetItemChecked(7, true);
  ShowWindow(dialog, SW_SHOWNOACTIVATE);
  ASSERT_NE(CoInitialize(nullptr), RPC_E_CHANGED_MODE);
  IAccessible* root = nullptr;
  const LRESULT answer = SendMessageW(view->Window(), WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
  ASSERT_EQ(ObjectFromLresult(answer, __uuidof(IAccessible), 0, reinterpret_cast<void**>(&root)), S_OK);
  auto self = [] { VARIANT v; VariantInit(&v); v.vt = VT_I4; v.lVal = CHILDID_SELF; return v; }();
  auto child = [&](IAccessible* parent, long n) {
    VARIANT id = self;
    id.lVal = n;
    IDispatch* dispatch = nullptr;
    IAccessible* out = nullptr;
    if (parent->get_accChild(id, &dispatch) == S_OK) dispatch->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&out));
    if (dispatch) dispatch->Release();
    return out;
  };
  auto describe = [&](IAccessible* a) {
    BSTR name = nullptr;
    VARIANT role, state;
    a->get_accName(self, &name);
    a->get_accRole(self, &role);
    a->get_accState(self, &state);
    std::string out = std::to_string(role.lVal) + " ";
    for (UINT i = 0; name && i < SysStringLen(name); ++i) out += static_cast<char>(name[i]);  // (ASCII names)
    out += " " + std::to_string(state.lVal & (STATE_SYSTEM_CHECKED | STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_UNAVAILABLE));
    SysFreeString(name);
    return out;
  };
  long count = 0;
  EXPECT_EQ(root->get_accChildCount(&count), S_OK);
  ASSERT_EQ(count, 3);
  IAccessible* check = child(root, 1);
  IAccessible* panel = child(root, 2);
  IAccessible* hidden = child(root, 3);
  ASSERT_TRUE(check && panel && hidden);
  IAccessible* install = child(panel, 1);
  ASSERT_TRUE(install);
  EXPECT_EQ(describe(check), "44 agree 16");
  EXPECT_EQ(describe(panel), "20  0");
  EXPECT_EQ(describe(install), "43 Install 0");
  EXPECT_EQ(describe(hidden), "43 hidden 32768");
  long x = 0, y = 0, w = 0, h = 0;
  EXPECT_EQ(install->accLocation(&x, &y, &w, &h, self), S_OK);
  EXPECT_EQ(std::vector<long>({x, y, w, h}), std::vector<long>({10, 50, 80, 30}));

  // The default action unchecks, once the reader's call has returned.
  EXPECT_EQ(check->accDoDefaultAction(self), S_OK);
  EXPECT_TRUE(view->IsItemChecked(7));
  for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
  EXPECT_FALSE(view->IsItemChecked(7));
  EXPECT_EQ(describe(check), "44 agree 0");
  EXPECT_EQ(hidden->accDoDefaultAction(self), E_FAIL) << "an invisible control is not pressed";

  // The controls go (a new layer), then the view.
  ASSERT_TRUE(view->LoadLayer("<layer><body/></layer>"));
  BSTR name = nullptr;
  EXPECT_EQ(install->get_accName(self, &name), RPC_E_DISCONNECTED);
  EXPECT_EQ(root->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, 0);
  view.reset();
  DestroyWindow(dialog);
  EXPECT_EQ(root->get_accChildCount(&count), RPC_E_DISCONNECTED);
  EXPECT_EQ(check->accDoDefaultAction(self), RPC_E_DISCONNECTED);
  for (IAccessible* a : {root, check, panel, hidden, install}) a->Release();
  CoUninitialize();
}

}  // namespace
