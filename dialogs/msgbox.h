// The installer's skinned message box (layer 105): a caption, one of three icons, the message as
// rich text and one of four button sets; the result is 1 (OK, Yes, install over) or 2.
#pragma once

#include <windows.h>

#include <string>

#include "skin/dialog_impl.h"

class Zmsgbox : public CGxDialogImpl {
 public:
  // Button sets: 0 OK; 1 OK / Cancel; 2 Yes / No; 3 install over / quit the installation.
  // Icons: 0 question, 1 information, 2 error.
  Zmsgbox(const std::wstring& message, const std::wstring& caption, int buttons, int icon);

  static int Show(HWND owner, const std::wstring& message, const std::wstring& caption, int buttons, int icon);

  // Where the message and the icons go for a message of `length` characters: short messages sit
  // nearer the centre, long ones move up a line.
  static std::string MessagePosition(size_t length);
  static std::string IconPosition(size_t length);

 protected:
  void OnInitDialog() override;
  void OnNotify(const GxNotify& note) override;

 private:
  std::wstring Message, Caption;
  int Buttons, Icon;
};
