// Extraction benchmark driver: opens a packed installer's packet and turns its two entries into
// files through the archive facade, the way the setup program does, timing every step.
//   extract_bench.exe <installer.exe> <out folder> direct|memory
// Entry 0 goes to <out folder>\install, entry 1 to <out folder>\product (the folders of
// `setup.exe -e`).
//   direct  Extract: each file is written while it is decoded;
//   memory  Uncompress, then ExtractMemoryFiles: everything is decoded into memory first and
//           written out afterwards (the preload path), timed separately.
// Output: one line per entry, then a single "RESULT" line of key=value pairs for scripts. The
// memory figures are the whole process's (GetProcessMemoryInfo), the working set including the
// mapped installer. Wine (8.0) keeps no peak of the pagefile figure (private memory in use):
// its "peak" is the current value. So a sampler thread reads that figure every 5 ms (and
// after every step), and the largest sample is reported, or the system's peak when larger.
// Exit code 0 when both entries were extracted, 1 when one failed, 2 on bad arguments.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "packet/archive_facade.h"
#include "packet/packet_loader.h"
#include "sys/file_utils.h"

namespace {

class Stopwatch {
 public:
  Stopwatch() {
    QueryPerformanceFrequency(&Frequency);
    QueryPerformanceCounter(&Start);
  }
  // Milliseconds since construction or the previous Lap.
  double Lap() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const double ms = static_cast<double>(now.QuadPart - Start.QuadPart) * 1000.0 / static_cast<double>(Frequency.QuadPart);
    Start = now;
    return ms;
  }

 private:
  LARGE_INTEGER Frequency{};
  LARGE_INTEGER Start{};
};

// Largest private-memory figure seen so far (see above).
SIZE_T g_PeakPrivate = 0;
CRITICAL_SECTION g_SampleLock;
HANDLE g_StopSampling = nullptr;

void SampleMemory() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return;
  EnterCriticalSection(&g_SampleLock);
  if (counters.PagefileUsage > g_PeakPrivate) g_PeakPrivate = counters.PagefileUsage;
  if (counters.PeakPagefileUsage > g_PeakPrivate) g_PeakPrivate = counters.PeakPagefileUsage;
  LeaveCriticalSection(&g_SampleLock);
}

DWORD WINAPI SamplerThread(void*) {
  do SampleMemory();
  while (WaitForSingleObject(g_StopSampling, 5) == WAIT_TIMEOUT);
  return 0;
}

struct Totals {
  double Crc = 0, Decode = 0, Write = 0, Free = 0;
  unsigned long long Files = 0, Bytes = 0, Packed = 0;
};

// One entry: CRC check (GetPacketData), then the facade in the chosen mode.
bool RunEntry(const PacketLoader& loader, int index, const std::wstring& folder, bool memory, Totals& totals) {
  Stopwatch watch;
  UINT32 size = 0;
  const BYTE* data = loader.GetPacketData(index, &size);
  const double crc = watch.Lap();
  if (!data) {
    std::fprintf(stderr, "extract_bench: entry %d is missing or its CRC-32 does not match\n", index);
    return false;
  }
  C7zExtractImpl* facade = new C7zExtractImpl();
  double decode = 0, write = 0, release = 0;
  unsigned long long files = 0, bytes = 0;
  HRESULT result;
  watch.Lap();
  if (memory) {
    result = facade->Uncompress(data, size);
    decode = watch.Lap();
    SampleMemory();
    if (result == S_OK) {
      for (const auto& folderFiles : facade->Folders()) {
        for (const auto& file : folderFiles.second) {
          ++files;
          bytes += file->TotalSize;
        }
      }
      watch.Lap();
      result = facade->ExtractMemoryFiles(folder);
      write = watch.Lap();
      SampleMemory();
    }
  } else {
    result = facade->Extract(data, size, folder);
    decode = watch.Lap();
    SampleMemory();
  }
  facade->Release();
  release = watch.Lap();

  if (memory)
    std::printf("entry %d: %.2f MB packed, %llu files, %.2f MB; crc %.1f ms, decode %.1f ms, write %.1f ms, free %.1f ms\n",
                index, size / 1048576.0, files, bytes / 1048576.0, crc, decode, write, release);
  else
    std::printf("entry %d: %.2f MB packed; crc %.1f ms, extract (decode and write) %.1f ms\n", index, size / 1048576.0,
                crc, decode);
  if (result != S_OK) {
    std::fprintf(stderr, "extract_bench: entry %d failed, 0x%08lX\n", index, static_cast<unsigned long>(result));
    return false;
  }
  totals.Crc += crc;
  totals.Decode += decode;
  totals.Write += write;
  totals.Free += release;
  totals.Files += files;
  totals.Bytes += bytes;
  totals.Packed += size;
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc == 4 ? argv[3] : L"";
  if (mode != L"direct" && mode != L"memory") {
    std::fprintf(stderr, "usage: extract_bench.exe <installer.exe> <out folder> direct|memory\n");
    return 2;
  }
  const bool memory = mode == L"memory";
  const std::wstring out = ZFunction::WithSlash(argv[2]);

  InitializeCriticalSection(&g_SampleLock);
  g_StopSampling = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE sampler = CreateThread(nullptr, 0, SamplerThread, nullptr, 0, nullptr);

  Stopwatch total;
  Stopwatch watch;
  PacketLoader loader;
  if (!loader.OpenPacket(argv[1])) {
    std::fprintf(stderr, "extract_bench: %ls has no packet\n", argv[1]);
    return 1;
  }
  const double open = watch.Lap();
  std::printf("installer: %.2f MB, open and map %.1f ms, mode %ls\n", loader.GetFileSize() / 1048576.0, open, mode.c_str());

  Totals totals;
  const bool ok = RunEntry(loader, 0, out + L"install", memory, totals) && RunEntry(loader, 1, out + L"product", memory, totals);
  watch.Lap();
  loader.Close();
  const double close = watch.Lap();
  const double all = total.Lap();

  SetEvent(g_StopSampling);
  if (sampler) {
    WaitForSingleObject(sampler, INFINITE);
    CloseHandle(sampler);
  }
  SampleMemory();
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  std::printf("RESULT mode=%ls ok=%d open_ms=%.1f crc_ms=%.1f decode_ms=%.1f write_ms=%.1f free_ms=%.1f close_ms=%.1f "
              "total_ms=%.1f packed_bytes=%llu memory_files=%llu memory_bytes=%llu peak_working_set_kb=%llu "
              "peak_private_kb=%llu\n",
              mode.c_str(), ok ? 1 : 0, open, totals.Crc, totals.Decode, totals.Write, totals.Free, close, all, totals.Packed,
              totals.Files, totals.Bytes, static_cast<unsigned long long>(counters.PeakWorkingSetSize / 1024),
              static_cast<unsigned long long>(g_PeakPrivate / 1024));
  std::fflush(stdout);
  return ok ? 0 : 1;
}
