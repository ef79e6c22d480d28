// The user side done by this process: the installer runs as the desktop user (or is the
// user-level copy carrying out the elevated copy's requests).
#pragma once

#include "suite/user_side.h"

class LocalUserSide final : public UserSide {
 public:
  // noReportId, noOldProduct: what the process found when it started (no report identifier,
  // no installation of the suite), for the report's type. engineLog: the report writes the
  // engine's log lines.
  LocalUserSide(bool noReportId, bool noOldProduct, bool engineLog)
      : NoReportId(noReportId), NoOldProduct(noOldProduct), EngineLog(engineLog) {}

  std::wstring LocalAppData() const override;
  std::wstring AppData() const override;
  std::wstring InstallationRoot() const override;
  std::wstring StartMenuDir() const override;
  std::wstring OldInstallationRoot() const override;
  std::wstring WaitList() const override;
  void StoreWaitList(const std::wstring& list) override;
  std::wstring ReportId() override;
  std::wstring CirrusPath() override;

  bool Run(const std::wstring& program, const std::wstring& params, int wait, int show) override;
  void RunAsDesktopUser(const std::wstring& program, const std::wstring& params, int wait, int show) override;
  bool ShowCirrus(const std::wstring& params, int wait, int show) override;
  void SendReport(const std::wstring& installFolder, const std::wstring& itemParam) override;
  void SetEnvironment(const std::wstring& installFolder) override;
  void DeleteStartMenu(const std::wstring& name) override;
  void DeleteUserKeys() override;
  void ForgetMachineInstallation() override {}  // this hive goes with the machine's entries
  void DeleteRestartInfo() override;

 private:
  bool NoReportId, NoOldProduct, EngineLog;
};
