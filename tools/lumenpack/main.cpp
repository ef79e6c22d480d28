// lumenpack: packs the setup program and the two payload archives into one installer, and checks
// installers. Run by the release team on a Linux build host; see README.md beside this file.
#include <cstring>
#include <iostream>
#include <map>
#include <string>

#include "file_io.h"
#include "installer.h"

namespace {

constexpr int kFailed = 1;
constexpr int kBadCommandLine = 2;

const char kUsage[] =
    "usage: lumenpack --stub <setup.exe> --install <folder or .7z> --product <folder or .7z> --out <installer.exe>\n"
    "                 [--block-limit <MiB>|none] [--unchecked-xml] [--delta-from <folder or installer>]\n"
    "       lumenpack --verify <installer.exe>\n"
    "       lumenpack --help\n"
    "\n"
    "Packing: --stub is the setup program as built. --install holds the configuration and the\n"
    "wizard's images (entry 0), --product the suite's files (entry 1); each is a folder, packed\n"
    "with 7zz from PATH, or a ready 7z archive, used as it is. The installer is written under a\n"
    "temporary name beside --out and renamed at the end. The same inputs give the same bytes.\n"
    "The XML files at the top of --install must be well-formed; --unchecked-xml packs them as\n"
    "they are, for installers that test the setup program's refusal of a broken one.\n"
    "--block-limit caps each solid block of a folder packed here at that many MiB of files\n"
    "(default 256; 1 to 1048576), or makes one block per kind of file with 'none': fewer,\n"
    "larger blocks download smaller, more blocks unpack faster on several cores.\n"
    "--delta-from makes an update installer that carries only what changed since the previous\n"
    "version, given as its product folder or its installer: the files that are new, binary\n"
    "patches of the changed ones, and a manifest of the whole new version. It installs only\n"
    "as an update of that version (setup.exe -update).\n"
    "Sign the installer after packing; the certificate table goes behind the packet.\n"
    "\n"
    "Checking: --verify finds the packet as the setup program does, checks every entry's CRC-32\n"
    "and prints each entry's data offset and length, and the certificate table if signed.\n"
    "\n"
    "Exit codes: 0 done, 1 failed, 2 bad command line.\n";

struct UsageError {
  std::string message;
};

// --option value pairs; every option at most once.
std::map<std::string, std::string> ParseOptions(int argc, char** argv) {
  static const char* const kKnown[] = {"--stub", "--install", "--product", "--out", "--verify", "--block-limit", "--delta-from"};
  std::map<std::string, std::string> options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    bool known = arg == "--help" || arg == "--unchecked-xml";
    for (const char* k : kKnown) known |= arg == k;
    if (!known) throw UsageError{"unknown option '" + arg + "'"};
    if (arg == "--help" || arg == "--unchecked-xml") {
      if (!options.emplace(arg, "").second) throw UsageError{arg + " is given twice"};
      continue;
    }
    if (i + 1 >= argc || argv[i + 1][0] == '\0') throw UsageError{arg + " needs a value"};
    if (!options.emplace(arg, argv[++i]).second) throw UsageError{arg + " is given twice"};
  }
  return options;
}

// "--block-limit": whole MiB from 1 to 1048576, or "none" (0).
unsigned BlockLimit(const std::map<std::string, std::string>& options) {
  const auto given = options.find("--block-limit");
  if (given == options.end()) return lumenpack::kDefaultBlockLimitMiB;
  if (given->second == "none") return 0;
  const std::string& text = given->second;
  unsigned long value = 0;
  bool ok = !text.empty() && text.size() <= 7;
  for (char c : text) ok = ok && c >= '0' && c <= '9';
  if (ok) value = std::stoul(text);
  if (!ok || value < 1 || value > 1048576)
    throw UsageError{"--block-limit takes whole MiB from 1 to 1048576, or 'none', not '" + text + "'"};
  return static_cast<unsigned>(value);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    std::map<std::string, std::string> options = ParseOptions(argc, argv);
    if (options.count("--help")) {
      if (options.size() != 1) throw UsageError{"--help takes no other options"};
      std::cout << kUsage;
      return 0;
    }
    if (options.count("--verify")) {
      if (options.size() != 1) throw UsageError{"--verify takes no other options"};
      lumenpack::VerifyInstaller(options["--verify"], std::cout);
      return 0;
    }
    for (const char* required : {"--stub", "--install", "--product", "--out"})
      if (!options.count(required)) throw UsageError{std::string("missing ") + required};
    lumenpack::CatchInterrupts();
    lumenpack::Pack({options["--stub"], options["--install"], options["--product"], options["--out"],
                     options.count("--unchecked-xml") != 0, BlockLimit(options), options["--delta-from"]});
    return 0;
  } catch (const UsageError& e) {
    std::cerr << "lumenpack: " << e.message << " (see lumenpack --help)\n";
    return kBadCommandLine;
  } catch (const std::exception& e) {
    std::cerr << "lumenpack: " << e.what() << "\n";
    return kFailed;
  }
}
