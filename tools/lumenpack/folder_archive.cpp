#include "folder_archive.h"

#include "tinyxml2.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "file_io.h"
#include "packet/delta_manifest.h"
#include "pe_image.h"

namespace lumenpack {

namespace {

// Where a folder item must end up in the archive.
enum class Place { kNoData, kDataBlock, kProgramBlock };  // kNoData: folders and empty files

struct FolderItems {
  std::map<std::string, Place> places;  // relative path ('/'-separated) -> place; map keeps byte order
  bool has_data = false;
  bool has_programs = false;
};

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// A name the setup program can create on Windows, and that 7zz's list file passes through as it
// is (it trims spaces at the ends of lines and treats quotes).
void CheckName(const std::string& relative, const std::string& name) {
  const std::string refuse = "cannot pack " + Quote(relative) + ": ";
  if (!packet::IsValidUtf8(name)) throw Error(refuse + "the name is not valid UTF-8");
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) throw Error(refuse + "the name has a control character");
    if (std::strchr("\\:*?\"<>|", c)) throw Error(refuse + "Windows does not allow " + std::string(1, c) + " in names");
  }
  if (name.front() == ' ' || name.back() == ' ' || name.back() == '.')
    throw Error(refuse + "Windows does not allow names that begin with a space or end with a space or dot");
}

FolderItems ListFolder(const fs::path& root, bool split_programs) {
  FolderItems items;
  std::map<std::string, std::string> folded;  // ASCII-lowercased path -> path: Windows ignores case
  try {
    for (fs::recursive_directory_iterator it(root), end; it != end; ++it) {
      const fs::path& path = it->path();
      const std::string relative = path.lexically_relative(root).generic_string();
      CheckName(relative, path.filename().string());
      std::string lower = relative;
      std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
      if (!folded.emplace(lower, relative).second)
        throw Error("cannot pack " + Quote(relative) + " and " + Quote(folded[lower]) + ": their names differ only in case");

      const fs::file_status st = it->symlink_status();
      if (fs::is_symlink(st)) throw Error("cannot pack " + Quote(relative) + ": it is a symbolic link");
      if (fs::is_directory(st)) {
        if (fs::is_empty(path)) items.places[relative] = Place::kNoData;
      } else if (fs::is_regular_file(st)) {
        if (::access(path.c_str(), R_OK) != 0)
          throw Error("cannot read " + Quote(path.string()) + ": " + std::strerror(errno));
        Place place = Place::kNoData;
        if (fs::file_size(path) > 0) place = split_programs && IsPeFile(path) ? Place::kProgramBlock : Place::kDataBlock;
        items.places[relative] = place;
        items.has_data |= place == Place::kDataBlock;
        items.has_programs |= place == Place::kProgramBlock;
      } else {
        throw Error("cannot pack " + Quote(relative) + ": it is neither a file nor a folder");
      }
    }
  } catch (const fs::filesystem_error& e) {
    throw Error(std::string("cannot read the folder ") + Quote(root.string()) + ": " + e.code().message() +
                (e.path1().empty() ? "" : " (" + e.path1().string() + ")"));
  }
  if (items.places.empty()) throw Error("the folder " + Quote(root.string()) + " is empty");
  return items;
}

// The screen size a picture of the installation's folder is drawn for: "@150." or "@200." in its
// name, "" for everything else.
std::string ScaleOf(const std::string& path) {
  for (const char* scale : {"@150.", "@200."})
    if (path.find(scale) != std::string::npos) return scale;
  return "";
}

// Writes the paths of the items `take` chooses; false when it chose none.
template <typename Take>
bool WriteList(const fs::path& list, const FolderItems& items, Take take) {
  std::ofstream out(list, std::ios::binary);
  bool any = false;
  for (const auto& [path, place] : items.places)
    if (take(path, place)) {
      out << path << '\n';
      any = true;
    }
  if (!out.flush()) throw Error("cannot write " + Quote(list.string()));
  return any;
}

