// The 7-Zip side of the facade: an input stream over the mapped packet entry, the extract
// callback that routes every item to the facade, and the output stream that hands decoded
// bytes on.
#include <windows.h>
#include <ole2.h>

#include "packet/archive_facade.h"

#include <stdarg.h>
#include <stdio.h>

#include <algorithm>
#include <new>

#include "packet/packet_in_stream.h"

#include "CPP/Common/MyCom.h"
#include "CPP/Windows/PropVariant.h"
#include "CPP/7zip/Archive/IArchive.h"
#include "CPP/7zip/IStream.h"

#include "log/setup_log.h"
#include "sys/file_utils.h"
#include "sys/own_messages.h"
#include "sys/system_info.h"

// The library's class factory (its DLL export, linked in statically).
STDAPI CreateObject(const GUID* clsid, const GUID* iid, void** outObject);

namespace {

// {23170F69-40C1-278A-1000-000110070000}: the 7z format handler.
const GUID kClsid7z = {0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, 0x07, 0x00, 0x00}};
// How far into the data the archive signature is looked for.
const UInt64 kMaxSignatureSearch = 4194304;

// Reads the entry's bytes straight from the mapped file, never copying them. The library asks
// for the size in its end-of-archive checks; a read at the end answers E_FAIL, not zero bytes.
Z7_CLASS_IMP_COM_2(CPkInStream, IInStream, IStreamGetSize)
  Z7_IFACE_COM7_IMP(ISequentialInStream)

 public:
  CPkInStream(const BYTE* data, UInt32 size) : Data(data), Size(size) {}

 private:
  const BYTE* Data;
  UInt64 Position = 0;  // may lie past the end after a seek, as with a file
  UInt32 Size;
};

Z7_COM7F_IMF(CPkInStream::Read(void* data, UInt32 size, UInt32* processed)) {
  if (processed) *processed = 0;
  if (Position >= Size) return E_FAIL;
  const UInt64 left = Size - Position;
  const UInt32 n = size < left ? size : static_cast<UInt32>(left);
  memcpy(data, Data + Position, n);
  Position += n;
  if (processed) *processed = n;
  return S_OK;
}

Z7_COM7F_IMF(CPkInStream::Seek(Int64 offset, UInt32 origin, UInt64* newPosition)) {
  Int64 base;
  switch (origin) {
    case STREAM_SEEK_SET: base = 0; break;
    case STREAM_SEEK_CUR: base = static_cast<Int64>(Position); break;
    case STREAM_SEEK_END: base = Size; break;
    default: return STG_E_INVALIDFUNCTION;
  }
  // Positions stay within [0, 2^62]: no wrap-around whatever offset a damaged header names.
  const Int64 limit = Int64(1) << 62;
  if (offset < -base || offset > limit - base) return HRESULT_FROM_WIN32(ERROR_NEGATIVE_SEEK);
  Position = static_cast<UInt64>(base + offset);
  if (newPosition) *newPosition = Position;
  return S_OK;
}

Z7_COM7F_IMF(CPkInStream::GetSize(UInt64* size)) {
  if (!size) return E_POINTER;
  *size = Size;
  return S_OK;
}

// Hands decoded bytes to the facade.
Z7_CLASS_IMP_COM_1(CPkOutStream, ISequentialOutStream)
 public:
  explicit CPkOutStream(I7zExtractCallBack* target) : Target(target) {}

 private:
  I7zExtractCallBack* Target;
};

Z7_COM7F_IMF(CPkOutStream::Write(const void* data, UInt32 size, UInt32* processed)) {
  return Target ? Target->WriteData(data, size, processed) : S_OK;
}

Z7_CLASS_IMP_COM_1(CPkExtractCallback, IArchiveExtractCallback)
  Z7_IFACE_COM7_IMP(IProgress)

 public:
  CPkExtractCallback(C7zExtractImpl* target, IInArchive* handler) : Target(target), Handler(handler) {}

 private:
  C7zExtractImpl* Target;
  IInArchive* Handler;
  std::wstring CurrentPath;  // the item being decoded, for the log
};

// The library's per-item verdicts (NArchive::NExtract::NOperationResult), as the log says them.
const char* OperationResultText(Int32 result) {
  switch (result) {
    case 1: return "unsupported method";
    case 2: return "data error";
    case 3: return "CRC error";
    case 4: return "data unavailable";
    case 5: return "unexpected end of data";
    case 6: return "data after the end";
    case 7: return "not an archive";
    case 8: return "headers error";
    case 9: return "wrong password";
    default: return "unknown error";
  }
}

