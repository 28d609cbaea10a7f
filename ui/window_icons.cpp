#include "window_icons.h"

#include "resource.h"

namespace {

// Small buttons and the icon each one shows.
struct ButtonIcon {
  int controlId;
  int iconId;
};
const ButtonIcon kButtonIcons[] = {
    {IDC_ADD_FRAGMENT, IDI_ADD},
    {IDC_DELETE_FRAGMENT, IDI_DELETE},
    {IDC_PLAY_FRAGMENT, IDI_PLAY},
    {IDC_PLAY_FRAGMENT_ON_SIREN, IDI_PLAY_ON_SIREN},
    {IDC_STOP_ON_SIREN, IDI_STOP_ON_SIREN},
    {IDC_ADD_TO_PLAYLIST, IDI_ADD},
    {IDC_REMOVE_FROM_PLAYLIST, IDI_DELETE},
    {IDC_PLAY_PLAYLIST, IDI_PLAY},
    {IDC_PLAY_PLAYLIST_ON_SIREN, IDI_PLAY_ON_SIREN},
    {IDC_STOP_PLAYLIST_ON_SIREN, IDI_STOP_ON_SIREN},
    {IDC_LOOP_PLAY, IDI_LOOP},
    {IDC_STOP, IDI_STOP},
};

HICON LoadIconSized(HINSTANCE instance, int id, int width, int height, UINT flags) {
  return static_cast<HICON>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, width, height, flags));
}

void ShowIcon(HWND button, HICON icon) {
  ::SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
}

}  // namespace

BWindowIcons::~BWindowIcons() {
  if (m_big != nullptr) ::DestroyIcon(m_big);
  if (m_small != nullptr) ::DestroyIcon(m_small);
}

void BWindowIcons::Apply(HINSTANCE instance, HWND window) {
  m_instance = instance;
  m_window = window;
  const int smallWidth = ::GetSystemMetrics(SM_CXSMICON);
  const int smallHeight = ::GetSystemMetrics(SM_CYSMICON);
  m_big = LoadIconSized(instance, IDI_APP, ::GetSystemMetrics(SM_CXICON),
                        ::GetSystemMetrics(SM_CYICON), 0);
  m_small = LoadIconSized(instance, IDI_APP, smallWidth, smallHeight, 0);
  ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_big));
  ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_small));
  for (const ButtonIcon& entry : kButtonIcons)
    ShowIcon(::GetDlgItem(window, entry.controlId),
             LoadIconSized(instance, entry.iconId, smallWidth, smallHeight, LR_SHARED));
}

void BWindowIcons::ShowPlayButton(bool stopped) const {
  ShowIcon(
      ::GetDlgItem(m_window, IDC_PLAY_PAUSE),
      LoadIconSized(m_instance, stopped ? IDI_PLAY : IDI_PAUSE, ::GetSystemMetrics(SM_CXSMICON),
                    ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}
