#include "skin/resource_source.h"

#include <stdio.h>

#include <memory>

#include "base/handles.h"
#include "skin/image_decode.h"

namespace {

// The bytes of a stream, as long as its own size report says.
bool ReadStream(IStream* stream, std::string* bytes) {
  STATSTG stat{};
  if (!stream || FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || stat.cbSize.QuadPart == 0 ||
      stat.cbSize.QuadPart > 64u * 1024 * 1024)
    return false;
  bytes->assign(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
  ULONG read = 0;
  return SUCCEEDED(stream->Read(&(*bytes)[0], static_cast<ULONG>(bytes->size()), &read)) && read == bytes->size();
}

bool ReadModuleResource(HMODULE module, int id, const wchar_t* type, std::string* bytes) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (!found) return false;
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(module, found);
  if (!data || size == 0) return false;
  bytes->assign(static_cast<const char*>(data), size);
  return true;
}

std::wstring FileName(const std::wstring& folder, int id, const wchar_t* type) {
  wchar_t name[64];
  swprintf(name, 64, L"\\%d.%ls", id, type);
  return folder + name;
}

}  // namespace

bool ReadFileBytes(const std::wstring& path, std::string* bytes) {
  const sys::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > 64 * 1024 * 1024)
    return false;
  bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  return ReadFile(file.Get(), &(*bytes)[0], static_cast<DWORD>(bytes->size()), &read, nullptr) && read == bytes->size();
}

GxResourceSource& GxResourceSource::Instance() {
  static GxResourceSource source;
  return source;
}

std::vector<std::string> GxResourceSource::ReadAll(int id, const wchar_t* type) const {
  std::vector<std::string> found;
  std::string bytes;
  if (Provider) {
    for (IStream* stream : {Provider->OpenFirst(type, id), Provider->OpenSecond(type, id)}) {
      const sys::ComPtr<IStream> owned(stream);
      if (ReadStream(stream, &bytes)) found.push_back(bytes);
    }
  }
  if (!Folder.empty() && ReadFileBytes(FileName(Folder, id, type), &bytes)) found.push_back(bytes);
  if (Module && ReadModuleResource(Module, id, type, &bytes)) found.push_back(bytes);
  if (ReadModuleResource(GetModuleHandleW(nullptr), id, type, &bytes)) found.push_back(bytes);
  return found;
}

bool GxResourceSource::ReadScaled(int id, const wchar_t* type, int percent, std::string* bytes) const {
  if (Folder.empty()) return false;
  wchar_t name[64];
  swprintf(name, 64, L"\\%d@%d.%ls", id, percent, type);
  return ReadFileBytes(Folder + name, bytes);
}

bool GxResourceSource::Read(int id, const wchar_t* type, std::string* bytes) const {
  std::vector<std::string> all = ReadAll(id, type);
  if (all.empty()) return false;
  *bytes = std::move(all.front());
  return true;
}

HBITMAP GxResourceSource::LoadBitmap(int id) const {
  if (Provider) {
    for (IStream* stream : {Provider->OpenSecond(MAKEINTRESOURCEW(2), id), Provider->OpenFirst(MAKEINTRESOURCEW(2), id)}) {
      const sys::ComPtr<IStream> owned(stream);
      std::string bytes;
      if (!ReadStream(stream, &bytes)) continue;
      const std::unique_ptr<Gdiplus::Image> image = DecodeImage(bytes);
      auto* bitmap = static_cast<Gdiplus::Bitmap*>(image.get());
      HBITMAP handle = nullptr;
      if (bitmap && bitmap->GetHBITMAP(Gdiplus::Color(255, 255, 255, 255), &handle) == Gdiplus::Ok) return handle;
    }
  }
  if (!Folder.empty()) {
    if (HANDLE loaded = LoadImageW(nullptr, FileName(Folder, id, L"bmp").c_str(), IMAGE_BITMAP, 0, 0,
                                   LR_LOADFROMFILE | LR_CREATEDIBSECTION))
      return static_cast<HBITMAP>(loaded);
  }
  for (HMODULE module : {Module, GetModuleHandleW(nullptr)}) {
    if (!module) continue;
    if (HANDLE loaded = LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))
      return static_cast<HBITMAP>(loaded);
  }
  return nullptr;
}
