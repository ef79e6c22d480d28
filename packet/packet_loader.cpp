#include "packet/packet_loader.h"

#include "log/setup_log.h"
#include "packet/archive_facade.h"
#include "packet/packet_format.h"
#include "sys/file_utils.h"
#include "base/handles.h"

PacketLoader::~PacketLoader() {
  Close();
  ReleaseDecoder();
}

void PacketLoader::ReleaseDecoder() { Decoder.reset(); }

bool PacketLoader::FinishPreload() {
  if (!LoadThread) return false;
  WaitForSingleObject(LoadThread.Get(), INFINITE);
  DWORD decoded = 0;
  GetExitCodeThread(LoadThread.Get(), &decoded);
  LoadThread.Reset();
  return decoded == 1;
}

bool PacketLoader::OpenPacket(const std::wstring& path) {
  return LoadImageToMem(path) && FileSize >= packet::kMinFileSize && VerifyPacketMagic();
}

bool PacketLoader::LoadImageToMem(const std::wstring& path) {
  Close();
  const std::wstring file = path.empty() ? ZFunction::GetModulePath() : path;
  sys::UniqueFile handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) {
    g_Log.Log("LoadImageToMem CreateFile error:%d, path:%ws", static_cast<int>(GetLastError()), file.c_str());
    return false;
  }
  FileSize = ::GetFileSize(handle.Get(), nullptr);
  Mapping.Reset(CreateFileMappingW(handle.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!Mapping) {
    g_Log.Log("CreateFileByMem CreateFileMapping error:%d, path:%ws", static_cast<int>(GetLastError()), file.c_str());
    return false;
  }
  Mapped.Reset(MapViewOfFile(Mapping.Get(), FILE_MAP_READ, 0, 0, FileSize));
  View = static_cast<const BYTE*>(Mapped.Get());
  if (!View) {
    g_Log.Log("CreateFileByMem MapViewOfFile error:%d, path:%ws", static_cast<int>(GetLastError()), file.c_str());
    Mapping.Reset();
    return false;
  }
  return true;
}

bool PacketLoader::VerifyPacketMagic() {
  if (!View || FileSize < packet::kPeOffsetField + 4) return false;
  const uint64_t peOffset = packet::ReadU32(View + packet::kPeOffsetField);
  const uint64_t stampAt = peOffset + packet::kTimeDateStampAfterPe;
  if (stampAt + 4 > FileSize) return false;
  PacketOffset = packet::ReadU32(View + stampAt);
  if (static_cast<uint64_t>(PacketOffset) + sizeof(packet::kMagic) + packet::kCountSize > FileSize) return false;
  if (memcmp(View + PacketOffset, packet::kMagic, sizeof(packet::kMagic)) != 0) return false;
  PacketOffset += sizeof(packet::kMagic);
  return true;
}

const BYTE* PacketLoader::GetPacketData(int index, UINT32* size) const {
  *size = 0;
  if (!View || index < 0 || static_cast<uint64_t>(PacketOffset) + packet::kCountSize > FileSize) return nullptr;
  if (index >= packet::ReadU16(View + PacketOffset)) return nullptr;
  uint64_t at = static_cast<uint64_t>(PacketOffset) + packet::kCountSize;
  for (int i = 0;; ++i) {
    if (at + packet::kEntryHeadSize > FileSize) return nullptr;
    const uint32_t length = packet::ReadU32(View + at);
    if (at + packet::kEntryHeadSize + length > FileSize) return nullptr;
    if (i == index) {
      const BYTE* data = View + at + packet::kEntryHeadSize;
      if (packet::Crc32(data, length) != packet::ReadU32(View + at + 4)) return nullptr;
      *size = length;
      return data;
    }
    at += packet::kEntryHeadSize + length;
  }
}

int PacketLoader::EntryCount() const {
  if (!View || static_cast<uint64_t>(PacketOffset) + packet::kCountSize > FileSize) return 0;
  return packet::ReadU16(View + PacketOffset);
}