// The handler announces the unpacked total of the blocks it is about to decode: that is the
// extraction total the wizard's progress bar needs.
Z7_COM7F_IMF(CPkExtractCallback::SetTotal(UInt64 total)) {
  Target->AnnounceTotal(total);
  return S_OK;
}
Z7_COM7F_IMF(CPkExtractCallback::SetCompleted(const UInt64*)) { return S_OK; }
Z7_COM7F_IMF(CPkExtractCallback::PrepareOperation(Int32)) { return S_OK; }
// A damaged item fails the whole extraction: its bytes are already written (or held), but
// they are not the product's.
Z7_COM7F_IMF(CPkExtractCallback::SetOperationResult(Int32 result)) {
  if (result != 0) {
    NoteExtractionProblem("Extract item error:%d (%s), path:%ws", static_cast<int>(result), OperationResultText(result),
                          CurrentPath.c_str());
    if (Target) Target->ItemFailed();
  }
  return S_OK;
}

Z7_COM7F_IMF(CPkExtractCallback::GetStream(UInt32 index, ISequentialOutStream** outStream, Int32)) {
  *outStream = nullptr;
  CurrentPath.clear();
  NWindows::NCOM::CPropVariant path, isDir;
  if (Handler->GetProperty(index, kpidPath, &path) == S_OK && path.vt == VT_BSTR) CurrentPath = path.bstrVal;
  if (Target) {
    if (Target->Stopped()) return E_ABORT;  // another block failed: the run ends
    Target->AtItem(index);
    if (Handler->GetProperty(index, kpidIsDir, &isDir) == S_OK && isDir.vt == VT_BOOL && isDir.boolVal != VARIANT_FALSE)
      return Target->BeginFolder(CurrentPath);  // folders get no stream
    if (!Target->Wanted(CurrentPath)) return S_OK;  // no stream: the library skips the item
    Target->BeginFile(CurrentPath);  // a nameless item is refused; a failed open shows at the first write
  }
  CMyComPtr<ISequentialOutStream> stream = new CPkOutStream(Target);
  *outStream = stream.Detach();
  return S_OK;
}

}  // namespace

void C7zExtractImpl::NotifyWizard(UINT message, void* value) {
  if (Parent && Work) {
    if (message == kMsgExtractWritten) Work->Written += *static_cast<UINT32*>(value);
    return;
  }
  if (!Reports) return;
  // Looked up once per extraction (a window lookup costs a trip to the window server for every
  // piece written otherwise), again only when the window found has gone.
  if (!LookedForWizard || (WizardWindow && !IsWindow(WizardWindow))) {
    LookedForWizard = true;
    WizardWindow = ProgressWindow && IsWindow(ProgressWindow) ? ProgressWindow : FindWindowW(nullptr, kWizardWindowTitle);
  }
  if (WizardWindow) SendMessageW(WizardWindow, message, reinterpret_cast<WPARAM>(value), sys::OwnMessageKey());
}

bool C7zExtractImpl::Wanted(const std::wstring& name) const {
  for (const std::wstring& part : Skipped)
    if (name.find(part) != std::wstring::npos) return false;
  return true;
}

I7zExtract* Create7zExtract() { return new (std::nothrow) C7zExtractImpl(); }

IInStream* NewPacketInStream(const BYTE* data, UInt32 size) {
  CMyComPtr<IInStream> stream = new CPkInStream(data, size);
  return stream.Detach();
}

C7zExtractImpl::~C7zExtractImpl() { CloseTargetFile(); }

void C7zExtractImpl::Release() { delete this; }

namespace {

// A 7z handler of its own opened over the entry in memory (only its header is read), or the
// reason it could not be.
HRESULT OpenArchive(const void* data, UINT32 size, CMyComPtr<IInArchive>& handler) {
  if (CreateObject(&kClsid7z, &IID_IInArchive, reinterpret_cast<void**>(&handler)) != S_OK || !handler) return E_FAIL;
  CMyComPtr<IInStream> stream;
  stream.Attach(NewPacketInStream(static_cast<const BYTE*>(data), size));
  return handler->Open(stream, &kMaxSignatureSearch, nullptr);
}

}  // namespace

