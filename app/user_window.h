// The user-level copy's hidden window "lumensetup_message": it carries out the elevated copy's
// requests in the desktop user's session (see suite/user_protocol.h) until it is sent the exit
// code, or until the copy it serves ends.
#pragma once

#include <windows.h>

// The window module: registers the installer's window class for the given instance.
bool InitWindowModule(HINSTANCE instance);
void TermWindowModule();

// Runs the hidden window and its message loop until code 8 or message 1235, or until `partner`
// (the process this copy serves; null: none) ends. Returns ExitCode.
int RunUserWindowLoop(HANDLE partner);

// The window interface of the user-level copy.
class ZInnerWinCallbackOn {
 public:
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

 protected:
  ~ZInnerWinCallbackOn() = default;
};

// The hidden 1 x 1 window titled "lumensetup_message"; every message goes to the callback and
// then to the default window procedure. WM_COPYDATA is answered with the callback's result:
// what became of the request (see Delivery in suite/user_protocol.h).
class CInternalWnd {
 public:
  explicit CInternalWnd(ZInnerWinCallbackOn* callback) : Callback(callback) {}
  virtual LRESULT ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  virtual ~CInternalWnd();
  bool Create();
  HWND Handle() const { return Hwnd; }

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  ZInnerWinCallbackOn* Callback;
  HWND Hwnd = nullptr;
};

// Owns the window and acts on the elevated copy's requests.
class ZInnerWinCallback : public ZInnerWinCallbackOn {
 public:
  ZInnerWinCallback();
  ~ZInnerWinCallback();
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  HWND Handle() const { return Window.Handle(); }

 private:
  CInternalWnd Window;
};
