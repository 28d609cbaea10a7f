#include "port_menu.h"

#include "link/com_ports.h"
#include "resource.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

namespace {
// Position of the item "Порт" in the Connection menu.
const UINT kPortItemPosition = 1;
}  // namespace

// Once attached, the popup belongs to the menu bar and goes with it.
BPortMenu::~BPortMenu() {
  if (m_popup != nullptr && !m_attached && ::IsMenu(m_popup)) ::DestroyMenu(m_popup);
}

int BPortMenu::Build(HMENU connectionMenu, const std::string& port) {
  m_connectionMenu = connectionMenu;
  m_popup = ::CreatePopupMenu();
  m_ports = EnumerateComPorts();
  int selected = -1;
  for (size_t i = 0; i < m_ports.size(); ++i) {
    ::AppendMenuW(m_popup, MF_STRING, ID_PORT_FIRST + i, Widen(m_ports[i]).c_str());
    if (_stricmp(m_ports[i].c_str(), port.c_str()) == 0) selected = static_cast<int>(i);
  }
  ::AppendMenuW(m_popup, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(m_popup, MF_STRING, ID_OTHER_PORT, LoadText(ID_OTHER_PORT).c_str());
  if (m_ports.empty()) {
    m_ports.push_back(port);
    ::AppendMenuW(m_popup, MF_STRING, ID_PORT_FIRST, Widen(port).c_str());
    selected = 0;
  }
  return selected;
}

bool BPortMenu::PortAt(int index, std::string& port) const {
  if (index < 0 || index >= static_cast<int>(m_ports.size())) return false;
  port = m_ports[index];
  return true;
}

void BPortMenu::Show(const std::string& port, int index) {
  if (index >= 0)
    ::CheckMenuRadioItem(m_popup, ID_PORT_FIRST, ID_PORT_LAST, ID_PORT_FIRST + index, MF_BYCOMMAND);
  else
    for (UINT id = ID_PORT_FIRST; id <= ID_PORT_LAST; ++id)
      ::CheckMenuItem(m_popup, id, MF_BYCOMMAND | MF_UNCHECKED);
  std::wstring caption = FormatText(BText(IDS_PORT_MENU_CAPTION, {port}));
  if (!m_attached) {
    ::ModifyMenuW(m_connectionMenu, kPortItemPosition, MF_BYPOSITION | MF_POPUP | MF_STRING,
                  reinterpret_cast<UINT_PTR>(m_popup), caption.c_str());
    m_attached = true;
    return;
  }
  // Changing only the caption keeps the popup (ModifyMenu would destroy it).
  MENUITEMINFOW item = {};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_STRING;
  item.dwTypeData = &caption[0];
  ::SetMenuItemInfoW(m_connectionMenu, kPortItemPosition, TRUE, &item);
}

void BPortMenu::Enable(bool enable) {
  const UINT state = MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED);
  for (size_t i = 0; i < m_ports.size(); ++i) ::EnableMenuItem(m_popup, ID_PORT_FIRST + i, state);
  ::EnableMenuItem(m_popup, ID_OTHER_PORT, state);
}
