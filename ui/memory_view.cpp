#include "memory_view.h"

namespace {

// An opaque fill in the given colour, as text output with no text draws it:
// cheaper than a brush per fill. The DC's background colour is left as it was.
void FillOpaque(HDC dc, const RECT& rect, COLORREF colour) {
  COLORREF previous = ::SetBkColor(dc, colour);
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
  ::SetBkColor(dc, previous);
}

}  // namespace

bool BMemoryView::RegisterWindowClass(HINSTANCE instance) {
  return BWindowImpl::RegisterWindowClass(instance, kClassName);
}

bool BMemoryView::Create(HINSTANCE instance, HWND parent, int id, const RECT& rect, DWORD style) {
  return RegisterWindowClass(instance) &&
         CreateOfClass(instance, kClassName, parent, id, rect, style, 0);
}

// Both sizes place the boundary line: a new size erases the old line first.
bool BMemoryView::SetMemorySize(std::uint32_t bytes) {
  bool moved = bytes != m_content.totalSize;
  m_content.totalSize = bytes;
  return Changed(moved);
}

bool BMemoryView::SetAvailableSize(std::uint32_t bytes) {
  bool moved = bytes != m_content.availableSize;
  m_content.availableSize = bytes;
  return Changed(moved);
}

bool BMemoryView::AddBand(std::uint32_t address, std::uint32_t length) {
  // Sums in 64 bits, so that no band wraps around into range.
  if (std::uint64_t{address} + length > std::uint64_t{m_content.totalSize} + 3) return Refuse();
  m_content.bands.push_back(BMemoryBand{address, length});
  return Changed(false);
}

bool BMemoryView::InsertBand(int index, std::uint32_t address, std::uint32_t length) {
  if (index < 0 || index > GetBandCount() ||
      std::uint64_t{address} + length > std::uint64_t{m_content.totalSize} + 3)
    return Refuse();
  m_content.bands.insert(m_content.bands.begin() + index, BMemoryBand{address, length});
  if (m_content.selectedBand >= index) ++m_content.selectedBand;
  return Changed(false);
}

bool BMemoryView::SetBand(int index, std::uint32_t address, std::uint32_t length) {
  if (!IsBandIndex(index) || std::uint64_t{address} + length > m_content.totalSize) return Refuse();
  m_content.bands[index] = BMemoryBand{address, length};
  return Changed(false);
}

bool BMemoryView::RemoveBand(int index) {
  if (!IsBandIndex(index)) return Refuse();
  m_content.bands.erase(m_content.bands.begin() + index);
  return Changed(true);
}

bool BMemoryView::ClearBands() {
  m_content.bands.clear();
  m_content.selectedBand = -1;
  return Changed(true);
}

bool BMemoryView::SetSelectedBand(int index) {
  if (index != -1 && !IsBandIndex(index)) return Refuse();
  m_content.selectedBand = index;
  return Changed(false);
}

bool BMemoryView::SetMarker(int address) {
  m_content.marker = address;
  return Changed(false);
}

bool BMemoryView::GetBand(int index, std::uint32_t& address, std::uint32_t& length) const {
  if (!IsBandIndex(index)) return Refuse();
  address = m_content.bands[index].address;
  length = m_content.bands[index].length;
  return true;
}

bool BMemoryView::SetBackgroundColour(COLORREF colour) {
  return SetColour(m_colours.background, colour);
}
bool BMemoryView::SetInMemoryColour(COLORREF colour) {
  return SetColour(m_colours.inMemory, colour);
}
bool BMemoryView::SetOutOfMemoryColour(COLORREF colour) {
  return SetColour(m_colours.outOfMemory, colour);
}
bool BMemoryView::SetBoundaryColour(COLORREF colour) {
  return SetColour(m_colours.boundary, colour);
}
bool BMemoryView::SetSelectionColour(COLORREF colour) {
  return SetColour(m_colours.selection, colour);
}
bool BMemoryView::SetMarkerColour(COLORREF colour) { return SetColour(m_colours.marker, colour); }

bool BMemoryView::Refuse() const {
  ::SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

// Most changes only add to the picture, so they repaint over it; those that
// take something away (a band, a colour) erase the background first.
bool BMemoryView::Changed(bool erase) {
  if (GetHwnd() != nullptr) ::InvalidateRect(GetHwnd(), nullptr, erase ? TRUE : FALSE);
  return true;
}

bool BMemoryView::SetColour(COLORREF& field, COLORREF colour) {
  field = colour;
  return Changed(true);
}

COLORREF BMemoryView::ColourOf(BMemoryFillRole role) const {
  switch (role) {
    case BMemoryFillRole::InMemory:
      return m_colours.inMemory;
    case BMemoryFillRole::OutOfMemory:
      return m_colours.outOfMemory;
    case BMemoryFillRole::Selection:
      return m_colours.selection;
    case BMemoryFillRole::Marker:
      return m_colours.marker;
    case BMemoryFillRole::Boundary:
      return m_colours.boundary;
  }
  return m_colours.background;
}

bool BMemoryView::HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_ERASEBKGND:
      EraseBackground(reinterpret_cast<HDC>(wParam));
      result = 1;  // nonzero: the background counts as erased
      return true;
    case WM_PAINT:
      OnPaint(reinterpret_cast<HDC>(wParam));
      result = 0;
      return true;
    default:
      return false;
  }
}

void BMemoryView::EraseBackground(HDC dc) const {
  RECT client;
  ::GetClientRect(GetHwnd(), &client);
  FillOpaque(dc, client, m_colours.background);
}

// As with the common controls, a DC in wParam is painted into directly.
void BMemoryView::OnPaint(HDC givenDc) const {
  if (givenDc != nullptr) {
    Paint(givenDc);
    return;
  }
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(GetHwnd(), &paint);
  if (dc == nullptr) return;
  Paint(dc);
  ::EndPaint(GetHwnd(), &paint);
}

void BMemoryView::Paint(HDC dc) const {
  RECT client;
  ::GetClientRect(GetHwnd(), &client);
  for (const BMemoryFill& fill : LayoutMemoryView(client.left, client.right, m_content)) {
    RECT rect = {fill.x1, client.top, fill.x2, client.bottom};
    FillOpaque(dc, rect, ColourOf(fill.role));
  }
}
