#include "skin/skin_pool.h"

#include <string.h>

#include "skin/resource_source.h"
#include "tinyxml2.h"

GxSkinPool& GxSkinPool::Instance() {
  static GxSkinPool* pool = new GxSkinPool();  // lives until the process ends
  return *pool;
}

CGxSkinBase* GxSkinPool::Find(const std::string& name) const {
  const auto found = Skins.find(name);
  return found == Skins.end() ? nullptr : found->second.get();
}

bool GxSkinPool::Add(const std::string& name, std::unique_ptr<CGxSkinBase> skin) {
  return Skins.emplace(name, std::move(skin)).second;
}

GxStylePool& GxStylePool::Instance() {
  static GxStylePool* pool = new GxStylePool();
  return *pool;
}

const GxStyle& GxStylePool::Find(const std::string& name) const {
  auto found = Styles.find(name);
  if (found == Styles.end()) found = Styles.find(std::string());
  return found == Styles.end() ? Fallback : *found->second;
}

GxStyle& GxStylePool::Add(const std::string& name) {
  auto& slot = Styles[name];
  if (!slot) slot = std::make_unique<GxStyle>();
  return *slot;
}

namespace {

// The root element of an XML text when it parses and carries `rootName`; null otherwise.
const tinyxml2::XMLElement* Root(tinyxml2::XMLDocument& doc, const std::string& xml, const char* rootName) {
  if (doc.Parse(xml.data(), xml.size()) != tinyxml2::XML_SUCCESS) return nullptr;
  const tinyxml2::XMLElement* root = doc.RootElement();
  return root && strcmp(root->Name(), rootName) == 0 ? root : nullptr;
}

}  // namespace

void LoadSkinsXml(const std::string& xml) {
  tinyxml2::XMLDocument doc;
  const tinyxml2::XMLElement* root = Root(doc, xml, "skins");
  if (!root) return;
  for (const tinyxml2::XMLElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
    const char* name = e->Attribute("name");
    if (!name) continue;
    std::unique_ptr<CGxSkinBase> skin = CreateSkin(e->Name());
    if (!skin) continue;
    skin->Load(*e);
    GxSkinPool::Instance().Add(name, std::move(skin));
  }
}

void LoadStylesXml(const std::string& xml) {
  tinyxml2::XMLDocument doc;
  const tinyxml2::XMLElement* root = Root(doc, xml, "style");
  if (!root) return;
  for (const tinyxml2::XMLElement* e = root->FirstChildElement("class"); e; e = e->NextSiblingElement("class")) {
    const char* name = e->Attribute("name");
    if (!name || GxStylePool::Instance().Has(name)) continue;
    GxStylePool::Instance().Add(name).Load(*e);
  }
}

bool LoadSkins(int id) {
  GxSkinPool::Instance().Clear();
  const std::vector<std::string> sources = GxResourceSource::Instance().ReadAll(id, L"xml");
  for (const std::string& xml : sources) LoadSkinsXml(xml);
  return !sources.empty();
}

bool LoadStyles(int id) {
  GxStylePool::Instance().Clear();
  GxStylePool::Instance().Add(std::string());
  const std::vector<std::string> sources = GxResourceSource::Instance().ReadAll(id, L"xml");
  for (const std::string& xml : sources) LoadStylesXml(xml);
  return !sources.empty();
}
