// Finds the payload packet behind the setup program's own image, checks its entries and turns
// them into files: directly (ExtractPacket), or preloaded into memory on a worker thread
// (LoadProductPacket) and written later (ExtractMemoryFiles). The layout is described in
// packet/packet_format.h.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/handles.h"
#include "packet/archive_facade.h"

// An entry decoded into memory on a thread of its own, whose files are read as soon as the
// decoding has passed them, and then written to a folder on another thread (the installation's
// configuration: the wizard decodes its pictures while the entry is still being decoded, and
// takes them from memory while the payload folder fills).
class UnpackedEntry {
 public:
  // Starts decoding the entry's `size` bytes at `data`, which stay valid until the entry goes;
  // the files whose names contain a text of `skipped` are left out.
  UnpackedEntry(const void* data, UINT32 size, std::vector<std::wstring> skipped);
  ~UnpackedEntry();  // stops the decoding, waits for both threads
  UnpackedEntry(const UnpackedEntry&) = delete;
  UnpackedEntry& operator=(const UnpackedEntry&) = delete;

  // Whether the decoding thread runs (or ran).
  bool Started() const { return Decoding.Valid(); }
  // The bytes of file `name` (relative, "\" separators, any case), waiting until the decoding
  // has passed it; false when the entry has no such file (or its decoding failed first).
  bool Read(const std::wstring& name, std::string* bytes) const;
  // Waits for the decoding; true when the whole entry decoded.
  bool Decoded() const;
  // Starts writing every file below `folder` once the decoding is done.
  void StartWriting(const std::wstring& folder);
  // Waits for the writing; true when every file is in the folder. Without a start, false. Any
  // thread may wait.
  bool FinishWriting() const;
  // Whether the writing has started and not ended yet (never waits).
  bool Writing() const { return Writer && WaitForSingleObject(Writer.Get(), 0) == WAIT_TIMEOUT; }
  UINT32 FilesWritten() const { return Decoder->FilesWritten(); }

 private:
  static DWORD WINAPI DecodeThread(void* self);
  static DWORD WINAPI WriteThread(void* self);
  std::unique_ptr<C7zExtractImpl> Decoder;
  const void* Data;
  UINT32 Size;
  struct NoCase {
    bool operator()(const std::wstring& a, const std::wstring& b) const { return _wcsicmp(a.c_str(), b.c_str()) < 0; }
  };
  // The files decoded so far, and whether the decoding ended, under Lock; Arrived (manual reset)
  // is set with each change (the shipped program runs where condition variables do not exist).
  mutable sys::CriticalSection Lock;
  sys::UniqueKernel Arrived{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::map<std::wstring, const MemoryFile*, NoCase> Files;
  bool Ended = false;
  bool DecodedWhole = false;
  std::wstring Folder;
  // Both set before anyone waits for them, closed when the entry goes.
  sys::UniqueKernel Decoding;
  sys::UniqueKernel Writer;
};

class PacketLoader {
 public:
  // Files above this size are not preloaded: the preload holds every decoded file in memory.
  static constexpr DWORD kMaxPreloadFileSize = 31457280;

  PacketLoader() = default;
  ~PacketLoader();
  PacketLoader(const PacketLoader&) = delete;
  PacketLoader& operator=(const PacketLoader&) = delete;

  // Maps the program's own file (or `path` when given) and checks for a packet.
  bool OpenPacket(const std::wstring& path = std::wstring());
  bool LoadImageToMem(const std::wstring& path = std::wstring());
  bool VerifyPacketMagic();
  // The data of entry `index` after its CRC-32 matched; null (and size 0) otherwise. The
  // pointer is valid until Close.
  const BYTE* GetPacketData(int index, UINT32* size) const;
  // Starts decoding entry `index` into memory on a thread of its own (not for files above
  // kMaxPreloadFileSize, which are decoded when they are written).
  bool LoadProductPacket(int index);
  bool ExtractPacket(int index, const std::wstring& folder, const std::vector<std::wstring>& skipped = {});
  // Starts decoding entry `index` into memory, without the files whose names contain a text of
  // `skipped`; null when the entry cannot be read. The loader stays open while it decodes.
  std::unique_ptr<UnpackedEntry> Unpack(int index, const std::vector<std::wstring>& skipped = {});
  // The files and folders entry `index` makes, without decoding them; empty when the entry
  // cannot be read.
  std::vector<ArchiveItem> Items(int index) const;
  // How many files the last extraction wrote (also when it failed halfway).
  UINT32 FilesWritten() const { return Written; }
  // Waits for a running preload and writes what it decoded; without a preload, or after one
  // that failed, decodes the entry straight into the folder.
  bool ExtractMemoryFiles(int index, const std::wstring& folder);
  // Waits for a running preload, then unmaps the file. The preloaded files stay until the
  // loader ends.
  void Close();
  // Stops a running preload that nobody will use (the user left before installing) and waits
  // for its thread; its decoded files go.
  void CancelPreload();

  DWORD GetFileSize() const { return FileSize; }
  // How many entries the packet says it holds (0 before OpenPacket or without a packet).
  int EntryCount() const;
  // The window the extraction reports its progress to (see I7zExtract::SetProgressWindow).
  void SetProgressWindow(HWND window) { ProgressWindow = window; }

 private:
  static DWORD WINAPI LoadThreadFunc(void* self);

  sys::UniqueKernel Mapping;
  sys::UniqueView Mapped;      // the file's image
  const BYTE* View = nullptr;  // the same, as bytes
  DWORD FileSize = 0;
  DWORD PacketOffset = 0;
  HWND ProgressWindow = nullptr;
  UINT32 Written = 0;
  // The preload thread reads EntryIndex and Decoder; both change only while no preload runs.
  sys::UniqueKernel LoadThread;
  int EntryIndex = -1;
  UniqueExtract Decoder;

  // Waits for the preload thread; true when it decoded its entry. Afterwards no thread runs.
  bool FinishPreload();
  void ReleaseDecoder();
};
