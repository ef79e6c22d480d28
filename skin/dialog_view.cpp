#include "skin/dialog_view.h"

#include <algorithm>

#include <commctrl.h>
#include <shellapi.h>
#include <string.h>

#include "skin/accessible.h"
#include "skin/gx_notify.h"
#include "skin/pools.h"
#include "skin/position.h"
#include "skin/rich_text.h"
#include "skin/skin_pool.h"
#include "skin/skins.h"
#include "sys/shell_api.h"

namespace {

const wchar_t kViewClass[] = L"GxDialogView";
// A reader asked for a control's default action: pressed once the reader's call has returned.
const UINT kMsgPressLater = WM_USER + 0x1A0;

}  // namespace

CGxDialogView::~CGxDialogView() {
  if (Hwnd) {
    SetWindowLongPtrW(Hwnd, GWLP_USERDATA, 0);
    DestroyWindow(Hwnd);
  }
}

bool CGxDialogView::Create(HWND parent, const RECT& rect) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &CGxDialogView::Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kViewClass;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.style = CS_DBLCLKS;
  RegisterClassW(&wc);  // once per process; a second registration fails harmlessly
  Hwnd = CreateWindowExW(0x10000, kViewClass, L"", 0x52010000, rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(kGxViewId), wc.hInstance, this);
  if (!Hwnd) return false;
  for (CGxDialog* band : {&Layers.Header, &Layers.Body, &Layers.Footer}) band->SetContainer(Hwnd);
  RECT client;
  GetClientRect(Hwnd, &client);
  Handle(WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
  return true;
}

bool CGxDialogView::LoadLayer(const std::string& xml) {
  Dpi = LayoutDpi();
  const bool loaded = Layers.Load(xml, Hwnd);
  Hover = Pushed = 0;
  if (Hwnd) {
    RECT client;
    GetClientRect(Hwnd, &client);
    Layers.Layout(client);
    Repaint(client);
  }
  return loaded;
}

CGxWindow* CGxDialogView::FindItem(int id) { return Layers.FindById(id); }

bool CGxDialogView::IsItemChecked(int id) {
  const CGxWindow* item = FindItem(id);
  return item && (item->State & kWndChecked) != 0;
}

bool CGxDialogView::SetItemChecked(int id, bool checked) {
  CGxWindow* item = FindItem(id);
  if (!item) return false;
  SetState(item, checked ? kWndChecked : 0, checked ? 0 : kWndChecked);
  RepaintItem(item);
  return true;
}

bool CGxDialogView::SetItemEnabled(int id, bool enabled) {
  CGxWindow* item = FindItem(id);
  if (!item) return false;
  SetState(item, enabled ? 0 : kWndDisabled, enabled ? kWndDisabled : 0);
  RepaintItem(item);
  return true;
}

void CGxDialogView::Repaint(const RECT& rect) {
  if (!RedrawPending) Update.Reset(CreateRectRgnIndirect(&rect));
  else if (Update) {  // (pending without a region: everything is due already)
    const sys::UniqueRegion region(CreateRectRgnIndirect(&rect));
    CombineRgn(Update.Get(), Update.Get(), region.Get(), RGN_OR);
  }
  RedrawPending = true;
  if (Hwnd) InvalidateRect(Hwnd, &rect, FALSE);
}

void CGxDialogView::RepaintItem(CGxWindow* item) {
  if (item && item->IsVisible()) Repaint(item->Rect);
}

bool CGxDialogView::SetItemText(int id, const std::wstring& text) {
  CGxWindow* item = FindItem(id);
  if (!item) return false;
  RepaintItem(item);
  item->SetText(text);
  RepaintItem(item);
  return true;
}

namespace {

// The common controls' tip class, registered when the first tip is needed (their library is slow
// to load, and a dialog shows without them). The library is loaded by name, which the manifest's
// side-by-side assembly resolves, never beside the program.
bool RegisterTipClass() {
  using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const HMODULE library = LoadLibraryW(L"comctl32.dll");
  const auto init = library ? reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")))
                            : nullptr;
  const INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_BAR_CLASSES};
  return init && init(&classes);
}

}  // namespace

