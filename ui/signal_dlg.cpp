#include "signal_dlg.h"

#include "resource.h"
#include "string_ids.h"
#include "toolkit/ui_text.h"

namespace {

BSignalField FieldAt(int index) { return static_cast<BSignalField>(index); }

std::wstring ItemText(HWND dialog, int id) {
  wchar_t text[128] = {};
  ::GetDlgItemTextW(dialog, id, text, 128);
  return text;
}

}  // namespace

INT_PTR BSignalDlg::DoModal(HINSTANCE instance, HWND owner) {
  return BDialogWindow::DoModal(instance, IDD_SIGNAL, owner);
}

int BSignalDlg::FieldId(BSignalField field) {
  return IDC_SIGNAL_FIRST_VALUE + static_cast<int>(field);
}

int BSignalDlg::LabelId(BSignalField field) {
  return IDC_SIGNAL_FIRST_LABEL + static_cast<int>(field);
}

bool BSignalDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
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
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          if (TakeValues()) ::EndDialog(GetHwnd(), IDOK);
          return true;
        case IDCANCEL:
          ::EndDialog(GetHwnd(), IDCANCEL);
          return true;
        case IDC_SIGNAL_LISTEN:
          OnListen();
          return true;
        case IDC_SIGNAL_KIND:
          if (HIWORD(wParam) == CBN_SELCHANGE) ShowUsedFields();
          return true;
      }
      return false;
    default:
      return false;
  }
}

void BSignalDlg::OnInitDialog() {
  HWND kinds = GetItem(IDC_SIGNAL_KIND);
  for (const std::wstring& kind : m_form.Words().kinds)
    ::SendMessageW(kinds, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kind.c_str()));
  ::SendMessageW(kinds, CB_SETCURSEL, static_cast<WPARAM>(m_form.Params().kind), 0);
  for (int i = 0; i < kSignalFieldCount; ++i)
    ::SetDlgItemTextW(GetHwnd(), FieldId(FieldAt(i)), m_form.FieldText(FieldAt(i)).c_str());
  ShowUsedFields();
  ShowListenCaption();
}

BSignalKind BSignalDlg::SelectedKind() const {
  LRESULT index = ::SendMessageW(GetItem(IDC_SIGNAL_KIND), CB_GETCURSEL, 0, 0);
  return index >= 0 && index < kSignalKindCount ? static_cast<BSignalKind>(index)
                                                : m_form.Params().kind;
}

void BSignalDlg::ShowUsedFields() {
  BSignalKind kind = SelectedKind();
  for (int i = 0; i < kSignalFieldCount; ++i) {
    BOOL used = BSignalForm::Uses(kind, FieldAt(i)) ? TRUE : FALSE;
    ::EnableWindow(GetItem(FieldId(FieldAt(i))), used);
    ::EnableWindow(GetItem(LabelId(FieldAt(i))), used);
  }
}

bool BSignalDlg::TakeValues() {
  BSignalForm::FieldTexts texts;
  for (int i = 0; i < kSignalFieldCount; ++i) texts[i] = ItemText(GetHwnd(), FieldId(FieldAt(i)));
  BSignalField bad = BSignalField::Frequency1;
  if (m_form.Accept(SelectedKind(), texts, bad)) return true;
  BSignalLimits limits = m_form.Limits(bad);
  UINT format = bad == BSignalField::Duration ? IDS_SIGNAL_DURATION_OUT_OF_RANGE
                                              : IDS_SIGNAL_VALUE_OUT_OF_RANGE;
  ShowError(FormatText(LoadText(format).c_str(), ItemText(GetHwnd(), LabelId(bad)).c_str(),
                       BSignalForm::FormatNumber(limits.minimum).c_str(),
                       BSignalForm::FormatNumber(limits.maximum).c_str()));
  HWND field = GetItem(FieldId(bad));
  ::SendMessageW(GetHwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
  ::SendMessageW(field, EM_SETSEL, 0, -1);
  return false;
}

void BSignalDlg::ShowError(const std::wstring& text) {
  ::MessageBoxW(GetHwnd(), text.c_str(), kProgramTitle, MB_ICONERROR);
}

// Pressed while the signal plays, it stops; otherwise the values as typed
// are heard, looped.
void BSignalDlg::OnListen() {
  if (m_player.IsPlaying()) {
    m_player.SetPlaying(false);
  } else if (TakeValues()) {
    m_player.LoadPreview(BSignalSynth(m_form.Params()).Synthesize());
    m_player.SetPlaying(true);
  }
  ShowListenCaption();
}

void BSignalDlg::ShowListenCaption() {
  std::wstring caption = LoadText(m_player.IsPlaying() ? IDS_PREVIEW_STOP : IDS_SIGNAL_LISTEN);
  ::SetDlgItemTextW(GetHwnd(), IDC_SIGNAL_LISTEN, caption.c_str());
}

BSignalWords BSignalDlg::Words() {
  BSignalWords words;
  const UINT kinds[kSignalKindCount] = {IDS_SIGNAL_TONE,  IDS_SIGNAL_WAIL,  IDS_SIGNAL_YELP,
                                        IDS_SIGNAL_HI_LO, IDS_SIGNAL_PULSE, IDS_SIGNAL_SILENCE};
  for (int kind = 0; kind < kSignalKindCount; ++kind) words.kinds[kind] = LoadText(kinds[kind]);
  words.hertz = LoadText(IDS_SIGNAL_HERTZ);
  words.seconds = LoadText(IDS_SIGNAL_SECONDS);
  return words;
}
