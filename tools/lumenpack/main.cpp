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
    "                 [--unchecked-xml]\n"
    "       lumenpack --verify <installer.exe>\n"
    "       lumenpack --help\n"
    "\n"
    "Packing: --stub is the setup program as built. --install holds the configuration and the\n"
    "wizard's images (entry 0), --product the suite's files (entry 1); each is a folder, packed\n"
    "with 7zz from PATH, or a ready 7z archive, used as it is. The installer is written under a\n"
    "temporary name beside --out and renamed at the end. The same inputs give the same bytes.\n"
    "The XML files at the top of --install must be well-formed; --unchecked-xml packs them as\n"
    "they are, for installers that test the setup program's refusal of a broken one.\n"
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
  static const char* const kKnown[] = {"--stub", "--install", "--product", "--out", "--verify"};
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
                     options.count("--unchecked-xml") != 0});
    return 0;
  } catch (const UsageError& e) {
    std::cerr << "lumenpack: " << e.message << " (see lumenpack --help)\n";
    return kBadCommandLine;
  } catch (const std::exception& e) {
    std::cerr << "lumenpack: " << e.what() << "\n";
    return kFailed;
  }
}
