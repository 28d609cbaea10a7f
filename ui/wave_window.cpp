#include "wave_window.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "toolkit/ui_text.h"

namespace {

const int kRulerHeight = 20;
const int kMinTickSpacing = 70;  // columns between ruler labels
const double kWheelZoomStep = 1.25;
const int kWheelScrollColumns = 60;

const COLORREF kBackground = RGB(255, 255, 255);
const COLORREF kRulerBackground = RGB(236, 236, 236);
const COLORREF kRulerText = RGB(40, 40, 40);
const COLORREF kRange = RGB(50, 80, 160);          // the marked range's band
const COLORREF kWaveInRange = RGB(235, 242, 255);  // the sound over it
const COLORREF kZeroLine = RGB(170, 170, 170);
const COLORREF kWave = RGB(30, 80, 190);
const COLORREF kPlayLine = RGB(220, 0, 0);
const COLORREF kSegmentLine = RGB(90, 90, 90);

// An opaque fill, as text output with no text draws it (no brush per fill).
void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  RECT rect = {left, top, right, bottom};
  ::SetBkColor(dc, colour);
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

// The y of a sample value (unsigned 8-bit, 128 is silence) in the wave area.
int ValueY(const RECT& wave, int value) {
  int height = wave.bottom - wave.top;
  return wave.top + (255 - value) * (height - 1) / 255;
}

// Moves (and if needed shrinks) the rectangle onto the work area of the
// monitor nearest to it, so that a remembered place on a monitor that is gone
// cannot hide the window.
RECT OntoNearestMonitor(RECT rect) {
  HMONITOR monitor = ::MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  if (monitor == nullptr || !::GetMonitorInfoW(monitor, &info)) return rect;
  const RECT& area = info.rcWork;
  LONG width = std::min(rect.right - rect.left, area.right - area.left);
  LONG height = std::min(rect.bottom - rect.top, area.bottom - area.top);
  LONG left = std::clamp(rect.left, area.left, area.right - width);
  LONG top = std::clamp(rect.top, area.top, area.bottom - height);
  return RECT{left, top, left + width, top + height};
}

}  // namespace

bool BWaveWindow::Create(HINSTANCE instance, HWND owner, const BWavePlacement& placement,
                         const std::wstring& title, const std::wstring& emptyHint) {
  m_emptyHint = emptyHint;
  RECT rect;
  if (placement.HasRectangle()) {
    rect = {placement.x, placement.y, placement.x + placement.width,
            placement.y + placement.height};
  } else {
    RECT ownerRect = {0, 0, 640, 400};
    if (owner != nullptr) ::GetWindowRect(owner, &ownerRect);
    rect = {ownerRect.left, ownerRect.bottom, ownerRect.right, ownerRect.bottom + 240};
  }
  rect = OntoNearestMonitor(rect);
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_HSCROLL;
  if (!BWindowImpl::RegisterWindowClass(instance, kClassName,
                                        CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS) ||
      !CreateOfClass(instance, kClassName, owner, 0, rect, style, WS_EX_TOOLWINDOW))
    return false;
  ::SetWindowTextW(GetHwnd(), title.c_str());
  OnSize();
  return true;
}

void BWaveWindow::Show(bool visible) {
  if (GetHwnd() != nullptr) ::ShowWindow(GetHwnd(), visible ? SW_SHOWNOACTIVATE : SW_HIDE);
}

bool BWaveWindow::IsShown() const { return GetHwnd() != nullptr && ::IsWindowVisible(GetHwnd()); }

BWavePlacement BWaveWindow::GetPlacement() const {
  BWavePlacement placement;
  placement.visible = IsShown();
  RECT rect = {};
  if (GetHwnd() != nullptr && ::GetWindowRect(GetHwnd(), &rect)) {
    placement.x = rect.left;
    placement.y = rect.top;
    placement.width = rect.right - rect.left;
    placement.height = rect.bottom - rect.top;
  }
  return placement;
}

BWaveWindow::~BWaveWindow() { ReleasePicture(); }

