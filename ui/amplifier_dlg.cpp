#include "ui/amplifier_dlg.h"

#include <commctrl.h>

#include "audio/gain.h"
#include "toolkit/ui_text.h"
#include "ui/resource.h"
#include "ui/string_ids.h"

namespace {
const int kMinimumGain = kMinGainPercent;
const int kMaximumGain = kMaxGainPercent;
const int kTickFrequency = 50;
}  // namespace

BAmplifierDlg::BAmplifierDlg(BPlaybackControl& owner, uint8_t* playBuffer, uint32_t offset,
                             uint32_t length)
    : m_preview(owner, playBuffer, offset, length) {}

INT_PTR BAmplifierDlg::DoModal(HINSTANCE instance, HWND owner) {
  INT_PTR result = BDialogWindow::DoModal(instance, IDD_AMPLIFIER, owner);
  if (m_icon != nullptr) ::DestroyIcon(m_icon);
  m_icon = nullptr;
  return result;
}

bool BAmplifierDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      result = TRUE;
      return true;
    case WM_HSCROLL:
      OnSliderMoved(wParam);
      return true;
    case WM_CLOSE:
      Cancel();
      return true;
    case WM_DESTROY:
      m_preview.End();
      return true;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          m_gain = static_cast<int32_t>(::SendMessageW(m_slider, TBM_GETPOS, 0, 0));
          ::EndDialog(GetHwnd(), IDOK);
          return true;
        case IDCANCEL:
          Cancel();
          return true;
        case IDC_NORMALIZE:
          OnNormalizeButton();
          return true;
        case IDC_PREVIEW:
          OnPreviewButton();
          return true;
      }
      return false;
    default:
      return false;
  }
}

void BAmplifierDlg::OnInitDialog() {
  m_slider = GetItem(IDC_GAIN_TRACKBAR);
  m_icon = static_cast<HICON>(::LoadImageW(GetInstance(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                           ::GetSystemMetrics(SM_CXICON),
                                           ::GetSystemMetrics(SM_CYICON), 0));
  ::SendMessageW(GetHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
  ::SendMessageW(m_slider, TBM_SETRANGEMIN, FALSE, kMinimumGain);
  ::SendMessageW(m_slider, TBM_SETRANGEMAX, TRUE, kMaximumGain);
  ::SendMessageW(m_slider, TBM_SETTICFREQ, kTickFrequency, 0);
  ::SendMessageW(m_slider, TBM_SETPOS, TRUE, 0);
  ShowPreviewCaption();
}

// Every move sets the gain; only page steps and the dragged thumb refresh the
// preview (arrow keys change the gain without it).
void BAmplifierDlg::OnSliderMoved(WPARAM wParam) {
  m_gain = static_cast<int32_t>(::SendMessageW(m_slider, TBM_GETPOS, 0, 0));
  int code = LOWORD(wParam);
  if (code == TB_PAGEUP || code == TB_PAGEDOWN || code == TB_THUMBTRACK) m_preview.Write(m_gain);
}

// The player gets its sound back as it was: a cancelled gain leaves no trace.
void BAmplifierDlg::Cancel() {
  m_preview.Restore();
  ::EndDialog(GetHwnd(), IDCANCEL);
}

// The largest gain that clips nothing in what the dialog amplifies, heard at
// once as a slider move would be.
void BAmplifierDlg::OnNormalizeButton() {
  m_gain = m_preview.NormalizingGain();
  ::SendMessageW(m_slider, TBM_SETPOS, TRUE, m_gain);
  m_preview.Write(m_gain);
}

void BAmplifierDlg::OnPreviewButton() {
  m_preview.TogglePlayback();
  ShowPreviewCaption();
}

void BAmplifierDlg::ShowPreviewCaption() {
  std::wstring caption = LoadText(m_preview.IsPlaying() ? IDS_PREVIEW_STOP : IDS_PREVIEW_START);
  ::SetDlgItemTextW(GetHwnd(), IDC_PREVIEW, caption.c_str());
}
