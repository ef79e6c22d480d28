#include "suite/temp_folders.h"

#include <windows.h>
#include <stdio.h>

#include "log/setup_log.h"
#include "sys/file_utils.h"

namespace install_config {

namespace {
const wchar_t kInUseMark[] = L"~inuse";

std::wstring TempLumenFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  if (GetTempPathW(MAX_PATH, temp) == 0) return std::wstring();
  return ZFunction::WithSlash(temp) + L"lumen\\";
}
}  // namespace

std::wstring NewTempFolder() {
  const std::wstring parent = TempLumenFolder();
  if (parent.empty()) return std::wstring();
  // Named by the tick count; a name taken within the same tick moves on to the next number.
  for (unsigned tick = GetTickCount();; ++tick) {
    wchar_t name[32];
    swprintf(name, 32, L"~%x\\", tick);
    const std::wstring folder = parent + name;
    if (!ZFunction::FolderExists(folder)) return folder;
  }
}

std::wstring NewPayloadFolder(sys::UniqueFile& mark) {
  const std::wstring folder = NewTempFolder();
  if (folder.empty() || !ZFunction::CreateFolderTree(folder)) return std::wstring();
  // Nobody may delete the mark while it is open: a later run that can delete it knows the run
  // that made the folder has ended.
  mark.Reset(CreateFileW((folder + kInUseMark).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_HIDDEN, nullptr));
  return folder;
}

std::wstring NewToolFolder() {
  const std::wstring folder = NewTempFolder();
  if (folder.empty() || !ZFunction::CreateFolderTree(folder)) return std::wstring();
  const sys::UniqueFile mark(CreateFileW((folder + kInUseMark).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                         CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr));
  return folder;
}

void RemoveStalePayloadFolders() {
  const std::wstring parent = TempLumenFolder();
  if (parent.empty()) return;
  WIN32_FIND_DATAW found;
  sys::UniqueFind find(FindFirstFileW((parent + L"~*").c_str(), &found));
  if (!find) return;
  do {
    const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                        !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (!folder) continue;
    const std::wstring path = parent + found.cFileName + L"\\";
    if (!DeleteFileW((path + kInUseMark).c_str())) continue;  // still in use, or not a payload folder
    g_Log.Log("remove the temporary folder of a run that ended: %ws", path.c_str());
    ZFunction::DeleteFolder(path);
  } while (FindNextFileW(find.Get(), &found));
}

}  // namespace install_config