void BWaveWindow::SetSound(const uint8_t* samples, uint32_t count, bool keepView,
                           std::vector<BWaveSegment> segments) {
  // An edit empties the player before it loads the fragment again: the view
  // of the last sound comes back with it.
  if (m_viewport.SampleCount() > 0) m_keptView = m_viewport;
  if (keepView && count > 0 && m_viewport.SampleCount() == 0) {
    int width = m_viewport.Width();
    m_viewport = m_keptView;
    m_viewport.SetWidth(width);
  }
  m_pyramid.Build(samples, count);
  m_segments = std::move(segments);
  m_viewport.SetSound(count, !keepView);
  ReadCursor();
  ViewChanged();
}

// Takes the host's position and range; true when the range changed.
bool BWaveWindow::ReadCursor() {
  uint32_t position = 0, start = 0, end = 0;
  m_host.GetWaveCursor(position, start, end);
  if (end <= start) start = end = 0;
  bool rangeChanged = start != m_rangeStart || end != m_rangeEnd;
  m_position = std::min(position, m_viewport.SampleCount());
  m_rangeStart = start;
  m_rangeEnd = end;
  return rangeChanged;
}

void BWaveWindow::Refresh() {
  uint32_t previous = m_position;
  bool rangeChanged = ReadCursor();
  if (GetHwnd() == nullptr) return;
  bool scrolled = FollowPosition(previous);
  if (rangeChanged || scrolled) {
    ViewChanged();
  } else if (m_viewport.PlayLineColumn(m_position) != m_viewport.PlayLineColumn(previous)) {
    InvalidatePlayLine(previous);
    InvalidatePlayLine(m_position);
  }
}

// A play line that walks out of the view takes the view along, a page at a
// time (not while the user drags); true when the view scrolled.
bool BWaveWindow::FollowPosition(uint32_t previous) {
  bool wasVisible =
      previous >= m_viewport.First() && previous < m_viewport.First() + m_viewport.VisibleSamples();
  if (m_position == previous || !wasVisible || m_pressed) return false;
  double first = m_viewport.First();
  m_viewport.EnsureVisible(m_position);
  if (m_viewport.First() > first) m_viewport.ScrollToSample(m_position);
  return m_viewport.First() != first;
}

void BWaveWindow::ViewChanged() {
  if (GetHwnd() == nullptr) return;
  UpdateScrollBar();
  InvalidatePicture();
}

void BWaveWindow::InvalidatePicture() {
  m_pictureValid = false;
  if (GetHwnd() != nullptr) ::InvalidateRect(GetHwnd(), nullptr, FALSE);
}

// The play line's column of the wave area, which the picture repaints.
void BWaveWindow::InvalidatePlayLine(uint32_t position) {
  int column = m_viewport.PlayLineColumn(position);
  if (column < 0 || column >= m_viewport.Width()) return;
  Layout layout = GetLayout();
  RECT line = {column, layout.wave.top, column + 1, layout.wave.bottom};
  ::InvalidateRect(GetHwnd(), &line, FALSE);
}

void BWaveWindow::UpdateScrollBar() {
  SCROLLINFO info = {};
  info.cbSize = sizeof(info);
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = m_viewport.SampleCount() > 0 ? static_cast<int>(m_viewport.SampleCount()) - 1 : 0;
  info.nPage = static_cast<UINT>(std::lround(m_viewport.VisibleSamples()));
  info.nPos = static_cast<int>(std::lround(m_viewport.First()));
  ::SetScrollInfo(GetHwnd(), SB_HORZ, &info, TRUE);
}

BWaveWindow::Layout BWaveWindow::GetLayout() const {
  RECT client = {};
  ::GetClientRect(GetHwnd(), &client);
  Layout layout;
  layout.ruler = {client.left, client.top, client.right, client.top + kRulerHeight};
  layout.wave = {client.left, layout.ruler.bottom, client.right, client.bottom};
  if (layout.wave.bottom < layout.wave.top) layout.wave.bottom = layout.wave.top;
  return layout;
}

// Unlike a column's first sample, a point may stand for the end of the sound,
// so that a range can be marked up to it.
uint32_t BWaveWindow::SampleAtPoint(int x) const { return m_viewport.BoundaryAtColumn(x); }

