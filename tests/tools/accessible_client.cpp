// A screen reader in miniature for the wizard's tests: finds a window by its title, reads the
// accessible tree of its skinned view from another process (AccessibleObjectFromWindow) and
// acts through it. Output in UTF-8.
//   accessible_client.exe tree <title>
//       one line per object, indented by depth:
//       <role> "<name>" state=<hex> action=<action> value=<value> at=<x>,<y>,<w>,<h>
//   accessible_client.exe do <title> <name part>
//       the default action of the first object (depth first) whose name contains the part
//   accessible_client.exe value <title> <name part>
//       the value of that object
// Exit code 1 when the window, its tree or the object is not there, or the call failed.
#include <windows.h>
#include <oleacc.h>

#include <stdio.h>

#include <functional>
#include <string>

namespace {

void Print(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
  bytes += '\n';
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

VARIANT Self() {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = CHILDID_SELF;
  return v;
}

std::wstring Take(BSTR text) {
  std::wstring out = text ? std::wstring(text, SysStringLen(text)) : L"";
  SysFreeString(text);
  return out;
}

std::wstring RoleName(long role) {
  switch (role) {
    case ROLE_SYSTEM_PUSHBUTTON: return L"push-button";
    case ROLE_SYSTEM_CHECKBUTTON: return L"check-box";
    case ROLE_SYSTEM_RADIOBUTTON: return L"radio-button";
    case ROLE_SYSTEM_LINK: return L"link";
    case ROLE_SYSTEM_STATICTEXT: return L"text";
    case ROLE_SYSTEM_PROGRESSBAR: return L"progress-bar";
    case ROLE_SYSTEM_GRAPHIC: return L"graphic";
    case ROLE_SYSTEM_GROUPING: return L"grouping";
    case ROLE_SYSTEM_CLIENT: return L"client";
    case ROLE_SYSTEM_TEXT: return L"editable-text";
    default: return L"role-" + std::to_wstring(role);
  }
}

// Visits the object and its descendants depth first; `visit` returns false to stop.
bool Walk(IAccessible* object, int depth, const std::function<bool(IAccessible*, int)>& visit) {
  if (!visit(object, depth)) return false;
  long count = 0;
  if (FAILED(object->get_accChildCount(&count))) return true;
  for (long i = 1; i <= count; ++i) {
    VARIANT id;
    VariantInit(&id);
    id.vt = VT_I4;
    id.lVal = i;
    IDispatch* child = nullptr;
    if (FAILED(object->get_accChild(id, &child)) || !child) continue;
    IAccessible* accessible = nullptr;
    child->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&accessible));
    child->Release();
    if (!accessible) continue;
    const bool go_on = Walk(accessible, depth + 1, visit);
    accessible->Release();
    if (!go_on) return false;
  }
  return true;
}

std::wstring Describe(IAccessible* object) {
  BSTR name = nullptr, action = nullptr, value = nullptr;
  VARIANT role, state;
  VariantInit(&role);
  VariantInit(&state);
  object->get_accName(Self(), &name);
  object->get_accDefaultAction(Self(), &action);
  object->get_accValue(Self(), &value);
  object->get_accRole(Self(), &role);
  object->get_accState(Self(), &state);
  long x = 0, y = 0, w = 0, h = 0;
  object->accLocation(&x, &y, &w, &h, Self());
  wchar_t tail[160];
  _snwprintf(tail, 160, L"state=%lx", state.vt == VT_I4 ? state.lVal : -1L);
  return RoleName(role.vt == VT_I4 ? role.lVal : -1) + L" \"" + Take(name) + L"\" " + tail + L" action=" + Take(action) +
         L" value=" + Take(value) + L" at=" + std::to_wstring(x) + L"," + std::to_wstring(y) + L"," + std::to_wstring(w) +
         L"," + std::to_wstring(h);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const std::wstring command = argv[1];
  const std::wstring part = argc > 3 ? argv[3] : L"";
  CoInitialize(nullptr);
  HWND top = FindWindowW(nullptr, argv[2]);
  HWND view = top ? FindWindowExW(top, nullptr, L"GxDialogView", nullptr) : nullptr;
  if (!view) {
    Print(L"no window");
    return 1;
  }
  IAccessible* root = nullptr;
  const HRESULT got = AccessibleObjectFromWindow(view, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                 reinterpret_cast<void**>(&root));
  if (FAILED(got) || !root) {
    Print(L"no accessible object: " + std::to_wstring(got));
    return 1;
  }
  int rc = 1;
  if (command == L"tree") {
    Walk(root, 0, [](IAccessible* object, int depth) {
      Print(std::wstring(static_cast<size_t>(depth) * 2, L' ') + Describe(object));
      return true;
    });
    rc = 0;
  } else {
    Walk(root, 0, [&](IAccessible* object, int) {
      BSTR name = nullptr;
      object->get_accName(Self(), &name);
      if (Take(name).find(part) == std::wstring::npos) return true;
      if (command == L"do") {
        const HRESULT done = object->accDoDefaultAction(Self());
        Print(SUCCEEDED(done) ? L"done" : L"failed: " + std::to_wstring(done));
        rc = SUCCEEDED(done) ? 0 : 1;
      } else {
        BSTR value = nullptr;
        if (SUCCEEDED(object->get_accValue(Self(), &value))) rc = 0;
        Print(Take(value));
      }
      return false;
    });
  }
  root->Release();
  return rc;
}
