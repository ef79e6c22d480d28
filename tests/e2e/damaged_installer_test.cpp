// Damaged installers: random bytes of the packet flipped, or the file cut short, the way a
// broken download or a bad disk leaves it. Every such installer must either unpack correctly
// or fail cleanly (exit code 2 with the failure in the log); none may crash or hang.
//   LUMEN_FUZZ_CASES  number of damaged copies (default 24; tests/data/fuzz_installer.sh runs 1000)
//   LUMEN_FUZZ_SEED   seed of the damage (default fixed, printed on failure)
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <random>

#include "packet/archive_facade.h"
#include "packet/packet_format.h"
#include "tests/support/test_support.h"

using testing_support::Process;
using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

namespace {

unsigned EnvNumber(const char* name, unsigned fallback) {
  const char* v = getenv(name);
  return v && *v ? static_cast<unsigned>(strtoul(v, nullptr, 10)) : fallback;
}

uint32_t U32(const std::string& b, size_t at) {
  return packet::ReadU32(reinterpret_cast<const unsigned char*>(b.data()) + at);
}

std::wstring LogPath() {
  wchar_t roaming[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, roaming);
  return std::wstring(roaming) + L"\\tallis\\office6\\log\\setup\\lumensetup.log";
}

TEST(DamagedInstaller, UnpacksCorrectlyOrFailsCleanly) {
  const std::string good = ReadBytes(testing_support::TestData() + L"setup-packed.exe");
  ASSERT_GT(good.size(), 1048576u);
  const size_t stamp = U32(good, 0x3C) + 8;
  const size_t packetAt = U32(good, stamp);  // the image before it must stay intact to run at all
  const unsigned cases = EnvNumber("LUMEN_FUZZ_CASES", 24);
  const unsigned seed = EnvNumber("LUMEN_FUZZ_SEED", 20261206);
  std::mt19937 rng(seed);
  int failedCleanly = 0, unpacked = 0;
  for (unsigned i = 0; i < cases; ++i) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " case " + std::to_string(i));
    std::string bytes = good;
    switch (rng() % 5) {
      case 0:  // a few flipped bytes anywhere in the packet
      case 1:
        for (unsigned n = 1 + rng() % 4; n > 0; --n) bytes[packetAt + rng() % (bytes.size() - packetAt)] ^= 1 + rng() % 255;
        break;
      case 2:  // cut short
        bytes.resize(packetAt + rng() % (bytes.size() - packetAt));
        break;
      case 3:  // the locator or the packet head damaged
        bytes[(rng() % 2 ? stamp : packetAt) + rng() % 10] ^= 1 + rng() % 255;
        break;
      case 4: {  // the product entry damaged before packing: its packet checksum is right
        const size_t entry1 = packetAt + 6 + 8 + U32(bytes, packetAt + 6);
        const uint32_t length = U32(bytes, entry1);
        for (unsigned n = 1 + rng() % 4; n > 0; --n) bytes[entry1 + 8 + rng() % length] ^= 1 + rng() % 255;
        const uint32_t crc = packet::Crc32(bytes.data() + entry1 + 8, length);
        for (int b = 0; b < 4; ++b) bytes[entry1 + 4 + b] = static_cast<char>(crc >> (8 * b));
        break;
      }
    }
    TempFolder dir;
    WriteBytes(dir / L"setup.exe", bytes);
    DeleteFileW(LogPath().c_str());
    Process run;
    ASSERT_TRUE(run.Start(dir / L"setup.exe", L"-e", dir.Path()));
    const int code = run.Wait(60000);
    if (code == -1) {
      run.Kill();
      FAIL() << "hung";
    }
    if (code == 0) {
      ++unpacked;  // the damage missed everything that matters: the files must be right
      testing_support::ExpectSameTree(dir / L"extract\\product", testing_support::TestData() + L"ref\\product");
    } else {
      ++failedCleanly;
      EXPECT_EQ(code, 2);
      const std::string log = ReadBytes(LogPath());
      EXPECT_TRUE(log.find("  g_Install.Init return:0\r\n") != std::string::npos ||
                  log.find("  DbgExtraceAllFiles return:0\r\n") != std::string::npos)
          << log;
    }
    // The user-level copy ends with the same code; wait for it so the next case starts clean.
    for (DWORD start = GetTickCount(); FindWindowW(nullptr, L"lumensetup_message") && GetTickCount() - start < 5000;)
      Sleep(10);
  }
  printf("damaged installers: %d failed cleanly, %d still unpacked correctly\n", failedCleanly, unpacked);
}

// The archive library itself on damaged archives, without the packet's checksums in front:
// no crash, no file outside the target folder.
TEST(DamagedInstaller, DamagedArchivesDoNotEscapeOrCrash) {
  const std::string archive = ReadBytes(testing_support::TestData() + L"product.7z");
  std::mt19937 rng(EnvNumber("LUMEN_FUZZ_SEED", 20261206));
  TempFolder outside;
  const std::wstring dir = outside / L"in\\";
  for (int i = 0; i < 40; ++i) {
    std::string bytes = archive;
    for (unsigned n = 1 + rng() % 8; n > 0; --n) bytes[rng() % bytes.size()] ^= 1 + rng() % 255;
    if (rng() % 3 == 0) bytes.resize(rng() % bytes.size());
    const std::wstring out = dir + L"o" + std::to_wstring(i);
    I7zExtract* direct = Create7zExtract();
    direct->Extract(bytes.data(), static_cast<UINT32>(bytes.size()), out);
    direct->Release();
    I7zExtract* memory = Create7zExtract();
    if (memory->Uncompress(bytes.data(), static_cast<UINT32>(bytes.size())) == S_OK) memory->ExtractMemoryFiles(out + L"m");
    memory->Release();
  }
  // Everything written stayed below the target folders: the folder around them holds nothing else.
  for (const auto& entry : testing_support::Tree(outside.Path())) {
    const std::wstring& name = entry.first;
    EXPECT_TRUE(name == L"in" || name.rfind(L"in\\", 0) == 0) << testing_support::Narrow(name);
  }
}

}  // namespace
