#include "skin/resource_source.h"

#include <stdio.h>

#include <memory>
#include <string.h>
#include <vector>

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

// The bytes of a bitmap file as the DIB section that loading the file makes; null for anything
// but an uncompressed (or bit-field) bitmap whose header, colours and pixels lie in the bytes.
HBITMAP DibFromFileBytes(const std::string& bytes) {
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER header{};
  if (bytes.size() < sizeof(file) + sizeof(header)) return nullptr;
  memcpy(&file, bytes.data(), sizeof(file));
  memcpy(&header, bytes.data() + sizeof(file), sizeof(header));
  const WORD bits = header.biBitCount;
  if (file.bfType != 0x4D42 || header.biSize < sizeof(header) || header.biPlanes != 1 ||
      (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS) || header.biWidth <= 0 ||
      header.biWidth > 32767 || header.biHeight == 0 || header.biHeight < -32767 || header.biHeight > 32767 ||
      (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
    return nullptr;
  const UINT64 colours = header.biClrUsed ? header.biClrUsed : bits <= 8 ? 1u << bits : 0;
  const UINT64 masks = header.biCompression == BI_BITFIELDS && header.biSize == sizeof(header) ? 3 : 0;
  const UINT64 info = header.biSize + (colours + masks) * sizeof(RGBQUAD);
  const UINT64 stride = (static_cast<UINT64>(header.biWidth) * bits + 31) / 32 * 4;
  const UINT64 pixels = stride * static_cast<UINT64>(header.biHeight < 0 ? -header.biHeight : header.biHeight);
  if (file.bfOffBits < sizeof(file) + info || file.bfOffBits > bytes.size() || bytes.size() - file.bfOffBits < pixels)
    return nullptr;
  // The header and colours copied to memory aligned for them (the file puts them at offset 14).
  std::vector<DWORD> aligned((info + sizeof(DWORD) - 1) / sizeof(DWORD));
  memcpy(aligned.data(), bytes.data() + sizeof(file), static_cast<size_t>(info));
  void* target = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(aligned.data()), DIB_RGB_COLORS, &target,
                                 nullptr, 0);
  if (dib && target) memcpy(target, bytes.data() + file.bfOffBits, static_cast<size_t>(pixels));
  return dib;
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

bool GxResourceSource::ReadFile(const std::wstring& path, std::string* bytes) const {
  return (Reader && Reader(path, bytes) && !bytes->empty()) || ReadFileBytes(path, bytes);
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
  if (!Folder.empty() && ReadFile(FileName(Folder, id, type), &bytes)) found.push_back(bytes);
  if (Module && ReadModuleResource(Module, id, type, &bytes)) found.push_back(bytes);
  if (ReadModuleResource(GetModuleHandleW(nullptr), id, type, &bytes)) found.push_back(bytes);
  return found;
}

bool GxResourceSource::ReadScaled(int id, const wchar_t* type, int percent, std::string* bytes) const {
  if (Folder.empty()) return false;
  wchar_t name[64];
  swprintf(name, 64, L"\\%d@%d.%ls", id, percent, type);
  return ReadFile(Folder + name, bytes);
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
    const std::wstring file = FileName(Folder, id, L"bmp");
    std::string bytes;
    if (Reader && Reader(file, &bytes)) {
      if (HBITMAP dib = DibFromFileBytes(bytes)) return dib;
    } else if (HANDLE loaded = LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)) {
      return static_cast<HBITMAP>(loaded);
    }
  }
  for (HMODULE module : {Module, GetModuleHandleW(nullptr)}) {
    if (!module) continue;
    if (HANDLE loaded = LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))
      return static_cast<HBITMAP>(loaded);
  }
  return nullptr;
}
