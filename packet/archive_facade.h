// Turns one 7z archive held in memory (a packet entry) into files, through the built-in 7-Zip
// library. Two ways of working:
//   direct mode  (Extract)             each file is written to disk while it is decoded;
//   memory mode  (Uncompress, later ExtractMemoryFiles)  every file is decoded into memory
//                first (on the preload thread) and written out later, folder by folder.
// Results are component-style codes: 0 success, E_FAIL a failure of the facade itself, or the
// archive library's own code.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/handles.h"

class I7zExtract {
 public:
  virtual HRESULT Extract(const void* data, UINT32 size, const std::wstring& folder) = 0;
  virtual HRESULT Uncompress(const void* data, UINT32 size) = 0;
  virtual HRESULT ExtractMemoryFiles(const std::wstring& folder) = 0;
  virtual void Release() = 0;
  // The window that follows the extraction (messages 3012 and 3013); without one, the wizard
  // window is looked up by its title.
  virtual void SetProgressWindow(HWND window) = 0;
  // Items whose names contain one of these texts are left out of the extraction.
  virtual void SkipNamesContaining(std::vector<std::wstring> parts) = 0;
  // How many files the object has written to disk so far.
  virtual UINT32 FilesWritten() const = 0;
  // Stops a decoding that runs on another thread at its next piece of data: it ends with
  // E_ABORT. For a preload nobody will use (the user left the wizard).
  virtual void Cancel() = 0;

 protected:
  ~I7zExtract() = default;
};

// What the archive library hands to the facade while it decodes, in archive order.
class I7zExtractCallBack {
 public:
  // A new file of the archive begins; name is relative, with "\" separators.
  virtual HRESULT BeginFile(const std::wstring& name) = 0;
  // The next decoded bytes of the current file; a successful call consumes them all.
  virtual HRESULT WriteData(const void* data, UINT32 size, UINT32* processed) = 0;
  // A folder item of the archive (an empty folder must exist after extraction too).
  virtual HRESULT BeginFolder(const std::wstring& name) = 0;
  // Whether the item of that name is written at all.
  virtual bool Wanted(const std::wstring& name) const = 0;

 protected:
  ~I7zExtractCallBack() = default;
};

// One decoded archive item held in memory.
struct MemoryFile {
  std::wstring Name;  // relative path as the archive reports it
  UINT32 TotalSize = 0;
  std::list<std::vector<BYTE>> Chunks;  // one per WriteData call, in order
};

// Title of the wizard window that receives the extraction progress: 3012 (pointer to the
// 64-bit total, once per extraction) and 3013 (pointer to the 32-bit count just written), each
// with the process's own message key (sys/own_messages.h) as second parameter.
inline constexpr wchar_t kWizardWindowTitle[] = L" Lumen Office Installation Wizard ";
inline constexpr UINT kMsgExtractTotal = 3012;
inline constexpr UINT kMsgExtractWritten = 3013;

// The largest file memory mode holds (bytes).
inline constexpr UINT32 kMaxMemoryFile = 524288000;

// One solid block of an archive: its items (archive indices), unpacked size and the memory its
// decoder takes (the dictionaries of its coders).
struct SolidBlock {
  std::vector<UINT32> Items;
  std::vector<std::wstring> Names;  // of the items, in the same order
  UINT64 Size = 0;
  UINT64 Memory = 0;
};
// "BCJ2 LZMA:24 LZMA:20 LZMA:20" -> the sum of the LZMA dictionaries (2^24 + 2 * 2^20); sizes
// may also read "3m", "1536k" or "100b".
UINT64 DecoderMemoryOf(const std::wstring& methods);
// What the program needs beside the decoders while it decodes (streams, buffers, open files).
inline constexpr UINT64 kDecodingSpare = 32ull << 20;
// How many blocks are decoded at once: at most one per core, and only as many as fit in half
// the free memory with the largest dictionaries (always at least one); `decoders` gets what
// their decoders take together.
int ParallelBlocks(const std::vector<SolidBlock>& blocks, int cores, UINT64 freeMemory, UINT64* decoders = nullptr);

class C7zExtractImpl final : public I7zExtract, public I7zExtractCallBack {
 public:
  C7zExtractImpl() = default;
  ~C7zExtractImpl();
  C7zExtractImpl(const C7zExtractImpl&) = delete;
  C7zExtractImpl& operator=(const C7zExtractImpl&) = delete;

  HRESULT Extract(const void* data, UINT32 size, const std::wstring& folder) override;
  HRESULT Uncompress(const void* data, UINT32 size) override;
  HRESULT ExtractMemoryFiles(const std::wstring& folder) override;
  void Release() override;
  void SetProgressWindow(HWND window) override { ProgressWindow = window; }
  void SkipNamesContaining(std::vector<std::wstring> parts) override { Skipped = std::move(parts); }
  UINT32 FilesWritten() const override { return FilesDone; }
  void Cancel() override { Cancelled = true; }
  // No progress messages from here on: files that no progress bar counts.
  void Quiet() { Reports = false; }
  // Memory mode hands each file, once complete, to `handler` on the decoding thread; the file
  // stays where it is until the object goes.
  void OnFileDecoded(std::function<void(const MemoryFile&)> handler) { FileDecoded = std::move(handler); }
  bool Wanted(const std::wstring& name) const override;

  HRESULT BeginFile(const std::wstring& name) override;
  HRESULT WriteData(const void* data, UINT32 size, UINT32* processed) override;
  HRESULT BeginFolder(const std::wstring& name) override;

  // Memory files grouped by folder key ("." for root items), keys in code-unit order.
  const std::map<std::wstring, std::list<std::unique_ptr<MemoryFile>>>& Folders() const { return MemoryFolders; }

