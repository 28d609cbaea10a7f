// BPortMenu: the port popup of the Connection menu. It lists the system's COM
// ports (commands ID_PORT_FIRST + index) and "other port", takes the place
// of the menu's item "Порт" and is captioned with the port in use.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class BPortMenu {
 public:
  BPortMenu() = default;
  ~BPortMenu();
  BPortMenu(const BPortMenu&) = delete;
  BPortMenu& operator=(const BPortMenu&) = delete;

  // Lists the ports in a popup of `connectionMenu`; the index of `port` in
  // the list, or -1 when the system does not list it. Without any port
  // listed, `port` is the one entry.
  int Build(HMENU connectionMenu, const std::string& port);
  // The port of entry `index`: false for none.
  bool PortAt(int index, std::string& port) const;
  // `port` in the caption and its entry marked (-1: none is).
  void Show(const std::string& port, int index);
  void Enable(bool enable);

 private:
  HMENU m_connectionMenu = nullptr;
  HMENU m_popup = nullptr;
  bool m_attached = false;  // the popup has replaced the item "Порт"
  std::vector<std::string> m_ports;
};
