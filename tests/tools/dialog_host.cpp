// Shows one skinned dialog for the interactive tests and ends with its result as exit code.
//   dialog_host.exe <resource folder> msgbox <button set> <icon> <message>
//   dialog_host.exe <resource folder> layer <id> <notification log>
// The folder holds skins.xml, styles.xml, the layers (<id>.xml) and the images the skins name.
// A layer dialog writes every notification to the log as "<code> <item> <class>" and ends with
// the item of the first click on item 1 or 2. A click on item 11 shows the path edit box below
// the controls; its text is the log's last line ("text <text>").
#include <windows.h>

#include <fstream>
#include <string>

#include "base/handles.h"
#include "dialogs/msgbox.h"
#include "dialogs/rich_edit.h"
#include "skin/resource_source.h"
#include "skin/skin_pool.h"

namespace {

std::string ReadAll(const std::wstring& path) {
  std::string bytes;
  ReadFileBytes(path, &bytes);
  return bytes;
}

// Any layer, its notifications written down as they come.
class LoggingDialog : public CGxDialogImpl {
 public:
  LoggingDialog(int id, const std::wstring& log) : CGxDialogImpl(id), Log(log.c_str(), std::ios::app) {}

 protected:
  void OnNotify(const GxNotify& note) override {
    Log << note.Header.code << ' ' << note.ItemId << ' ' << (note.ItemClass ? note.ItemClass : "") << std::endl;
    if (note.Header.code != kNotifyClick) return;
    if (note.ItemId == 11) {
      Edit.SetRect(20, 190, 380, 214);
      Edit.Show(View().Window());
    } else if (note.ItemId == 1 || note.ItemId == 2) {
      const std::wstring text = Edit.GetText();
      char utf8[1024] = {};
      WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8, sizeof(utf8) - 1, nullptr, nullptr);
      Log << "text " << utf8 << std::endl;
      EndDialog(static_cast<int>(note.ItemId));
    }
  }

 private:
  std::ofstream Log;
  ZRichEdit Edit;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc >= 5 ? argv[2] : L"";
  if (mode != L"layer" && (mode != L"msgbox" || argc < 6)) return 100;
  const sys::GdiplusSession gdiplus;
  const std::wstring folder = argv[1];
  GxResourceSource::Instance().SetFolder(folder);
  LoadSkinsXml(ReadAll(folder + L"\\skins.xml"));
  GxStylePool::Instance().Add(std::string());
  LoadStylesXml(ReadAll(folder + L"\\styles.xml"));
  if (mode == L"layer") {
    LoggingDialog dialog(_wtoi(argv[3]), argv[4]);
    return dialog.DoModal();
  }
  return Zmsgbox::Show(nullptr, argv[5], L"Lumen Office", _wtoi(argv[3]), _wtoi(argv[4]));
}
