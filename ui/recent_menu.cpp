#include "recent_menu.h"

#include <algorithm>

#include "model/recent_profiles.h"
#include "platform/text.h"
#include "resource.h"

void BRecentMenu::Show(const std::vector<std::string>& paths) {
  if (m_fileMenu == nullptr) return;
  RemoveEntries();
  const size_t count = std::min<size_t>(paths.size(), ID_RECENT_LAST - ID_RECENT_FIRST + 1);
  if (count == 0) return;
  // Before "Выход": the entries, then their separator.
  UINT position = static_cast<UINT>(::GetMenuItemCount(m_fileMenu) - 1);
  const UINT state = m_enabled ? MF_ENABLED : MF_GRAYED;
  for (size_t i = 0; i < count; ++i) {
    const std::wstring text = RecentMenuText(i, Widen(paths[i]));
    ::InsertMenuW(m_fileMenu, position++, MF_BYPOSITION | MF_STRING | state, ID_RECENT_FIRST + i,
                  text.c_str());
  }
  ::InsertMenuW(m_fileMenu, position, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
  m_entries = count;
}

void BRecentMenu::Enable(bool enable) {
  m_enabled = enable;
  const UINT state = MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED);
  for (size_t i = 0; i < m_entries; ++i) ::EnableMenuItem(m_fileMenu, ID_RECENT_FIRST + i, state);
}

// The entries' separator stands right before "Выход".
void BRecentMenu::RemoveEntries() {
  if (m_entries == 0) return;
  for (size_t i = 0; i < m_entries; ++i)
    ::DeleteMenu(m_fileMenu, ID_RECENT_FIRST + i, MF_BYCOMMAND);
  ::DeleteMenu(m_fileMenu, ::GetMenuItemCount(m_fileMenu) - 2, MF_BYPOSITION);
  m_entries = 0;
}
