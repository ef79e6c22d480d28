// The packet loader and the archive facade on installers packed by the release tool, with the
// trees Debian's 7zz extracts from the same archives as the reference.
#include "packet/packet_loader.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "packet/archive_facade.h"
#include "packet/packet_format.h"
#include "packet/packet_in_stream.h"  // before the library's own headers: it brings the COM types
#include "CPP/Common/MyCom.h"
#include "sys/file_utils.h"
#include "sys/own_messages.h"
#include "tests/support/test_support.h"

using testing_support::ExpectSameTree;
using testing_support::Exists;
using testing_support::TestData;
using testing_support::Tree;
using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

namespace {

uint32_t ReadU32At(const std::string& bytes, size_t at) {
  return packet::ReadU32(reinterpret_cast<const unsigned char*>(bytes.data()) + at);
}
void WriteU32At(std::string& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
}
size_t StampOffset(const std::string& bytes) { return ReadU32At(bytes, 0x3C) + 8; }

// The archive library seeks and asks for the size in its end-of-archive checks.
TEST(PacketInStream, SizeSeeksAndReadsAtTheEnd) {
  const BYTE data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  CMyComPtr<IInStream> stream;
  stream.Attach(NewPacketInStream(data, sizeof(data)));
  CMyComPtr<IStreamGetSize> sizer;
  ASSERT_EQ(stream.QueryInterface(IID_IStreamGetSize, &sizer), S_OK);
  UInt64 size = 0xDEADBEEF;
  ASSERT_EQ(sizer->GetSize(&size), S_OK);
  EXPECT_EQ(size, 10u);

  UInt64 at = 0;
  BYTE buffer[16] = {};
  UInt32 got = 99;
  ASSERT_EQ(stream->Seek(-3, STREAM_SEEK_END, &at), S_OK);
  EXPECT_EQ(at, 7u);
  ASSERT_EQ(stream->Read(buffer, sizeof(buffer), &got), S_OK);
  EXPECT_EQ(got, 3u);
  EXPECT_EQ(buffer[0], 7);
  EXPECT_EQ(stream->Read(buffer, 1, &got), E_FAIL) << "a read at the end is a failure";
  EXPECT_EQ(got, 0u);
  // A seek before the start fails and leaves the position; one far past the end does not wrap.
  EXPECT_NE(stream->Seek(-11, STREAM_SEEK_END, &at), S_OK);
  ASSERT_EQ(stream->Seek(0, STREAM_SEEK_CUR, &at), S_OK);
  EXPECT_EQ(at, 10u);
  ASSERT_EQ(stream->Seek(Int64(1) << 32, STREAM_SEEK_SET, &at), S_OK);
  EXPECT_EQ(stream->Read(buffer, 1, &got), E_FAIL);
}

TEST(PacketLoader, FindsAndChecksEntries) {
  PacketLoader loader;
  ASSERT_TRUE(loader.OpenPacket(TestData() + L"setup-packed.exe"));
  UINT32 size = 0;
  const BYTE* install = loader.GetPacketData(0, &size);
  ASSERT_NE(install, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(install), size), ReadBytes(TestData() + L"install.7z"));
  EXPECT_NE(loader.GetPacketData(1, &size), nullptr);
  EXPECT_EQ(loader.GetPacketData(2, &size), nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(loader.GetPacketData(-1, &size), nullptr);

  // The test program itself carries no packet.
  PacketLoader bare;
  EXPECT_FALSE(bare.OpenPacket());
}

TEST(PacketLoader, RefusesDamagedInstallers) {
  TempFolder dir;
  const std::string good = ReadBytes(TestData() + L"setup-packed.exe");
  const size_t stamp = StampOffset(good);
  const uint32_t packetAt = ReadU32At(good, stamp);

  {  // one flipped data byte in entry 1: its CRC fails, entry 0 still loads
    std::string bytes = good;
    const uint32_t len0 = ReadU32At(bytes, packetAt + 6);
    const size_t entry1Data = packetAt + 6 + 8 + len0 + 8;
    bytes[entry1Data + 100] ^= 0x01;
    WriteBytes(dir / L"flip.exe", bytes);
    PacketLoader loader;
    ASSERT_TRUE(loader.OpenPacket(dir / L"flip.exe"));
    UINT32 size = 0;
    EXPECT_NE(loader.GetPacketData(0, &size), nullptr);
    EXPECT_EQ(loader.GetPacketData(1, &size), nullptr);
    EXPECT_FALSE(loader.ExtractPacket(1, dir / L"out"));
  }
  {  // a file damaged before packing: the packet's checksum is right, the archive's own CRCs
     // are what must stop it, in direct and in memory mode
    std::string bytes = good;
    const uint32_t len0 = ReadU32At(bytes, packetAt + 6);
    const size_t entry1 = packetAt + 6 + 8 + len0;
    const size_t data = entry1 + 8;
    bytes[data + 32 + 40] ^= 0x55;  // inside the first packed stream, after the 32-byte signature header
    WriteU32At(bytes, entry1 + 4,
               packet::Crc32(bytes.data() + data, ReadU32At(bytes, entry1)));
    WriteBytes(dir / L"inner.exe", bytes);
    PacketLoader direct;
    ASSERT_TRUE(direct.OpenPacket(dir / L"inner.exe"));
    UINT32 size = 0;
    ASSERT_NE(direct.GetPacketData(1, &size), nullptr);
    EXPECT_FALSE(direct.ExtractPacket(1, dir / L"inner-direct"));
    PacketLoader preloaded;
    ASSERT_TRUE(preloaded.OpenPacket(dir / L"inner.exe"));
    EXPECT_FALSE(preloaded.LoadProductPacket(1) && preloaded.ExtractMemoryFiles(1, dir / L"inner-memory"));
  }
  {  // the time stamp points past the end, or at bytes that are not the magic
    std::string bytes = good;
    WriteU32At(bytes, stamp, static_cast<uint32_t>(bytes.size()) - 3);
    WriteBytes(dir / L"past.exe", bytes);
    EXPECT_FALSE(PacketLoader().OpenPacket(dir / L"past.exe"));
    WriteU32At(bytes, stamp, packetAt + 1);
    WriteBytes(dir / L"other.exe", bytes);
    EXPECT_FALSE(PacketLoader().OpenPacket(dir / L"other.exe"));
    WriteU32At(bytes, stamp, 0xFFFFFFFFu);
    WriteBytes(dir / L"huge.exe", bytes);
    EXPECT_FALSE(PacketLoader().OpenPacket(dir / L"huge.exe"));
  }
  {  // an entry length that reaches past the end of the file
    std::string bytes = good;
    WriteU32At(bytes, packetAt + 6, 0xFFFFFFF0u);
    WriteBytes(dir / L"long.exe", bytes);
    PacketLoader loader;
    ASSERT_TRUE(loader.OpenPacket(dir / L"long.exe"));
    UINT32 size = 0;
    EXPECT_EQ(loader.GetPacketData(0, &size), nullptr);
    EXPECT_EQ(loader.GetPacketData(1, &size), nullptr);
  }
  {  // under 1 MiB there is no packet, whatever the bytes say
    WriteBytes(dir / L"small.exe", good.substr(0, 1048575));
    EXPECT_FALSE(PacketLoader().OpenPacket(dir / L"small.exe"));
  }
}

TEST(PacketLoader, DirectAndPreloadedExtractionEqualTheReference) {
  TempFolder dir;
  PacketLoader loader;
  ASSERT_TRUE(loader.OpenPacket(TestData() + L"setup-packed.exe"));
  ASSERT_TRUE(loader.ExtractPacket(0, dir / L"install"));
  ExpectSameTree(dir / L"install", TestData() + L"ref\\install");

  // A file of at most 30 MiB preloads entry 1 on a thread.
  ASSERT_LE(loader.GetFileSize(), PacketLoader::kMaxPreloadFileSize);
  ASSERT_TRUE(loader.LoadProductPacket(1));
  ASSERT_TRUE(loader.ExtractMemoryFiles(1, dir / L"memory"));
  ExpectSameTree(dir / L"memory", TestData() + L"ref\\product");

  PacketLoader direct;
  ASSERT_TRUE(direct.OpenPacket(TestData() + L"setup-packed.exe"));
  ASSERT_TRUE(direct.ExtractMemoryFiles(1, dir / L"direct"));  // no preload: decoded directly
  ExpectSameTree(dir / L"direct", TestData() + L"ref\\product");

}

// The configuration as the wizard takes it: each file read from memory as soon as the decoding
// has passed it (from this thread while the entry's own thread decodes), in any case of its
// name; a left-out file is not there; the files written afterwards are the reference's.
TEST(PacketLoader, UnpackedEntryReadsWhileItDecodesThenWrites) {
  TempFolder dir;
  PacketLoader loader;
  ASSERT_TRUE(loader.OpenPacket(TestData() + L"setup-packed.exe"));
  const std::unique_ptr<UnpackedEntry> entry = loader.Unpack(0, {L"deeprecommend."});
  ASSERT_TRUE(entry);
  std::map<std::wstring, std::string> expected = Tree(TestData() + L"ref\\install");
  std::string bytes;
  for (auto it = expected.begin(); it != expected.end();) {
    const bool left = it->first.find(L"deeprecommend.") != std::wstring::npos;
    if (it->second != "<dir>") {
      EXPECT_EQ(entry->Read(it->first, &bytes), !left) << testing_support::Narrow(it->first);
      if (!left) {
        EXPECT_TRUE(bytes == it->second) << testing_support::Narrow(it->first);
      }
    }
    it = left ? expected.erase(it) : std::next(it);
  }
  EXPECT_TRUE(entry->Read(L"SETUP.XML", &bytes));
  EXPECT_FALSE(entry->Read(L"missing.xml", &bytes));
  EXPECT_TRUE(entry->Decoded());
  EXPECT_FALSE(entry->FinishWriting()) << "nothing was asked to be written";
  entry->StartWriting(dir / L"install");
  ASSERT_TRUE(entry->FinishWriting());
  EXPECT_TRUE(Tree(dir / L"install") == expected);
}

// The install thread asks for the files while the preload may still run, may just fail, or has
// ended: whatever the timing, the files are written once and equal the reference.
TEST(PacketLoader, InstallRacingThePreload) {
  TempFolder dir;
  for (int round = 0; round < 12; ++round) {
    PacketLoader loader;
    ASSERT_TRUE(loader.OpenPacket(TestData() + L"setup-packed.exe"));
    // Every third preload is of an entry that does not exist: it fails at some moment.
    ASSERT_TRUE(loader.LoadProductPacket(round % 3 == 0 ? 7 : 1));
    if (round % 3 != 0) Sleep(round % 4);
    const std::wstring out = dir / (L"race" + std::to_wstring(round));
    bool ok = false;
    std::thread install([&] { ok = loader.ExtractMemoryFiles(1, out); });
    install.join();
    ASSERT_TRUE(ok) << "round " << round;
    ExpectSameTree(out, TestData() + L"ref\\product");
    loader.Close();
  }
}

TEST(ArchiveFacade, MemoryFilesAreKeyedByFolderInCodeUnitOrder) {
  const std::string archive = ReadBytes(TestData() + L"product.7z");
  C7zExtractImpl facade;
  ASSERT_EQ(facade.Uncompress(archive.data(), static_cast<UINT32>(archive.size())), S_OK);
  std::vector<std::wstring> keys;
  for (const auto& entry : facade.Folders()) keys.push_back(entry.first);
  ASSERT_FALSE(keys.empty());
  EXPECT_EQ(keys.front(), L".");  // root items first
  auto pos = [&keys](const wchar_t* k) { return std::find(keys.begin(), keys.end(), k) - keys.begin(); };
  EXPECT_LT(pos(L"Upper"), pos(L"office6"));  // capital letters sort first
  EXPECT_LT(pos(L"office6"), pos(L"office6\\2052"));
  EXPECT_NE(pos(L"office6\\addons\\empty"), static_cast<long>(keys.size())) << "empty folders are kept";
  const auto& root = facade.Folders().at(L".");
  ASSERT_EQ(root.size(), 2u);
  EXPECT_EQ(root.front()->TotalSize + root.back()->TotalSize, 10u + 17u);

  EXPECT_EQ(C7zExtractImpl::FolderKey(L"office6\\2052\\x.dll"), L"office6\\2052");
  EXPECT_EQ(C7zExtractImpl::FolderKey(L"x.dll"), L".");
  for (const wchar_t* bad : {L"..\\x", L"a\\..\\..\\x", L"\\abs", L"C:\\x", L"c:x", L""})
    EXPECT_FALSE(C7zExtractImpl::IsSafeRelativeName(bad)) << testing_support::Narrow(bad);
  EXPECT_TRUE(C7zExtractImpl::IsSafeRelativeName(L"a\\..b\\c..d"));
}

// How much a block's decoder takes, from the archive's method text, and how many blocks are
// decoded at once: one per core, as many as there are, as memory allows, at least one.
TEST(ArchiveFacade, DecoderMemoryAndBlocksAtOnce) {
  EXPECT_EQ(DecoderMemoryOf(L"BCJ2 LZMA:24 LZMA:20 LZMA:20"), (1ull << 24) + (2ull << 20));
  EXPECT_EQ(DecoderMemoryOf(L"LZMA:3m"), 3ull << 20);
  EXPECT_EQ(DecoderMemoryOf(L"BCJ LZMA:1536k"), 1536ull << 10);
  EXPECT_EQ(DecoderMemoryOf(L"LZMA2:100b Copy"), 100u);
  EXPECT_EQ(DecoderMemoryOf(L"Copy"), 0u);
  std::vector<SolidBlock> blocks(3);
  blocks[0].Memory = 64ull << 20;
  blocks[1].Memory = blocks[2].Memory = 16ull << 20;
  EXPECT_EQ(ParallelBlocks(blocks, 2, 1ull << 32), 2);
  EXPECT_EQ(ParallelBlocks(blocks, 8, 1ull << 32), 3);
  EXPECT_EQ(ParallelBlocks(blocks, 2, 240ull << 20), 2) << "64 + 16 + 32 MiB fit in half of 240";
  EXPECT_EQ(ParallelBlocks(blocks, 2, 200ull << 20), 1) << "... not in half of 200";
  EXPECT_EQ(ParallelBlocks(blocks, 0, 0), 1);
}

TEST(ArchiveFacade, NotAnArchiveFails) {
  const std::string junk(4096, 'j');
  TempFolder dir;
  C7zExtractImpl facade;
  EXPECT_NE(facade.Extract(junk.data(), static_cast<UINT32>(junk.size()), dir / L"x"), S_OK);
  C7zExtractImpl memory;
  EXPECT_NE(memory.Uncompress(junk.data(), 0), S_OK);
}

// Collects the progress messages the extraction sends to a window (by default the wizard's title),
// as the wizard does: those with the process's key.
struct Listener {
  HWND hwnd = nullptr;
  int totals = 0;
  unsigned long long total = 0, written = 0;
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<Listener*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (!self || !sys::IsOwnMessage(l)) return DefWindowProcW(h, m, w, l);
    if (m == kMsgExtractTotal) {
      ++self->totals;
      self->total = *reinterpret_cast<unsigned long long*>(w);
    } else if (m == kMsgExtractWritten) {
      self->written += *reinterpret_cast<UINT32*>(w);
    }
    return DefWindowProcW(h, m, w, l);
  }
  explicit Listener(const wchar_t* title = kWizardWindowTitle) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = L"LumenTestWizardListener";
    RegisterClassW(&wc);
    hwnd = CreateWindowW(wc.lpszClassName, title, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Listener() { DestroyWindow(hwnd); }
};

TEST(ExtractToDisk, ProgressLockedTargetsAndDrivers) {
  TempFolder dir;
  const std::wstring out = dir / L"out\\";
  const std::string archive = ReadBytes(TestData() + L"product.7z");
  const std::wstring drivers = ZFunction::GetDriversFolder();
  DeleteFileW((drivers + L"lumentestflt.SYS").c_str());
  DeleteFileW((drivers + L"notdriver.sysx").c_str());

  // First run: the wizard window gets the total once and every written byte; a window handed
  // over takes its place.
  for (const bool handed : {false, true}) {
    Listener wizard, other(L"");
    ASSERT_NE(wizard.hwnd, nullptr);
    C7zExtractImpl facade;
    if (handed) facade.SetProgressWindow(other.hwnd);
    ASSERT_EQ(facade.Extract(archive.data(), static_cast<UINT32>(archive.size()), out), S_OK);
    const Listener& listener = handed ? other : wizard;
    EXPECT_EQ(listener.totals, 1);
    EXPECT_GT(listener.total, 300000u);
    EXPECT_EQ(listener.written, listener.total);
    EXPECT_EQ((handed ? wizard : other).totals, 0);
  }
  ExpectSameTree(out, TestData() + L"ref\\product");
  EXPECT_EQ(ReadBytes(drivers + L"lumentestflt.SYS"), "driver bytes\n");
  EXPECT_FALSE(Exists(drivers + L"notdriver.sysx"));
  DeleteFileW((drivers + L"lumentestflt.SYS").c_str());

  // Second run over the first: one old file is held open without sharing (it cannot be
  // renamed), one is a running program (it can be renamed, not overwritten).
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"lumen-test-extract-ready");
  testing_support::Process holder, running;
  const std::wstring tool = testing_support::BinFolder() + L"testtool.exe";
  ASSERT_TRUE(holder.Start(tool, L"hold \"" + out + L"office6\\2052\\strings.txt\" lumen-test-extract-ready 4000"));
  ASSERT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);
  ASSERT_TRUE(running.Start(out + L"office6\\lumen.exe", L"sleep 4000"));
  Sleep(200);
  WriteBytes(out + L"readme.txt", "old content");
  C7zExtractImpl facade;
  ASSERT_EQ(facade.Extract(archive.data(), static_cast<UINT32>(archive.size()), out), S_OK);
  const std::map<std::wstring, std::string> tree = Tree(out);
  EXPECT_EQ(ReadBytes(out + L"readme.txt"), "root file\n");
  // Held file: new content beside it, swapped in at the next restart.
  EXPECT_EQ(ReadBytes(out + L"office6\\2052\\strings.txt0"), ReadBytes(TestData() + L"ref\\product\\office6\\2052\\strings.txt"));
  // Running program: moved aside, new copy in place.
  EXPECT_EQ(ReadBytes(out + L"office6\\lumen.exe"), ReadBytes(TestData() + L"ref\\product\\office6\\lumen.exe"));
  int aside = 0;
  for (const auto& entry : tree) aside += entry.first.rfind(L"office6\\lumen.exe_d_", 0) == 0;
  EXPECT_EQ(aside, 1);
  holder.Wait();
  running.Wait();
  CloseHandle(ready);
  DeleteFileW((drivers + L"lumentestflt.SYS").c_str());
}

