#include "dialogs/msgbox.h"

namespace {

// Item ids of layer 105.
enum : int {
  kClose = 100,
  kFirstButton = 101,
  kSecondButton = 102,
  kMessage = 105,
  kTwoButtons = 106,
  kOneButton = 107,
  kCaption = 108,
  kQuestionIcon = 109,
};

}  // namespace

Zmsgbox::Zmsgbox(const std::wstring& message, const std::wstring& caption, int buttons, int icon)
    : CGxDialogImpl(105), Message(message), Caption(caption), Buttons(buttons), Icon(icon) {
  RoundCorners = true;
}

int Zmsgbox::Show(HWND owner, const std::wstring& message, const std::wstring& caption, int buttons, int icon) {
  Zmsgbox box(message, caption, buttons, icon);
  return box.DoModal(owner);
}

std::string Zmsgbox::MessagePosition(size_t length) {
  if (length < 22) return std::to_string((22 - length) * 6 + 74) + ",44,-25,80";
  return length == 22 ? "74,44,-25,80" : "74,34,-25,80";
}

std::string Zmsgbox::IconPosition(size_t length) {
  return length < 22 ? std::to_string((22 - length) * 6 + 28) + ",35" : "28,35";
}

void Zmsgbox::OnInitDialog() {
  if (HMENU menu = GetSystemMenu(Window(), FALSE)) {
    DeleteMenu(menu, SC_MINIMIZE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  }
  CGxDialogView& view = View();
  static const wchar_t* const kLabels[4][2] = {{nullptr, nullptr}, {L"确定", L"取消"}, {L"是", L"否"},
                                              {L"覆盖安装", L"退出安装"}};
  if (Buttons == 0) {
    view.SetItemVisible(kOneButton, true);
    view.SetItemVisible(kTwoButtons, false);
  } else if (Buttons >= 1 && Buttons <= 3) {
    view.SetItemVisible(kTwoButtons, true);
    view.SetItemText(kFirstButton, kLabels[Buttons][0]);
    view.SetItemText(kSecondButton, kLabels[Buttons][1]);
  }
  if (Icon >= 0 && Icon <= 2) view.SetItemVisible(kQuestionIcon + Icon, true);
  view.SetRichText(kMessage, Message);
  view.SetItemText(kCaption, Caption);
  if (Message.size() != 22) {
    view.SetItemAttribute(kMessage, "pos", MessagePosition(Message.size()));
    if (Message.size() < 22)
      for (int icon = kQuestionIcon; icon < kQuestionIcon + 3; ++icon)
        view.SetItemAttribute(icon, "pos", IconPosition(Message.size()));
  }
}

void Zmsgbox::OnNotify(const GxNotify& note) {
  if (note.Header.code != kNotifyClick) return;
  if (note.ItemId == kFirstButton || note.ItemId == IDOK) EndDialog(1);
  else if (note.ItemId == kSecondButton || note.ItemId == kClose || note.ItemId == IDCANCEL) EndDialog(2);
}