void CGxDialogView::MakeTooltip() {
  if (Tooltip || TooltipTried) return;
  TooltipTried = true;
  if (!RegisterTipClass()) return;
  Tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, Hwnd, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (!Tooltip) return;
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND;
  tool.hwnd = Hwnd;
  tool.uId = reinterpret_cast<UINT_PTR>(Hwnd);
  tool.lpszText = LPSTR_TEXTCALLBACKW;
  SendMessageW(Tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(Tooltip, TTM_ACTIVATE, TRUE, 0);
  SendMessageW(Tooltip, TTM_SETMAXTIPWIDTH, 0, 5000);
}

void CGxDialogView::RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!Tooltip) return;
  MSG relay{Hwnd, message, wParam, lParam, 0, {}};
  SendMessageW(Tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
}

bool CGxDialogView::SetItemVisible(int id, bool show) {
  CGxWindow* item = FindItem(id);
  if (!item) return false;
  item->Send(WM_SHOWWINDOW, show ? TRUE : FALSE);
  Repaint(item->Rect);
  if (!show && Tooltip) SendMessageW(Tooltip, TTM_POP, 0, 0);  // no tip stays for what went away
  return true;
}

bool CGxDialogView::SetItemAttribute(int id, const std::string& name, const std::string& value) {
  CGxWindow* item = FindItem(id);
  if (!item) return false;
  RepaintItem(item);
  item->SetAttribute(name, value, false);
  RepaintItem(item);
  return true;
}

bool CGxDialogView::SetRichText(int id, const std::wstring& markup) {
  auto* rich = dynamic_cast<CGxRichText*>(FindItem(id));
  if (!rich || !rich->SetContent(markup)) return false;
  RepaintItem(rich);
  if (rich->IsVisible()) rich->Send(WM_SHOWWINDOW, TRUE);
  return true;
}

void CGxDialogView::Notify(UINT code, UINT id, const char* itemClass) {
  GxNotify note;
  note.ItemId = id;
  note.ItemClass = itemClass;
  SendGxNotify(Hwnd ? GetParent(Hwnd) : nullptr, Hwnd, code, note);
}

void CGxDialogView::SetState(CGxWindow* window, UINT set, UINT clear) {
  if (!window) return;
  const UINT before = window->State;
  window->State = (window->State | set) & ~clear;
  if (window->State != before && window->NeedRedrawWhenStateChange()) RepaintItem(window);
  if ((window->State ^ before) & (kWndChecked | kWndDisabled | kWndInvisible))
    NotifyAccessibleEvent(Hwnd, EVENT_OBJECT_STATECHANGE, window->Handle);
}

void CGxDialogView::OnMouseMove(int x, int y) {
  if (!Tracking) {
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, Hwnd, 0};
    Tracking = TrackMouseEvent(&track) != FALSE;
  }
  CGxWindow* control = GxWindowRegistry::Find(Layers.HitTest(x, y));
  if (!control) return;
  if (control->IsEnabled()) control->Send(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  Notify(kNotifyMouseMove, static_cast<UINT>(control->Id));
  if (control->Handle == Hover) return;
  if (CGxWindow* old = GxWindowRegistry::Find(Hover); old && old->IsEnabled()) {
    SetState(old, 0, kWndHover);
    old->Send(WM_MOUSELEAVE);
    Notify(kNotifyMouseLeave, static_cast<UINT>(old->Id));
  }
  if (control->IsEnabled()) SetState(control, kWndHover, 0);
  Hover = control->Handle;
  TipText = control->Tip;
  if (!TipText.empty() && !Tooltip) {
    MakeTooltip();
    RelayToTooltip(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));  // the move that came before it was made
  }
  if (Tooltip) SendMessageW(Tooltip, TipText.empty() ? TTM_POP : TTM_UPDATE, 0, 0);
}

void CGxDialogView::OnMouseLeave() {
  Tracking = false;
  CGxWindow* hover = GxWindowRegistry::Find(Hover);
  CGxWindow* pushed = GxWindowRegistry::Find(Pushed);
  if (hover) {
    SetState(hover, 0, kWndHover);
    hover->Send(WM_MOUSELEAVE);
  }
  if (pushed) SetState(pushed, 0, kWndPushed);
  Hover = Pushed = 0;
  Notify(kNotifyMouseLeave, pushed ? static_cast<UINT>(pushed->Id) : hover ? static_cast<UINT>(hover->Id) : 0);
}