HRESULT C7zExtractImpl::DecodingRun(const void* data, UINT32 size, const std::vector<UINT32>* only) {
  CMyComPtr<IInArchive> handler;
  HRESULT result = OpenArchive(data, size, handler);
  if (result != S_OK) return result;
  UInt32 count = 0;
  result = handler->GetNumberOfItems(&count);
  if (result == S_OK) {
    std::vector<UInt32> indices(count);
    for (UInt32 i = 0; i < count; ++i) indices[i] = i;
    if (only) indices.assign(only->begin(), only->end());
    CMyComPtr<IArchiveExtractCallback> callback = new CPkExtractCallback(this, handler);
    FailedItems = 0;
    result = indices.empty() ? S_OK : handler->Extract(indices.data(), static_cast<UInt32>(indices.size()), 0, callback);
    if (result == S_OK && FailedItems > 0) result = E_FAIL;
  }
  handler->Close();
  return result;
}

namespace {
sys::CriticalSection g_ProblemLock;
std::string g_Problem;
}  // namespace

void NoteExtractionProblem(const char* format, ...) {
  char text[ZSetupLog::kMaxText + 1] = {};
  va_list args;
  va_start(args, format);
  _vsnprintf(text, ZSetupLog::kMaxText, format, args);
  va_end(args);
  g_Log.Log("%s", text);
  sys::Locked lock(g_ProblemLock);
  if (g_Problem.empty()) g_Problem = text;
}

std::string TakeExtractionProblem() {
  sys::Locked lock(g_ProblemLock);
  std::string taken;
  taken.swap(g_Problem);
  return taken;
}

std::vector<ArchiveItem> ArchiveItems(const void* data, UINT32 size) {
  std::vector<ArchiveItem> items;
  CMyComPtr<IInArchive> handler;
  UInt32 count = 0;
  // Only the archive's header is read: the items come without decoding any file.
  if (OpenArchive(data, size, handler) == S_OK && handler->GetNumberOfItems(&count) == S_OK) {
    for (UInt32 i = 0; i < count; ++i) {
      NWindows::NCOM::CPropVariant path, itemSize, folder;
      if (handler->GetProperty(i, kpidPath, &path) != S_OK || path.vt != VT_BSTR) continue;
      ArchiveItem item;
      item.Name = path.bstrVal;
      if (handler->GetProperty(i, kpidSize, &itemSize) == S_OK && itemSize.vt == VT_UI8) item.Size = itemSize.uhVal.QuadPart;
      item.IsFolder = handler->GetProperty(i, kpidIsDir, &folder) == S_OK && folder.vt == VT_BOOL && folder.boolVal != VARIANT_FALSE;
      items.push_back(std::move(item));
    }
  }
  if (handler) handler->Close();
  return items;
}

UINT64 DecoderMemoryOf(const std::wstring& methods) {
  UINT64 sum = 0;
  for (size_t at = methods.find(L"LZMA"); at != std::wstring::npos; at = methods.find(L"LZMA", at + 4)) {
    size_t p = methods.find(L':', at);
    if (p == std::wstring::npos || methods.find(L' ', at) < p) continue;  // a coder without its size
    UINT64 n = 0;
    for (++p; p < methods.size() && iswdigit(methods[p]) && n < (1u << 30); ++p) n = n * 10 + (methods[p] - L'0');
    const wchar_t unit = p < methods.size() ? methods[p] : L' ';
    sum += unit == L'm' ? n << 20 : unit == L'k' ? n << 10 : unit == L'b' ? n : n < 40 ? UINT64(1) << n : 0;
  }
  return sum;
}

int ParallelBlocks(const std::vector<SolidBlock>& blocks, int cores, UINT64 freeMemory, UINT64* decoders) {
  std::vector<UINT64> memory;
  for (const SolidBlock& b : blocks) memory.push_back(b.Memory);
  std::sort(memory.rbegin(), memory.rend());
  int n = static_cast<int>(std::min<size_t>(blocks.size(), cores > 0 ? static_cast<size_t>(cores) : 1));
  UINT64 needed = 0;
  for (; n > 0; --n) {
    needed = 0;
    for (int i = 0; i < n; ++i) needed += memory[static_cast<size_t>(i)];
    if (n == 1 || needed + kDecodingSpare <= freeMemory / 2) break;
  }
  if (decoders) *decoders = needed;
  return std::max(1, n);
}

