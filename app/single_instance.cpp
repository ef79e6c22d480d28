#include "app/single_instance.h"

#include <windows.h>

#include "base/handles.h"

namespace {

const wchar_t kMutexName[] = L"{5BE9D8BC-AF60-4b40-A4D0-21F65B4F8788}";
const wchar_t kMappingName[] = L"{3CB2CCD0-924A-4488-8812-0F6D5C51BB9A}";

sys::UniqueKernel g_InstanceMutex;
sys::UniqueKernel g_InstanceMapping;  // with its view, kept for the life of the process
sys::UniqueView g_InstanceView;

}  // namespace

bool IsAnotherSetupRunning() {
  if (g_InstanceView) return true;
  if (!g_InstanceMutex) g_InstanceMutex.Reset(CreateMutexW(nullptr, TRUE, kMutexName));
  sys::UniqueKernel mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, kMappingName));
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (!mapping) return false;
  sys::UniqueView view(MapViewOfFile(mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!view) return false;  // the mapping closes with it
  g_InstanceMapping = std::move(mapping);
  g_InstanceView = std::move(view);
  return existed;
}

void StoreWizardWindow(HWND window) {
  if (g_InstanceView)
    *static_cast<volatile DWORD*>(g_InstanceView.Get()) = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window));
}

void CloseSingleInstance() { g_InstanceMutex.Reset(); }
