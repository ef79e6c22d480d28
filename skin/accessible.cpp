#include "skin/accessible.h"

#include <oleacc.h>
#include <string.h>

#include <vector>

#include "skin/controls.h"
#include "skin/gx_container.h"
#include "skin/gx_window.h"
#include "skin/rich_text.h"
#include "sys/system_info.h"

namespace {

// oleacc is loaded from the system folder when the first reader asks.
struct OleaccApi {
  using FromObject = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
  using FromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
  FromObject LresultFromObject = nullptr;
  FromWindow AccessibleObjectFromWindow = nullptr;

  static const OleaccApi& Get() {
    static const OleaccApi api = [] {
      OleaccApi a;
      if (HMODULE module = ZFunction::LoadSystemLibrary(L"oleacc.dll")) {
        a.LresultFromObject = reinterpret_cast<FromObject>(reinterpret_cast<void*>(GetProcAddress(module, "LresultFromObject")));
        a.AccessibleObjectFromWindow =
            reinterpret_cast<FromWindow>(reinterpret_cast<void*>(GetProcAddress(module, "AccessibleObjectFromWindow")));
      }
      return a;
    }();
    return api;
  }
};

bool IsButton(const CGxWindow& w) { return gx::IsOneOf(w.GetObjectClass(), {"button", "imgbtn", "dlgbtn"}); }
bool IsLink(const CGxWindow& w) { return !w.Link.empty() || strcmp(w.GetObjectClass(), "link") == 0; }
bool IsCheckable(const CGxWindow& w) { return gx::IsOneOf(w.GetObjectClass(), {"check", "radio"}); }

VARIANT Int(long value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

HRESULT Text(const std::wstring& text, BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

// An answer without text: the out-parameter emptied, the result passed on.
HRESULT NoText(BSTR* out, HRESULT result) {
  if (out) *out = nullptr;
  return result;
}

// What every object shares: reference counting, the dispatch interface (not offered: readers
// call IAccessible directly) and the parts of IAccessible no control here has.
class AccessibleBase : public IAccessible {
 public:
  virtual ~AccessibleBase() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&Refs)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&Refs);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* out) override { return Text(L"", out); }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* out) override { return Text(L"", out); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
    if (file) *file = nullptr;
    if (topic) *topic = 0;
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* out) override { return Text(L"", out); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override {
    if (out) VariantInit(out);
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE accNavigate(long, VARIANT, VARIANT* out) override {
    if (out) VariantInit(out);
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return DISP_E_MEMBERNOTFOUND; }

 protected:
  // The window object the system makes for `window` (its parent in the reader's tree).
  static HRESULT WindowObject(HWND window, IDispatch** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    const OleaccApi& api = OleaccApi::Get();
    if (!api.AccessibleObjectFromWindow) return E_FAIL;
    return api.AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch, reinterpret_cast<void**>(out));
  }
  static HRESULT Location(HWND window, RECT rect, long* x, long* y, long* w, long* h) {
    if (!x || !y || !w || !h) return E_INVALIDARG;
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    *x = rect.left;
    *y = rect.top;
    *w = rect.right - rect.left;
    *h = rect.bottom - rect.top;
    return S_OK;
  }

 private:
  LONG Refs = 1;
};

// One node of a dialog view's tree: the view's client area (item 0) or one windowless control.
// Children are the controls of a panel (the bands' controls for the client area, then the real
// child windows no "realwnd" control stands for), addressed 1..n; a negative child id names any
// control of the view by its handle (as the events do).
class ViewNode final : public AccessibleBase {
 public:
  ViewNode(HWND view, UINT item) : View(view), Item(item) {}