namespace {

// The solid blocks of the archive in block order, and the items outside every block (folders,
// empty files), from the header alone; false when it cannot be read.
bool PlanBlocks(const void* data, UINT32 size, std::vector<SolidBlock>* blocks, std::vector<UINT32>* loose) {
  CMyComPtr<IInArchive> handler;
  UInt32 count = 0;
  bool ok = OpenArchive(data, size, handler) == S_OK && handler->GetNumberOfItems(&count) == S_OK;
  for (UInt32 i = 0; ok && i < count; ++i) {
    NWindows::NCOM::CPropVariant block, itemSize, method;
    if (handler->GetProperty(i, kpidBlock, &block) != S_OK || block.vt != VT_UI4 || block.ulVal > count) {
      loose->push_back(i);
      continue;
    }
    if (blocks->size() <= block.ulVal) blocks->resize(block.ulVal + 1);
    SolidBlock& b = (*blocks)[block.ulVal];
    if (b.Items.empty() && handler->GetProperty(i, kpidMethod, &method) == S_OK && method.vt == VT_BSTR)
      b.Memory = DecoderMemoryOf(method.bstrVal);
    NWindows::NCOM::CPropVariant path;
    b.Items.push_back(i);
    b.Names.push_back(handler->GetProperty(i, kpidPath, &path) == S_OK && path.vt == VT_BSTR ? path.bstrVal : L"");
    if (handler->GetProperty(i, kpidSize, &itemSize) == S_OK && itemSize.vt == VT_UI8) b.Size += itemSize.uhVal.QuadPart;
  }
  if (handler) handler->Close();
  blocks->erase(std::remove_if(blocks->begin(), blocks->end(), [](const SolidBlock& b) { return b.Items.empty(); }),
                blocks->end());
  return ok;
}

// Decoding threads: one per core unless the benchmark asks for another number.
int DecodingCores() {
  wchar_t asked[8] = {};
  if (GetEnvironmentVariableW(L"LUMEN_DECODE_THREADS", asked, 8) > 0 && _wtoi(asked) > 0) return std::min(_wtoi(asked), 16);
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return std::max<int>(1, static_cast<int>(info.dwNumberOfProcessors));
}

}  // namespace

void C7zExtractImpl::AnnounceTotal(UINT64 total) {
  if (SendsTotal) NotifyWizard(kMsgExtractTotal, &total);
}

HRESULT C7zExtractImpl::Extract(const void* data, UINT32 size, const std::wstring& folder) {
  TargetFolder = ZFunction::WithSlash(folder);
  LookedForWizard = false;
  ToMemory = 0;
  std::vector<SolidBlock> blocks;
  std::vector<UINT32> loose;
  const HRESULT result = PlanBlocks(data, size, &blocks, &loose) && !blocks.empty()
                             ? ExtractBlocks(data, size, std::move(blocks), loose)
                             : DecodingRun(data, size);
  CloseTargetFile();
  return result;
}