std::vector<CGxDialogView::FocusStop> CGxDialogView::FocusStops() {
  std::vector<FocusStop> content, header;
  struct Walk {
    static void Into(CGxWindow& w, std::vector<FocusStop>& out) {
      if (!w.IsVisible(false)) return;
      if (w.IsEnabled() && w.Id != 0 &&
          gx::IsOneOf(w.GetObjectClass(), {"button", "imgbtn", "dlgbtn", "link", "check", "radio"})) {
        out.push_back(FocusStop{w.Handle, nullptr, w.Rect});
        return;
      }
      if (w.IsContainer())
        for (auto& child : static_cast<CGxPanel&>(w).Children()) Into(*child, out);
    }
  };
  if (Layers.HeaderLoaded) Walk::Into(Layers.Header, header);
  for (CGxDialog* band : {&Layers.Body, &Layers.Footer}) Walk::Into(*band, content);
  for (HWND child = GetWindow(Hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t kind[16] = {};
    GetClassNameW(child, kind, 16);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if ((style & (WS_VISIBLE | WS_DISABLED)) != WS_VISIBLE || (_wcsicmp(kind, L"Edit") != 0 && !(style & WS_TABSTOP)))
      continue;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, Hwnd, reinterpret_cast<POINT*>(&r), 2);
    content.push_back(FocusStop{0, child, r});
  }
  // Reading order: by the middle of each stop, rows of stops within 8 pixels left to right.
  auto middle = [](const FocusStop& f) { return (f.Rect.top + f.Rect.bottom) / 2; };
  for (std::vector<FocusStop>* list : {&content, &header}) {
    std::stable_sort(list->begin(), list->end(), [&](const FocusStop& a, const FocusStop& b) { return middle(a) < middle(b); });
    for (size_t row = 0; row < list->size();) {
      size_t end = row + 1;
      while (end < list->size() && middle((*list)[end]) - middle((*list)[row]) <= 8) ++end;
      std::stable_sort(list->begin() + row, list->begin() + end,
                       [](const FocusStop& a, const FocusStop& b) { return a.Rect.left < b.Rect.left; });
      row = end;
    }
  }
  content.insert(content.end(), header.begin(), header.end());
  return content;
}

void CGxDialogView::SetFocusMark(UINT item) {
  if (item == Focused) return;
  for (UINT h : {Focused, item}) {
    if (CGxWindow* w = GxWindowRegistry::Find(h)) {
      RECT r = w->Rect;
      InflateRect(&r, 3, 3);
      Repaint(r);
    }
  }
  Focused = item;
  if (item) NotifyAccessibleEvent(Hwnd, EVENT_OBJECT_FOCUS, item);
}

void CGxDialogView::MoveFocus(int direction) {
  const std::vector<FocusStop> stops = FocusStops();
  if (stops.empty()) return;
  const HWND real = GetFocus();
  int at = -1;
  for (size_t i = 0; i < stops.size(); ++i)
    if ((Focused && stops[i].Item == Focused) || (!Focused && stops[i].Real && stops[i].Real == real))
      at = static_cast<int>(i);
  const int n = static_cast<int>(stops.size());
  const int next = at < 0 ? (direction > 0 ? 0 : n - 1) : ((at + direction) % n + n) % n;
  if (stops[next].Real) {
    SetFocusMark(0);
    SetFocus(stops[next].Real);
    SendMessageW(stops[next].Real, EM_SETSEL, 0, -1);
  } else {
    SetFocusMark(stops[next].Item);
    SetFocus(Hwnd);
  }
}

bool CGxDialogView::ActivateFocused() { return Press(Focused); }

bool CGxDialogView::Press(UINT item) {
  CGxWindow* w = GxWindowRegistry::Find(item);
  if (!w || w->Host != Hwnd || !w->IsVisible() || !w->IsEnabled()) return false;
  const UINT marked = Focused, hovered = Hover;
  const int x = (w->Rect.left + w->Rect.right) / 2, y = (w->Rect.top + w->Rect.bottom) / 2;
  OnButtonDown(x, y);
  Focused = marked;  // (a press from the keyboard or a reader keeps the mark, and the mouse
  OnButtonUp(x, y);  // stays where it was)
  Hover = hovered;
  return true;
}

