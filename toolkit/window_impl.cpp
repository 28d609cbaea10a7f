#include "toolkit/window_impl.h"

namespace {

// The object that handles a window, and the procedure it replaced. The second
// outlives the first when the object lets go while another procedure sits on
// top of ours: ours then stays in the chain and passes messages on through it.
const wchar_t kObjectProperty[] = L"Sirelta.WindowImpl";
const wchar_t kPreviousProcProperty[] = L"Sirelta.WindowImpl.PreviousProc";

// The object whose window CreateOfClass is creating on this thread; it takes
// the window over at the window's first message.
thread_local BWindowImpl* t_creating = nullptr;

}  // namespace

BWindowImpl::~BWindowImpl() {
  // Let go first: the derived object is gone, so no message may reach HandleMessage.
  const bool ownsWindow = m_ownsWindow;
  HWND hwnd = Detach();
  if (hwnd != nullptr && ownsWindow) ::DestroyWindow(hwnd);
}

bool BWindowImpl::Attach(HWND hwnd) {
  if (!Hook(hwnd)) return false;
  m_ownsWindow = false;
  return true;
}

HWND BWindowImpl::Detach() {
  HWND hwnd = m_hwnd;
  if (hwnd != nullptr) Unhook();
  return hwnd;
}

bool BWindowImpl::RegisterWindowClass(HINSTANCE instance, const wchar_t* className,
                                      UINT classStyle) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  // By default the whole picture depends on the size, so any resize repaints it all.
  windowClass.style = classStyle;
  windowClass.lpfnWndProc = ClassWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.lpszClassName = className;
  if (::RegisterClassExW(&windowClass) != 0) return true;
  return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool BWindowImpl::CreateOfClass(HINSTANCE instance, const wchar_t* className, HWND parent, int id,
                                const RECT& rect, DWORD style, DWORD exStyle) {
  if (m_hwnd != nullptr) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  t_creating = this;
  HWND hwnd =
      ::CreateWindowExW(exStyle, className, L"", style, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  t_creating = nullptr;
  if (hwnd == nullptr) return false;
  if (m_hwnd != hwnd) {
    // Not a class registered by RegisterWindowClass: the object never got it.
    ::DestroyWindow(hwnd);
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  m_ownsWindow = true;
  return true;
}

BWindowImpl* BWindowImpl::FromHandle(HWND hwnd) {
  return static_cast<BWindowImpl*>(::GetPropW(hwnd, kObjectProperty));
}

bool BWindowImpl::Hook(HWND hwnd) {
  if (m_hwnd != nullptr || hwnd == nullptr || !::IsWindow(hwnd) || FromHandle(hwnd) != nullptr) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  // Our procedure may still be in the chain from an earlier object that let go
  // while covered: take that place again rather than entering twice.
  auto previous = reinterpret_cast<WNDPROC>(::GetPropW(hwnd, kPreviousProcProperty));
  if (previous == nullptr) {
    if (!::SetPropW(hwnd, kObjectProperty, this)) return false;
    ::SetLastError(0);
    previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc)));
    if (previous == nullptr && ::GetLastError() != 0) {
      ::RemovePropW(hwnd, kObjectProperty);
      return false;
    }
    ::SetPropW(hwnd, kPreviousProcProperty, reinterpret_cast<HANDLE>(previous));
  } else if (!::SetPropW(hwnd, kObjectProperty, this)) {
    return false;
  }
  m_hwnd = hwnd;
  m_previousProc = previous;
  return true;
}

void BWindowImpl::Unhook() {
  HWND hwnd = m_hwnd;
  auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
  if (current == WindowProc) {
    ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
    ::RemovePropW(hwnd, kPreviousProcProperty);
  }
  ::RemovePropW(hwnd, kObjectProperty);
  m_hwnd = nullptr;
  m_previousProc = nullptr;
  m_ownsWindow = false;
}

LRESULT BWindowImpl::RouteMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = m_hwnd;
  WNDPROC previous = m_previousProc;
  LRESULT result = 0;
  if (!HandleMessage(message, wParam, lParam, result)) {
    result = ::CallWindowProcW(previous, hwnd, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) {
    // The last message: the window gives back everything it held for us.
    if (m_hwnd == hwnd) Unhook();
    ::RemovePropW(hwnd, kPreviousProcProperty);
  }
  return result;
}

LRESULT CALLBACK BWindowImpl::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (BWindowImpl* self = FromHandle(hwnd)) return self->RouteMessage(message, wParam, lParam);
  auto previous = reinterpret_cast<WNDPROC>(::GetPropW(hwnd, kPreviousProcProperty));
  LRESULT result = previous != nullptr ? ::CallWindowProcW(previous, hwnd, message, wParam, lParam)
                                       : ::DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) ::RemovePropW(hwnd, kPreviousProcProperty);
  return result;
}

LRESULT CALLBACK BWindowImpl::ClassWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  // The first message of a window that CreateOfClass is making: hand it to its object.
  if (t_creating != nullptr && FromHandle(hwnd) == nullptr) {
    BWindowImpl* creating = t_creating;
    t_creating = nullptr;
    if (creating->Hook(hwnd)) return WindowProc(hwnd, message, wParam, lParam);
  }
  // Once taken over, this is the procedure the object falls back on.
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}
