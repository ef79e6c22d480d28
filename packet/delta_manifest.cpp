#include "packet/delta_manifest.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "packet/sha256.h"

namespace packet {

namespace {

const char* const kKindNames[] = {"folder", "new", "same", "patch"};
// Fields of a record after its kind: path; size and digest; the previous file's size and digest.
const size_t kKindFields[] = {1, 3, 3, 5};
constexpr uint64_t kMaxSize = uint64_t{1} << 40;  // no file of a suite comes near a terabyte

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    fields.push_back(line.substr(start, tab - start));
  fields.push_back(line.substr(start));
  return fields;
}

bool ParseSize(const std::string& text, uint64_t* size) {
  if (text.empty() || text.size() > 13 || (text.size() > 1 && text[0] == '0')) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > kMaxSize) return false;
  *size = value;
  return true;
}

std::string FoldCase(std::string path) {
  for (char& c : path)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return path;
}

// CON, PRN, AUX, NUL, COM0-9, LPT0-9 (with superscript digits too), with or without an
// extension: Windows opens a device for them in any folder.
bool IsDeviceName(const std::string& part) {
  const std::string base = FoldCase(part.substr(0, part.find('.')));
  if (base == "con" || base == "prn" || base == "aux" || base == "nul") return true;
  if (base.size() < 4 || (base.compare(0, 3, "com") != 0 && base.compare(0, 3, "lpt") != 0)) return false;
  const std::string digit = base.substr(3);
  return (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') || digit == "\xC2\xB9" || digit == "\xC2\xB2" ||
         digit == "\xC2\xB3";
}

}  // namespace

bool IsValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t extra;
    if (c < 0x80) extra = 0;
    else if (c >= 0xC2 && c <= 0xDF) extra = 1;
    else if ((c & 0xF0) == 0xE0) extra = 2;
    else if (c >= 0xF0 && c <= 0xF4) extra = 3;
    else return false;
    if (s.size() - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    // The second byte's range: no overlong forms, no surrogates, nothing above U+10FFFF.
    const unsigned char next = extra ? static_cast<unsigned char>(s[i + 1]) : 0x80;
    if ((c == 0xE0 && next < 0xA0) || (c == 0xED && next >= 0xA0) || (c == 0xF0 && next < 0x90) ||
        (c == 0xF4 && next >= 0x90))
      return false;
    i += extra + 1;
  }
  return true;
}

bool IsSafeDeltaPath(const std::string& path) {
  if (path.empty() || path.size() > 1024 || !IsValidUtf8(path)) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = std::min(path.find('\\', start), path.size());
    const std::string part = path.substr(start, end - start);
    if (part.empty() || part == "." || part == ".." || part.back() == ' ' || part.back() == '.' || IsDeviceName(part))
      return false;
    for (unsigned char c : part)
      if (c < 0x20 || c == 0x7F || std::strchr(":*?\"<>|/", c)) return false;
    if (end == path.size()) return true;
    start = end + 1;
  }
}

std::string FormatDeltaManifest(const DeltaManifest& manifest) {
  std::string out = "lumen-delta\t1\nfrom\t" + manifest.fromVersion + "\nto\t" + manifest.toVersion + "\n";
  for (const DeltaItem& item : manifest.items) {
    out += std::string(kKindNames[static_cast<int>(item.kind)]) + '\t' + item.path;
    if (item.kind != DeltaKind::kFolder) out += '\t' + std::to_string(item.size) + '\t' + HexDigest(item.sha256);
    if (item.kind == DeltaKind::kPatch) out += '\t' + std::to_string(item.oldSize) + '\t' + HexDigest(item.oldSha256);
    out += '\n';
  }
  return out;
}

bool ParseDeltaManifest(const std::string& text, DeltaManifest* manifest, std::string* error) {
  DeltaManifest result;
  std::set<std::string> seen;
  size_t number = 0, start = 0;
  auto fail = [&](const std::string& why) {
    *error = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      ++number;
      return fail("the last line does not end");
    }
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    const std::vector<std::string> fields = SplitTabs(line);
    if (number == 1) {
      if (line != "lumen-delta\t1") return fail("not a delta manifest of a known format");
      continue;
    }
    if (number <= 3) {
      const char* key = number == 2 ? "from" : "to";
      if (fields.size() != 2 || fields[0] != key || fields[1].empty() || fields[1].size() > 64)
        return fail(std::string("the \"") + key + "\" version is missing");
      (number == 2 ? result.fromVersion : result.toVersion) = fields[1];
      continue;
    }
    DeltaItem item;
    size_t kind = 0;
    while (kind < 4 && fields[0] != kKindNames[kind]) ++kind;
    if (kind == 4) return fail("unknown kind of record '" + fields[0].substr(0, 16) + "'");
    if (fields.size() != 1 + kKindFields[kind]) return fail("a " + fields[0] + " record has the wrong number of fields");
    item.kind = static_cast<DeltaKind>(kind);
    item.path = fields[1];
    if (!IsSafeDeltaPath(item.path)) return fail("the path is not a plain relative path");
    if (!seen.insert(FoldCase(item.path)).second) return fail("the path " + item.path + " is listed twice");
    if (item.kind != DeltaKind::kFolder &&
        (!ParseSize(fields[2], &item.size) || !ParseDigest(fields[3], &item.sha256)))
      return fail("the size or SHA-256 of " + item.path + " cannot be read");
    if (item.kind == DeltaKind::kPatch && (!ParseSize(fields[4], &item.oldSize) || !ParseDigest(fields[5], &item.oldSha256)))
      return fail("the previous size or SHA-256 of " + item.path + " cannot be read");
    result.items.push_back(std::move(item));
  }
  if (number < 3) {
    ++number;
    return fail("the manifest ends before its header does");
  }
  *manifest = std::move(result);
  return true;
}

}  // namespace packet
