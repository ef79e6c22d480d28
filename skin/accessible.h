// Screen readers and other assistive programs: the skinned controls draw themselves inside one
// real window, so the dialog view answers WM_GETOBJECT with an accessible object tree of them
// (MSAA IAccessible; UI Automation reads it through its bridge). Each object holds a window
// handle and a control handle, never a pointer: a reader that keeps an object after the dialog
// or the control is gone gets an error back, not a crash.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include <vector>

class CGxWindow;

// What the tree reads from the window that hosts the controls (the dialog view). The objects
// find it again at each call through the window (kMsgAccessibleHost), so a gone window or one
// that is no host is noticed.
class GxAccessibleHost {
 public:
  virtual HWND Window() const = 0;
  // The bands in order (header, body, footer), those that are loaded.
  virtual std::vector<const CGxWindow*> Bands() const = 0;
  virtual UINT FocusedItem() const = 0;
  virtual UINT HoveredItem() const = 0;
  // The control under a point of the window (client pixels), 0 for none.
  virtual UINT ItemAt(int x, int y) = 0;
  // Presses the control as a click would, once the reader's call has returned.
  virtual void PressLater(UINT item) = 0;

 protected:
  ~GxAccessibleHost() = default;
};
// Sent to a window: its GxAccessibleHost, or 0 when it is none.
UINT AccessibleHostMessage();

// WM_GETOBJECT of a host: the tree for OBJID_CLIENT, else what the system answers.
LRESULT AnswerAccessibleRequest(GxAccessibleHost& host, WPARAM wParam, LPARAM lParam);

// A real window that draws one control itself (the installing page's progress bar): one object
// of that role, its name and value read at each request.
struct GxAccessibleFacts {
  long Role = 0;
  std::function<std::wstring()> Name, Value;
};
LRESULT AnswerAccessibleRequest(HWND window, const GxAccessibleFacts& facts, WPARAM wParam, LPARAM lParam);

// Tells listening readers that a control of the view changed: EVENT_OBJECT_FOCUS,
// EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_SELECTION, ... The control is named by its negative
// handle, which the view's object resolves (AccessibleObjectFromEvent).
void NotifyAccessibleEvent(HWND view, DWORD event, UINT item);

// What a control is for a reader: its role, its name, its default action ("" for none).
long AccessibleRole(const CGxWindow& control);
std::wstring AccessibleName(const CGxWindow& control);
std::wstring AccessibleDefaultAction(const CGxWindow& control);
