// A user side that only records what it is asked, for tests of the engine and the cleanup:
// each step appends one line ("Run <program> <params> <wait> <show>", "DeleteUserKeys", ...),
// and the user's values are fields a test sets.
#pragma once

#include <string>
#include <vector>

#include "suite/user_side.h"

class RecordingUserSide final : public UserSide {
 public:
  std::vector<std::wstring> calls;
  std::wstring localAppData, appData, installationRoot, startMenuDir, oldInstallationRoot, waitList;
  std::wstring reportId, cirrusPath;
  bool runResult = true;

  std::wstring LocalAppData() const override { return localAppData; }
  std::wstring AppData() const override { return appData; }
  std::wstring InstallationRoot() const override { return installationRoot; }
  std::wstring StartMenuDir() const override { return startMenuDir; }
  std::wstring OldInstallationRoot() const override { return oldInstallationRoot; }
  std::wstring WaitList() const override { return waitList; }
  void StoreWaitList(const std::wstring& list) override {
    waitList = list;
    calls.push_back(L"StoreWaitList " + list);
  }
  std::wstring ReportId() override { return Record(L"ReportId"), reportId; }
  std::wstring CirrusPath() override { return Record(L"CirrusPath"), cirrusPath; }

  bool Run(const std::wstring& program, const std::wstring& params, int wait, int show) override {
    Record(L"Run " + program + L" " + params + L" " + std::to_wstring(wait) + L" " + std::to_wstring(show));
    return runResult;
  }
  void RunAsDesktopUser(const std::wstring& program, const std::wstring& params, int wait, int show) override {
    Record(L"RunAsDesktopUser " + program + L" " + params);
  }
  bool ShowCirrus(const std::wstring& params, int wait, int show) override {
    Record(L"ShowCirrus " + params + L" " + std::to_wstring(wait) + L" " + std::to_wstring(show));
    return runResult;
  }
  void SendReport(const std::wstring& installFolder, const std::wstring& itemParam) override {
    Record(L"SendReport " + installFolder + L" " + itemParam);
  }
  void SetEnvironment(const std::wstring& installFolder) override { Record(L"SetEnvironment " + installFolder); }
  void DeleteStartMenu(const std::wstring& name) override { Record(L"DeleteStartMenu " + name); }
  void DeleteUserKeys() override { Record(L"DeleteUserKeys"); }
  void ForgetMachineInstallation() override { Record(L"ForgetMachineInstallation"); }
  void DeleteRestartInfo() override { Record(L"DeleteRestartInfo"); }

 private:
  void Record(const std::wstring& call) { calls.push_back(call); }
};