TEST(ExtractToDisk, MemoryModeOverLockedTargets) {
  TempFolder dir;
  const std::wstring out = dir / L"mem\\";
  const std::string archive = ReadBytes(TestData() + L"product.7z");
  C7zExtractImpl first;
  ASSERT_EQ(first.Uncompress(archive.data(), static_cast<UINT32>(archive.size())), S_OK);
  ASSERT_EQ(first.ExtractMemoryFiles(out), S_OK);
  ExpectSameTree(out, TestData() + L"ref\\product");

  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"lumen-test-memory-ready");
  testing_support::Process holder;
  ASSERT_TRUE(holder.Start(testing_support::BinFolder() + L"testtool.exe",
                           L"hold \"" + out + L"office6\\lmo.dll\" lumen-test-memory-ready 4000"));
  ASSERT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);
  C7zExtractImpl second;
  ASSERT_EQ(second.Uncompress(archive.data(), static_cast<UINT32>(archive.size())), S_OK);
  ASSERT_EQ(second.ExtractMemoryFiles(out), S_OK);
  EXPECT_EQ(ReadBytes(out + L"office6\\lmo.dll0"), ReadBytes(TestData() + L"ref\\product\\office6\\lmo.dll"));
  EXPECT_EQ(ReadBytes(out + L"utility\\empty.ini"), "");
  holder.Wait();
  CloseHandle(ready);
  DeleteFileW((ZFunction::GetDriversFolder() + L"lumentestflt.SYS").c_str());
}

}  // namespace