bool BWaveWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (message) {
    case WM_ERASEBKGND:
      result = 1;  // the paint covers everything
      return true;
    case WM_PAINT:
      OnPaint();
      return true;
    case WM_SIZE:
      OnSize();
      return true;
    case WM_CLOSE:
      Show(false);
      m_host.OnWavePlacementChanged();
      return true;
    case WM_EXITSIZEMOVE:
      m_host.OnWavePlacementChanged();
      return true;
    case WM_MOUSEWHEEL:
      OnMouseWheel(wParam, lParam);
      return true;
    case WM_HSCROLL:
      OnScroll(LOWORD(wParam));
      return true;
    case WM_KEYDOWN:
      OnKey(wParam);
      return true;
    case WM_LBUTTONDOWN:
      OnButtonDown(GET_X_LPARAM(lParam));
      return true;
    case WM_MOUSEMOVE:
      OnMouseMove(GET_X_LPARAM(lParam));
      return true;
    case WM_LBUTTONUP:
      OnButtonUp(GET_X_LPARAM(lParam));
      return true;
    case WM_LBUTTONDBLCLK:
      if (m_host.IsWaveMarkingAllowed() && m_viewport.SampleCount() > 0) m_host.OnWaveMarkAll();
      return true;
    case WM_CAPTURECHANGED:
      m_pressed = m_dragging = false;
      return true;
    default:
      return false;
  }
}

void BWaveWindow::OnSize() {
  RECT client = {};
  ::GetClientRect(GetHwnd(), &client);
  m_viewport.SetWidth(client.right - client.left);
  ViewChanged();
}

// ---- Painting ----------------------------------------------------------------

// From the picture, drawn again first when it is out of date; then the play
// line over it. No flicker: the screen gets each pixel once.
void BWaveWindow::OnPaint() {
  PAINTSTRUCT ps;
  HDC screen = ::BeginPaint(GetHwnd(), &ps);
  RECT client = {};
  ::GetClientRect(GetHwnd(), &client);
  if (client.right > 0 && client.bottom > 0) {
    if (UpdatePicture(screen, client)) {
      const RECT& area = ps.rcPaint;
      ::BitBlt(screen, area.left, area.top, area.right - area.left, area.bottom - area.top,
               m_pictureDc, area.left, area.top, SRCCOPY);
    } else {
      Paint(screen, client);  // out of GDI resources: paint directly
    }
    PaintPlayLine(screen);
  }
  ::EndPaint(GetHwnd(), &ps);
}

// False when no picture can be made.
bool BWaveWindow::UpdatePicture(HDC screen, const RECT& client) {
  if (m_picture != nullptr &&
      (m_pictureSize.cx != client.right || m_pictureSize.cy != client.bottom))
    ReleasePicture();
  if (m_picture == nullptr) {
    m_pictureDc = ::CreateCompatibleDC(screen);
    m_picture = ::CreateCompatibleBitmap(screen, client.right, client.bottom);
    if (m_pictureDc == nullptr || m_picture == nullptr) {
      ReleasePicture();
      return false;
    }
    m_pictureOldBitmap = ::SelectObject(m_pictureDc, m_picture);
    m_pictureSize = {client.right, client.bottom};
    m_pictureValid = false;
  }
  if (!m_pictureValid) Paint(m_pictureDc, client);
  m_pictureValid = true;
  return true;
}

void BWaveWindow::ReleasePicture() {
  if (m_pictureDc != nullptr && m_pictureOldBitmap != nullptr)
    ::SelectObject(m_pictureDc, m_pictureOldBitmap);
  if (m_picture != nullptr) ::DeleteObject(m_picture);
  if (m_pictureDc != nullptr) ::DeleteDC(m_pictureDc);
  m_pictureDc = nullptr;
  m_picture = nullptr;
  m_pictureOldBitmap = nullptr;
  m_pictureValid = false;
}

