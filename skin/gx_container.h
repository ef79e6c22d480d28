// Windows that hold windows: the container base, the panel that owns its children, and the
// "dlg" container that places them by the position grammar (the bands of a layer are "dlg"s).
#pragma once

#include <memory>
#include <vector>

#include "skin/gx_window.h"

class CGxContainerWnd : public CGxWindow {
 public:
  bool IsContainer() const override { return true; }
  virtual CGxWindow* FindChildByCmdID(int) { return nullptr; }
  virtual void RepositionChildren() {}
  virtual void RepositionChild(CGxWindow*) {}
  void ChildPositionChanged(CGxWindow* child) override { RepositionChild(child); }
};

class CGxPanel : public CGxContainerWnd {
 public:
  ~CGxPanel() override;
  const char* GetObjectClass() const override { return "panel"; }
  bool Load(const tinyxml2::XMLElement& element) override;
  HRESULT SetAttribute(const std::string& name, const std::string& value, bool loading) override;
  void SetContainer(HWND host) override;
  UINT HitTest(int x, int y, bool hover) override;
  bool RedrawRegion(HDC dc, HRGN update) override;
  bool ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  CGxWindow* FindChildByCmdID(int id) override;
  void UpdateRealWindows() override;

  // Destroys the children (WM_DESTROY, then deletion).
  void DestroyChildren();
  const std::vector<std::unique_ptr<CGxWindow>>& Children() const { return Kids; }

  int OnlyDrawChild = 0;

 protected:
  std::vector<std::unique_ptr<CGxWindow>> Kids;
};

class CGxDialog : public CGxPanel {
 public:
  const char* GetObjectClass() const override { return "dlg"; }
  bool ProcessWindowMessage(HWND host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void RepositionChildren() override;
  void RepositionChild(CGxWindow* child) override;
};

// "text": a window that shows its text with its style.
class CGxStatic : public CGxWindow {
 public:
  const char* GetObjectClass() const override { return "text"; }
};
