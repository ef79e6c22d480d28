// The installation report: when the files are in place, the installer loads the suite's core
// library office6\lmo.dll from the new installation and hands it a report type and a small
// information-collection record through the library's two exports. The installer itself never
// talks to the network; what the library does with the record is the suite's business.
//
// The report runs in the engine, or in the user-level copy on the engine's request, so that the
// library sees the desktop user's identity and registry.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace report {

// The suite's per-user key the report fields are read from (current user's hive).
inline constexpr wchar_t kReportKey[] = L"SOFTWARE\\Tallis\\Office\\6.0\\Common";
// What a user without a readable "infoGUID" is reported as.
inline constexpr wchar_t kDefaultReportId[] = L"5C3A9E17D2B04F68A1E7C93B0D46F2A8";

// Characters (terminator included) a report value is read into; longer values count as
// unreadable and take their default.
constexpr DWORD kReportValueChars = 260;

// The record handed to _lmo_SIC. Each field is worked out on its first request and kept, so a
// record describes the machine as it was when the field was first asked for.
class InfoCollectFields {
 public:
  const std::wstring& Code() const { return Code_; }
  const std::wstring& Path() const { return Path_; }
  const std::wstring& Table() const { return Table_; }
  // "infoGUID" without "{", "}" and "-"; kDefaultReportId when unreadable.
  const std::wstring& ReportId();
  // "Version"; "0.0.0.X" when unreadable.
  const std::wstring& Version();
  // "DistSrc" through NormaliseDistSrc; "0.0" when unreadable.
  const std::wstring& DistSrc();
  // The Microsoft Office generation on the machine: "4" (2016), "3" (2010), "2" (2007),
  // "1" (2003), "0" none of them.
  const std::wstring& OfficeKind();

 private:
  const std::wstring Code_ = L"R4T2H8";
  const std::wstring Path_ = L"/lumen/client/info";
  const std::wstring Table_ = L"mso_infoc";
  std::optional<std::wstring> ReportId_, Version_, DistSrc_, OfficeKind_;
};

// "%d.%d" of the decimal numbers before and after the first "." (each read like a C number:
// leading blanks and a sign allowed, reading stops at the first non-digit, nothing read is 0).
// A value without "." is returned unchanged. "012.05" gives "12.5".
std::wstring NormaliseDistSrc(const std::wstring& value);

// The report type in the engine: 5 for a user who had no report id when the installer started,
// else 6 when no older installation was found at start, else the install item's parameter as a
// decimal number (the payload's list gives "3").
int EngineReportType(bool noReportId, bool noOldProduct, const std::wstring& itemParam);

// Sends the report through <installFolder>office6\lmo.dll (installFolder ends in a backslash).
// The library is loaded by its full path, with the DLL search folder pointed at office6 for its
// own dependencies, and stays loaded; afterwards the DLL search is put back as it was. A missing library or export skips that part silently. engineLog writes the engine's
// log lines (the user-level copy has no log).
void SendInstallReport(const std::wstring& installFolder, int reportType, bool engineLog);

}  // namespace report