  // A child of the tree: a control, or a real window (its own object).
  struct Child {
    UINT Item;
    HWND Real;
  };

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    GxAccessibleHost* view = LiveView();
    if (!view) return RPC_E_DISCONNECTED;
    if (Item == 0) return WindowObject(View, out);
    CGxWindow* self = Control(*view, Item);
    if (!self) return RPC_E_DISCONNECTED;
    CGxWindow* parent = self->Parent();
    *out = new ViewNode(View, parent && !IsBand(*view, parent) ? parent->Handle : 0);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    if (!count) return E_INVALIDARG;
    *count = 0;
    GxAccessibleHost* view = LiveView();
    if (!view) return RPC_E_DISCONNECTED;
    *count = static_cast<long>(Children(*view, Item).size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    GxAccessibleHost* view = LiveView();
    if (!view) return RPC_E_DISCONNECTED;
    if (id.vt != VT_I4 || id.lVal == CHILDID_SELF) return E_INVALIDARG;
    if (id.lVal < 0) {
      CGxWindow* w = Control(*view, static_cast<UINT>(-id.lVal));
      if (!w) return E_INVALIDARG;
      *out = new ViewNode(View, w->Handle);
      return S_OK;
    }
    const std::vector<Child> children = Children(*view, Item);
    if (static_cast<size_t>(id.lVal) > children.size()) return E_INVALIDARG;
    const Child& child = children[static_cast<size_t>(id.lVal) - 1];
    if (child.Item) {
      *out = new ViewNode(View, child.Item);
      return S_OK;
    }
    const OleaccApi& api = OleaccApi::Get();
    if (!api.AccessibleObjectFromWindow) return E_FAIL;
    return api.AccessibleObjectFromWindow(child.Real, static_cast<DWORD>(OBJID_CLIENT), IID_IDispatch,
                                          reinterpret_cast<void**>(out));
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* out) override {
    const Target t = Resolve(id);
    if (t.Error) return NoText(out, t.Error);
    if (!t.Control) {
      wchar_t title[256] = {};
      GetWindowTextW(GetAncestor(View, GA_ROOT), title, 256);
      return Text(title, out);
    }
    return Text(AccessibleName(*t.Control), out);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT id, BSTR* out) override {
    const Target t = Resolve(id);
    if (t.Error) return NoText(out, t.Error);
    if (const auto* bar = t.Control ? dynamic_cast<const CGxProgress*>(t.Control) : nullptr) {
      wchar_t text[16];
      _snwprintf(text, 16, L"%d%%", static_cast<int>(bar->Ratio() * 100));
      return Text(text, out);
    }
    if (t.Control && IsLink(*t.Control)) return Text(t.Control->Link, out);
    return NoText(out, DISP_E_MEMBERNOTFOUND);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* out) override {
    if (!out) return E_INVALIDARG;
    VariantInit(out);
    const Target t = Resolve(id);
    if (t.Error) return t.Error;
    *out = Int(t.Control ? AccessibleRole(*t.Control) : ROLE_SYSTEM_CLIENT);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* out) override {
    if (!out) return E_INVALIDARG;
    VariantInit(out);
    const Target t = Resolve(id);
    if (t.Error) return t.Error;
    long state = 0;
    if (!t.Control) {
      if (!IsWindowVisible(View)) state |= STATE_SYSTEM_INVISIBLE;
      if (GetFocus() == View && !t.View->FocusedItem()) state |= STATE_SYSTEM_FOCUSED;
      state |= STATE_SYSTEM_FOCUSABLE;
    } else {
      const CGxWindow& w = *t.Control;
      if (!w.IsEnabled()) state |= STATE_SYSTEM_UNAVAILABLE;
      if (!w.IsVisible() || !IsWindowVisible(View)) state |= STATE_SYSTEM_INVISIBLE;
      if (IsCheckable(w) && (w.State & kWndChecked)) state |= STATE_SYSTEM_CHECKED;
      if (w.State & kWndPushed) state |= STATE_SYSTEM_PRESSED;
      if (t.View->HoveredItem() == w.Handle) state |= STATE_SYSTEM_HOTTRACKED;
      if (IsLink(w)) state |= STATE_SYSTEM_LINKED;
      if (!AccessibleDefaultAction(w).empty()) {
        state |= STATE_SYSTEM_FOCUSABLE;
        if (t.View->FocusedItem() == w.Handle && GetFocus() == View) state |= STATE_SYSTEM_FOCUSED;
      } else {
        state |= STATE_SYSTEM_READONLY;
      }
    }
    *out = Int(state);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override {
    if (!out) return E_INVALIDARG;
    VariantInit(out);
    GxAccessibleHost* view = LiveView();
    if (!view) return RPC_E_DISCONNECTED;
    if (GetFocus() != View) return S_FALSE;
    if (Control(*view, view->FocusedItem())) {
      out->vt = VT_DISPATCH;
      out->pdispVal = new ViewNode(View, view->FocusedItem());
    } else {
      *out = Int(CHILDID_SELF);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT id, BSTR* out) override {
    const Target t = Resolve(id);
    if (t.Error) return NoText(out, t.Error);
    const std::wstring action = t.Control ? AccessibleDefaultAction(*t.Control) : L"";
    return action.empty() ? NoText(out, DISP_E_MEMBERNOTFOUND) : Text(action, out);
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT id) override {
    const Target t = Resolve(id);
    if (t.Error) return t.Error;
    RECT rect{};
    if (t.Control) rect = t.Control->Rect;
    else GetClientRect(View, &rect);
    return Location(View, rect, x, y, w, h);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* out) override {
    if (!out) return E_INVALIDARG;
    VariantInit(out);
    GxAccessibleHost* view = LiveView();
    if (!view) return RPC_E_DISCONNECTED;
    POINT at{x, y};
    ScreenToClient(View, &at);
    RECT client;
    GetClientRect(View, &client);
    if (!PtInRect(&client, at)) return S_FALSE;
    const UINT hit = view->ItemAt(at.x, at.y);
    if (hit && hit != Item && Control(*view, hit)) {
      out->vt = VT_DISPATCH;
      out->pdispVal = new ViewNode(View, hit);
    } else {
      *out = Int(CHILDID_SELF);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override {
    const Target t = Resolve(id);
    if (t.Error) return t.Error;
    if (!t.Control || AccessibleDefaultAction(*t.Control).empty()) return DISP_E_MEMBERNOTFOUND;
    if (!t.Control->IsVisible() || !t.Control->IsEnabled()) return E_FAIL;
    t.View->PressLater(t.Control->Handle);
    return S_OK;
  }

  // The tree's children of `item` (0: the client area).
  static std::vector<Child> Children(GxAccessibleHost& view, UINT item) {
    std::vector<Child> out;
    HWND host = view.Window();
    auto addKids = [&](const CGxWindow& parent) {
      if (!parent.IsContainer()) return;
      for (const auto& kid : static_cast<const CGxPanel&>(parent).Children()) {
        if (strcmp(kid->GetObjectClass(), "realwnd") != 0) out.push_back(Child{kid->Handle, nullptr});
        else if (HWND real = GetDlgItem(host, kid->Id)) out.push_back(Child{0, real});
      }
    };
    if (item != 0) {
      if (CGxWindow* w = Control(view, item)) addKids(*w);
      return out;
    }
    const std::vector<const CGxWindow*> bands = view.Bands();
    for (const CGxWindow* band : bands) addKids(*band);
    // Real child windows that no control stands for (the path box) come last.
    std::vector<int> stood;
    struct Walk {
      static void Into(const CGxWindow& w, std::vector<int>& ids) {
        if (strcmp(w.GetObjectClass(), "realwnd") == 0) ids.push_back(w.Id);
        if (w.IsContainer())
          for (const auto& kid : static_cast<const CGxPanel&>(w).Children()) Into(*kid, ids);
      }
    };
    for (const CGxWindow* band : bands) Walk::Into(*band, stood);
    for (HWND child = GetWindow(host, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      const int id = GetDlgCtrlID(child);
      bool found = false;
      for (int s : stood) found = found || s == id;
      if (!found) out.push_back(Child{0, child});
    }
    return out;
  }

 private:
  struct Target {
    GxAccessibleHost* View = nullptr;
    CGxWindow* Control = nullptr;  // null: the client area
    HRESULT Error = S_OK;
  };

  // The host, while its window is still one.
  GxAccessibleHost* LiveView() const {
    if (!IsWindow(View) || GetWindowThreadProcessId(View, nullptr) != GetCurrentThreadId()) return nullptr;
    return reinterpret_cast<GxAccessibleHost*>(SendMessageW(View, AccessibleHostMessage(), 0, 0));
  }
  // A control of this view, or null (gone, or another view's).
  static CGxWindow* Control(GxAccessibleHost& view, UINT handle) {
    CGxWindow* w = handle ? GxWindowRegistry::Find(handle) : nullptr;
    return w && w->Host == view.Window() ? w : nullptr;
  }
  static bool IsBand(GxAccessibleHost& view, const CGxWindow* w) {
    for (const CGxWindow* band : view.Bands())
      if (w == band) return true;
    return false;
  }
  // The node itself (CHILDID_SELF), a child by its number, or a control by its negative handle.
  Target Resolve(const VARIANT& id) const {
    Target t;
    t.View = LiveView();
    if (!t.View) return t.Error = RPC_E_DISCONNECTED, t;
    if (id.vt != VT_I4) return t.Error = E_INVALIDARG, t;
    UINT handle = Item;
    if (id.lVal < 0) {
      handle = static_cast<UINT>(-id.lVal);
    } else if (id.lVal > 0) {
      const std::vector<Child> children = Children(*t.View, Item);
      if (static_cast<size_t>(id.lVal) > children.size() || !children[static_cast<size_t>(id.lVal) - 1].Item)
        return t.Error = E_INVALIDARG, t;  // (a real window answers for itself)
      handle = children[static_cast<size_t>(id.lVal) - 1].Item;
    }
    if (handle != 0 && !(t.Control = Control(*t.View, handle))) t.Error = handle == Item ? RPC_E_DISCONNECTED : E_INVALIDARG;
    return t;
  }

  HWND View;
  UINT Item;
};

// A real window drawing one control itself.
class WindowNode final : public AccessibleBase {
 public:
  WindowNode(HWND window, GxAccessibleFacts facts) : Window(window), Facts(std::move(facts)) {}

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** out) override {
    if (!IsWindow(Window)) return RPC_E_DISCONNECTED;
    return WindowObject(Window, out);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    if (!count) return E_INVALIDARG;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** out) override {
    if (out) *out = nullptr;
    return E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* out) override {
    if (const HRESULT error = Check(id)) return NoText(out, error);
    return Text(Facts.Name ? Facts.Name() : L"", out);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT id, BSTR* out) override {
    if (const HRESULT error = Check(id)) return NoText(out, error);
    if (!Facts.Value) return NoText(out, DISP_E_MEMBERNOTFOUND);
    return Text(Facts.Value(), out);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* out) override {
    if (!out) return E_INVALIDARG;
    VariantInit(out);
    if (const HRESULT error = Check(id)) return error;
    *out = Int(Facts.Role);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* out) override {
    if (!out) return E_INVALIDARG;
    VariantInit(out);
    if (const HRESULT error = Check(id)) return error;
    *out = Int(STATE_SYSTEM_READONLY | (IsWindowVisible(Window) ? 0 : STATE_SYSTEM_INVISIBLE));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override {
    if (out) VariantInit(out);
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* out) override {
    return NoText(out, DISP_E_MEMBERNOTFOUND);
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT id) override {
    if (const HRESULT error = Check(id)) return error;
    RECT rect;
    GetClientRect(Window, &rect);
    return Location(Window, rect, x, y, w, h);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long, long, VARIANT* out) override {
    if (!out) return E_INVALIDARG;
    *out = Int(CHILDID_SELF);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }

 private:
  HRESULT Check(const VARIANT& id) const {
    if (!IsWindow(Window)) return RPC_E_DISCONNECTED;
    return id.vt == VT_I4 && id.lVal == CHILDID_SELF ? S_OK : E_INVALIDARG;
  }

  HWND Window;
  GxAccessibleFacts Facts;
};

LRESULT Answer(AccessibleBase* object, WPARAM wParam) {
  const OleaccApi& api = OleaccApi::Get();
  const LRESULT result = api.LresultFromObject ? api.LresultFromObject(__uuidof(IAccessible), wParam, object) : 0;
  object->Release();  // (the answer holds its own reference)
  return result;
}

}  // namespace

UINT AccessibleHostMessage() {
  static const UINT message = RegisterWindowMessageW(L"GxAccessibleHost");
  return message;
}

LRESULT AnswerAccessibleRequest(GxAccessibleHost& view, WPARAM wParam, LPARAM lParam) {
  if (static_cast<LONG>(lParam) != OBJID_CLIENT) return DefWindowProcW(view.Window(), WM_GETOBJECT, wParam, lParam);
  return Answer(new ViewNode(view.Window(), 0), wParam);
}

LRESULT AnswerAccessibleRequest(HWND window, const GxAccessibleFacts& facts, WPARAM wParam, LPARAM lParam) {
  if (static_cast<LONG>(lParam) != OBJID_CLIENT) return DefWindowProcW(window, WM_GETOBJECT, wParam, lParam);
  return Answer(new WindowNode(window, facts), wParam);
}

void NotifyAccessibleEvent(HWND view, DWORD event, UINT item) {
  if (view && item) NotifyWinEvent(event, view, OBJID_CLIENT, -static_cast<LONG>(item));
}

long AccessibleRole(const CGxWindow& control) {
  const char* kind = control.GetObjectClass();
  if (IsLink(control)) return ROLE_SYSTEM_LINK;
  if (IsButton(control)) return ROLE_SYSTEM_PUSHBUTTON;
  if (strcmp(kind, "check") == 0) return ROLE_SYSTEM_CHECKBUTTON;
  if (strcmp(kind, "radio") == 0) return ROLE_SYSTEM_RADIOBUTTON;
  if (strcmp(kind, "progress") == 0) return ROLE_SYSTEM_PROGRESSBAR;
  if (gx::IsOneOf(kind, {"img", "icon", "memimage"})) return ROLE_SYSTEM_GRAPHIC;
  if (strcmp(kind, "hr") == 0) return ROLE_SYSTEM_SEPARATOR;
  if (strcmp(kind, "tabctrl") == 0) return ROLE_SYSTEM_PAGETABLIST;
  if (control.IsContainer()) return ROLE_SYSTEM_GROUPING;
  return ROLE_SYSTEM_STATICTEXT;
}

std::wstring AccessibleName(const CGxWindow& control) {
  const auto* rich = dynamic_cast<const CGxRichText*>(&control);
  std::wstring name = rich ? rich->PlainText() : ExpandStringReferences(control.Text);
  return name.empty() ? control.Tip : name;
}

std::wstring AccessibleDefaultAction(const CGxWindow& control) {
  if (control.Id == 0 && control.Link.empty()) return L"";  // nothing would hear the press
  if (IsLink(control)) return L"Jump";
  if (IsButton(control)) return L"Press";
  if (strcmp(control.GetObjectClass(), "check") == 0) return control.State & kWndChecked ? L"Uncheck" : L"Check";
  if (strcmp(control.GetObjectClass(), "radio") == 0) return L"Check";
  return L"";
}