// The switches of every `7zz a` run; `filter` is "off" or "BCJ2". The archive and the list file
// follow them as absolute paths in the temporary folder, so neither can read as a switch (7zz
// takes an "@list" after "--" for a file name, so "--" is not used).
std::vector<std::string> AddSwitches(const std::string& filter, unsigned block_limit_mib) {
  // The dictionary is what every decoder of the setup program holds: no larger than a block
  // (a block never reaches back further) nor than level 9's 256 MiB. 7zz makes it smaller still
  // when a run's files are fewer.
  const unsigned dictionary_mib = block_limit_mib ? std::min(block_limit_mib, kMaxDictionaryMiB) : kMaxDictionaryMiB;
  return {
      "a", "-t7z",
      "-m0=LZMA", "-mx=9",        // LZMA (the setup program's decoder), strongest level
      "-md=" + std::to_string(dictionary_mib) + "m",
      "-mf=" + filter,            // no automatic filters in data blocks; BCJ2 for programs
      // Solid blocks of at most the limit (0: one block per run): a large product's blocks
      // decode on all cores at once, each split costs some download size.
      "-ms=1000000f" + (block_limit_mib ? std::to_string(block_limit_mib) + "m" : std::string("1048576m")),
      // LZMA's match finder on a thread of its own: two threads, the most LZMA takes, fixed so
      // that every machine makes the same bytes (the threads hand over fixed-size runs of
      // positions, so their timing does not change the result).
      "-mmt=2",
      "-mtm=off", "-mtc=off", "-mta=off",  // no file times
      "-mtr=off",                 // no attributes (Unix permissions vary between hosts)
      "-mhc=on",                  // compressed headers
      "-spd",                     // names are names, never wildcards
      "-sse",                     // stop when a file cannot be read, instead of leaving it out
      "-ssp",                     // leave the source files' access times alone
      "-scsUTF-8", "-sccUTF-8",   // list file and messages in UTF-8
      "-bd", "-y",
  };
}

struct ListedItem {
  std::string size, method, block;
};

// Checks 7zz's own listing of `archive` against what the folder held.
void CheckListing(const fs::path& seven_zip, const fs::path& archive, const FolderItems& items, const fs::path& work,
                  const std::string& entry) {
  const fs::path log = work / "listing.txt";
  RunTool(seven_zip, {"l", "-slt", "-sccUTF-8", archive.string()}, work, log, "listing the " + entry + " archive");
  std::ifstream in(log);
  std::string line;
  int blocks = 0;
  bool in_items = false;
  std::map<std::string, ListedItem> listed;
  ListedItem* current = nullptr;
  auto value = [&line](const char* key) -> const char* {
    const size_t n = std::strlen(key);
    return line.compare(0, n, key) == 0 ? line.c_str() + n : nullptr;
  };
  while (std::getline(in, line)) {
    if (line == "----------") {
      in_items = true;
    } else if (!in_items) {
      if (const char* v = value("Blocks = ")) blocks = std::atoi(v);
    } else if (const char* v = value("Path = ")) {
      current = &listed[v];
    } else if (current) {
      if (const char* v = value("Size = ")) current->size = v;
      if (const char* v = value("Method = ")) current->method = v;
      if (const char* v = value("Block = ")) current->block = v;
    }
  }

  const std::string fault = "the " + entry + " archive came out wrong: ";
  for (const auto& [path, place] : items.places)
    if (!listed.count(path)) throw Error(fault + Quote(path) + " is missing (7zz stored its name differently?)");
  for (const auto& [path, item] : listed)
    if (!items.places.count(path)) throw Error(fault + Quote(path) + " is not in the folder");

  // The data run's blocks come first, then the programs run's: every data block's number is
  // below every program block's.
  int last_data = -1, first_program = blocks;
  for (const auto& [path, place] : items.places) {
    if (place == Place::kNoData) continue;
    const int block = std::atoi(listed[path].block.c_str());
    if (place == Place::kDataBlock) last_data = std::max(last_data, block);
    else first_program = std::min(first_program, block);
  }
  const int least_blocks = (items.has_data ? 1 : 0) + (items.has_programs ? 1 : 0);
  if (blocks < least_blocks || last_data >= first_program)
    throw Error(fault + std::to_string(blocks) + " solid blocks, data up to block " + std::to_string(last_data) +
                ", programs from block " + std::to_string(first_program));

  for (const auto& [path, place] : items.places) {
    const ListedItem& item = listed[path];
    const std::string where = Quote(path) + " is in block " + Quote(item.block) + " with method " + Quote(item.method);
    if (place == Place::kNoData) {
      if (!item.block.empty()) throw Error(fault + where + ", but it holds no data");
      continue;
    }
    std::istringstream coders(item.method);
    std::vector<std::string> methods;
    for (std::string m; coders >> m;) methods.push_back(m);
    bool ok = !item.block.empty() && !methods.empty();
    // Data: a single LZMA coder. Programs: BCJ2 whose streams are all LZMA.
    const size_t first_lzma = place == Place::kDataBlock ? 0 : 1;
    if (place == Place::kDataBlock && methods.size() != 1) ok = false;
    if (place == Place::kProgramBlock && (methods.size() < 2 || methods[0] != "BCJ2")) ok = false;
    for (size_t i = first_lzma; ok && i < methods.size(); ++i)
      if (methods[i].compare(0, 5, "LZMA:") != 0) ok = false;
    if (!ok) throw Error(fault + where);
  }
}

}  // namespace