bool PacketLoader::ExtractPacket(int index, const std::wstring& folder, const std::vector<std::wstring>& skipped) {
  g_Log.Log("GetPacketData %d", index);
  UINT32 size = 0;
  const BYTE* data = GetPacketData(index, &size);
  g_Log.Log("GetPacketData return:%d", static_cast<int>(reinterpret_cast<INT_PTR>(data)));
  if (!data) return false;
  const UniqueExtract decoder(Create7zExtract());
  if (!decoder) return false;
  decoder->SetProgressWindow(ProgressWindow);
  decoder->SkipNamesContaining(skipped);
  g_Log.Log("Extract...");
  const HRESULT result = decoder->Extract(data, size, folder);
  Written = decoder->FilesWritten();
  g_Log.Log("Extract return:%d", result == S_OK ? 1 : 0);
  return result == S_OK;
}

std::vector<ArchiveItem> PacketLoader::Items(int index) const {
  UINT32 size = 0;
  const BYTE* data = GetPacketData(index, &size);
  return data ? ArchiveItems(data, size) : std::vector<ArchiveItem>();
}

bool PacketLoader::LoadProductPacket(int index) {
  if (LoadThread) return true;  // already preloading
  EntryIndex = index;
  if (FileSize > kMaxPreloadFileSize) {
    g_Log.Log("the packet is too large");
    return true;
  }
  ReleaseDecoder();
  Decoder.reset(Create7zExtract());
  if (!Decoder) return false;
  Decoder->SetProgressWindow(ProgressWindow);
  LoadThread.Reset(CreateThread(nullptr, 0, LoadThreadFunc, this, 0, nullptr));
  g_Log.Log("LoadProductPacket CreateThread return:%d", static_cast<int>(reinterpret_cast<INT_PTR>(LoadThread.Get())));
  if (!LoadThread) ReleaseDecoder();
  return LoadThread.Valid();
}

// The preload: decodes the entry into the decoder's memory. Only reads the loader; its result
// is the thread's exit code (1 decoded, 0 not), which the owner reads after waiting.
DWORD WINAPI PacketLoader::LoadThreadFunc(void* param) {
  const PacketLoader* self = static_cast<const PacketLoader*>(param);
  g_Log.Log("GetPacketData ...");
  UINT32 size = 0;
  const BYTE* data = self->GetPacketData(self->EntryIndex, &size);
  g_Log.Log("GetPacketData return:%p", data);
  if (!data || !self->Decoder) return 0;
  g_Log.Log("Uncompress ...");
  const HRESULT result = self->Decoder->Uncompress(data, size);
  g_Log.Log("Uncompress return:%d", result == S_OK ? 1 : 0);
  return result == S_OK ? 1 : 0;
}

bool PacketLoader::ExtractMemoryFiles(int index, const std::wstring& folder) {
  const bool preloading = LoadThread.Valid();
  const bool preloaded = FinishPreload();
  if (preloaded && EntryIndex == index) {
    g_Log.Log("ExtractMemoryFiles...");
    const HRESULT result = Decoder->ExtractMemoryFiles(folder);
    Written = Decoder->FilesWritten();
    g_Log.Log("ExtractMemoryFiles return:%d", result == S_OK ? 1 : 0);
    return result == S_OK;
  }
  // A preload that failed, or of another entry, holds nothing to write: decode directly.
  if (preloading) g_Log.Log("LoadThreadFunc fail\n");
  ReleaseDecoder();
  EntryIndex = index;
  g_Log.Log("ExtractPacket...");
  const bool ok = ExtractPacket(index, folder);
  g_Log.Log("ExtractPacket return:%d", ok);
  return ok;
}

void PacketLoader::CancelPreload() {
  if (!LoadThread) return;
  if (Decoder) Decoder->Cancel();
  if (!FinishPreload()) g_Log.Log("the preload was stopped");
  ReleaseDecoder();
}

