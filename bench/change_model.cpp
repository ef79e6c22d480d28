// Makes the next version of a product folder for the update benchmark (delta_bench.sh): a copy
// of version 1 with the changes a typical update of the suite brings, drawn from one seeded
// generator, so the same folder and seed give the same version 2, byte for byte:
//   - 1 % of the files removed, 1 % added (each new file made like an existing one of the same
//     folder: its first bytes, then short fragments taken from near the same places of it, so it
//     looks like that kind of file without being a copy a compressor could match whole);
//   - 5 % of the data files edited in 1 to 4 places: a short run (1 to 24 bytes) overwritten or
//     inserted, its bytes taken from another place of the same file (text stays text);
//   - 30 % of the programs (told as the packer tells them: "MZ", the offset at 0x3C inside the
//     file, "PE\0\0" there) changed as a rebuild changes them: 2 to 6 runs of 4 to 16 bytes
//     overwritten behind the headers, a new TimeDateStamp, and, where the program has a version
//     resource, its fixed file and product versions and the "FileVersion" / "ProductVersion"
//     texts raised. The size and layout stay the same, so the file stays a PE image.
// Files and drawing order are by path (bytes), the draws in this order: removed, edited data
// files, changed programs, added files, then each file's edits in path order.
//
//   change_model <version 1 folder> <version 2 folder> <seed> [list file]
// The version 2 folder must be missing or empty. The list file, when given, gets one line per
// change ("removed <path>", "added <path> <size> like <path>", "edited <path> <places>",
// "program <path> <places> [version]"). The summary goes to stdout.
//
// Host program (built and run by delta_bench.sh); standard C++17 only.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

// splitmix64, as in payload_gen.cpp.
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
  uint64_t Between(uint64_t lo, uint64_t hi) { return lo + Below(hi - lo + 1); }  // inclusive

 private:
  uint64_t State;
};

