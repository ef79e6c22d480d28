// The message box run modally from its real layer: the button sets, icons and the position
// rule checked on the live window's items, and each way out returning its result.
#include "dialogs/msgbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string.h>
#include <string>
#include <vector>

#include "skin/position.h"
#include "skin/resource_source.h"
#include "skin/skin_pool.h"

namespace {

std::function<void(Zmsgbox&)> g_Act;
Zmsgbox* g_Box = nullptr;

// Runs the box modally; once its window is up, `act` inspects and drives it.
int RunBox(const std::wstring& message, int buttons, int icon, std::function<void(Zmsgbox&)> act) {
  std::wstring layers = L"Z:" + std::wstring(LUMEN_TEST_SOURCE_DIR, LUMEN_TEST_SOURCE_DIR + strlen(LUMEN_TEST_SOURCE_DIR)) +
                        L"/res/layers";
  std::replace(layers.begin(), layers.end(), L'/', L'\\');
  GxResourceSource::Instance().SetFolder(layers);
  Zmsgbox box(message, L"Lumen Office", buttons, icon);
  g_Box = &box;
  g_Act = std::move(act);
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR id, DWORD) {
    if (!g_Box || !g_Box->Window() || !IsWindowVisible(g_Box->Window())) return;
    KillTimer(nullptr, id);
    g_Act(*g_Box);
  });
  const int result = box.DoModal();
  KillTimer(nullptr, timer);
  g_Box = nullptr;
  GxResourceSource::Instance().SetFolder(L"");
  return result;
}

void Click(Zmsgbox& box, int id) {
  CGxWindow* item = box.View().FindItem(id);
  ASSERT_NE(item, nullptr);
  const LPARAM at = MAKELPARAM((item->Rect.left + item->Rect.right) / 2, (item->Rect.top + item->Rect.bottom) / 2);
  SendMessageW(box.View().Window(), WM_MOUSEMOVE, 0, at);
  SendMessageW(box.View().Window(), WM_LBUTTONDOWN, 0, at);
  SendMessageW(box.View().Window(), WM_LBUTTONUP, 0, at);
}

TEST(SkinnedMessageBox, PositionRule) {
  EXPECT_EQ(Zmsgbox::MessagePosition(10), "146,44,-25,80");
  EXPECT_EQ(Zmsgbox::IconPosition(10), "100,35");
  EXPECT_EQ(Zmsgbox::MessagePosition(22), "74,44,-25,80");
  EXPECT_EQ(Zmsgbox::MessagePosition(30), "74,34,-25,80");
}

TEST(SkinnedMessageBox, ButtonSetsIconsAndResults) {
  GxStylePool::Instance().Clear();
  GxStylePool::Instance().Add(std::string());
  // Set 3 with the error icon: its labels, the short message's place; the first button is 1.
  EXPECT_EQ(RunBox(L"0123456789", 3, 2, [](Zmsgbox& box) {
              CGxDialogView& view = box.View();
              EXPECT_EQ(view.FindItem(101)->Text, L"覆盖安装");
              EXPECT_EQ(view.FindItem(102)->Text, L"退出安装");
              EXPECT_TRUE(view.FindItem(106)->IsVisible());
              EXPECT_FALSE(view.FindItem(107)->IsVisible());
              EXPECT_TRUE(view.FindItem(111)->IsVisible());
              EXPECT_FALSE(view.FindItem(109)->IsVisible());
              EXPECT_EQ(view.FindItem(105)->Pos.Items[0].Value, 146);
              EXPECT_EQ(view.FindItem(111)->Pos.Items[0].Value, 100);
              EXPECT_EQ(view.FindItem(108)->Text, L"Lumen Office");
              Click(box, 101);
            }),
            1);
  // Set 0: OK alone; Escape, the close box and the second button end with 2, Enter with 1.
  EXPECT_EQ(RunBox(L"a message of thirty characters", 0, 0, [](Zmsgbox& box) {
              EXPECT_TRUE(box.View().FindItem(107)->IsVisible());
              EXPECT_EQ(box.View().FindItem(105)->Pos.Items[1].Value, 34) << "long messages move up";
              SendMessageW(box.Window(), WM_KEYDOWN, VK_ESCAPE, 0);
            }),
            2);
  EXPECT_EQ(RunBox(L"x", 1, 1, [](Zmsgbox& box) {
              box.View().SetItemAttribute(100, "pos", "-30,3,-6,27");  // its size without the skin's image
              Click(box, 100);
            }),
            2);
  EXPECT_EQ(RunBox(L"twenty-two characters.", 2, 0, [](Zmsgbox& box) {
              EXPECT_EQ(box.View().FindItem(101)->Text, L"是");
              EXPECT_EQ(box.View().FindItem(105)->Rect.left, 74) << "22 characters: the layer's own place";
              EXPECT_EQ(box.View().FindItem(109)->Rect.left, 28);
              Click(box, 102);
            }),
            2);
  EXPECT_EQ(RunBox(L"x", 1, 0, [](Zmsgbox& box) { SendMessageW(box.Window(), WM_KEYDOWN, VK_RETURN, 0); }), 1);
  EXPECT_EQ(RunBox(L"x", 1, 0, [](Zmsgbox& box) { SendMessageW(box.Window(), WM_CLOSE, 0, 0); }), 2);
}

// Moved to a 192-DPI screen (WM_DPICHANGED): the box, its controls and their places double,
// and its buttons still answer; another box opened over it on a 96-DPI screen and closed again
// leaves it at 192.
TEST(SkinnedMessageBox, FollowsAMoveToAScreenOfAnotherDpi) {
  GxStylePool::Instance().Clear();
  GxStylePool::Instance().Add(std::string());
  EXPECT_EQ(RunBox(L"x", 1, 0, [](Zmsgbox& box) {
              RECT window, ok = box.View().FindItem(101)->Rect;
              GetWindowRect(box.Window(), &window);
              RECT suggested{window.left, window.top, window.left + 2 * (window.right - window.left),
                             window.top + 2 * (window.bottom - window.top)};
              SendMessageW(box.Window(), 0x02E0, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
              RECT now, ok2 = box.View().FindItem(101)->Rect;
              GetWindowRect(box.Window(), &now);
              EXPECT_EQ(now.right - now.left, 2 * (window.right - window.left));
              EXPECT_EQ(std::vector<LONG>({ok2.left, ok2.top, ok2.right, ok2.bottom}),
                        std::vector<LONG>({2 * ok.left, 2 * ok.top, 2 * ok.right, 2 * ok.bottom}));

              static Zmsgbox* s_Inner = nullptr;
              Zmsgbox inner(L"y", L"Lumen Office", 0, 0);
              s_Inner = &inner;
              const UINT_PTR close = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR id, DWORD) {
                if (!s_Inner->Window() || !IsWindowVisible(s_Inner->Window())) return;
                KillTimer(nullptr, id);
                SendMessageW(s_Inner->Window(), WM_CLOSE, 0, 0);
              });
              inner.DoModal(box.Window());
              KillTimer(nullptr, close);
              RECT client;
              GetClientRect(box.View().Window(), &client);
              SendMessageW(box.View().Window(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
              const RECT ok3 = box.View().FindItem(101)->Rect;
              EXPECT_EQ(ok3.right - ok3.left, 2 * (ok.right - ok.left)) << "laid out again at its own DPI";
              Click(box, 101);
            }),
            1);
  SetLayoutDpi(96);
}

}  // namespace