  // Sends a progress message to the progress window, or the wizard window found by its title,
  // when there is one. Each facade object looks the window up for itself: objects on different
  // threads share nothing.
  void NotifyWizard(UINT message, void* value);
  // The archive library found an item damaged (data or CRC error): the run fails.
  void ItemFailed() { ++FailedItems; }
  // The unpacked total the library announces, sent on unless the total is another's to send.
  void AnnounceTotal(UINT64 total);
  // Another block's worker failed: this one stops too.
  bool Stopped() const { return Work && Work->Failed; }
  // The archive index of the item the library is about to hand over.
  void AtItem(UINT32 index) { CurrentItem = index; }
  // "office6\2052\x.dll" -> "office6\2052"; "x.dll" -> ".".
  static std::wstring FolderKey(const std::wstring& name);
  // Archive names must stay inside the target folder: no "..", no drive, no leading separator.
  static bool IsSafeRelativeName(const std::wstring& name);

 private:
  // Decodes the items `only` names (all when null) with a handler of its own.
  HRESULT DecodingRun(const void* data, UINT32 size, const std::vector<UINT32>* only = nullptr);
  // Direct mode over the archive's solid blocks: workers on threads of their own, each taking
  // the next block and writing its files; the caller's object sends the total and the progress
  // and measures the memory they take against its bound.
  HRESULT ExtractBlocks(const void* data, UINT32 size, std::vector<SolidBlock> blocks, const std::vector<UINT32>& loose);
  static DWORD WINAPI WorkerMain(void* self);
  // A worker without a block left opens the files of the blocks still being decoded ahead of
  // their decoders (creating a file is the slow part of writing one under Wine).
  void OpenAhead();
  // The file a helper opened for the current item, if one did.
  bool TakeOpened();
  void FileCurrentMemoryFile();

  // Writing to disk (direct and memory mode).
  bool OpenTargetFile(const std::wstring& path);
  bool WriteAll(HANDLE file, UINT32 size, const BYTE* data);
  void CloseTargetFile();
  bool WriteMemoryFile(const MemoryFile& file, const std::wstring& folder);
  // Writes the file's chunks; with `report` each chunk written is reported to the progress
  // window (not for the driver copy, whose bytes were counted once).
  bool CreateFileByMem(const MemoryFile& file, const std::wstring& path, bool report = true);

  std::wstring TargetFolder;
  std::wstring CurrentName;
  int ToMemory = 0;
  sys::UniqueFile CurrentFile;
  std::unique_ptr<MemoryFile> CurrentMemoryFile;
  HWND ProgressWindow = nullptr;  // handed over; else looked up by title
  HWND WizardWindow = nullptr;
  bool LookedForWizard = false;
  bool Reports = true;
  std::function<void(const MemoryFile&)> FileDecoded;
  int FailedItems = 0;
  std::atomic<UINT32> FilesDone{0};  // the workers count theirs here, in their parent
  std::atomic<bool> Cancelled{false};
  std::vector<std::wstring> Skipped;
  // Workers on threads of their own never send to the progress window themselves (its thread
  // may be the one waiting for them): they add what they wrote to Written, which the object
  // that started them sends on from its thread while it waits.
  C7zExtractImpl* Parent = nullptr;
  bool SendsTotal = true;
  // The blocks the workers share: the next to take, and a failure that stops them all.
  struct Shared {
    const void* Data = nullptr;
    UINT32 Size = 0;
    const std::vector<SolidBlock>* Blocks = nullptr;
    std::atomic<size_t> Next{0};
    std::atomic<bool> Failed{false};
    HRESULT Result = S_OK;  // the first failure's
    std::atomic<UINT64> Written{0};  // not yet sent on
    // Target files opened ahead, by archive index.
    struct Opened {
      std::atomic<int> State{0};  // kNotOpened, kOpening, kReady, kCannot, kTaken
      sys::UniqueFile File;
    };
    std::unique_ptr<Opened[]> Files;
    UINT32 FileCount = 0;
  };
  Shared* Work = nullptr;
  UINT32 CurrentItem = 0;
  std::map<std::wstring, std::list<std::unique_ptr<MemoryFile>>> MemoryFolders;
};

// A new facade object, owned by the caller until its Release; null when memory runs out.
I7zExtract* Create7zExtract();
// Owns a decoder made by Create7zExtract.
struct ReleaseExtract {
  void operator()(I7zExtract* decoder) const { decoder->Release(); }
};
using UniqueExtract = std::unique_ptr<I7zExtract, ReleaseExtract>;

// Logs why an extraction fails (a damaged item, a file that cannot be made or written) and keeps
// the first such text since the last TakeExtractionProblem, for the run's closing line.
void NoteExtractionProblem(const char* format, ...);
std::string TakeExtractionProblem();

// Where the new copy of a locked file waits until the next restart puts it in place.
inline std::wstring PendingCopyName(const std::wstring& path) { return path + L"0"; }

// Puts a file written elsewhere on the same volume (`staged`) in the place of `target` in one
// step, the rename written through to the disk: at any moment `target` is either the old file
// or the new one, never a part of either. A locked target is renamed aside (deleted at the next
// restart) first; when even that fails the new file waits as the target's pending copy for the
// next restart. False, logged, when none of this worked.
bool PutInPlace(const std::wstring& staged, const std::wstring& target);

// One item of an archive as its header lists it.
struct ArchiveItem {
  std::wstring Name;  // relative, with "\" separators
  UINT64 Size = 0;    // unpacked bytes
  bool IsFolder = false;
};
// The items of a 7z archive in memory, read from the archive's header alone; empty when the
// archive cannot be read.
std::vector<ArchiveItem> ArchiveItems(const void* data, UINT32 size);
