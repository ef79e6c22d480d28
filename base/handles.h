// Owners for Windows handles and resources: one small move-only type per kind, so every
// handle the installer opens is closed exactly once, on every path. Header-only, below every
// other floor (the log uses it too).
#pragma once

#include <windows.h>
#include <objidl.h>  // before gdiplus.h, which needs it and does not include it
#include <gdiplus.h>
#include <oleauto.h>

#include <utility>

namespace sys {

// Owns a handle of type T closed by Close; Invalid is the value that means "no handle".
template <typename T, typename Traits>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(T h) : h_(h) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.Detach()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) Reset(o.Detach());
    return *this;
  }

  T Get() const { return h_; }
  T* Put() {  // for out-parameters: closes the old handle first
    Reset();
    return &h_;
  }
  bool Valid() const { return h_ != Traits::Invalid(); }
  explicit operator bool() const { return Valid(); }
  T Detach() { return std::exchange(h_, Traits::Invalid()); }
  void Reset(T h = Traits::Invalid()) {
    if (Valid()) Traits::Close(h_);
    h_ = h;
  }

 private:
  T h_ = Traits::Invalid();
};

struct KernelTraits {  // events, threads, processes, mappings, tokens: invalid at null
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FileTraits {  // files and snapshots: invalid at INVALID_HANDLE_VALUE
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FindTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::FindClose(h); }
};
struct RegKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY h) { ::RegCloseKey(h); }
};
struct ModuleTraits {
  static HMODULE Invalid() { return nullptr; }
  static void Close(HMODULE h) { ::FreeLibrary(h); }
};
struct ViewTraits {
  static void* Invalid() { return nullptr; }
  static void Close(void* p) { ::UnmapViewOfFile(p); }
};
struct ScHandleTraits {
  static SC_HANDLE Invalid() { return nullptr; }
  static void Close(SC_HANDLE h) { ::CloseServiceHandle(h); }
};

template <typename T>
struct GdiObjectTraits {  // bitmaps, fonts, brushes, pens, regions
  static T Invalid() { return nullptr; }
  static void Close(T h) { ::DeleteObject(h); }
};
struct DcTraits {  // device contexts made by CreateCompatibleDC / CreateDC
  static HDC Invalid() { return nullptr; }
  static void Close(HDC h) { ::DeleteDC(h); }
};
struct IconTraits {
  static HICON Invalid() { return nullptr; }
  static void Close(HICON h) { ::DestroyIcon(h); }
};
template <typename T>
struct LocalTraits {  // memory the system hands out with LocalAlloc (CommandLineToArgvW, ...)
  static T Invalid() { return nullptr; }
  static void Close(T p) { ::LocalFree(p); }
};
struct SidTraits {  // SIDs made by AllocateAndInitializeSid
  static PSID Invalid() { return nullptr; }
  static void Close(PSID p) { ::FreeSid(p); }
};
struct BstrTraits {
  static BSTR Invalid() { return nullptr; }
  static void Close(BSTR s) { ::SysFreeString(s); }
};

using UniqueKernel = UniqueHandle<HANDLE, KernelTraits>;
using UniqueFile = UniqueHandle<HANDLE, FileTraits>;
using UniqueFind = UniqueHandle<HANDLE, FindTraits>;
using UniqueRegKey = UniqueHandle<HKEY, RegKeyTraits>;
using UniqueModule = UniqueHandle<HMODULE, ModuleTraits>;
using UniqueView = UniqueHandle<void*, ViewTraits>;
using UniqueScHandle = UniqueHandle<SC_HANDLE, ScHandleTraits>;
using UniqueBitmap = UniqueHandle<HBITMAP, GdiObjectTraits<HBITMAP>>;
using UniqueFont = UniqueHandle<HFONT, GdiObjectTraits<HFONT>>;
using UniqueBrush = UniqueHandle<HBRUSH, GdiObjectTraits<HBRUSH>>;
using UniquePen = UniqueHandle<HPEN, GdiObjectTraits<HPEN>>;
using UniqueRegion = UniqueHandle<HRGN, GdiObjectTraits<HRGN>>;
using UniqueDc = UniqueHandle<HDC, DcTraits>;
using UniqueIcon = UniqueHandle<HICON, IconTraits>;
using UniqueArgv = UniqueHandle<LPWSTR*, LocalTraits<LPWSTR*>>;
using UniqueBstr = UniqueHandle<BSTR, BstrTraits>;
using UniqueSid = UniqueHandle<PSID, SidTraits>;

// A window's device context (GetDC), given back to its window.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : Window(window), Dc(::GetDC(window)) {}
  ~WindowDc() {
    if (Dc) ::ReleaseDC(Window, Dc);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return Dc; }

 private:
  HWND Window;
  HDC Dc;
};

// A reference to a COM object, released when the owner ends; move-only.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* p) : p_(p) {}
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) {
      Reset();
      p_ = std::exchange(o.p_, nullptr);
    }
    return *this;
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** Put() {  // for out-parameters: releases the old reference first
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  void Reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

// COM initialised on this thread for the owner's life (apartment-threaded); uninitialised only
// when the initialisation succeeded.
class ComScope {
 public:
  explicit ComScope(DWORD model = COINIT_APARTMENTTHREADED) : Result(::CoInitializeEx(nullptr, model)) {}
  ~ComScope() {
    if (SUCCEEDED(Result)) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  bool Ok() const { return SUCCEEDED(Result); }

 private:
  HRESULT Result;
};

// A GDI+ session (GdiplusStartup / GdiplusShutdown) for the owner's life.
class GdiplusSession {
 public:
  GdiplusSession() { Ok = Gdiplus::GdiplusStartup(&Token, &Input, nullptr) == Gdiplus::Ok; }
  ~GdiplusSession() {
    if (Ok) Gdiplus::GdiplusShutdown(Token);
  }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  bool Started() const { return Ok; }

 private:
  Gdiplus::GdiplusStartupInput Input;  // version 1, no debug callback, nothing suppressed
  ULONG_PTR Token = 0;
  bool Ok = false;
};

// A critical section, and the scope that holds one.
class CriticalSection {
 public:
  CriticalSection() { ::InitializeCriticalSection(&Section); }
  ~CriticalSection() { ::DeleteCriticalSection(&Section); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter() { ::EnterCriticalSection(&Section); }
  void Leave() { ::LeaveCriticalSection(&Section); }

 private:
  CRITICAL_SECTION Section;
};

class Locked {
 public:
  explicit Locked(CriticalSection& lock) : Lock(lock) { Lock.Enter(); }
  ~Locked() { Lock.Leave(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  CriticalSection& Lock;
};

// Runs a callable when the scope ends, for the rare one-off clean-up.
template <typename F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ~ScopeExit() { f_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  F f_;
};

}  // namespace sys
