// The payload's configuration files: setup.xml (the install list and the report values) and
// deeprecommend.xml (the partner offers), parsed with tinyxml2.
#pragma once

#include <string>
#include <vector>

struct InstallItem {
  std::wstring path;
  std::wstring param;
  std::wstring type;
  int wait = 0;
  int show = 0;
};

struct DeepRecommendItem {
  std::wstring dis, name, url, param, reg;
};

// What setup.xml holds.
struct SetupConfig {
  std::vector<InstallItem> items;
  std::wstring iid, tid1, tid2, productId, versionTypes;
  int silent = 0;
};

// What deeprecommend.xml holds: the number of offers to act on (at most 1 and at most the
// items read) and the offers.
struct DeepRecommendConfig {
  int number = 0;
  std::vector<DeepRecommendItem> items;
};

namespace install_config {

// Parses setup.xml (its `text` when given, else the file). False (with the reason logged) when
// the file cannot be read or parsed, the install list is empty or the info element is missing.
bool ParseSetupXml(const std::wstring& file, SetupConfig& config, const std::string* text = nullptr);
// Parses deeprecommend.xml (its `text` when given, else the file). False when the file cannot be
// parsed or has no Config\DeepRecommend.
bool ParseDeepRecommendXml(const std::wstring& file, DeepRecommendConfig& config, const std::string* text = nullptr);

}  // namespace install_config
