// BMessageRoutes: a window's table from messages to its handlers. A route
// names a message (for WM_COMMAND an id range and a notification code, for
// WM_NOTIFY a sender range and a code) and either a function or a member
// without arguments.
//
// A command or notification has one handler: a second route that would take
// some of the same ones is refused and counted (Refused, which the tests
// check), so that it cannot compile and then never run. Any other message (a
// timer, a menu about to open) goes to every route that takes it.
#pragma once

#include <windows.h>

#include <vector>

template <class Window>
class BMessageRoutes {
 public:
  using Handler = LRESULT (*)(Window& window, UINT message, WPARAM wParam, LPARAM lParam);
  using Member = void (Window::*)();
  static constexpr int kAnyCode = -1;

  struct Route {
    UINT message;
    UINT firstId;  // WM_COMMAND: command ids; WM_NOTIFY: senders (0: any)
    UINT lastId;
    int code;  // notification code, or kAnyCode
    Handler handler;
    Member member;  // called when there is no handler
  };

  void Add(UINT message, Handler handler) { Add({message, 0, 0, kAnyCode, handler, nullptr}); }
  void AddCommand(UINT id, int code, Member member) {
    Add({WM_COMMAND, id, id, code, nullptr, member});
  }
  void AddNotify(UINT sender, UINT code, Handler handler) {
    Add({WM_NOTIFY, sender, sender, static_cast<int>(code), handler, nullptr});
  }

  void Add(const Route& route) {
    const bool targeted = route.message == WM_COMMAND || route.message == WM_NOTIFY;
    for (const Route& other : m_routes) {
      if (!targeted || other.message != route.message) continue;
      auto last = [](const Route& r) { return r.firstId == 0 ? UINT(-1) : r.lastId; };
      const bool idsMeet = route.firstId <= last(other) && other.firstId <= last(route);
      const bool codesMeet =
          route.code == kAnyCode || other.code == kAnyCode || route.code == other.code;
      if (idsMeet && codesMeet) {
        ++m_refused;
        return;
      }
    }
    m_routes.push_back(route);
  }

  int Refused() const { return m_refused; }

  // True when some route took the message; `result` is the last one's.
  bool Dispatch(Window& window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) const {
    bool handled = false;
    for (const Route& route : m_routes) {
      if (route.message != message || !Matches(route, message, wParam, lParam)) continue;
      if (route.handler != nullptr) {
        result = route.handler(window, message, wParam, lParam);
      } else {
        (window.*route.member)();
        result = 0;
      }
      handled = true;
    }
    return handled;
  }

 private:
  static bool Matches(const Route& route, UINT message, WPARAM wParam, LPARAM lParam) {
    UINT id = 0;
    int code = 0;
    if (message == WM_COMMAND) {
      id = LOWORD(wParam);
      code = HIWORD(wParam);
    } else if (message == WM_NOTIFY) {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      id = static_cast<UINT>(header->idFrom);
      code = static_cast<int>(header->code);
      if (route.firstId == 0) return route.code == kAnyCode || route.code == code;
    } else {
      return true;
    }
    if (id < route.firstId || id > route.lastId) return false;
    return route.code == kAnyCode || route.code == code;
  }

  std::vector<Route> m_routes;
  int m_refused = 0;
};