void CGxDialogView::PressLater(UINT item) { PostMessageW(Hwnd, kMsgPressLater, item, 0); }

std::vector<const CGxWindow*> CGxDialogView::Bands() const {
  std::vector<const CGxWindow*> bands;
  if (Layers.HeaderLoaded) bands.push_back(&Layers.Header);
  bands.push_back(&Layers.Body);
  bands.push_back(&Layers.Footer);
  return bands;
}

void CGxDialogView::OnButtonDown(int x, int y) {
  SetFocusMark(0);  // the mouse is in use: no focus mark
  UINT hit = Layers.Header.IsVisible(false) ? Layers.Header.HitTest(x, y, false) : 0;
  if (hit) {
    CGxWindow* control = GxWindowRegistry::Find(hit);
    const bool clickable = control && gx::IsOneOf(control->GetObjectClass(), {"button", "imgbtn", "dlgbtn", "tabctrl", "link", "check", "radio"});
    if (!clickable) {
      const bool child = (Layers.Style & WS_CHILD) != 0;
      HWND dialog = GetParent(Hwnd);
      if (!child && dialog && !IsIconic(dialog) && Layers.Movable) SendMessageW(dialog, WM_SYSCOMMAND, 0xF012, 0);
      return;
    }
  } else {
    for (CGxDialog* band : {&Layers.Body, &Layers.Footer})
      if (!hit && band->IsVisible(false)) hit = band->HitTest(x, y, false);
  }
  CGxWindow* control = GxWindowRegistry::Find(hit);
  if (!control || !control->IsEnabled() || Capturing) return;
  SetCapture(Hwnd);
  Capturing = true;
  Hover = Pushed = control->Handle;
  SetState(control, kWndPushed, 0);
  control->Send(WM_LBUTTONDOWN, 0, MAKELPARAM(x, y));
  Notify(kNotifyButtonDown, static_cast<UINT>(control->Id));
}

void CGxDialogView::OnDoubleClick(int x, int y) {
  const UINT hit = Layers.Header.IsVisible(false) ? Layers.Header.HitTest(x, y, false) : 0;
  const CGxWindow* control = GxWindowRegistry::Find(hit);
  if (!control || gx::IsOneOf(control->GetObjectClass(), {"button", "imgbtn", "link"}) || !Layers.Resizable) return;
  HWND dialog = GetParent(Hwnd);
  SendMessageW(dialog, WM_SYSCOMMAND, IsZoomed(dialog) ? SC_RESTORE : SC_MAXIMIZE, 0);
}

