// A thin base for windows whose messages a C++ object handles: either a window
// of a class registered here, or an existing window (such as a static control
// of a dialog) whose window procedure the object replaces.
#pragma once

#include <windows.h>

class BWindowImpl {
 public:
  BWindowImpl() = default;
  virtual ~BWindowImpl();
  BWindowImpl(const BWindowImpl&) = delete;
  BWindowImpl& operator=(const BWindowImpl&) = delete;

  // Takes over an existing window's procedure. Fails when this object already
  // has a window, or the window is not one or already belongs to an object.
  bool Attach(HWND hwnd);
  // Gives the window back its own procedure; returns the window, or nullptr
  // when there was none. When another procedure was installed over ours since,
  // ours stays in the chain and just passes every message on.
  HWND Detach();

  HWND GetHwnd() const { return m_hwnd; }

 protected:
  // Handles one message. Returns true when it was handled, with `result` the
  // value to return; otherwise the window's previous procedure gets it.
  virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

  // Registers a window class whose windows are created by CreateOfClass. A
  // class that exists already counts as registered.
  static bool RegisterWindowClass(HINSTANCE instance, const wchar_t* className,
                                  UINT classStyle = CS_HREDRAW | CS_VREDRAW);
  // Creates a window of such a class, handled by this object from its first message on.
  bool CreateOfClass(HINSTANCE instance, const wchar_t* className, HWND parent, int id,
                     const RECT& rect, DWORD style, DWORD exStyle);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ClassWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static BWindowImpl* FromHandle(HWND hwnd);

  bool Hook(HWND hwnd);
  void Unhook();
  LRESULT RouteMessage(UINT message, WPARAM wParam, LPARAM lParam);

  HWND m_hwnd = nullptr;
  WNDPROC m_previousProc = nullptr;
  bool m_ownsWindow = false;  // created by CreateOfClass: destroyed with the object
};