HRESULT C7zExtractImpl::ExtractBlocks(const void* data, UINT32 size, std::vector<SolidBlock> blocks,
                                      const std::vector<UINT32>& loose) {
  UINT64 total = 0;
  for (const SolidBlock& b : blocks) total += b.Size;
  NotifyWizard(kMsgExtractTotal, &total);
  // Folders and empty files first: nothing to decode.
  SendsTotal = false;
  HRESULT result = DecodingRun(data, size, &loose);
  SendsTotal = true;
  CloseTargetFile();
  if (result != S_OK) return result;

  // The largest blocks first, so that the last one to finish is a small one.
  std::stable_sort(blocks.begin(), blocks.end(), [](const SolidBlock& a, const SolidBlock& b) { return a.Size > b.Size; });
  // Free memory: physical, and for the 32-bit program also its own address space.
  MEMORYSTATUSEX memory{sizeof(memory)};
  const UINT64 available = GlobalMemoryStatusEx(&memory) ? std::min(memory.ullAvailPhys, memory.ullAvailVirtual) : 0;
  UINT64 decoders = 0;
  const int threads = ParallelBlocks(blocks, DecodingCores(), available, &decoders);
  // What the decoding may take: the private memory the program holds now, the decoders' share
  // and the spare for its streams and buffers. The peak is measured against it.
  const UINT64 bound = ZFunction::PrivateMemory() + decoders + kDecodingSpare;
  g_Log.Log("Extract %d blocks, %d at once, decoders %llu MiB, memory bound %llu MiB", static_cast<int>(blocks.size()),
            threads, decoders >> 20, bound >> 20);

  Shared work;
  work.Data = data;
  work.Size = size;
  work.Blocks = &blocks;
  for (const SolidBlock& b : blocks)
    for (const UINT32 item : b.Items) work.FileCount = std::max(work.FileCount, item + 1);
  work.Files.reset(new (std::nothrow) Shared::Opened[work.FileCount]);
  std::vector<std::unique_ptr<C7zExtractImpl>> workers;
  std::vector<sys::UniqueKernel> running;
  // The workers decode on threads of their own, one block at a time included, so that this
  // thread can follow their progress and memory while they work.
  for (int i = 0; i < threads; ++i) {
    auto worker = std::make_unique<C7zExtractImpl>();
    worker->TargetFolder = TargetFolder;
    worker->Skipped = Skipped;
    worker->Parent = this;
    worker->SendsTotal = false;
    worker->Work = &work;
    if (HANDLE thread = CreateThread(nullptr, 0, &C7zExtractImpl::WorkerMain, worker.get(), 0, nullptr))
      running.emplace_back(thread);
    workers.push_back(std::move(worker));
  }
  if (running.empty()) {  // no thread to be had: on this thread, reporting itself
    workers.front()->Parent = nullptr;
    workers.front()->ProgressWindow = ProgressWindow;
    WorkerMain(workers.front().get());
  }
  // The workers' progress goes on from this thread, as one amount every 25 ms; the private
  // memory is sampled at the same time.
  std::vector<HANDLE> handles;
  for (const sys::UniqueKernel& thread : running) handles.push_back(thread.Get());
  unsigned long long peak = ZFunction::PrivateMemory();
  for (bool done = handles.empty(); !done;) {
    done = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, 25) != WAIT_TIMEOUT;
    peak = std::max(peak, ZFunction::PrivateMemory());
    for (UINT64 left = work.Written.exchange(0); left > 0;) {
      UINT32 amount = static_cast<UINT32>(std::min<UINT64>(left, 0x7FFFFFFF));
      left -= amount;
      NotifyWizard(kMsgExtractWritten, &amount);
    }
  }
  for (const auto& worker : workers)
    if (!worker->Parent) FilesDone += worker->FilesDone;  // the one that ran on this thread counted for itself
  g_Log.Log("Extract blocks end, peak private memory %llu MiB, bound %llu MiB%s", peak >> 20, bound >> 20,
            peak > bound ? " (exceeded)" : "");
  return work.Failed ? work.Result : S_OK;
}

namespace {
enum OpenState { kNotOpened, kOpening, kReady, kCannot, kTaken };
}  // namespace

DWORD WINAPI C7zExtractImpl::WorkerMain(void* param) {
  auto* self = static_cast<C7zExtractImpl*>(param);
  Shared& work = *self->Work;
  while (!work.Failed) {
    const size_t next = work.Next++;
    if (next >= work.Blocks->size()) {
      self->OpenAhead();
      break;
    }
    const HRESULT result = self->DecodingRun(work.Data, work.Size, &(*work.Blocks)[next].Items);
    self->CloseTargetFile();
    if (result != S_OK) {
      if (!work.Failed.exchange(true)) work.Result = result;
      break;
    }
  }
  return 0;
}

void C7zExtractImpl::OpenAhead() {
  Shared& work = *Work;
  if (!work.Files) return;
  for (const SolidBlock& block : *work.Blocks) {
    for (size_t i = 0; i < block.Items.size() && !work.Failed; ++i) {
      Shared::Opened& slot = work.Files[block.Items[i]];
      int state = kNotOpened;
      if (!slot.State.compare_exchange_strong(state, kOpening)) continue;  // its decoder was first
      const std::wstring& name = block.Names[i];
      if (IsSafeRelativeName(name) && Wanted(name) && OpenTargetFile(TargetFolder + name)) {
        slot.File = std::move(CurrentFile);
        slot.State = kReady;
      } else {
        slot.State = kCannot;  // its decoder tries again and logs why
      }
    }
  }
}

bool C7zExtractImpl::TakeOpened() {
  if (!Work || !Work->Files || CurrentItem >= Work->FileCount) return false;
  Shared::Opened& slot = Work->Files[CurrentItem];
  int state = kNotOpened;
  if (slot.State.compare_exchange_strong(state, kTaken)) return false;  // nobody opened it
  while ((state = slot.State.load()) == kOpening) Sleep(0);
  if (state != kReady) return false;
  CurrentFile = std::move(slot.File);
  slot.State = kTaken;
  return true;
}

