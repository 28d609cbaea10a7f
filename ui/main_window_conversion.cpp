// The choice of the conversion of imported sound (Edit menu): a setting,
// kept in the registry as soon as it changes; the import reads it.
#include "main_window.h"
#include "resource.h"

void BMainDlg::AddConversionRoutes() {
  AddRoute({WM_COMMAND, ID_HIGH_QUALITY_CONVERSION, ID_HIGH_QUALITY_CONVERSION, kAnyCode,
            [](BMainDlgBase& w, UINT, WPARAM, LPARAM) -> LRESULT {
              static_cast<BMainDlg&>(w).OnHighQualityConversion();
              return 0;
            }});
}

void BMainDlg::OnHighQualityConversion() {
  m_settings.highQualityConversion = !m_settings.highQualityConversion;
  ApplyConversionSetting();
  SaveSettings();
}

void BMainDlg::ApplyConversionSetting() {
  ::CheckMenuItem(m_editMenu, ID_HIGH_QUALITY_CONVERSION,
                  MF_BYCOMMAND | (m_settings.highQualityConversion ? MF_CHECKED : MF_UNCHECKED));
}
