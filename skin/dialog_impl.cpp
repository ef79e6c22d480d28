#include "skin/dialog_impl.h"

#include <algorithm>
#include <string>

#include "base/handles.h"
#include "skin/position.h"
#include "skin/resource_source.h"
#include "sys/system_info.h"

namespace {

const UINT kWmDpiChanged = 0x02E0;  // WM_DPICHANGED (Windows 8.1 and later)

const wchar_t kDialogClass[] = L"GxDialogWindow";

// The thread's current main dialog window.
thread_local HWND g_MainDialog = nullptr;

}  // namespace

CGxDialogImpl::~CGxDialogImpl() {
  if (Hwnd) {
    SetWindowLongPtrW(Hwnd, GWLP_USERDATA, 0);
    DestroyWindow(Hwnd);
  }
}

bool CGxDialogImpl::LoadLayer(int id) {
  const LayoutDpiScope dpi(ZFunction::ScreenDpi());  // (the view takes it)
  std::string xml;
  LayerLoaded = GxResourceSource::Instance().Read(id, L"xml", &xml) && Host.LoadLayer(xml);
  return LayerLoaded;
}

void CGxDialogImpl::EndDialog(int code) {
  EndCode = code;
  Ended = true;
  PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

bool CGxDialogImpl::CreateDialogWindow(HWND owner, const RECT* rect) {
  if (!LayerLoaded && !LoadLayer(LayerId)) return false;
  const LayoutDpiScope dpi(Host.Dpi);
  CGxLayer& layer = Host.Layer();
  RECT r = rect ? *rect : RECT{0, 0, 0, 0};
  r.right = std::max<LONG>(r.right, r.left + LayoutPixels(layer.MinWidth));
  r.bottom = std::max<LONG>(r.bottom, r.top + LayoutPixels(layer.MinHeight));
  WNDCLASSW wc{};
  wc.lpfnWndProc = &CGxDialogImpl::Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kDialogClass;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  RegisterClassW(&wc);
  Hwnd = CreateWindowExW(layer.ExStyle, kDialogClass, layer.Title.empty() ? nullptr : layer.Title.c_str(), layer.Style,
                         r.left, r.top, r.right - r.left, r.bottom - r.top, owner, nullptr, wc.hInstance, this);
  if (!Hwnd) return false;
  RECT client;
  GetClientRect(Hwnd, &client);
  if (!Host.Create(Hwnd, client)) return false;
  SendMessageW(Hwnd, WM_INITDIALOG, 0, 0);
  for (CGxDialog* band : {&layer.Header, &layer.Body, &layer.Footer})
    if (band->IsVisible(false)) band->UpdateRealWindows();
  if (layer.Width > 0 && layer.Height > 0) {  // the client area gets exactly the layer's size
    RECT window;
    GetWindowRect(Hwnd, &window);
    GetClientRect(Hwnd, &client);
    SetWindowPos(Hwnd, nullptr, 0, 0, LayoutPixels(layer.Width) + (window.right - window.left) - client.right,
                 LayoutPixels(layer.Height) + (window.bottom - window.top) - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW);
  }
  return true;
}

void CGxDialogImpl::CenterOver(HWND owner) {
  RECT area, window;
  if (!owner || !GetWindowRect(owner, &area)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  GetWindowRect(Hwnd, &window);
  const int w = window.right - window.left, h = window.bottom - window.top;
  SetWindowPos(Hwnd, nullptr, area.left + (area.right - area.left - w) / 2, area.top + (area.bottom - area.top - h) / 2, 0,
               0, SWP_NOSIZE | SWP_NOZORDER);
}

int CGxDialogImpl::DoModal(HWND owner, const RECT* rect) {
  if (!owner) owner = g_MainDialog ? g_MainDialog : GetActiveWindow();
  const bool disableOwner = owner && owner != GetDesktopWindow() && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);
  Ended = false;
  EndCode = 0;
  if (!CreateDialogWindow(owner, rect)) {
    if (disableOwner) EnableWindow(owner, TRUE);
    if (Hwnd) DestroyWindow(Hwnd);
    Hwnd = nullptr;
    return 0;
  }
  if (!rect) CenterOver(owner);
  const HWND previousMain = g_MainDialog;
  g_MainDialog = Hwnd;
  SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
  ShowWindow(Hwnd, SW_SHOW);
  const HWND foreground = GetForegroundWindow();
  const DWORD foregroundThread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
  const bool attach = foregroundThread && foregroundThread != GetCurrentThreadId() &&
                      AttachThreadInput(GetCurrentThreadId(), foregroundThread, TRUE);
  SetForegroundWindow(Hwnd);
  if (attach) AttachThreadInput(GetCurrentThreadId(), foregroundThread, FALSE);

  MSG msg;
  while (!Ended && IsWindow(Hwnd)) {
    if (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) break;
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
    if (((msg.message >= 0x100 && msg.message <= 0x109) || (msg.message >= 0x200 && msg.message <= 0x20D))) {
      HWND focus = GetFocus();
      if (focus && focus != Host.Window() && IsChild(Host.Window(), focus) &&
          SendMessageW(focus, 0x37F, 0, reinterpret_cast<LPARAM>(&msg)) == 1)
        continue;
      // Tab in a real child window moves on to the skinned controls too (the system's dialog
      // navigation knows only real windows).
      if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && focus && IsChild(Host.Window(), focus) &&
          !(SendMessageW(focus, WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(&msg)) & DLGC_WANTTAB)) {
        Host.MoveFocus(GetKeyState(VK_SHIFT) & 0x8000 ? -1 : 1);
        continue;
      }
      if (IsDialogMessageW(Host.Window(), &msg)) continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  const bool wasActive = GetActiveWindow() == Hwnd;
  SetWindowPos(Hwnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (disableOwner) EnableWindow(owner, TRUE);
  if (wasActive && owner) SetActiveWindow(owner);
  g_MainDialog = previousMain;
  SetWindowLongPtrW(Hwnd, GWLP_USERDATA, 0);
  DestroyWindow(Hwnd);
  Hwnd = nullptr;
  return EndCode;
}

LRESULT CALLBACK CGxDialogImpl::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<CGxDialogImpl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->Hwnd = hwnd;
  }
  auto* self = reinterpret_cast<CGxDialogImpl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  const LayoutDpiScope dpi(self->Host.Dpi);
  return self->Handle(message, wParam, lParam);
}

LRESULT CGxDialogImpl::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  CGxLayer& layer = Host.Layer();
  const bool fixedSize = layer.KeepSize && layer.Width > 0 && layer.Height > 0;
  LRESULT taken = 0;
  if (message != WM_NCCREATE && OnMessage(message, wParam, lParam, &taken)) return taken;
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_NCACTIVATE:
    case WM_ERASEBKGND:
      return TRUE;
    case WM_NCCALCSIZE:
      return 0;  // no frame: the client area is the whole window
    case WM_WINDOWPOSCHANGING:
      if (fixedSize) {
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        pos->cx = LayoutPixels(layer.Width);
        pos->cy = LayoutPixels(layer.Height);
      }
      break;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      if (layer.MinWidth) info->ptMinTrackSize.x = LayoutPixels(layer.MinWidth);
      if (layer.MinHeight) info->ptMinTrackSize.y = LayoutPixels(layer.MinHeight);
      if (layer.Resizable) {  // maximised: the work area of the window's monitor, no more
        MONITORINFO monitor{sizeof(monitor)};
        if (GetMonitorInfoW(MonitorFromWindow(Hwnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
          const RECT& work = monitor.rcWork;
          info->ptMaxSize = POINT{work.right - work.left, work.bottom - work.top};
          info->ptMaxPosition = POINT{work.left - monitor.rcMonitor.left, work.top - monitor.rcMonitor.top};
        }
      } else if (layer.Width > 0 && layer.Height > 0) {
        info->ptMaxSize = info->ptMaxTrackSize = POINT{LayoutPixels(layer.Width), LayoutPixels(layer.Height)};
        info->ptMaxPosition = POINT{0, 0};
      }
      return 0;
    }
    case kWmDpiChanged: {  // moved to a screen of another DPI: everything again at its scale
      Host.Dpi = HIWORD(wParam);
      SetLayoutDpi(Host.Dpi);
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      if (suggested)
        SetWindowPos(Hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      RECT client;
      GetClientRect(Hwnd, &client);  // (laid out again even when the size stayed)
      SendMessageW(Host.Window(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
      OnDpiChanged();
      return 0;
    }
    case WM_SIZE:
      if (wParam == SIZE_MAXIMIZED && !layer.Resizable) {  // no maximising a fixed dialog: centred instead
        SetWindowLongPtrW(Hwnd, GWL_STYLE, GetWindowLongPtrW(Hwnd, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_MAXIMIZE));
        CenterOver(GetWindow(Hwnd, GW_OWNER));
        return 0;
      }
      if (wParam != SIZE_MINIMIZED) {
        const int w = LOWORD(lParam), h = HIWORD(lParam);
        if (Host.Window()) MoveWindow(Host.Window(), 0, 0, w, h, TRUE);
        if (RoundCorners) {  // the window without its four corner pixels (n x n on a scaled screen)
          sys::UniqueRegion region(CreateRectRgn(0, 0, w, h));
          const int n = LinePixels();
          const POINT corners[] = {{0, 0}, {w - n, 0}, {0, h - n}, {w - n, h - n}};
          for (const POINT& p : corners) {
            const sys::UniqueRegion pixel(CreateRectRgn(p.x, p.y, p.x + n, p.y + n));
            CombineRgn(region.Get(), region.Get(), pixel.Get(), RGN_DIFF);
          }
          if (SetWindowRgn(Hwnd, region.Get(), TRUE)) region.Detach();  // the window owns it now
        }
      }
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_TAB) {  // the keyboard's way into the controls
        Host.MoveFocus(GetKeyState(VK_SHIFT) & 0x8000 ? -1 : 1);
        return 0;
      }
      if (IsWindowEnabled(Hwnd) && !(GetKeyState(VK_CONTROL) & 0x8000)) {
        if (wParam == VK_RETURN) SendMessageW(Hwnd, WM_COMMAND, IDOK, 0);
        else if (wParam == VK_ESCAPE) SendMessageW(Hwnd, WM_COMMAND, IDCANCEL, 0);
      }
      break;
    case WM_MOUSEWHEEL: {  // a page up or down for the window under the cursor
      const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (HWND under = WindowFromPoint(at)) {
        const WORD page = GET_WHEEL_DELTA_WPARAM(wParam) < 0 ? SB_PAGEDOWN : SB_PAGEUP;
        SendMessageW(under, WM_VSCROLL, MAKEWPARAM(page, GetScrollPos(under, SB_VERT)), 0);
      }
      return 0;
    }
    case WM_CLOSE:
      SendMessageW(Hwnd, WM_COMMAND, IDCANCEL, 0);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        GxNotify note;
        note.ItemId = LOWORD(wParam);
        note.ItemClass = "";
        SendGxNotify(Hwnd, Host.Window(), kNotifyClick, note);
        return 0;
      }
      break;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->idFrom == kGxViewId) OnNotify(*reinterpret_cast<const GxNotify*>(lParam));
      return 0;
    }
    case WM_SETFOCUS:
      return 0;
    case WM_ACTIVATE:
      // The keyboard focus leaves with the window (a nested dialog, another window) and comes
      // back where it was: the view with its focus mark, or a real control such as the path box.
      // Never the dialog window itself, where Enter would press the default button.
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus && Host.Window() && (focus == Host.Window() || IsChild(Host.Window(), focus))) FocusBefore = focus;
      } else if (!HIWORD(wParam)) {  // not while minimised
        const HWND back = FocusBefore && IsWindow(FocusBefore) && IsWindowVisible(FocusBefore) &&
                                  IsWindowEnabled(FocusBefore)
                              ? FocusBefore
                              : Host.Window();
        if (back) SetFocus(back);
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcW(Hwnd, message, wParam, lParam);
}
