#include "dialogs/rich_edit.h"

#include "skin/position.h"

namespace {

const int kMaxText = 260;  // MAX_PATH: the longest folder the box takes

}  // namespace

bool ZRichEdit::Create(HWND view) {
  if (Edit && IsWindow(Edit)) return true;
  if (!view) return false;
  Edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL | ES_AUTOVSCROLL, 0, 0, 0, 0, view,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!Edit) return false;
  SendMessageW(Edit, EM_LIMITTEXT, kMaxText, 0);
  FollowDpi();
  return true;
}

void ZRichEdit::FollowDpi() {
  if (!Edit || !IsWindow(Edit)) return;
  MoveWindow(Edit, LayoutPixels(Rect.left), LayoutPixels(Rect.top), LayoutPixels(Rect.right) - LayoutPixels(Rect.left),
             LayoutPixels(Rect.bottom) - LayoutPixels(Rect.top), TRUE);
  sys::UniqueFont font(CreateFontW(LayoutPixels(18), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, L"MS Shell Dlg"));
  SendMessageW(Edit, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
  Font = std::move(font);  // (the old one only once the box no longer uses it)
}

void ZRichEdit::Show(HWND view) {
  if (Create(view)) ShowWindow(Edit, SW_SHOWNORMAL);
}

void ZRichEdit::Hide() {
  if (Edit && IsWindow(Edit)) ShowWindow(Edit, SW_HIDE);
}

std::wstring ZRichEdit::GetText() const {
  if (!Edit || !IsWindow(Edit)) return std::wstring();
  wchar_t text[kMaxText + 1] = {};
  const int n = GetWindowTextW(Edit, text, kMaxText + 1);
  return std::wstring(text, n > 0 ? n : 0);
}

void ZRichEdit::SetText(const std::wstring& text) {
  if (Edit && IsWindow(Edit)) SetWindowTextW(Edit, text.c_str());
}