void CGxDialogView::OnButtonUp(int x, int y) {
  SetFocus(Hwnd);
  if (Capturing) {
    Capturing = false;
    ReleaseCapture();
  }
  CGxWindow* pushed = GxWindowRegistry::Find(Pushed);
  if (pushed) {
    SetState(pushed, 0, kWndPushed);
    // The button went up over the control it went down on.
    if (pushed->Handle == Layers.HitTest(x, y)) {
      const UINT checked = pushed->State & kWndChecked;
      pushed->Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
      if ((pushed->State & kWndChecked) != checked)
        NotifyAccessibleEvent(Hwnd, strcmp(pushed->GetObjectClass(), "radio") == 0 ? EVENT_OBJECT_SELECTION : EVENT_OBJECT_STATECHANGE,
                              pushed->Handle);
      if (!pushed->Link.empty()) shell::ShellExecuteW(nullptr, L"open", pushed->Link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      else if (pushed->Id != 0) Notify(kNotifyClick, static_cast<UINT>(pushed->Id), pushed->GetObjectClass());
    }
  }
  Pushed = 0;
}

void CGxDialogView::Paint(HDC target) {
  RECT client;
  GetClientRect(Hwnd, &client);
  if (!BackBuffer) return;
  const sys::UniqueDc memory(CreateCompatibleDC(target));
  const HGDIOBJ previous = SelectObject(memory.Get(), BackBuffer.Get());
  if (RedrawPending) {
    const int saved = SaveDC(memory.Get());
    SelectObject(memory.Get(), GxFontPool::Instance().Get(0));
    SetBkMode(memory.Get(), TRANSPARENT);
    if (Update) SelectClipRgn(memory.Get(), Update.Get());
    if (CGxSkinBase* frame = GxSkinPool::Instance().Find(Layers.FrameSkin)) frame->Draw(memory.Get(), client, 0);
    for (CGxDialog* band : {&Layers.Header, &Layers.Body, &Layers.Footer})
      if (band->IsVisible(false)) band->RedrawRegion(memory.Get(), Update.Get());
    if (CGxWindow* focused = GxWindowRegistry::Find(Focused); focused && focused->IsVisible()) {
      RECT mark = focused->Rect;
      InflateRect(&mark, 2, 2);
      const sys::UniquePen pen(CreatePen(PS_DOT, 1, RGB(0x1C, 0x56, 0xDB)));
      const HGDIOBJ oldPen = SelectObject(memory.Get(), pen.Get());
      const HGDIOBJ oldBrush = SelectObject(memory.Get(), GetStockObject(NULL_BRUSH));
      SetBkMode(memory.Get(), TRANSPARENT);
      Rectangle(memory.Get(), mark.left, mark.top, mark.right, mark.bottom);
      SelectObject(memory.Get(), oldBrush);
      SelectObject(memory.Get(), oldPen);
    }
    // A soft border, on what this paint redrew only (the clip), so it never blends twice. Lines
    // the update region misses are skipped: clipped away anyway, and a blend is not cheap.
    if (!(Layers.Style & WS_CHILD)) {
      const int w = client.right, h = client.bottom, t = LinePixels();  // t: one line's width
      const auto blend = [&](const RECT& r, COLORREF color, BYTE alpha) {
        if (!Update || RectInRegion(Update.Get(), &r)) BlendColor(memory.Get(), r, color, alpha);
      };
      for (const RECT& r : {RECT{0, 0, w, t}, RECT{0, h - t, w, h}, RECT{0, 0, t, h}, RECT{w - t, 0, w, h}})
        blend(r, RGB(0, 0, 0), 0x66);
      for (const RECT& r : {RECT{t, t, w - t, 2 * t}, RECT{t, h - 2 * t, w - t, h - t}, RECT{t, t, 2 * t, h - t},
                            RECT{w - 2 * t, t, w - t, h - t}})
        blend(r, RGB(255, 255, 255), 0x3F);
    }
    RestoreDC(memory.Get(), saved);
    Update.Reset();
    RedrawPending = false;
  }
  if (PresentMode == 0) {
    BitBlt(target, 0, 0, client.right, client.bottom, memory.Get(), 0, 0, SRCCOPY);
    SelectObject(memory.Get(), previous);
    return;
  }
  SelectObject(memory.Get(), previous);
  CGxImage present;  // a fresh one each time: the colour key's mask follows the buffer's pixels
  present.Bitmap = BackBuffer.Get();
  present.Mode = PresentMode;
  present.MaskColor = ColorKey;
  present.Blit(target, 0, 0, client.right, client.bottom, 0, 0, client.right, client.bottom);
}

// Messages of a real child window that it handles itself, sent back to it with 0x2000 added
// (the usual reflection); their child window, or null for other messages.
HWND CGxDialogView::ReflectionTarget(UINT message, WPARAM wParam, LPARAM lParam) const {
  HWND child = nullptr;
  switch (message) {
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
    case WM_VKEYTOITEM: case WM_CHARTOITEM:
      child = reinterpret_cast<HWND>(lParam);
      break;
    case WM_DRAWITEM:
      if (lParam) child = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
      break;
    case WM_DELETEITEM:
      if (lParam) child = reinterpret_cast<const DELETEITEMSTRUCT*>(lParam)->hwndItem;
      break;
    case WM_COMPAREITEM:
      if (lParam) child = reinterpret_cast<const COMPAREITEMSTRUCT*>(lParam)->hwndItem;
      break;
    case WM_MEASUREITEM:
      child = GetDlgItem(Hwnd, static_cast<int>(wParam));
      break;
    default:
      return nullptr;
  }
  return child && GetParent(child) == Hwnd ? child : nullptr;
}

LRESULT CALLBACK CGxDialogView::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<CGxDialogView*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->Hwnd = hwnd;
  }
  auto* self = reinterpret_cast<CGxDialogView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  const LayoutDpiScope dpi(self->Dpi);
  return self->Handle(message, wParam, lParam);
}

