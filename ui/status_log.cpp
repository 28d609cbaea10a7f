#include "status_log.h"

void BStatusLog::Clear() { ::SendMessageW(m_combo, CB_RESETCONTENT, 0, 0); }

void BStatusLog::Insert(const std::wstring& line, bool replaceNewest) {
  if (replaceNewest) ::SendMessageW(m_combo, CB_DELETESTRING, 0, 0);
  ::SendMessageW(m_combo, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  ::SendMessageW(m_combo, CB_SETCURSEL, 0, 0);
}