void PacketLoader::Close() {
  if (LoadThread && !FinishPreload()) ReleaseDecoder();  // the view must outlive the preload
  View = nullptr;
  Mapped.Reset();
  Mapping.Reset();
}

std::unique_ptr<UnpackedEntry> PacketLoader::Unpack(int index, const std::vector<std::wstring>& skipped) {
  g_Log.Log("GetPacketData %d", index);
  UINT32 size = 0;
  const BYTE* data = GetPacketData(index, &size);
  g_Log.Log("GetPacketData return:%d", static_cast<int>(reinterpret_cast<INT_PTR>(data)));
  if (!data) return nullptr;
  auto entry = std::make_unique<UnpackedEntry>(data, size, skipped);
  return entry->Started() ? std::move(entry) : nullptr;
}

UnpackedEntry::UnpackedEntry(const void* data, UINT32 size, std::vector<std::wstring> skipped)
    : Decoder(new (std::nothrow) C7zExtractImpl()), Data(data), Size(size) {
  if (!Decoder) return;
  Decoder->SkipNamesContaining(std::move(skipped));
  Decoder->Quiet();
  Decoder->OnFileDecoded([this](const MemoryFile& file) {
    {
      const sys::Locked locked(Lock);
      Files.emplace(file.Name, &file);
    }
    SetEvent(Arrived.Get());
  });
  if (Arrived) Decoding.Reset(CreateThread(nullptr, 0, &DecodeThread, this, 0, nullptr));
}

UnpackedEntry::~UnpackedEntry() {
  if (Decoder) Decoder->Cancel();
  for (const sys::UniqueKernel* thread : {&Decoding, &Writer})
    if (*thread) WaitForSingleObject(thread->Get(), INFINITE);
}

DWORD WINAPI UnpackedEntry::DecodeThread(void* self) {
  auto* entry = static_cast<UnpackedEntry*>(self);
  g_Log.Log("Uncompress...");
  const HRESULT result = entry->Decoder->Uncompress(entry->Data, entry->Size);
  g_Log.Log("Uncompress return:%d", result == S_OK ? 1 : 0);
  {
    const sys::Locked locked(entry->Lock);
    entry->Ended = true;
    entry->DecodedWhole = result == S_OK;
  }
  SetEvent(entry->Arrived.Get());
  return 0;
}

bool UnpackedEntry::Read(const std::wstring& name, std::string* bytes) const {
  const MemoryFile* file = nullptr;
  for (bool ended = false; !file && !ended;) {
    {
      const sys::Locked locked(Lock);
      ResetEvent(Arrived.Get());  // a change after this sets it again
      const auto found = Files.find(name);
      if (found != Files.end()) file = found->second;
      ended = Ended;
    }
    if (!file && !ended) WaitForSingleObject(Arrived.Get(), INFINITE);
  }
  if (!file) return false;
  bytes->clear();  // a complete file does not change any more
  bytes->reserve(file->TotalSize);
  for (const std::vector<BYTE>& chunk : file->Chunks) bytes->append(chunk.begin(), chunk.end());
  return true;
}

bool UnpackedEntry::Decoded() const {
  if (!Decoding) return false;
  WaitForSingleObject(Decoding.Get(), INFINITE);
  return DecodedWhole;  // written before the thread ended
}

DWORD WINAPI UnpackedEntry::WriteThread(void* self) {
  auto* entry = static_cast<UnpackedEntry*>(self);
  return entry->Decoded() && entry->Decoder->ExtractMemoryFiles(entry->Folder) == S_OK ? 1 : 0;
}

void UnpackedEntry::StartWriting(const std::wstring& folder) {
  if (Writer || !Decoding) return;
  Folder = folder;
  Writer.Reset(CreateThread(nullptr, 0, &WriteThread, this, 0, nullptr));
}

bool UnpackedEntry::FinishWriting() const {
  if (!Writer) return false;
  WaitForSingleObject(Writer.Get(), INFINITE);
  DWORD written = 0;
  return GetExitCodeThread(Writer.Get(), &written) && written == 1;
}
