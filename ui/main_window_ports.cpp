// The port popup of the Connection menu and the "other port" dialog.
#include "main_window.h"

#include "link/com_ports.h"
#include "resource.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

namespace {
// Position of the item "Порт" in the Connection menu.
const UINT kPortItemPosition = 1;
}  // namespace

void BMainDlg::BuildPortMenu() {
  m_portNames = EnumerateComPorts();
  int selected = -1;
  for (size_t i = 0; i < m_portNames.size(); ++i) {
    ::AppendMenuW(m_portMenu, MF_STRING, ID_PORT_FIRST + i, Widen(m_portNames[i]).c_str());
    if (_stricmp(m_portNames[i].c_str(), m_settings.port.c_str()) == 0)
      selected = static_cast<int>(i);
  }
  ::AppendMenuW(m_portMenu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(m_portMenu, MF_STRING, ID_OTHER_PORT, LoadText(ID_OTHER_PORT).c_str());
  if (m_portNames.empty()) {
    m_portNames.push_back(m_settings.port);
    ::AppendMenuW(m_portMenu, MF_STRING, ID_PORT_FIRST, Widen(m_settings.port).c_str());
    selected = 0;
  }
  if (selected >= 0)
    OnPortCommand(selected);
  else
    ShowPortInMenu();  // a remembered port the system does not list: no mark, but the list is
                       // reachable
}

void BMainDlg::OnPortCommand(int index) {
  if (index < 0 || index >= static_cast<int>(m_portNames.size())) return;
  m_settings.port = m_portNames[index];
  ::CheckMenuRadioItem(m_portMenu, ID_PORT_FIRST, ID_PORT_LAST, ID_PORT_FIRST + index,
                       MF_BYCOMMAND);
  ShowPortInMenu();
}

void BMainDlg::OnOtherPort() {
  std::string portName = m_settings.port;
  if (!m_prompts->AskOtherPort(portName)) return;
  m_settings.port = portName;
  for (UINT id = ID_PORT_FIRST; id <= ID_PORT_LAST; ++id)
    ::CheckMenuItem(m_portMenu, id, MF_BYCOMMAND | MF_UNCHECKED);
  ShowPortInMenu();
}

// The Connection menu's second item becomes the popup, captioned with the port.
void BMainDlg::ShowPortInMenu() {
  std::wstring caption = FormatText(BText(IDS_PORT_MENU_CAPTION, {m_settings.port}));
  if (!m_portMenuAttached) {
    ::ModifyMenuW(m_connectionMenu, kPortItemPosition, MF_BYPOSITION | MF_POPUP | MF_STRING,
                  reinterpret_cast<UINT_PTR>(m_portMenu), caption.c_str());
    m_portMenuAttached = true;
    return;
  }
  // Changing only the caption keeps the popup (ModifyMenu would destroy it).
  MENUITEMINFOW item = {};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_STRING;
  item.dwTypeData = &caption[0];
  ::SetMenuItemInfoW(m_connectionMenu, kPortItemPosition, TRUE, &item);
}