void BWaveWindow::Paint(HDC dc, const RECT& client) const {
  HGDIOBJ oldFont = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
  Layout layout = GetLayout();
  Fill(dc, client.left, client.top, client.right, client.bottom, kBackground);
  if (m_viewport.SampleCount() == 0) {
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kRulerText);
    RECT text = client;
    ::DrawTextW(dc, m_emptyHint.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  } else {
    PaintRuler(dc, layout.ruler);
    PaintWave(dc, layout.wave);
    PaintSegments(dc, layout);
  }
  ::SelectObject(dc, oldFont);
}

void BWaveWindow::PaintPlayLine(HDC dc) const {
  if (m_viewport.SampleCount() == 0) return;
  Layout layout = GetLayout();
  int play = m_viewport.PlayLineColumn(m_position);
  if (play >= 0 && play < layout.wave.right)
    Fill(dc, play, layout.wave.top, play + 1, layout.wave.bottom, kPlayLine);
}

void BWaveWindow::PaintRuler(HDC dc, const RECT& ruler) const {
  Fill(dc, ruler.left, ruler.top, ruler.right, ruler.bottom, kRulerBackground);
  Fill(dc, ruler.left, ruler.bottom - 1, ruler.right, ruler.bottom, kZeroLine);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, kRulerText);
  for (const BRulerTick& tick : ComputeRulerTicks(m_viewport, kMinTickSpacing)) {
    Fill(dc, tick.column, ruler.bottom - 6, tick.column + 1, ruler.bottom, kRulerText);
    std::wstring label = Widen(RulerLabel(tick.milliseconds));
    ::TextOutW(dc, tick.column + 3, ruler.top + 2, label.c_str(), static_cast<int>(label.size()));
  }
}

void BWaveWindow::PaintWave(HDC dc, const RECT& wave) const {
  if (wave.bottom <= wave.top) return;
  // The marked range as a band, with the sound over it in a light colour, as
  // a selection shows in an editor.
  int rangeLeft = 0, rangeRight = 0;
  if (m_rangeEnd > m_rangeStart) {
    // The columns from the start's boundary up to the end's; at least one.
    int left = m_viewport.ColumnOfBoundary(m_rangeStart);
    int right = std::max(m_viewport.ColumnOfBoundary(m_rangeEnd), left + 1);
    rangeLeft = std::max<int>(wave.left, left);
    rangeRight = std::min<int>(wave.right, right);
    if (rangeRight > rangeLeft) Fill(dc, rangeLeft, wave.top, rangeRight, wave.bottom, kRange);
  }
  int zero = ValueY(wave, 128);
  Fill(dc, wave.left, zero, wave.right, zero + 1, kZeroLine);
  std::vector<BPeak> envelope = ComputeEnvelope(m_pyramid, m_viewport);
  for (int x = 0; x < static_cast<int>(envelope.size()); ++x) {
    if (envelope[x].IsEmpty()) continue;
    COLORREF colour = x >= rangeLeft && x < rangeRight ? kWaveInRange : kWave;
    Fill(dc, x, ValueY(wave, envelope[x].max), x + 1, ValueY(wave, envelope[x].min) + 1, colour);
  }
}

void BWaveWindow::PaintSegments(HDC dc, const Layout& layout) const {
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, kSegmentLine);
  for (size_t i = 0; i < m_segments.size(); ++i) {
    int x = m_viewport.ColumnOfBoundary(m_segments[i].start);
    int next = i + 1 < m_segments.size() ? m_viewport.ColumnOfBoundary(m_segments[i + 1].start)
                                         : layout.wave.right;
    if (next < 0 || x >= layout.wave.right) continue;
    if (i > 0 && x >= 0) Fill(dc, x, layout.wave.top, x + 1, layout.wave.bottom, kSegmentLine);
    // The name at the start of its part, or at the window's edge when the part
    // began further left; cut at the next boundary.
    RECT text = {std::max(x, 0) + 3, layout.wave.top + 2, next - 2, layout.wave.top + 18};
    ::DrawTextW(dc, m_segments[i].name.c_str(), -1, &text,
                DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
}

// ---- Zoom, scroll and keys -----------------------------------------------------

void BWaveWindow::OnMouseWheel(WPARAM wParam, LPARAM lParam) {
  m_wheelRest += GET_WHEEL_DELTA_WPARAM(wParam);
  double notches = m_wheelRest / double(WHEEL_DELTA);
  if (std::fabs(notches) < 0.2) return;
  m_wheelRest = 0;
  if (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) {
    POINT pointer = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};  // screen coordinates
    ::ScreenToClient(GetHwnd(), &pointer);
    m_viewport.ZoomAround(pointer.x, std::pow(kWheelZoomStep, notches));
  } else {
    m_viewport.ScrollColumns(-notches * kWheelScrollColumns);
  }
  ViewChanged();
}