HRESULT C7zExtractImpl::Uncompress(const void* data, UINT32 size) {
  ToMemory = 1;
  // Only the items wanted are asked for: a block holding none of them is not decoded at all.
  std::vector<SolidBlock> blocks;
  std::vector<UINT32> wanted;  // the loose items first, then the blocks' wanted ones
  const bool selective = !Skipped.empty() && PlanBlocks(data, size, &blocks, &wanted);
  if (selective) {
    for (const SolidBlock& block : blocks)
      for (size_t i = 0; i < block.Items.size(); ++i)
        if (Wanted(block.Names[i])) wanted.push_back(block.Items[i]);
    std::sort(wanted.begin(), wanted.end());
  }
  const HRESULT result = DecodingRun(data, size, selective ? &wanted : nullptr);
  FileCurrentMemoryFile();
  return result;
}

std::wstring C7zExtractImpl::FolderKey(const std::wstring& name) {
  const size_t sep = name.rfind(L'\\');
  return sep == std::wstring::npos ? L"." : name.substr(0, sep);
}

bool C7zExtractImpl::IsSafeRelativeName(const std::wstring& name) {
  if (name.empty() || name[0] == L'\\' || name[0] == L'/' || name.find(L':') != std::wstring::npos) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = name.find_first_of(L"\\/", start);
    const std::wstring part = name.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (part == L"..") return false;
    if (end == std::wstring::npos) return true;
    start = end + 1;
  }
}

void C7zExtractImpl::FileCurrentMemoryFile() {
  if (!CurrentMemoryFile) return;
  const std::wstring key = FolderKey(CurrentMemoryFile->Name);
  std::list<std::unique_ptr<MemoryFile>>& folder = MemoryFolders[key];
  folder.push_back(std::move(CurrentMemoryFile));
  if (FileDecoded) FileDecoded(*folder.back());
}

HRESULT C7zExtractImpl::BeginFile(const std::wstring& name) {
  if (Cancelled) return E_ABORT;
  if (ToMemory) {
    FileCurrentMemoryFile();
    if (!IsSafeRelativeName(name)) return E_FAIL;  // the first write of this item fails
    CurrentMemoryFile.reset(new (std::nothrow) MemoryFile());
    if (!CurrentMemoryFile) return E_FAIL;
    CurrentMemoryFile->Name = name;
    return S_OK;
  }
  CloseTargetFile();
  CurrentName = name;
  if (!IsSafeRelativeName(name)) return E_FAIL;
  if (TakeOpened() || OpenTargetFile(TargetFolder + name)) return S_OK;
  NoteExtractionProblem("Extract create file error:%d, path:%ws", static_cast<int>(GetLastError()),
                        (TargetFolder + name).c_str());
  return E_FAIL;
}

HRESULT C7zExtractImpl::BeginFolder(const std::wstring& name) {
  if (!IsSafeRelativeName(name)) return E_FAIL;
  if (ToMemory) {
    FileCurrentMemoryFile();
    MemoryFolders[name];  // the folder is made when its key is written out
    return S_OK;
  }
  CloseTargetFile();
  return ZFunction::CreateFolderTree(TargetFolder + name) ? S_OK : E_FAIL;
}

HRESULT C7zExtractImpl::WriteData(const void* data, UINT32 size, UINT32* processed) {
  if (Cancelled) return E_ABORT;
  if (ToMemory) {
    if (!CurrentMemoryFile || CurrentMemoryFile->TotalSize + static_cast<UINT64>(size) > kMaxMemoryFile) return E_FAIL;
    try {
      CurrentMemoryFile->Chunks.emplace_back(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    } catch (const std::bad_alloc&) {
      return E_FAIL;
    }
    CurrentMemoryFile->TotalSize += size;
  } else {
    if (!CurrentFile) return E_FAIL;  // its open failed and was logged
    if (!WriteAll(CurrentFile.Get(), size, static_cast<const BYTE*>(data))) {
      // A full disk shows here (error 112): the log names the file and the reason.
      NoteExtractionProblem("Extract write error:%d, path:%ws", static_cast<int>(GetLastError()),
                            (TargetFolder + CurrentName).c_str());
      return E_FAIL;
    }
  }
  if (processed) *processed = size;
  return S_OK;
}
