// Generates a suite-like payload folder for the extraction and install benchmarks: program
// files below office6/, templates/, utility/ and wtoolex/ (nested folders, some with Chinese
// names, a few empty ones) with a realistic mix of contents:
//   - PE files: the given PE files themselves (a suite ships its runtime DLLs, some of them
//     twice), and many more "varied" PE files made from them: the original headers followed
//     by short fragments taken from nearby positions of the source, so that the result stays
//     code-like (branch filters still find their calls and jumps) but is not a plain copy the
//     compressor could match as a whole;
//   - XML, configuration and string tables (compressible text, some of it Chinese);
//   - already-compressed data: images, zip-based templates, packed resources (random bytes
//     behind the right signatures);
//   - fonts and dictionaries (binary with a skewed byte distribution);
//   - OLE-style templates (mostly zero-filled sectors with some text).
// Everything is drawn from one seeded generator: the same seed, size, file count and PE files
// give the same folder, byte for byte.
//
//   payload_gen <out folder> <total bytes> <file count> <seed> <PE file>...
// The out folder must be missing or empty.
//
// Host program (built and run by make_payload.sh); standard C++17 only.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// splitmix64: small, fast and the same on every platform.
class Rng {
 public:
  explicit Rng(uint64_t seed) : State(seed) {}
  uint64_t Next() {
    uint64_t z = (State += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint64_t Below(uint64_t n) { return n ? Next() % n : 0; }
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  // Standard normal (Box-Muller).
  double Normal() {
    const double u = std::max(Unit(), 1e-12), v = Unit();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
  }
  // Zipf-like index in [0, n): small indices are much more frequent.
  size_t Skewed(size_t n, double power = 2.2) { return static_cast<size_t>(std::pow(Unit(), power) * n); }

 private:
  uint64_t State;
};

enum class Kind { Pe, Xml, Lang, Text, Random, Font, Template, Svg };

struct Entry {
  fs::path Path;       // relative
  Kind What;
  uint64_t Size;
  int Source = -1;     // PE source index
  bool Verbatim = false;
};

struct Pe {
  std::string Name;
  std::vector<unsigned char> Data;
  size_t HeaderSize;   // headers kept as they are in a varied copy
};

// ---------------------------------------------------------------------------------------
// Words and names
// ---------------------------------------------------------------------------------------
const char* const kSyllables[] = {"ka", "lo", "mi", "ren", "tor", "vel", "sha", "pri", "dex", "gon", "lu", "ma",
                                  "sto", "fer", "qui", "zan", "bel", "cor", "dra", "fin", "hal", "jin", "kel", "nor",
                                  "pal", "ras", "sen", "tal", "vor", "wen", "xi", "yo"};
const char* const kModuleWords[] = {
    "core",   "draw",   "text",    "sheet",  "slide",  "render", "font",   "spell",  "chart", "formula", "pdf",
    "print",  "ocr",    "image",   "export", "net",    "update", "report", "ui",     "theme", "xml",     "zip",
    "mail",   "shape",  "table",   "media",  "script", "macro",  "cloud",  "sync",   "ink",   "math",    "layout",
    "kernel", "io",     "crypt",   "sign",   "html",   "rtf",    "odf",    "ooxml",  "svg",   "emf",     "wmf",
    "jpeg",   "png",    "tiff",    "gif",    "webp",   "audio",  "video",  "player", "scan",  "dict",    "thesaurus",
    "hyphen", "pinyin", "convert", "merge",  "split",  "compare", "review", "track",  "comment", "note", "outline",
    "view",   "edit",   "frame",   "style",  "doc",    "book",   "calc",   "present", "base",  "form",   "field"};
const char* const kAddonNames[] = {"pdfreader", "docmerge", "ocrscan", "cloudsync", "mathtype", "barcode",
                                   "signpad", "translate", "mindmap", "flowchart"};
const char* const kTemplateFolders[] = {"通用", "公文", "简历", "教育\\课件", "商务\\报告", "商务\\合同", "演示",
                                        "表格\\财务", "表格\\统计", "Letters", "Reports"};
const char* const kTemplateWords[] = {"年度总结", "工作计划", "会议纪要", "个人简历", "项目报告", "通知", "合同",
                                      "请示", "课程表", "财务报表", "销售统计", "周报", "月报", "简洁", "商务",
                                      "invoice", "letter", "memo", "resume", "agenda", "budget", "calendar"};
// Common CJK characters for string tables (a plain run of the unified block is good enough).
constexpr uint32_t kCjkFirst = 0x4E00;
constexpr uint32_t kCjkCount = 3000;

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// A vocabulary of pseudo-words; text draws from it with a skewed distribution.
class Vocabulary {
 public:
  explicit Vocabulary(Rng& rng) {
    for (int i = 0; i < 4000; ++i) {
      std::string w;
      const int n = 1 + static_cast<int>(rng.Below(3));
      for (int k = 0; k < n; ++k) w += kSyllables[rng.Below(std::size(kSyllables))];
      Words.push_back(w);
    }
    for (int i = 0; i < 3000; ++i) {  // Chinese "words" of 1..4 characters, skewed characters
      std::string w;
      const int n = 1 + static_cast<int>(rng.Below(4));
      for (int k = 0; k < n; ++k) AppendUtf8(w, kCjkFirst + static_cast<uint32_t>(rng.Skewed(kCjkCount)));
      Chinese.push_back(w);
    }
  }
  const std::string& Word(Rng& rng) const { return Words[rng.Skewed(Words.size())]; }
  const std::string& ChineseWord(Rng& rng) const { return Chinese[rng.Skewed(Chinese.size())]; }
  std::string Sentence(Rng& rng, bool chinese) const {
    std::string s;
    const int n = 2 + static_cast<int>(rng.Below(9));
    for (int i = 0; i < n; ++i) {
      if (chinese) {
        s += ChineseWord(rng);
      } else {
        if (i) s += ' ';
        s += Word(rng);
      }
    }
    return s;
  }

 private:
  std::vector<std::string> Words, Chinese;
};

// ---------------------------------------------------------------------------------------
// Contents
// ---------------------------------------------------------------------------------------
using Bytes = std::vector<unsigned char>;

void Append(Bytes& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

void FillRandom(Rng& rng, unsigned char* p, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const uint64_t v = rng.Next();
    std::memcpy(p + i, &v, 8);
  }
  for (; i < n; ++i) p[i] = static_cast<unsigned char>(rng.Next());
}

// Already-compressed data behind a signature that fits the extension.
Bytes MakeRandom(Rng& rng, uint64_t size, const std::string& ext) {
  Bytes out;
  if (ext == ".png") {
    const unsigned char sig[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    out.assign(std::begin(sig), std::end(sig));
  } else if (ext == ".jpg") {
    const unsigned char sig[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0};
    out.assign(std::begin(sig), std::end(sig));
  } else if (ext == ".zip" || ext == ".dotx" || ext == ".xlsx" || ext == ".pptx" || ext == ".wptx") {
    const unsigned char sig[] = {'P', 'K', 3, 4, 20, 0, 0, 0, 8, 0};
    out.assign(std::begin(sig), std::end(sig));
  } else if (ext == ".7z") {
    const unsigned char sig[] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C, 0, 4};
    out.assign(std::begin(sig), std::end(sig));
  }
  const size_t head = std::min<size_t>(out.size(), size);
  out.resize(size);
  FillRandom(rng, out.data() + head, size - head);
  return out;
}

// Binary with a skewed byte distribution (glyph outlines, dictionary indexes): about half size
// under LZMA.
Bytes MakeFont(Rng& rng, uint64_t size) {
  Bytes out(size);
  const unsigned char sig[] = {0, 1, 0, 0, 0, 0x12, 0, 0x80, 0, 3, 0, 0x20};
  std::memcpy(out.data(), sig, std::min<size_t>(sizeof sig, size));
  for (size_t i = std::min<size_t>(sizeof sig, size); i < size; ++i) {
    const uint64_t r = rng.Next();
    // Mostly small deltas, sometimes a byte of anything.
    out[i] = (r & 7) == 0 ? static_cast<unsigned char>(r >> 8) : static_cast<unsigned char>(((r >> 8) % 24) * ((r >> 16) & 3));
  }
  return out;
}

// OLE compound-file-like template: 512-byte sectors, many of them zero, some text.
Bytes MakeTemplate(Rng& rng, const Vocabulary& vocab, uint64_t size) {
  Bytes out(size, 0);
  const unsigned char sig[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(out.data(), sig, std::min<size_t>(sizeof sig, size));
  for (size_t at = 512; at < size; at += 512) {
    const uint64_t r = rng.Below(10);
    const size_t n = std::min<size_t>(512, size - at);
    if (r < 4) continue;  // zero sector
    if (r < 8) {          // text (UTF-8 here; what matters is its redundancy)
      std::string s;
      while (s.size() < n) s += vocab.Sentence(rng, rng.Below(2) == 0) + "\r";
      std::memcpy(out.data() + at, s.data(), n);
    } else if (r < 9) {   // allocation table: ascending numbers
      for (size_t k = 0; k + 4 <= n; k += 4) {
        const uint32_t v = static_cast<uint32_t>((at + k) / 512 + 1);
        std::memcpy(out.data() + at + k, &v, 4);
      }
    } else {              // an embedded picture
      FillRandom(rng, out.data() + at, n);
    }
  }
  return out;
}

std::string Identifier(Rng& rng, const Vocabulary& vocab) {
  std::string id = "IDS";
  for (int i = 0; i < 3; ++i) {
    std::string w = vocab.Word(rng);
    for (char& c : w) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    id += "_" + w;
  }
  return id + "_" + std::to_string(rng.Below(5000));
}

Bytes MakeXml(Rng& rng, const Vocabulary& vocab, uint64_t size, Kind kind) {
  Bytes out;
  out.reserve(size + 4096);
  const bool lang = kind == Kind::Lang;
  Append(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
  if (kind == Kind::Svg) {
    Append(out, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" viewBox=\"0 0 32 32\">\r\n");
    while (out.size() < size) {
      std::string d = "  <path fill=\"#" + std::to_string(100000 + rng.Below(800000)) + "\" d=\"M";
      const int n = 4 + static_cast<int>(rng.Below(20));
      for (int i = 0; i < n; ++i)
        d += std::to_string(rng.Below(32)) + "." + std::to_string(rng.Below(100)) + " " +
             std::to_string(rng.Below(32)) + "." + std::to_string(rng.Below(100)) + (i + 1 < n ? "L" : "Z");
      Append(out, d + "\"/>\r\n");
    }
    out.resize(size);
    return out;
  }
  Append(out, lang ? "<resources lang=\"zh_CN\">\r\n" : "<config version=\"3\">\r\n");
  int depth = 1;
  while (out.size() < size) {
    const uint64_t r = rng.Below(12);
    std::string indent(depth * 2, ' ');
    if (r == 0 && depth < 6) {
      Append(out, indent + "<group name=\"" + vocab.Word(rng) + "\" id=\"" + std::to_string(rng.Below(100000)) + "\">\r\n");
      ++depth;
    } else if (r == 1 && depth > 1) {
      --depth;
      Append(out, std::string(depth * 2, ' ') + "</group>\r\n");
    } else if (lang) {
      Append(out, indent + "<string id=\"" + Identifier(rng, vocab) + "\">" + vocab.Sentence(rng, true) + "</string>\r\n");
    } else {
      Append(out, indent + "<item key=\"" + vocab.Word(rng) + "." + vocab.Word(rng) + "\" value=\"" +
                      (rng.Below(3) ? std::to_string(rng.Below(1000)) : vocab.Word(rng)) + "\" enabled=\"" +
                      (rng.Below(2) ? "true" : "false") + "\"/>\r\n");
    }
  }
  out.resize(size);
  return out;
}

Bytes MakeText(Rng& rng, const Vocabulary& vocab, uint64_t size, const std::string& ext) {
  Bytes out;
  out.reserve(size + 4096);
  if (ext == ".ini") {
    while (out.size() < size) {
      Append(out, "[" + vocab.Word(rng) + "]\r\n");
      const int n = 3 + static_cast<int>(rng.Below(12));
      for (int i = 0; i < n; ++i)
        Append(out, vocab.Word(rng) + "=" + (rng.Below(2) ? std::to_string(rng.Below(100000)) : vocab.Word(rng)) + "\r\n");
    }
  } else if (ext == ".json") {
    Append(out, "{\r\n");
    while (out.size() < size)
      Append(out, "  \"" + vocab.Word(rng) + "_" + vocab.Word(rng) + "\": \"" + vocab.Sentence(rng, rng.Below(4) == 0) + "\",\r\n");
  } else if (ext == ".js" || ext == ".qss") {
    while (out.size() < size) {
      Append(out, "function " + vocab.Word(rng) + "(" + vocab.Word(rng) + ", " + vocab.Word(rng) + ") {\r\n");
      const int n = 2 + static_cast<int>(rng.Below(10));
      for (int i = 0; i < n; ++i)
        Append(out, "    var " + vocab.Word(rng) + " = " + vocab.Word(rng) + "." + vocab.Word(rng) + "(" +
                        std::to_string(rng.Below(256)) + ");\r\n");
      Append(out, "}\r\n\r\n");
    }
  } else {  // .txt, .dic: a line per entry
    while (out.size() < size) Append(out, vocab.Sentence(rng, rng.Below(3) == 0) + "\r\n");
  }
  out.resize(size);
  return out;
}

// A PE file of `size` bytes made from `src`: its headers as they are, then fragments of 2 to
// about 20 bytes, each taken from near the same position of the source (so code stays among
// code and data among data).
Bytes MakeVariedPe(Rng& rng, const Pe& src, uint64_t size) {
  Bytes out(size);
  const size_t head = std::min<size_t>(src.HeaderSize, size);
  std::memcpy(out.data(), src.Data.data(), head);
  const size_t srcSize = src.Data.size();
  const size_t bodyFirst = src.HeaderSize;
  const size_t bodySize = srcSize - bodyFirst;
  size_t at = bodyFirst;  // walking position in the source
  for (size_t o = head; o < size;) {
    size_t len = 2;
    while (len < 48 && rng.Below(100) < 88) ++len;  // geometric, mean ~9
    len = std::min<size_t>(len, size - o);
    const int64_t jitter = static_cast<int64_t>(rng.Below(8193)) - 4096;
    int64_t from = static_cast<int64_t>(at) + jitter;
    from = std::clamp<int64_t>(from, static_cast<int64_t>(bodyFirst), static_cast<int64_t>(srcSize - len));
    std::memcpy(out.data() + o, src.Data.data() + from, len);
    o += len;
    at += len;
    if (at + 64 >= srcSize) at = bodyFirst + rng.Below(std::max<size_t>(bodySize / 8, 1));
  }
  return out;
}

// ---------------------------------------------------------------------------------------
// The plan: which files, where, what and how big
// ---------------------------------------------------------------------------------------
struct KindShare {
  Kind What;
  const char* Ext;
  double Files;   // share of the group's files
  double Scale;   // typical size relative to the other kinds of the group
};

struct Group {
  std::vector<std::string> Folders;  // files are spread over these
  double Bytes;                      // share of the total size
  double Files;                      // share of the file count
  std::vector<KindShare> Kinds;
  uint64_t MaxSize;
};

std::string ModuleName(Rng& rng, const std::string& prefix) {
  std::string name = prefix + kModuleWords[rng.Below(std::size(kModuleWords))];
  if (rng.Below(3) == 0) name += std::string("_") + kModuleWords[rng.Below(std::size(kModuleWords))];
  if (rng.Below(4) == 0) name += std::to_string(rng.Below(4) + 1);
  return name;
}

std::string FileNameFor(Rng& rng, Kind kind, const std::string& ext) {
  switch (kind) {
    case Kind::Pe: return ModuleName(rng, rng.Below(2) ? "lm" : "") + ext;
    case Kind::Template: return std::string(kTemplateWords[rng.Below(std::size(kTemplateWords))]) + ext;
    case Kind::Random:
      if (ext == ".dotx" || ext == ".xlsx" || ext == ".pptx")
        return std::string(kTemplateWords[rng.Below(std::size(kTemplateWords))]) + ext;
      return ModuleName(rng, "") + ext;
    default: return ModuleName(rng, "") + ext;
  }
}

std::vector<Group> Groups() {
  const uint64_t MB = 1048576;
  std::vector<Group> g;
  g.push_back({{"office6"}, 38, 60, {{Kind::Pe, ".dll", 0.8, 1}, {Kind::Pe, ".exe", 0.2, 1}}, 16 * MB});
  {
    Group addons{{}, 6, 60, {{Kind::Pe, ".dll", 0.4, 6}, {Kind::Xml, ".xml", 0.3, 0.3}, {Kind::Random, ".png", 0.3, 0.2}}, 6 * MB};
    for (const char* a : kAddonNames) {
      addons.Folders.push_back(std::string("office6\\addons\\") + a);
      addons.Folders.push_back(std::string("office6\\addons\\") + a + "\\res");
    }
    g.push_back(addons);
  }
  g.push_back({{"office6\\qt\\plugins\\imageformats", "office6\\qt\\plugins\\platforms", "office6\\qt\\plugins\\styles",
                "office6\\qt\\plugins\\printsupport", "office6\\qt\\plugins\\sqldrivers"},
               4, 22, {{Kind::Pe, ".dll", 1, 1}}, 4 * MB});
  g.push_back({{"office6\\mui\\zh_CN", "office6\\mui\\zh_TW", "office6\\mui\\en_US", "office6\\mui\\zh_CN\\resource",
                "office6\\mui\\en_US\\resource", "office6\\2052", "office6\\1033"},
               6, 60, {{Kind::Lang, ".xml", 0.5, 1}, {Kind::Text, ".txt", 0.2, 0.5}, {Kind::Random, ".png", 0.3, 0.2}}, 8 * MB});
  g.push_back({{"office6\\res\\icons\\16", "office6\\res\\icons\\32", "office6\\res\\icons\\48", "office6\\res\\skins\\默认",
                "office6\\res\\skins\\深色", "office6\\res\\skins\\经典\\ribbon", "office6\\res\\splash", "office6\\res\\packs"},
               8, 95, {{Kind::Random, ".png", 0.55, 0.3}, {Kind::Svg, ".svg", 0.3, 0.1}, {Kind::Random, ".jpg", 0.1, 2},
                       {Kind::Random, ".7z", 0.05, 10}}, 12 * MB});
  g.push_back({{"office6\\cfgs", "office6\\cfgs\\ribbon", "office6\\cfgs\\startup", "office6\\scripts"},
               4, 42, {{Kind::Xml, ".xml", 0.6, 1}, {Kind::Text, ".ini", 0.2, 0.2}, {Kind::Text, ".json", 0.1, 0.5},
                       {Kind::Text, ".js", 0.1, 1}}, 4 * MB});
  g.push_back({{"office6\\fonts"}, 7, 8, {{Kind::Font, ".ttf", 1, 1}}, 12 * MB});
  g.push_back({{"office6\\data\\dict", "office6\\data\\dict\\中文", "office6\\data\\formula"},
               6, 20, {{Kind::Text, ".dic", 0.5, 1}, {Kind::Font, ".dat", 0.3, 1}, {Kind::Xml, ".xml", 0.2, 0.3}}, 10 * MB});
  {
    Group templates{{}, 10, 150, {{Kind::Template, ".dot", 0.35, 1}, {Kind::Template, ".wpt", 0.15, 1},
                                  {Kind::Random, ".dotx", 0.3, 0.6}, {Kind::Random, ".xlsx", 0.1, 0.4},
                                  {Kind::Random, ".pptx", 0.1, 3}}, 8 * MB};
    for (const char* f : kTemplateFolders) templates.Folders.push_back(std::string("templates\\") + f);
    g.push_back(templates);
  }
  g.push_back({{"utility", "utility\\tools", "utility\\config"}, 5, 28,
               {{Kind::Pe, ".exe", 0.4, 1}, {Kind::Pe, ".dll", 0.3, 1}, {Kind::Text, ".ini", 0.3, 0.01}}, 6 * MB});
  g.push_back({{"wtoolex", "wtoolex\\converter", "wtoolex\\converter\\filters", "wtoolex\\ocr", "wtoolex\\ocr\\模型",
                "wtoolex\\pdf"},
               6, 55, {{Kind::Pe, ".dll", 0.5, 1}, {Kind::Pe, ".exe", 0.15, 1}, {Kind::Font, ".dat", 0.15, 2},
                       {Kind::Xml, ".xml", 0.2, 0.05}}, 10 * MB});
  return g;
}

const char* const kEmptyFolders[] = {"office6\\addons\\empty", "templates\\空", "utility\\logs", "wtoolex\\cache"};

fs::path ToPath(const std::string& backslashed) {
  std::string s = backslashed;
  std::replace(s.begin(), s.end(), '\\', '/');
  return fs::u8path(s);
}

size_t PeHeaderSize(const Bytes& d) {
  // SizeOfHeaders of the optional header when readable, else 1 KiB.
  if (d.size() >= 0x40 && d[0] == 'M' && d[1] == 'Z') {
    uint32_t pe;
    std::memcpy(&pe, d.data() + 0x3C, 4);
    if (pe + 24 + 64 <= d.size() && std::memcmp(d.data() + pe, "PE\0\0", 4) == 0) {
      uint32_t headers;
      std::memcpy(&headers, d.data() + pe + 24 + 60, 4);
      if (headers >= 0x200 && headers < d.size() / 2) return headers;
    }
  }
  return std::min<size_t>(1024, d.size() / 2);
}

// Stripping writes the current time into the PE header (and its checksum): both get fixed
// values, so that the payload does not change with the day it was made.
void NormalizeStamp(Bytes& d) {
  uint32_t pe;
  std::memcpy(&pe, d.data() + 0x3C, 4);
  if (static_cast<uint64_t>(pe) + 24 + 68 > d.size() || std::memcmp(d.data() + pe, "PE\0\0", 4) != 0) return;
  const uint32_t stamp = 0x5F000000, checksum = 0;
  std::memcpy(d.data() + pe + 8, &stamp, 4);           // file header TimeDateStamp
  std::memcpy(d.data() + pe + 24 + 64, &checksum, 4);  // optional header CheckSum
}

bool WriteFile(const fs::path& path, const Bytes& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: payload_gen <out folder> <total bytes> <file count> <seed> <PE file>...\n");
    return 2;
  }
  const fs::path out = argv[1];
  const uint64_t total = std::strtoull(argv[2], nullptr, 10);
  const int fileCount = std::atoi(argv[3]);
  const uint64_t seed = std::strtoull(argv[4], nullptr, 10);

  std::vector<Pe> pool;
  for (int i = 5; i < argc; ++i) {
    std::ifstream f(argv[i], std::ios::binary);
    Pe pe{fs::path(argv[i]).filename().string(), Bytes(std::istreambuf_iterator<char>(f), {}), 0};
    if (pe.Data.size() < 4096 || pe.Data[0] != 'M' || pe.Data[1] != 'Z') {
      std::fprintf(stderr, "payload_gen: %s is not a PE file, skipped\n", argv[i]);
      continue;
    }
    pe.HeaderSize = PeHeaderSize(pe.Data);
    NormalizeStamp(pe.Data);
    pool.push_back(std::move(pe));
  }
  if (pool.empty()) {
    std::fprintf(stderr, "payload_gen: no PE files given\n");
    return 2;
  }
  std::sort(pool.begin(), pool.end(), [](const Pe& a, const Pe& b) { return a.Name < b.Name; });

  Rng rng(seed);
  std::vector<Entry> entries;
  std::set<std::string> taken;
  auto unique = [&](const std::string& folder, std::string name) {
    const size_t dot = name.rfind('.');
    for (int n = 2; !taken.insert(folder + "\\" + name).second; ++n)
      name = name.substr(0, dot == std::string::npos ? name.size() : dot) + std::to_string(n) +
             (dot == std::string::npos ? "" : name.substr(dot));
    return folder + "\\" + name;
  };

  // The PE files themselves, once in office6 (DLLs under their own names, programs renamed),
  // and the small runtime DLLs a second time beside the tools; at most 40 % of the size and a
  // quarter of the files (which matters for small payloads only).
  uint64_t verbatimBytes = 0;
  int verbatimFiles = 0;
  const auto fits = [&](size_t size) {
    return verbatimBytes + size <= total / 5 * 2 && verbatimFiles + 1 <= fileCount / 4;
  };
  for (size_t i = 0; i < pool.size(); ++i) {
    if (!fits(pool[i].Data.size())) continue;
    const bool dll = pool[i].Name.size() > 4 && pool[i].Name.compare(pool[i].Name.size() - 4, 4, ".dll") == 0;
    const std::string name = dll ? pool[i].Name : ModuleName(rng, "lm") + ".exe";
    entries.push_back({ToPath(unique("office6", name)), Kind::Pe, pool[i].Data.size(), static_cast<int>(i), true});
    verbatimBytes += pool[i].Data.size();
    ++verbatimFiles;
    if (dll && pool[i].Data.size() < 400000) {
      for (const char* folder : {"utility", "wtoolex"}) {
        if (!fits(pool[i].Data.size())) break;
        entries.push_back({ToPath(unique(folder, pool[i].Name)), Kind::Pe, pool[i].Data.size(), static_cast<int>(i), true});
        verbatimBytes += pool[i].Data.size();
        ++verbatimFiles;
      }
    }
  }

  // Everything else, group by group.
  const std::vector<Group> groups = Groups();
  double byteShares = 0, fileShares = 0;
  for (const Group& g : groups) byteShares += g.Bytes, fileShares += g.Files;
  const uint64_t restBytes = total > verbatimBytes ? total - verbatimBytes : total / 2;
  const int restFiles = std::max(fileCount - verbatimFiles, static_cast<int>(groups.size()));
  int filesLeft = restFiles;
  for (size_t gi = 0; gi < groups.size(); ++gi) {
    const Group& g = groups[gi];
    int n = gi + 1 == groups.size() ? filesLeft : std::max(1, static_cast<int>(std::lround(restFiles * g.Files / fileShares)));
    n = std::max(1, std::min(n, filesLeft - static_cast<int>(groups.size() - gi - 1)));
    filesLeft -= n;
    const uint64_t groupBytes = static_cast<uint64_t>(restBytes * g.Bytes / byteShares);
    double kindShares = 0;
    for (const KindShare& k : g.Kinds) kindShares += k.Files;
    std::vector<Entry> planned;
    std::vector<double> raw;
    for (int i = 0; i < n; ++i) {
      double pick = rng.Unit() * kindShares;
      const KindShare* kind = &g.Kinds.back();
      for (const KindShare& k : g.Kinds) {
        if (pick < k.Files) { kind = &k; break; }
        pick -= k.Files;
      }
      const std::string folder = g.Folders[rng.Below(g.Folders.size())];
      planned.push_back({ToPath(unique(folder, FileNameFor(rng, kind->What, kind->Ext))), kind->What, 0});
      raw.push_back(kind->Scale * std::exp(1.1 * rng.Normal()));  // log-normal sizes
    }
    // Scale to the group's bytes; sizes at the group's maximum give their excess to the rest.
    std::vector<uint64_t> sizes(n, 0);
    std::vector<bool> capped(n, false);
    for (int round = 0; round < 8; ++round) {
      double freeRaw = 0;
      uint64_t cappedBytes = 0;
      for (int i = 0; i < n; ++i) capped[i] ? cappedBytes += sizes[i] : freeRaw += raw[i];
      if (freeRaw <= 0) break;
      const double factor = (groupBytes > cappedBytes ? groupBytes - cappedBytes : 0) / freeRaw;
      bool again = false;
      for (int i = 0; i < n; ++i) {
        if (capped[i]) continue;
        sizes[i] = static_cast<uint64_t>(raw[i] * factor);
        if (sizes[i] > g.MaxSize) sizes[i] = g.MaxSize, capped[i] = true, again = true;
      }
      if (!again) break;
    }
    for (int i = 0; i < n; ++i) {
      Entry e = planned[i];
      const uint64_t minimum = e.What == Kind::Pe ? 8192 : 64;
      e.Size = std::max(sizes[i], minimum);
      if (e.What == Kind::Pe) e.Source = static_cast<int>(rng.Below(pool.size()));
      entries.push_back(e);
    }
  }

  // Write. Each file's contents come from a generator of its own (seed and index), so one
  // change of the plan does not shift the contents of every later file.
  std::error_code error;
  if (fs::exists(out) && !fs::is_empty(out, error)) {
    std::fprintf(stderr, "payload_gen: %s is not empty\n", out.string().c_str());
    return 2;
  }
  fs::create_directories(out);
  Rng vocabRng(seed ^ 0x5EEDF00Dull);
  const Vocabulary vocab(vocabRng);
  std::map<Kind, std::pair<int, uint64_t>> stats;
  uint64_t written = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    Rng frng(seed * 1000003ull + i);
    const std::string ext = e.Path.extension().string();
    Bytes data;
    switch (e.What) {
      case Kind::Pe: data = e.Verbatim ? pool[e.Source].Data : MakeVariedPe(frng, pool[e.Source], e.Size); break;
      case Kind::Xml: case Kind::Lang: case Kind::Svg: data = MakeXml(frng, vocab, e.Size, e.What); break;
      case Kind::Text: data = MakeText(frng, vocab, e.Size, ext); break;
      case Kind::Random: data = MakeRandom(frng, e.Size, ext); break;
      case Kind::Font: data = MakeFont(frng, e.Size); break;
      case Kind::Template: data = MakeTemplate(frng, vocab, e.Size); break;
    }
    const fs::path target = out / e.Path;
    fs::create_directories(target.parent_path());
    if (!WriteFile(target, data)) {
      std::fprintf(stderr, "payload_gen: cannot write %s\n", target.string().c_str());
      return 1;
    }
    stats[e.What].first++;
    stats[e.What].second += data.size();
    written += data.size();
  }
  for (const char* folder : kEmptyFolders) fs::create_directories(out / ToPath(folder));

  const char* const names[] = {"PE", "XML", "strings", "text", "compressed", "binary", "OLE templates", "SVG"};
  std::printf("payload: %zu files, %.1f MB (%llu bytes), %zu PE sources, seed %llu\n", entries.size(),
              written / 1048576.0, static_cast<unsigned long long>(written), pool.size(),
              static_cast<unsigned long long>(seed));
  for (const auto& [kind, s] : stats)
    std::printf("  %-14s %4d files %8.1f MB\n", names[static_cast<int>(kind)], s.first, s.second / 1048576.0);
  return 0;
}