void BWaveWindow::OnScroll(WORD request) {
  double page = m_viewport.Width();
  switch (request) {
    case SB_LINELEFT:
      m_viewport.ScrollColumns(-page / 16);
      break;
    case SB_LINERIGHT:
      m_viewport.ScrollColumns(page / 16);
      break;
    case SB_PAGELEFT:
      m_viewport.ScrollColumns(-page);
      break;
    case SB_PAGERIGHT:
      m_viewport.ScrollColumns(page);
      break;
    case SB_LEFT:
      m_viewport.ScrollToSample(0);
      break;
    case SB_RIGHT:
      m_viewport.ScrollToSample(m_viewport.SampleCount());
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO info = {};
      info.cbSize = sizeof(info);
      info.fMask = SIF_TRACKPOS;
      if (::GetScrollInfo(GetHwnd(), SB_HORZ, &info)) m_viewport.ScrollToSample(info.nTrackPos);
      break;
    }
    default:
      return;
  }
  ViewChanged();
}

// As in an editor: Home and End go to the ends, the arrows a column (with
// Ctrl a tenth of the view) to either side; the view follows the position.
void BWaveWindow::OnKey(WPARAM key) {
  uint32_t count = m_viewport.SampleCount();
  if (key == VK_ESCAPE) {
    if (m_pressed) ::ReleaseCapture();
    if (m_host.IsWaveMarkingAllowed()) m_host.OnWaveCancelRange();
    return;
  }
  if (count == 0) return;
  double step = std::max(1.0, m_viewport.SamplesPerColumn());
  if (::GetKeyState(VK_CONTROL) < 0) step = std::max(1.0, m_viewport.VisibleSamples() / 10);
  double target;
  switch (key) {
    case VK_HOME:
      target = 0;
      break;
    case VK_END:
      target = count;
      break;
    case VK_LEFT:
      target = m_position - step;
      break;
    case VK_RIGHT:
      target = m_position + step;
      break;
    default:
      return;
  }
  uint32_t sample = static_cast<uint32_t>(std::clamp(std::floor(target), 0.0, double(count)));
  m_viewport.EnsureVisible(std::min(sample, count - 1));
  ViewChanged();
  m_host.OnWaveSeek(sample);
}

// ---- Mouse -------------------------------------------------------------------

void BWaveWindow::OnButtonDown(int x) {
  ::SetFocus(GetHwnd());
  if (m_viewport.SampleCount() == 0) return;
  ::SetCapture(GetHwnd());
  m_pressed = true;
  m_dragging = false;
  m_pressX = x;
  m_pressSample = SampleAtPoint(x);
}

void BWaveWindow::OnMouseMove(int x) {
  if (!m_pressed || !m_host.IsWaveMarkingAllowed()) return;
  if (!m_dragging && std::abs(x - m_pressX) < ::GetSystemMetrics(SM_CXDRAG)) return;
  m_dragging = true;
  // The view scrolls along when the pointer leaves it at either side.
  if (x < 0) m_viewport.ScrollColumns(x);
  if (x >= m_viewport.Width()) m_viewport.ScrollColumns(x - m_viewport.Width() + 1);
  uint32_t sample = SampleAtPoint(std::clamp(x, 0, m_viewport.Width()));
  m_host.OnWaveMark(std::min(sample, m_pressSample), std::max(sample, m_pressSample));
  ViewChanged();
}

void BWaveWindow::OnButtonUp(int x) {
  if (!m_pressed) return;
  bool dragged = m_dragging;
  ::ReleaseCapture();  // clears m_pressed and m_dragging
  if (!dragged) m_host.OnWaveSeek(SampleAtPoint(std::clamp(x, 0, m_viewport.Width())));
}
