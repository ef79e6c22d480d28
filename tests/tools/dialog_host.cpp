// Shows one skinned dialog for the interactive tests and ends with its result as exit code.
//   dialog_host.exe <resource folder> msgbox <button set> <icon> <message>
// The folder holds skins.xml, styles.xml, 105.xml and the images the skins name.
#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <sstream>
#include <string>

#include "base/handles.h"
#include "dialogs/msgbox.h"
#include "skin/resource_source.h"
#include "skin/skin_pool.h"

namespace {

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 6 || std::wstring(argv[2]) != L"msgbox") return 100;
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  const sys::GdiplusSession gdiplus;
  const std::wstring folder = argv[1];
  GxResourceSource::Instance().SetFolder(folder);
  LoadSkinsXml(ReadAll(folder + L"\\skins.xml"));
  GxStylePool::Instance().Add(std::string());
  LoadStylesXml(ReadAll(folder + L"\\styles.xml"));
  return Zmsgbox::Show(nullptr, argv[5], L"Lumen Office", _wtoi(argv[3]), _wtoi(argv[4]));
}
