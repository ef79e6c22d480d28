#include "sys/profile.h"

#include <vector>

#include "sys/file_utils.h"
#include "base/handles.h"

namespace ZFunction {
namespace {

const BYTE kUnicodeMark[] = {0xFF, 0xFE};

// Whether the text goes through the 8-bit code page of profile files unchanged.
bool FitsCodePage(const std::wstring& text) {
  if (text.empty()) return true;
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, &lossy);
  return n > 0 && !lossy;
}

bool WriteWhole(const std::wstring& file, const void* data, DWORD size, DWORD disposition) {
  sys::UniqueFile h(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return h && WriteFile(h.Get(), data, size, &written, nullptr) && written == size;
}

// Rewrites an 8-bit profile file as UTF-16 text with the same content.
void ConvertToUnicode(const std::wstring& file) {
  std::string bytes;
  if (!LoadFileText(file, bytes)) return;
  std::wstring text(bytes.size(), L'\0');
  const int n = bytes.empty() ? 0
                              : MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0],
                                                    static_cast<int>(text.size()));
  text.resize(n > 0 ? n : 0);
  std::vector<BYTE> out(kUnicodeMark, kUnicodeMark + sizeof(kUnicodeMark));
  const BYTE* raw = reinterpret_cast<const BYTE*>(text.data());
  out.insert(out.end(), raw, raw + text.size() * sizeof(wchar_t));
  WriteWhole(file, out.data(), static_cast<DWORD>(out.size()), TRUNCATE_EXISTING);
}

}  // namespace

std::wstring ReadProfileString(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                               const wchar_t* fallback, DWORD chars) {
  std::wstring value(chars, L'\0');
  const DWORD n = GetPrivateProfileStringW(section, key, fallback, &value[0], chars, file.c_str());
  value.resize(n);
  return value;
}

bool IsUnicodeProfile(const std::wstring& file) {
  sys::UniqueFile h(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  BYTE head[2] = {};
  DWORD got = 0;
  return h && ReadFile(h.Get(), head, sizeof(head), &got, nullptr) && got == sizeof(head) &&
         memcmp(head, kUnicodeMark, sizeof(head)) == 0;
}

void WriteProfileString(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                        const std::wstring& value) {
  if (!PathExists(file)) {
    WriteWhole(file, kUnicodeMark, sizeof(kUnicodeMark), CREATE_NEW);
  } else if (!FitsCodePage(value) || !FitsCodePage(section) || !FitsCodePage(key)) {
    if (!IsUnicodeProfile(file)) ConvertToUnicode(file);
  }
  WritePrivateProfileStringW(section, key, value.c_str(), file.c_str());
}

}  // namespace ZFunction