Bytes ReadAll(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

bool WriteAll(const fs::path& path, const Bytes& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(f.flush());
}

uint32_t U32(const Bytes& d, size_t at) {
  uint32_t v;
  std::memcpy(&v, d.data() + at, 4);
  return v;
}
void PutU32(Bytes& d, size_t at, uint32_t v) { std::memcpy(d.data() + at, &v, 4); }

// The offset of "PE\0\0" when the file is a program as the packer tells them; 0 otherwise.
size_t PeOffset(const Bytes& d) {
  if (d.size() < 0x40 || d[0] != 'M' || d[1] != 'Z') return 0;
  const uint32_t pe = U32(d, 0x3C);
  if (static_cast<uint64_t>(pe) + 4 > d.size() || std::memcmp(d.data() + pe, "PE\0\0", 4) != 0) return 0;
  return pe;
}

// Where a program's body starts: SizeOfHeaders when readable and sensible, else 1 KiB.
size_t BodyStart(const Bytes& d, size_t pe) {
  if (pe + 24 + 64 <= d.size()) {
    const uint32_t headers = U32(d, pe + 24 + 60);
    if (headers >= 0x200 && headers < d.size() / 2) return headers;
  }
  return std::min<size_t>(1024, d.size() / 2);
}

// Copies `len` bytes from another place of [first, size) over `at` (or inserts them there).
void Edit(Rng& rng, Bytes& d, size_t first, size_t at, size_t len, bool insert) {
  const size_t size = d.size();
  len = std::min(len, size - first);
  if (len == 0) return;
  const size_t from = first + rng.Below(size - first - len + 1);
  const Bytes run(d.begin() + static_cast<std::ptrdiff_t>(from), d.begin() + static_cast<std::ptrdiff_t>(from + len));
  if (insert) {
    d.insert(d.begin() + static_cast<std::ptrdiff_t>(at), run.begin(), run.end());
  } else {
    len = std::min(len, size - at);
    std::copy(run.begin(), run.begin() + static_cast<std::ptrdiff_t>(len), d.begin() + static_cast<std::ptrdiff_t>(at));
  }
}

// The UTF-16LE text `key` followed by its value ("9.1.0.4720"): the value's last digit goes up
// by one (9 becomes 0), so its length stays. True when one was found.
bool RaiseVersionText(Bytes& d, const std::string& key) {
  Bytes pattern;
  for (char c : key) pattern.push_back(static_cast<unsigned char>(c)), pattern.push_back(0);
  pattern.push_back(0), pattern.push_back(0);
  bool raised = false;
  for (auto it = d.begin(); (it = std::search(it, d.end(), pattern.begin(), pattern.end())) != d.end(); ++it) {
    size_t at = static_cast<size_t>(it - d.begin()) + pattern.size();
    while (at % 4 && at + 1 < d.size() && d[at] == 0 && d[at + 1] == 0) at += 2;  // padding to 32 bits
    size_t last = 0;
    for (; at + 1 < d.size() && d[at + 1] == 0 && (std::isdigit(d[at]) || d[at] == '.' || d[at] == ' ' || d[at] == ','); at += 2)
      if (std::isdigit(d[at])) last = at;
    if (last) {
      d[last] = d[last] == '9' ? '0' : static_cast<unsigned char>(d[last] + 1);
      raised = true;
    }
  }
  return raised;
}

// The fixed part of each version resource (VS_FIXEDFILEINFO): minor version and revision up by
// one in the file and the product version; and the version texts. True when the program has one.
bool RaiseVersion(Bytes& d) {
  static const unsigned char kSignature[] = {0xBD, 0x04, 0xEF, 0xFE, 0x00, 0x00, 0x01, 0x00};
  bool found = false;
  for (auto it = d.begin(); (it = std::search(it, d.end(), std::begin(kSignature), std::end(kSignature))) != d.end(); ++it) {
    const size_t at = static_cast<size_t>(it - d.begin());
    if (at + 24 > d.size()) break;
    for (size_t field : {at + 8, at + 16}) {  // FileVersionMS/LS, ProductVersionMS/LS
      const uint32_t ms = U32(d, field), ls = U32(d, field + 4);
      PutU32(d, field, (ms & 0xFFFF0000u) | ((ms + 1) & 0xFFFFu));
      PutU32(d, field + 4, (ls & 0xFFFF0000u) | ((ls + 1) & 0xFFFFu));
    }
    found = true;
  }
  if (found) {
    RaiseVersionText(d, "FileVersion");
    RaiseVersionText(d, "ProductVersion");
  }
  return found;
}

// A new file like `model`: its first bytes (the headers of a program, a signature), then
// fragments of 2 to 48 bytes, each from near the same place of the model.
Bytes LikeFile(Rng& rng, const Bytes& model, size_t head) {
  Bytes out(model.size());
  head = std::min(head, model.size());
  std::copy(model.begin(), model.begin() + static_cast<std::ptrdiff_t>(head), out.begin());
  if (model.size() - head < 64) {
    for (size_t i = head; i < out.size(); ++i) out[i] = model[head + rng.Below(model.size() - head)];
    return out;
  }
  for (size_t o = head; o < out.size();) {
    size_t len = 2;
    while (len < 48 && rng.Below(100) < 88) ++len;
    len = std::min(len, out.size() - o);
    const int64_t jitter = static_cast<int64_t>(rng.Below(8193)) - 4096;
    const int64_t from = std::clamp<int64_t>(static_cast<int64_t>(o) + jitter, static_cast<int64_t>(head),
                                             static_cast<int64_t>(model.size() - len));
    std::copy(model.begin() + from, model.begin() + from + static_cast<int64_t>(len), out.begin() + static_cast<int64_t>(o));
    o += len;
  }
  return out;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// `count` distinct indices of `pool`, drawn without replacement (a partial Fisher-Yates).
std::vector<size_t> Draw(Rng& rng, std::vector<size_t> pool, size_t count) {
  count = std::min(count, pool.size());
  for (size_t i = 0; i < count; ++i) std::swap(pool[i], pool[i + rng.Below(pool.size() - i)]);
  pool.resize(count);
  std::sort(pool.begin(), pool.end());
  return pool;
}

size_t Share(size_t n, double share) { return n ? std::max<size_t>(1, static_cast<size_t>(n * share + 0.5)) : 0; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr, "usage: change_model <version 1 folder> <version 2 folder> <seed> [list file]\n");
    return 2;
  }
  const fs::path from = argv[1], to = argv[2];
  const uint64_t seed = std::strtoull(argv[3], nullptr, 10);
  std::error_code error;
  if (!fs::is_directory(from)) {
    std::fprintf(stderr, "change_model: %s is not a folder\n", from.string().c_str());
    return 2;
  }
  if (fs::exists(to) && !fs::is_empty(to, error)) {
    std::fprintf(stderr, "change_model: %s is not empty\n", to.string().c_str());
    return 2;
  }

  // Version 1's files in path order; folders made first in version 2 (empty ones stay).
  std::vector<std::string> files;
  std::set<std::string> taken;  // lower-case paths: Windows ignores case
  fs::create_directories(to);
  for (fs::recursive_directory_iterator it(from), end; it != end; ++it) {
    const std::string relative = it->path().lexically_relative(from).generic_u8string();
    if (it->is_directory()) fs::create_directories(to / fs::u8path(relative));
    else if (it->is_regular_file()) files.push_back(relative), taken.insert(Lower(relative));
  }
  std::sort(files.begin(), files.end());
  std::vector<bool> program(files.size());
  std::vector<size_t> all, data, programs;
  for (size_t i = 0; i < files.size(); ++i) {
    std::ifstream f(from / fs::u8path(files[i]), std::ios::binary);
    Bytes head(0x40);
    f.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(f.gcount()));
    if (head.size() == 0x40 && head[0] == 'M' && head[1] == 'Z') {
      const uint32_t pe = U32(head, 0x3C);
      char sig[4] = {};
      f.clear();
      program[i] = f.seekg(pe) && f.read(sig, 4) && std::memcmp(sig, "PE\0\0", 4) == 0;
    }
    all.push_back(i);
    (program[i] ? programs : data).push_back(i);
  }
  if (files.empty()) {
    std::fprintf(stderr, "change_model: %s holds no files\n", from.string().c_str());
    return 2;
  }

  Rng rng(seed);
  const std::vector<size_t> removed = Draw(rng, all, Share(files.size(), 0.01));
  const std::set<size_t> gone(removed.begin(), removed.end());
  auto kept = [&](const std::vector<size_t>& v) {
    std::vector<size_t> out;
    for (size_t i : v)
      if (!gone.count(i)) out.push_back(i);
    return out;
  };
  const std::vector<size_t> edited = Draw(rng, kept(data), Share(data.size(), 0.05));
  const std::vector<size_t> rebuilt = Draw(rng, kept(programs), Share(programs.size(), 0.30));
  const size_t addCount = Share(files.size(), 0.01);
  const std::vector<size_t> remaining = kept(all);
  std::vector<size_t> models;
  for (size_t k = 0; k < addCount; ++k) models.push_back(remaining[rng.Below(remaining.size())]);

  std::FILE* list = argc == 5 ? std::fopen(argv[4], "w") : nullptr;
  if (argc == 5 && !list) {
    std::fprintf(stderr, "change_model: cannot write %s\n", argv[4]);
    return 1;
  }
  auto note = [&](const std::string& line) {
    if (list) std::fprintf(list, "%s\n", line.c_str());
  };

  size_t editPlaces = 0, programPlaces = 0, versioned = 0;
  uint64_t addedBytes = 0;
  const std::set<size_t> edit(edited.begin(), edited.end()), rebuild(rebuilt.begin(), rebuilt.end());
  for (size_t i = 0; i < files.size(); ++i) {
    const fs::path source = from / fs::u8path(files[i]), target = to / fs::u8path(files[i]);
    if (gone.count(i)) {
      note("removed " + files[i]);
      continue;
    }
    if (!edit.count(i) && !rebuild.count(i)) {
      fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
      if (error) {
        std::fprintf(stderr, "change_model: cannot copy %s: %s\n", files[i].c_str(), error.message().c_str());
        return 1;
      }
      continue;
    }
    Bytes d = ReadAll(source);
    if (edit.count(i)) {
      const size_t first = std::min<size_t>(16, d.size() / 2);  // a signature stays
      const size_t places = rng.Between(1, 4);
      for (size_t k = 0; k < places && d.size() > first; ++k) {
        // One draw after the other: the order of a call's arguments is the compiler's.
        const size_t at = first + rng.Below(d.size() - first);
        const size_t len = rng.Between(1, 24);
        const bool insert = rng.Below(2) == 0;
        Edit(rng, d, first, at, len, insert);
      }
      editPlaces += places;
      note("edited " + files[i] + " " + std::to_string(places));
    } else {
      const size_t pe = PeOffset(d), body = BodyStart(d, pe);
      const size_t places = rng.Between(2, 6);
      for (size_t k = 0; k < places && d.size() > body + 16; ++k) {
        const size_t at = body + rng.Below(d.size() - body - 16);
        const size_t len = rng.Between(4, 16);
        Edit(rng, d, body, at, len, false);
      }
      if (pe + 12 <= d.size()) PutU32(d, pe + 8, U32(d, pe + 8) + 86400 + static_cast<uint32_t>(rng.Below(86400)));
      const bool version = RaiseVersion(d);
      versioned += version;
      programPlaces += places;
      note("program " + files[i] + " " + std::to_string(places) + (version ? " version" : ""));
    }
    if (!WriteAll(target, d)) {
      std::fprintf(stderr, "change_model: cannot write %s\n", target.string().c_str());
      return 1;
    }
  }
  for (size_t model : models) {
    const Bytes d = ReadAll(from / fs::u8path(files[model]));
    const size_t pe = PeOffset(d);
    const Bytes made = LikeFile(rng, d, pe ? BodyStart(d, pe) : std::min<size_t>(16, d.size()));
    // Named after the model: "<name>_ex.<ext>", then "_ex2", ... until the name is free.
    const fs::path modelPath = fs::u8path(files[model]);
    const std::string folder = modelPath.parent_path().generic_u8string();
    const std::string stem = modelPath.stem().u8string(), ext = modelPath.extension().u8string();
    std::string name;
    for (int n = 1;; ++n) {
      name = (folder.empty() ? "" : folder + "/") + stem + "_ex" + (n > 1 ? std::to_string(n) : "") + ext;
      if (taken.insert(Lower(name)).second) break;
    }
    if (!WriteAll(to / fs::u8path(name), made)) {
      std::fprintf(stderr, "change_model: cannot write %s\n", name.c_str());
      return 1;
    }
    addedBytes += made.size();
    note("added " + name + " " + std::to_string(made.size()) + " like " + files[model]);
  }
  if (list) std::fclose(list);

  std::printf("version 2 from %zu files (%zu programs), seed %llu: %zu removed, %zu added (%llu bytes), "
              "%zu data files edited in %zu places, %zu programs changed in %zu places (%zu with a version resource)\n",
              files.size(), programs.size(), static_cast<unsigned long long>(seed), removed.size(), models.size(),
              static_cast<unsigned long long>(addedBytes), edited.size(), editPlaces, rebuilt.size(), programPlaces, versioned);
  return 0;
}
