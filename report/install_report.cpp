#include "report/install_report.h"

#include <stdio.h>
#include <stdlib.h>

#include <memory>

#include "log/setup_log.h"
#include "base/handles.h"
#include "sys/system_info.h"

namespace report {
namespace {

// A string value read into a buffer of kReportValueChars characters. False when the key or
// value is missing, the value is no text, or it does not fit the buffer.
bool ReadReportValue(HKEY root, const wchar_t* subKey, const wchar_t* name, std::wstring& value) {
  sys::UniqueRegKey key;
  if (RegOpenKeyExW(root, subKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return false;
  wchar_t buffer[kReportValueChars + 1] = {};  // one more for a terminator the value may lack
  DWORD type = 0;
  DWORD bytes = kReportValueChars * sizeof(wchar_t);
  if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return false;
  value = buffer;
  return true;
}

std::wstring ReadOr(const wchar_t* name, const wchar_t* fallback) {
  std::wstring value;
  return ReadReportValue(HKEY_CURRENT_USER, kReportKey, name, value) ? value : std::wstring(fallback);
}

// A decimal number as the C runtime reads one; out-of-range values are clamped.
int DecimalNumber(const std::wstring& text) {
  return static_cast<int>(wcstol(text.c_str(), nullptr, 10));
}

// Uninstall keys of the Microsoft Office generations, newest first, and the kind each means.
struct OfficeGeneration {
  const wchar_t* key;
  const wchar_t* kind;
};
constexpr OfficeGeneration kOfficeGenerations[] = {
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{20150000-0011-0000-0000-0000000FF1CE}", L"4"},
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{90140000-0011-0000-0000-0000000FF1CE}", L"3"},
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{90120000-0011-0000-0000-0000000FF1CE}", L"2"},
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{90110804-6000-11D3-8CFE-0150048383C9}", L"1"},
};

// An owned, zero-terminated copy of a string, as the library gets them.
std::unique_ptr<wchar_t[]> CopyOf(const std::wstring& text) {
  std::unique_ptr<wchar_t[]> copy(new wchar_t[text.size() + 1]);
  text.copy(copy.get(), text.size());
  copy[text.size()] = L'\0';
  return copy;
}

using SendInfoCellectFn = int(__cdecl*)(int type);
using SicFn = int(__cdecl*)(int one, const wchar_t* code, const wchar_t* path, const wchar_t* table, int count,
                            const wchar_t* const* values);

}  // namespace

const std::wstring& InfoCollectFields::ReportId() {
  if (!ReportId_) {
    std::wstring id;
    if (ReadReportValue(HKEY_CURRENT_USER, kReportKey, L"infoGUID", id)) {
      std::wstring bare;
      for (wchar_t c : id)
        if (c != L'{' && c != L'}' && c != L'-') bare += c;
      ReportId_ = bare;
    } else {
      ReportId_ = kDefaultReportId;
    }
  }
  return *ReportId_;
}

const std::wstring& InfoCollectFields::Version() {
  if (!Version_) Version_ = ReadOr(L"Version", L"0.0.0.X");
  return *Version_;
}

const std::wstring& InfoCollectFields::DistSrc() {
  if (!DistSrc_) DistSrc_ = NormaliseDistSrc(ReadOr(L"DistSrc", L"0.0"));
  return *DistSrc_;
}

const std::wstring& InfoCollectFields::OfficeKind() {
  if (!OfficeKind_) {
    OfficeKind_ = L"0";
    for (const OfficeGeneration& generation : kOfficeGenerations) {
      std::wstring uninstall;
      if (ReadReportValue(HKEY_LOCAL_MACHINE, generation.key, L"UninstallString", uninstall)) {
        OfficeKind_ = generation.kind;
        break;
      }
    }
  }
  return *OfficeKind_;
}

std::wstring NormaliseDistSrc(const std::wstring& value) {
  const size_t dot = value.find(L'.');
  if (dot == std::wstring::npos) return value;
  wchar_t text[32] = {};
  swprintf(text, 32, L"%d.%d", DecimalNumber(value.substr(0, dot)), DecimalNumber(value.substr(dot + 1)));
  return text;
}

int EngineReportType(bool noReportId, bool noOldProduct, const std::wstring& itemParam) {
  if (noReportId) return 5;
  if (noOldProduct) return 6;
  return DecimalNumber(itemParam);
}


void SendInstallReport(const std::wstring& installFolder, int reportType, bool engineLog) {
  const std::wstring office6 = installFolder + L"office6";
  {
    // The library's own dependencies come from office6; the search the program had before is
    // put back afterwards.
    const ZFunction::ScopedDllFolder dllFolder(office6);
    // By its full path: a library of the same name beside the setup program, or one loaded
    // earlier from elsewhere, must not take the installation's place.
    if (HMODULE library = LoadLibraryW((office6 + L"\\lmo.dll").c_str())) {
      if (auto send = reinterpret_cast<SendInfoCellectFn>(GetProcAddress(library, "_lmo_SendInfoCellect")))
        send(reportType);
      if (engineLog) g_Log.Log("_lmo_SendInfoCellect End and _lmo_SIC start find.");

      if (auto sic = reinterpret_cast<SicFn>(GetProcAddress(library, "_lmo_SIC"))) {
        InfoCollectFields fields;
        const auto code = CopyOf(fields.Code());
        const auto path = CopyOf(fields.Path());
        const auto table = CopyOf(fields.Table());
        const std::unique_ptr<wchar_t[]> values[4] = {CopyOf(fields.ReportId()), CopyOf(fields.Version()),
                                                      CopyOf(fields.DistSrc()), CopyOf(fields.OfficeKind())};
        const wchar_t* const pointers[4] = {values[0].get(), values[1].get(), values[2].get(), values[3].get()};
        sic(1, code.get(), path.get(), table.get(), 4, pointers);
      }
      if (engineLog) g_Log.Log("_lmo_SIC End.");
      // The library stays loaded: it may still be sending when the call returns.
    }
  }
  if (engineLog) g_Log.Log("Send Infocellect End.");
}

}  // namespace report
