#include "loudness_dlg.h"

#include <commctrl.h>

#include "model/geometry.h"
#include "resource.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

namespace {

void AddColumn(HWND list, int index, UINT textId, int width) {
  std::wstring text = LoadText(textId);
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = &text[0];
  column.cx = width;
  column.iSubItem = index;
  ::SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

}  // namespace

INT_PTR BLoudnessDlg::DoModal(HINSTANCE instance, HWND owner) {
  return BDialogWindow::DoModal(instance, IDD_LOUDNESS, owner);
}

bool BLoudnessDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      result = TRUE;
      return true;
    case WM_CLOSE:
      ::EndDialog(GetHwnd(), IDCANCEL);
      return true;
    case WM_DESTROY:
      m_player.SetPlaying(false);
      return true;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (m_ready && header->idFrom == IDC_LOUDNESS_LIST && header->code == LVN_ITEMCHANGED) {
        const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if ((change->uChanged & LVIF_STATE) &&
            (change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) {
          ReadChecks();
          if (!m_targetTyped) ShowDefaultTarget();
        }
      }
      return false;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          ReadChecks();
          if (TakeTarget()) ::EndDialog(GetHwnd(), IDOK);
          return true;
        case IDCANCEL:
          ::EndDialog(GetHwnd(), IDCANCEL);
          return true;
        case IDC_LOUDNESS_LISTEN:
          OnListen();
          return true;
        case IDC_LOUDNESS_TARGET:
          if (HIWORD(wParam) == EN_CHANGE && !m_settingTarget) m_targetTyped = true;
          return true;
      }
      return false;
    default:
      return false;
  }
}

void BLoudnessDlg::OnInitDialog() {
  HWND list = GetItem(IDC_LOUDNESS_LIST);
  ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  AddColumn(list, 0, IDS_LOUDNESS_COLUMN_NAME, 220);
  AddColumn(list, 1, IDS_LOUDNESS_COLUMN_LUFS, 110);
  for (size_t i = 0; i < m_fragments.size(); ++i) {
    const Fragment& fragment = m_fragments[i];
    std::wstring name = fragment.name;
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = &name[0];
    ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    std::wstring lufs = fragment.loudness.measured ? FormatLoudness(fragment.loudness.lufs)
                                                   : LoadText(IDS_LOUDNESS_NOT_MEASURED);
    item.iSubItem = 1;
    item.pszText = &lufs[0];
    ::SendMessageW(list, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
    ListView_SetCheckState(list, static_cast<int>(i), TRUE);
  }
  if (!m_fragments.empty())
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  m_ready = true;
  ShowDefaultTarget();
  ShowListenCaption();
}

void BLoudnessDlg::ReadChecks() {
  HWND list = GetItem(IDC_LOUDNESS_LIST);
  for (size_t i = 0; i < m_chosen.size(); ++i)
    m_chosen[i] = ListView_GetCheckState(list, static_cast<int>(i)) != FALSE;
}

void BLoudnessDlg::ShowDefaultTarget() {
  std::vector<BFragmentLoudness> loudness;
  for (const Fragment& fragment : m_fragments) loudness.push_back(fragment.loudness);
  double target = 0.0;
  if (!DefaultLoudnessTarget(loudness, m_chosen, target)) return;
  m_settingTarget = true;
  ::SetDlgItemTextW(GetHwnd(), IDC_LOUDNESS_TARGET, FormatLoudness(target).c_str());
  m_settingTarget = false;
}

bool BLoudnessDlg::TakeTarget() {
  wchar_t text[64] = {};
  ::GetDlgItemTextW(GetHwnd(), IDC_LOUDNESS_TARGET, text, 64);
  if (ParseLoudnessTarget(text, m_target)) return true;
  ShowError(LoadText(IDS_LOUDNESS_BAD_TARGET));
  HWND field = GetItem(IDC_LOUDNESS_TARGET);
  ::SendMessageW(GetHwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
  ::SendMessageW(field, EM_SETSEL, 0, -1);
  return false;
}

void BLoudnessDlg::ShowError(const std::wstring& text) {
  ::MessageBoxW(GetHwnd(), text.c_str(), kProgramTitle, MB_ICONERROR);
}

// Pressed while a preview plays, it stops; otherwise the selected fragment
// is heard levelled to the typed target, looped.
void BLoudnessDlg::OnListen() {
  if (m_player.IsPlaying()) {
    m_player.SetPlaying(false);
  } else if (TakeTarget()) {
    const int row = static_cast<int>(
        ::SendMessageW(GetItem(IDC_LOUDNESS_LIST), LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    if (row >= 0 && static_cast<size_t>(row) < m_fragments.size()) {
      const std::vector<int8_t>& samples = m_fragments[row].samples;
      const std::vector<int8_t> levelled =
          LevelToLoudness(samples.data(), samples.size(), kSirenRate, m_target);
      m_player.LoadPreview(std::vector<uint8_t>(levelled.begin(), levelled.end()));
      m_player.SetPlaying(true);
    }
  }
  ShowListenCaption();
}

void BLoudnessDlg::ShowListenCaption() {
  std::wstring caption = LoadText(m_player.IsPlaying() ? IDS_PREVIEW_STOP : IDS_LOUDNESS_LISTEN);
  ::SetDlgItemTextW(GetHwnd(), IDC_LOUDNESS_LISTEN, caption.c_str());
}

std::vector<BLoudnessDlg::Fragment> BLoudnessDlg::Measure(const BProfile& profile,
                                                          std::vector<int>& slots) {
  std::vector<Fragment> fragments;
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    const BFragment& fragment = profile.GetFragment(slot);
    if (!fragment.IsInUse()) continue;
    const BMemRange range = fragment.ImageRange();
    const int8_t* bytes = reinterpret_cast<const int8_t*>(profile.Image()) + range.start;
    Fragment shown;
    shown.name = Widen(fragment.name);
    shown.samples.assign(bytes, bytes + range.length);
    shown.loudness = MeasureFragment(bytes, range.length, kSirenRate);
    fragments.push_back(std::move(shown));
    slots.push_back(slot);
  }
  return fragments;
}
