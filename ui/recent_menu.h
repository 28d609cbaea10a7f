// BRecentMenu: the recent profiles in the File menu, numbered, between the
// export command and "Выход" (commands ID_RECENT_FIRST + index), followed
// by a separator; nothing when the list is empty.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class BRecentMenu {
 public:
  // `fileMenu` is the File popup; its last item is the exit command.
  void Attach(HMENU fileMenu) { m_fileMenu = fileMenu; }
  // Lists `paths` (newest first, at most as many as the command ids allow).
  void Show(const std::vector<std::string>& paths);
  void Enable(bool enable);

 private:
  void RemoveEntries();

  HMENU m_fileMenu = nullptr;
  size_t m_entries = 0;
  bool m_enabled = true;
};