fs::path FindSevenZip() { return FindOnPath("7zz", "7zip"); }

void ArchiveFolder(const fs::path& seven_zip, const fs::path& folder, EntryKind kind, const fs::path& work,
                   const fs::path& archive, unsigned block_limit_mib) {
  const bool product = kind == EntryKind::kProduct;
  const std::string entry = product ? "product" : "install";
  const FolderItems items = ListFolder(folder, product);
  const fs::path log = work / "7zz.txt";

  // Two `7zz a` runs make the product's data and program blocks: an explicit -mf applies to
  // every file of a run, and each run adds its files as new blocks after the ones already in the
  // archive. The first run also takes the empty files and folders; it is left out only when
  // there are none of those and no data files either. The installation's pictures drawn for
  // larger screens follow in a run per size: a setup program on a screen of another size leaves
  // their blocks packed, and decodes less before its wizard shows.
  const std::vector<std::string> scales = product ? std::vector<std::string>{""} : std::vector<std::string>{"", "@150.", "@200."};
  for (const std::string& scale : scales) {
    const fs::path list = work / (entry + "-data" + scale + "list");
    const bool any = WriteList(list, items, [&](const std::string& path, Place place) {
      return place != Place::kProgramBlock && (product || ScaleOf(path) == scale);
    });
    if (!any) continue;
    std::vector<std::string> args = AddSwitches("off", block_limit_mib);
    args.insert(args.end(), {archive.string(), "@" + list.string()});
    RunTool(seven_zip, args, folder, log, "packing the " + entry + " folder" + (scale.empty() ? "" : " (pictures " + scale.substr(0, 4) + ")"));
  }
  if (product && items.has_programs) {
    const fs::path list = work / (entry + "-programs.list");
    WriteList(list, items, [](const std::string&, Place place) { return place == Place::kProgramBlock; });
    std::vector<std::string> args = AddSwitches("BCJ2", block_limit_mib);
    args.insert(args.end(), {archive.string(), "@" + list.string()});
    RunTool(seven_zip, args, folder, log, "packing the programs of the " + entry + " folder");
  }
  CheckListing(seven_zip, archive, items, work, entry);
}

void UnpackArchive(const fs::path& seven_zip, const fs::path& archive, const fs::path& folder, const fs::path& work,
                   const std::string& what, const std::vector<std::string>& only) {
  fs::create_directories(folder);
  std::vector<std::string> args = {"x", "-y", "-spd", "-scsUTF-8", "-sccUTF-8", "-o" + fs::absolute(folder).string()};
  if (!only.empty()) args.push_back("-r-");
  args.push_back(fs::absolute(archive).string());
  args.insert(args.end(), only.begin(), only.end());
  RunTool(seven_zip, args, work, work / "unpack.log", "unpacking " + what);
}

void CheckFolder(const fs::path& folder) { ListFolder(folder, false); }

void CheckSevenZipFile(const fs::path& file, const std::string& what) {
  static const unsigned char kSignature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
  RegularFileSize(file);
  const std::vector<unsigned char> head = ReadFilePrefix(file, sizeof kSignature);
  if (head.size() != sizeof kSignature || !std::equal(head.begin(), head.end(), kSignature))
    throw Error(what + " " + Quote(file.string()) + " is not a 7z archive");
}

void CheckConfigurationXml(const fs::path& seven_zip, const fs::path& install, bool folder, const fs::path& work) {
  fs::path top = install;
  if (!folder) {
    top = work / "configuration-xml";
    fs::create_directories(top);
    // Top-level names only (-r-); an archive without XML files extracts nothing and passes here.
    RunTool(seven_zip, {"x", "-y", "-r-", "-o" + top.string(), fs::absolute(install).string(), "*.xml"}, work,
                work / "xml.log", "unpacking the XML files of " + Quote(install.string()));
  }
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(top))
    if (entry.is_regular_file() && entry.path().extension() == ".xml") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    tinyxml2::XMLDocument document;
    if (document.LoadFile(file.string().c_str()) == tinyxml2::XML_SUCCESS) continue;
    throw Error("cannot pack " + Quote(file.filename().string()) + " of the configuration: it is not well-formed XML (line " +
                std::to_string(document.ErrorLineNum()) + ": " + document.ErrorName() + ")");
  }
}

}  // namespace lumenpack
