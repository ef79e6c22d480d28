// The named skins and style classes, and the two loaders that fill them from every XML source
// of a resource id (see GxResourceSource): an earlier source's name wins over a later one's.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "skin/skins.h"
#include "skin/style.h"

class GxSkinPool {
 public:
  static GxSkinPool& Instance();
  // The skin of that name, or null.
  CGxSkinBase* Find(const std::string& name) const;
  // Adds a skin unless the name is taken (then the new one is dropped); false when dropped.
  bool Add(const std::string& name, std::unique_ptr<CGxSkinBase> skin);
  void Clear() { Skins.clear(); }

 private:
  std::map<std::string, std::unique_ptr<CGxSkinBase>> Skins;
};

class GxStylePool {
 public:
  static GxStylePool& Instance();
  // The style of that name, else the default style (the empty name).
  const GxStyle& Find(const std::string& name) const;
  bool Has(const std::string& name) const { return Styles.count(name) != 0; }
  GxStyle& Add(const std::string& name);
  void Clear() { Styles.clear(); }

 private:
  std::map<std::string, std::unique_ptr<GxStyle>> Styles;
  GxStyle Fallback;  // before LoadStyles: a default style all the same
};

// Empties the skin pool and loads the skins of every XML source of `id`; true when a source
// was found.
bool LoadSkins(int id);
// Empties the style pool, adds the default style (empty name), and loads the style classes of
// every XML source of `id`; true when a source was found.
bool LoadStyles(int id);
// The same for one XML text (one source), for LoadSkins / LoadStyles and tests.
void LoadSkinsXml(const std::string& xml);
void LoadStylesXml(const std::string& xml);
