// Where the UI library reads its images and XML: a provider the program may install, the
// resource folder, a resource module, and the program's own resources, tried in that order.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <functional>
#include <string>
#include <vector>

// Hands out resources as streams; asked before any file or module.
class GxResourceProvider {
 public:
  virtual ~GxResourceProvider() = default;
  // A readable stream of the resource of `type` (the bitmap type 2 as MAKEINTRESOURCE, else
  // L"png", L"jpg" or L"xml") and `id`, or null. The caller releases the stream.
  virtual IStream* OpenFirst(const wchar_t* type, int id) = 0;
  virtual IStream* OpenSecond(const wchar_t* type, int id) = 0;
};

// The bytes of a file; false when it does not open, is empty, over 64 MiB or not read whole.
bool ReadFileBytes(const std::wstring& path, std::string* bytes);

class GxResourceSource {
 public:
  static GxResourceSource& Instance();

  // The resource folder, a wide path without trailing separator ("" : none).
  void SetFolder(const std::wstring& folder) { Folder = folder; }
  const std::wstring& GetFolder() const { return Folder; }
  void SetModule(HMODULE module) { Module = module; }
  void SetProvider(GxResourceProvider* provider) { Provider = provider; }
  // Reads files before the disk does: the program may hold the resource folder's files in
  // memory while they are still being written. A file the reader does not have is read from
  // the disk.
  using FileReader = std::function<bool(const std::wstring& path, std::string* bytes)>;
  void SetFileReader(FileReader reader) { Reader = std::move(reader); }
  // The bytes of file `path`: the reader's, else the disk's (as ReadFileBytes).
  bool ReadFile(const std::wstring& path, std::string* bytes) const;

  // The bytes of resource `id` of `type` ("png", "jpg", "xml") from the first source that has
  // it; false when none has it.
  bool Read(int id, const wchar_t* type, std::string* bytes) const;
  // The artwork of `id` drawn at `percent` % (150, 200) for screens of more than 96 DPI: the
  // file "<folder>\<id>@<percent>.<type>"; false when there is none.
  bool ReadScaled(int id, const wchar_t* type, int percent, std::string* bytes) const;
  // The bytes of every source that has it, in source order (for the skins and styles XML).
  std::vector<std::string> ReadAll(int id, const wchar_t* type) const;
  // The bitmap `id`: provider streams (decoded over white), "<folder>\<id>.bmp", the module's
  // and the program's bitmap resource. Null when none has it.
  HBITMAP LoadBitmap(int id) const;

 private:
  GxResourceSource() = default;
  std::wstring Folder;
  HMODULE Module = nullptr;
  GxResourceProvider* Provider = nullptr;
  FileReader Reader;
};
