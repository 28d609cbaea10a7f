// The gain dialog: a slider sets the gain in percent (-100 to 300) and the
// sound can be heard with it, looped, while the slider moves. The preview's
// rules are BGainPreview's; this is its window.
#pragma once

#include <windows.h>

#include <cstdint>

#include "audio/gain_preview.h"
#include "audio/playback_control.h"
#include "toolkit/dialog_window.h"

class BAmplifierDlg : public BDialogWindow {
 public:
  // `playBuffer` holds the player's unsigned bytes; the range offset..offset+length is amplified.
  BAmplifierDlg(BPlaybackControl& owner, uint8_t* playBuffer, uint32_t offset, uint32_t length);

  INT_PTR DoModal(HINSTANCE instance, HWND owner);
  int32_t GetGain() const { return m_gain; }

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void OnInitDialog();
  void OnSliderMoved(WPARAM wParam);
  void OnNormalizeButton();
  void OnPreviewButton();
  void Cancel();
  void ShowPreviewCaption();

  BGainPreview m_preview;
  int32_t m_gain = 0;
  HWND m_slider = nullptr;
  HICON m_icon = nullptr;
};
