// The part of window_probe that runs inside the Sirelta process: a menu
// lives in the process that made it, so another process cannot read its
// items (under Wine GetMenuString fails for it). window_probe hooks the
// window's thread with this library and posts it the message below; the
// hook, now in that thread, reads the whole menu bar and sends it back with
// WM_COPYDATA to the window named in the message's wParam: one item a line,
// submenu items indented by two spaces each level, separators as empty
// lines.
#include <windows.h>

#include <string>

namespace {

void AppendMenu(HMENU menu, int depth, std::wstring& out) {
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[256] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = 256;
    ::GetMenuItemInfoW(menu, i, TRUE, &info);
    out += std::wstring(static_cast<size_t>(depth) * 2, L' ') + text + L"\n";
    if (info.hSubMenu != nullptr) AppendMenu(info.hSubMenu, depth + 1, out);
  }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    ProbeGetMessage(int code, WPARAM removed, LPARAM lParam) {
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && removed == PM_REMOVE &&
      message->message == ::RegisterWindowMessageW(L"SireltaWindowProbeMenu")) {
    std::wstring items;
    AppendMenu(::GetMenu(message->hwnd), 0, items);
    COPYDATASTRUCT data = {};
    data.cbData = static_cast<DWORD>((items.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(items.c_str());
    ::SendMessageW(reinterpret_cast<HWND>(message->wParam), WM_COPYDATA, 0,
                   reinterpret_cast<LPARAM>(&data));
  }
  return ::CallNextHookEx(nullptr, code, removed, lParam);
}
