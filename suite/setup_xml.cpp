#include "suite/setup_xml.h"

#include <windows.h>
#include <stdio.h>

#include "log/setup_log.h"
#include "tinyxml2.h"

namespace install_config {
namespace {

std::wstring FromUtf8(const char* text) {
  if (!text || !*text) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (n <= 1) return std::wstring();
  std::wstring wide(n - 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], n);
  return wide;
}

std::wstring TextAttribute(const tinyxml2::XMLElement* e, const char* name) { return FromUtf8(e->Attribute(name)); }

int IntAttribute(const tinyxml2::XMLElement* e, const char* name) {
  int value = 0;
  return e->QueryIntAttribute(name, &value) == tinyxml2::XML_SUCCESS ? value : 0;
}

// Loads an XML file through a wide path, or its text when given. False when it cannot be read
// or parsed.
bool LoadXml(const std::wstring& file, const std::string* text, tinyxml2::XMLDocument& doc) {
  if (text) return doc.Parse(text->data(), text->size()) == tinyxml2::XML_SUCCESS;
  FILE* f = _wfopen(file.c_str(), L"rb");
  if (!f) return false;
  const tinyxml2::XMLError error = doc.LoadFile(f);
  fclose(f);
  return error == tinyxml2::XML_SUCCESS;
}

// The first element along a backslash path from the document root ("config\office\info").
const tinyxml2::XMLElement* FindPath(const tinyxml2::XMLDocument& doc, const char* path) {
  const tinyxml2::XMLNode* node = &doc;
  std::string rest = path;
  while (node && !rest.empty()) {
    const size_t cut = rest.find('\\');
    const std::string name = rest.substr(0, cut);
    rest = cut == std::string::npos ? std::string() : rest.substr(cut + 1);
    node = node->FirstChildElement(name.c_str());
  }
  return node ? node->ToElement() : nullptr;
}

}  // namespace

bool ParseSetupXml(const std::wstring& file, SetupConfig& config, const std::string* text) {
  tinyxml2::XMLDocument doc;
  if (!LoadXml(file, text, doc)) {
    g_Log.Log("ZInsall::ParseConfig cannot read %ws", file.c_str());
    return false;
  }
  config.items.clear();
  for (const tinyxml2::XMLElement* e = FindPath(doc, "config\\office\\install\\item"); e;
       e = e->NextSiblingElement("item")) {
    InstallItem item;
    item.path = TextAttribute(e, "path");
    item.param = TextAttribute(e, "param");
    item.wait = IntAttribute(e, "wait");
    item.show = IntAttribute(e, "show");
    item.type = TextAttribute(e, "type");
    g_Log.Log("ZInsall::ParseInstall path:%ws, cmd:%ws, wait:%d, show:%d, type:%ws", item.path.c_str(),
              item.param.c_str(), item.wait, item.show, item.type.c_str());
    config.items.push_back(std::move(item));
  }
  if (config.items.empty()) {
    g_Log.Log("ZInsall::ParseConfig the install list is empty");
    return false;
  }
  const tinyxml2::XMLElement* info = FindPath(doc, "config\\office\\info");
  if (!info) {
    g_Log.Log("ZInsall::ParseConfig no info element");
    return false;
  }
  config.iid = TextAttribute(info, "iid");
  config.tid1 = TextAttribute(info, "tid1");
  config.tid2 = TextAttribute(info, "tid2");
  config.productId = TextAttribute(info, "productid");
  config.versionTypes = TextAttribute(info, "versiontypes");
  config.silent = IntAttribute(info, "silent");
  g_Log.Log("iid:%ws tid1:%ws tid2:%ws productid:%ws versiontypes:%ws", config.iid.c_str(), config.tid1.c_str(),
            config.tid2.c_str(), config.productId.c_str(), config.versionTypes.c_str());
  return true;
}

bool ParseDeepRecommendXml(const std::wstring& file, DeepRecommendConfig& config, const std::string* text) {
  config = DeepRecommendConfig();
  tinyxml2::XMLDocument doc;
  if (!LoadXml(file, text, doc)) {
    g_Log.Log("ZInsall::ParseDeepRecommend cannot read %ws", file.c_str());
    return false;
  }
  const tinyxml2::XMLElement* offers = FindPath(doc, "Config\\DeepRecommend");
  if (!offers) return false;
  config.number = IntAttribute(offers, "number");
  if (config.number > 1) config.number = 1;
  g_Log.Log("m_DeeprecommendNumber:%d", config.number);
  if (config.number >= 1) {
    for (const tinyxml2::XMLElement* e = offers->FirstChildElement("item"); e; e = e->NextSiblingElement("item")) {
      DeepRecommendItem item{TextAttribute(e, "deeprecommenddis"), TextAttribute(e, "deeprecommendname"),
                             TextAttribute(e, "deeprecommendurl"), TextAttribute(e, "deeprecommendparam"),
                             TextAttribute(e, "deeprecommendreg")};
      g_Log.Log("ZInsall::ParseDeepRecommend show:%ws name:%ws, url:%ws, cmd:%ws, reg:%ws", item.dis.c_str(),
                item.name.c_str(), item.url.c_str(), item.param.c_str(), item.reg.c_str());
      config.items.push_back(std::move(item));
    }
    if (config.number > static_cast<int>(config.items.size())) config.number = static_cast<int>(config.items.size());
  }
  return true;
}

}  // namespace install_config
