#include "app/process_state.h"

#include "suite/suite_programs.h"
#include "sys/registry.h"

int ExitCode = 0;
HINSTANCE AppInstance = nullptr;

namespace {
bool g_ProcessNoReportId = false;
bool g_ProcessNoOldProduct = false;
}  // namespace

void RecordProcessStart() {
  g_ProcessNoReportId = ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kCommonKey, L"infoGUID").empty();
  g_ProcessNoOldProduct = ZFunction::ReadRegString(HKEY_CURRENT_USER, suite::kUninstallKey, L"UninstallString").empty() &&
                          ZFunction::ReadRegString(HKEY_LOCAL_MACHINE, suite::kUninstallKey, L"UninstallString").empty();
}

bool GetProcessNoReportId() { return g_ProcessNoReportId; }
bool GetProcessNoOldProduct() { return g_ProcessNoOldProduct; }