LRESULT CGxDialogView::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_MOUSEFIRST && message <= 0x20D) RelayToTooltip(message, wParam, lParam);
  const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
  switch (message) {
    case WM_SIZE: {
      const int w = LOWORD(lParam), h = HIWORD(lParam);
      const sys::WindowDc screen(nullptr);
      BackBuffer.Reset(w > 0 && h > 0 ? CreateCompatibleBitmap(screen.Get(), w, h) : nullptr);
      const RECT client{0, 0, w, h};
      Layers.Layout(client);
      Update.Reset();
      RedrawPending = true;
      InvalidateRect(Hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Hwnd, &ps);
      Paint(dc);
      EndPaint(Hwnd, &ps);
      return 0;
    }
    case WM_PRINT:
      Paint(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_DESTROY:
      BackBuffer.Reset();
      Update.Reset();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE:
      OnMouseMove(x, y);
      return 0;
    case WM_MOUSELEAVE:
      OnMouseLeave();
      return 0;
    case WM_LBUTTONDOWN:
      OnButtonDown(x, y);
      return 0;
    case WM_LBUTTONDBLCLK:
      OnDoubleClick(x, y);
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp(x, y);
      return 0;
    case WM_SETCURSOR: {
      CGxWindow* hover = GxWindowRegistry::Find(Hover);
      if (hover && strcmp(hover->GetObjectClass(), "realwnd") == 0) return FALSE;
      if (hover && hover->IsEnabled()) hover->OnSetCursor();
      else SetCursor(LoadCursorW(nullptr, IDC_ARROW));
      return TRUE;
    }
    case WM_GETDLGCODE:
      return 0x85;
    case WM_GETOBJECT:
      return AnswerAccessibleRequest(*this, wParam, lParam);
    case kMsgPressLater:
      Press(static_cast<UINT>(wParam));
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_TAB) {
        MoveFocus(GetKeyState(VK_SHIFT) & 0x8000 ? -1 : 1);
        return 0;
      }
      if ((wParam == VK_SPACE || wParam == VK_RETURN) && ActivateFocused()) return 0;
      // Enter without a marked control, Escape: the dialog's
      return SendMessageW(GetParent(Hwnd), message, wParam, lParam);

    case WM_SETFOCUS:  // the first real child that takes the tab key, if any
      for (HWND child = GetWindow(Hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if ((GetWindowLongW(child, GWL_STYLE) & (WS_TABSTOP | WS_VISIBLE | WS_DISABLED)) == (WS_TABSTOP | WS_VISIBLE)) {
          SetFocus(child);
          break;
        }
      return DefWindowProcW(Hwnd, message, wParam, lParam);
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->code == TTN_GETDISPINFOW && header->hwndFrom == Tooltip) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        info->lpszText = const_cast<wchar_t*>(TipText.c_str());
        return 0;
      }
      if (header && header->code == kNotifyRepaint && header->hwndFrom &&
          (header->hwndFrom == Hwnd || GetParent(header->hwndFrom) == Hwnd)) {
        Repaint(reinterpret_cast<const GxNotify*>(lParam)->Rect);  // a control asks for its area
        return 1;
      }
      if (header && header->code == static_cast<UINT>(NM_CUSTOMDRAW) && header->hwndFrom &&
          GetParent(header->hwndFrom) == Hwnd)
        return SendMessageW(header->hwndFrom, 0x2000 + message, wParam, lParam);
      return SendMessageW(GetParent(Hwnd), message, wParam, lParam);
    }
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
      return SendMessageW(GetParent(Hwnd), message, wParam, lParam);
    default:
      if (message == AccessibleHostMessage()) return reinterpret_cast<LRESULT>(static_cast<GxAccessibleHost*>(this));
      if (HWND child = ReflectionTarget(message, wParam, lParam)) {
        const LRESULT answer = SendMessageW(child, 0x2000 + message, wParam, lParam);
        if (answer || message < WM_CTLCOLORMSGBOX || message > WM_CTLCOLORSTATIC) return answer;
      }
      return DefWindowProcW(Hwnd, message, wParam, lParam);
  }
}
