// The memory view as a control: the checks of its operations, which changes
// repaint with the background erased, taking over and giving back a static
// control, the stand-alone window class, and the pixels it really paints.
#include "memory_view.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// 256 columns for 1024 bytes: exactly four bytes per column.
constexpr int kWidth = 256;
constexpr int kHeight = 8;
constexpr std::uint32_t kTotal = 1024;

constexpr COLORREF kBackground = RGB(64, 64, 64);
constexpr COLORREF kInMemory = RGB(0, 255, 0);
constexpr COLORREF kOutOfMemory = RGB(255, 0, 0);
constexpr COLORREF kBoundary = RGB(0, 0, 0);
constexpr COLORREF kSelection = RGB(49, 106, 197);
constexpr COLORREF kMarker = RGB(0, 0, 128);
constexpr COLORREF kUntouched = RGB(1, 2, 3);

bool SameBands(const BMemoryViewContent& a, const BMemoryViewContent& b) {
  if (a.bands.size() != b.bands.size()) return false;
  for (std::size_t i = 0; i < a.bands.size(); ++i) {
    if (a.bands[i].address != b.bands[i].address || a.bands[i].length != b.bands[i].length)
      return false;
  }
  return true;
}

bool SameContent(const BMemoryViewContent& a, const BMemoryViewContent& b) {
  return a.totalSize == b.totalSize && a.availableSize == b.availableSize && SameBands(a, b) &&
         a.selectedBand == b.selectedBand && a.marker == b.marker;
}

// Runs an operation that must be refused: false, ERROR_INVALID_PARAMETER, no
// change and no repaint.
void ExpectRefused(BMemoryView& view, const std::function<bool()>& operation, const char* what) {
  SCOPED_TRACE(what);
  const BMemoryViewContent before = view.GetContent();
  if (view.GetHwnd() != nullptr) ::ValidateRect(view.GetHwnd(), nullptr);
  ::SetLastError(0);
  EXPECT_FALSE(operation());
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(SameContent(before, view.GetContent()));
  if (view.GetHwnd() != nullptr) {
    EXPECT_FALSE(::GetUpdateRect(view.GetHwnd(), nullptr, FALSE));
  }
}

// Counts the background erases of a window by sitting on top of its procedure.
class EraseCounter {
 public:
  explicit EraseCounter(HWND hwnd) : m_hwnd(hwnd) {
    ::SetPropW(hwnd, L"EraseCounter", this);
    m_previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
  }
  ~EraseCounter() { Remove(); }
  void Remove() {
    if (m_previous == nullptr) return;
    ::SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
    ::RemovePropW(m_hwnd, L"EraseCounter");
    m_previous = nullptr;
  }
  int erases = 0;
  LRESULT lastEraseResult = 0;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<EraseCounter*>(::GetPropW(hwnd, L"EraseCounter"));
    LRESULT result = ::CallWindowProcW(self->m_previous, hwnd, message, wParam, lParam);
    if (message == WM_ERASEBKGND) {
      ++self->erases;
      self->lastEraseResult = result;
    }
    return result;
  }
  HWND m_hwnd;
  WNDPROC m_previous = nullptr;
};

// The expected picture of one pixel row: the background, then each fill over it.
struct Span {
  int x1;
  int x2;
  COLORREF colour;
};
std::vector<COLORREF> ExpectedRow(const std::vector<Span>& spans) {
  std::vector<COLORREF> row(kWidth, kBackground);
  for (const Span& span : spans) {
    for (int x = span.x1; x < span.x2; ++x) row[x] = span.colour;
  }
  return row;
}

std::string Describe(const std::vector<COLORREF>& row) {
  std::string text;
  for (int x = 0; x < static_cast<int>(row.size()); ++x) {
    if (x > 0 && row[x] == row[x - 1]) continue;
    char piece[48];
    wsprintfA(piece, "%d:%06lX ", x, static_cast<unsigned long>(row[x]));
    text += piece;
  }
  return text;
}

// Has the view erase and paint into a bitmap of its size, through its own
// messages, and returns the middle row; every row must be the same.
std::vector<COLORREF> RenderToBitmap(HWND view, LRESULT* eraseResult = nullptr) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = -kHeight;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = ::CreateCompatibleDC(nullptr);
  HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  EXPECT_NE(bitmap, nullptr);
  if (bitmap == nullptr) {
    ::DeleteDC(dc);
    return {};
  }
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  auto* pixels = static_cast<DWORD*>(bits);
  // The DIB holds 0x00RRGGBB; COLORREF is 0x00BBGGRR.
  const DWORD untouched =
      (GetRValue(kUntouched) << 16) | (GetGValue(kUntouched) << 8) | GetBValue(kUntouched);
  for (int i = 0; i < kWidth * kHeight; ++i) pixels[i] = untouched;

  const COLORREF dcBackground = RGB(9, 8, 7);
  ::SetBkColor(dc, dcBackground);
  LRESULT erased = ::SendMessageW(view, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  if (eraseResult != nullptr) *eraseResult = erased;
  ::SendMessageW(view, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
  ::GdiFlush();
  EXPECT_EQ(::GetBkColor(dc), dcBackground) << "the DC's background colour is restored";

  std::vector<std::vector<COLORREF>> rows(kHeight, std::vector<COLORREF>(kWidth));
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      DWORD p = pixels[y * kWidth + x];
      rows[y][x] = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
  }
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  for (int y = 0; y < kHeight; ++y)
    EXPECT_EQ(Describe(rows[y]), Describe(rows[kHeight / 2])) << "row " << y;
  return rows[kHeight / 2];
}

// A borderless top-level window with the static control 1031 in it, as in the
// main window. The window is shared by the tests: under Wine, taking a
// top-level window off the screen costs seconds.
class MemoryViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_host = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"STATIC", L"",
                               WS_POPUP | WS_VISIBLE, 700, 600, kWidth + 20, kHeight + 20, nullptr,
                               nullptr, ::GetModuleHandleW(nullptr), nullptr);
  }
  static void TearDownTestSuite() {
    if (s_host != nullptr) ::DestroyWindow(s_host);
    s_host = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(s_host, nullptr);
    m_host = s_host;
    m_strip = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 10, 10,
                                kWidth, kHeight, m_host,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MEMORY_VIEW)),
                                ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(m_strip, nullptr);
    ::UpdateWindow(m_host);
  }
  void TearDown() override {
    if (m_strip != nullptr && ::IsWindow(m_strip)) ::DestroyWindow(m_strip);
  }

  // The picture of the tests: a quarter of the memory available (boundary at
  // column 64), a band across it, one beyond it, and the marker.
  static void ShowSample(BMemoryView& view) {
    ASSERT_TRUE(view.SetMemorySize(kTotal));
    ASSERT_TRUE(view.SetAvailableSize(256));
    ASSERT_TRUE(view.AddBand(0, 40));     // columns 0..10
    ASSERT_TRUE(view.AddBand(200, 200));  // 50..100, split at 64
    ASSERT_TRUE(view.AddBand(600, 100));  // 150..175
    ASSERT_TRUE(view.SetMarker(480));     // 120..122
  }
  static std::vector<Span> SampleSpans() {
    return {{0, 10, kInMemory},       {50, 64, kInMemory}, {64, 100, kOutOfMemory},
            {150, 175, kOutOfMemory}, {120, 122, kMarker}, {64, 66, kBoundary}};
  }

  static HWND s_host;
  HWND m_host = nullptr;
  HWND m_strip = nullptr;
};

HWND MemoryViewTest::s_host = nullptr;

TEST_F(MemoryViewTest, StartsEmptyWithNoSelectionAndNoMarker) {
  BMemoryView view;
  const BMemoryViewContent& content = view.GetContent();
  EXPECT_EQ(content.totalSize, 0u);
  EXPECT_EQ(content.availableSize, 0u);
  EXPECT_EQ(view.GetBandCount(), 0);
  EXPECT_EQ(content.selectedBand, -1);
  EXPECT_EQ(content.marker, -1);
  std::uint32_t address = 7, length = 9;
  ExpectRefused(
      view, [&] { return view.GetBand(0, address, length); }, "GetBand(0) with no bands");
  EXPECT_EQ(address, 7u);
  EXPECT_EQ(length, 9u);
}

TEST_F(MemoryViewTest, AddBandAllowsThreeBytesPastTheEndButSetBandDoesNot) {
  BMemoryView view;
  ASSERT_TRUE(view.Attach(m_strip));
  ASSERT_TRUE(view.SetMemorySize(1000));
  EXPECT_TRUE(view.AddBand(990, 13));
  ExpectRefused(
      view, [&] { return view.AddBand(990, 14); }, "AddBand ending 4 bytes past the end");
  ExpectRefused(
      view, [&] { return view.AddBand(0xFFFFFFFFu, 2); }, "AddBand whose end wraps around");
  ExpectRefused(
      view, [&] { return view.SetBand(0, 990, 11); }, "SetBand ending 1 byte past the end");
  ExpectRefused(
      view, [&] { return view.SetBand(0, 0xFFFFFFFFu, 1); }, "SetBand whose end wraps around");
  EXPECT_TRUE(view.SetBand(0, 990, 10));
  std::uint32_t address = 0, length = 0;
  ASSERT_TRUE(view.GetBand(0, address, length));
  EXPECT_EQ(address, 990u);
  EXPECT_EQ(length, 10u);

  // The check is against the total size at the time: a shrunk total keeps the band.
  ASSERT_TRUE(view.SetMemorySize(500));
  EXPECT_EQ(view.GetBandCount(), 1);
  EXPECT_TRUE(view.AddBand(500, 3));
  EXPECT_EQ(view.GetBandCount(), 2);
}

TEST_F(MemoryViewTest, IndexChecksRefuseAndChangeNothing) {
  BMemoryView view;
  ASSERT_TRUE(view.Attach(m_strip));
  ASSERT_TRUE(view.SetMemorySize(kTotal));
  ASSERT_TRUE(view.AddBand(0, 10));
  ASSERT_TRUE(view.AddBand(10, 20));
  ASSERT_TRUE(view.SetSelectedBand(1));
  std::uint32_t address = 0, length = 0;
  for (int index : {-1, 2, 1000}) {
    ExpectRefused(
        view, [&] { return view.SetBand(index, 0, 1); }, "SetBand");
    ExpectRefused(
        view, [&] { return view.RemoveBand(index); }, "RemoveBand");
    ExpectRefused(
        view, [&] { return view.GetBand(index, address, length); }, "GetBand");
  }
  for (int index : {-2, 2, INT_MIN}) {
    ExpectRefused(
        view, [&] { return view.SetSelectedBand(index); }, "SetSelectedBand");
  }
  EXPECT_TRUE(view.SetSelectedBand(-1));
  EXPECT_EQ(view.GetContent().selectedBand, -1);
  EXPECT_TRUE(view.SetSelectedBand(0));
  EXPECT_EQ(view.GetContent().selectedBand, 0);
}

TEST_F(MemoryViewTest, RemoveBandMovesLaterBandsDownAndClearBandsDropsTheSelection) {
  BMemoryView view;
  ASSERT_TRUE(view.SetMemorySize(kTotal));
  for (std::uint32_t i = 0; i < 4; ++i) ASSERT_TRUE(view.AddBand(i * 100, i + 1));
  ASSERT_TRUE(view.RemoveBand(1));
  ASSERT_EQ(view.GetBandCount(), 3);
  std::uint32_t address = 0, length = 0;
  ASSERT_TRUE(view.GetBand(1, address, length));
  EXPECT_EQ(address, 200u);
  EXPECT_EQ(length, 3u);
  ExpectRefused(
      view, [&] { return view.GetBand(3, address, length); }, "GetBand past the end after removal");

  ASSERT_TRUE(view.SetSelectedBand(2));
  ASSERT_TRUE(view.SetMarker(5));
  EXPECT_TRUE(view.ClearBands());
  EXPECT_EQ(view.GetBandCount(), 0);
  EXPECT_EQ(view.GetContent().selectedBand, -1);
  EXPECT_EQ(view.GetContent().marker, 5) << "the marker is not a band";
}

// A new memory size moves or removes the boundary line, so it erases too
// (after a disconnect the strip must show no line).
TEST_F(MemoryViewTest, EverySetterRepaintsAndOnlyRemovalsSizesAndColoursEraseFirst) {
  BMemoryView view;
  ASSERT_TRUE(view.Attach(m_strip));
  ASSERT_TRUE(view.SetMemorySize(kTotal));
  ASSERT_TRUE(view.AddBand(0, 10));
  ASSERT_TRUE(view.AddBand(100, 10));
  ASSERT_TRUE(view.AddBand(200, 10));
  EraseCounter counter(m_strip);

  struct Case {
    const char* name;
    std::function<bool()> operation;
    bool erases;
  };
  const std::vector<Case> cases = {
      {"SetMemorySize", [&] { return view.SetMemorySize(2048); }, true},
      {"SetAvailableSize", [&] { return view.SetAvailableSize(512); }, true},
      {"SetAvailableSize again", [&] { return view.SetAvailableSize(512); }, false},
      {"SetAvailableSize to the whole", [&] { return view.SetAvailableSize(2048); }, true},
      {"AddBand", [&] { return view.AddBand(300, 10); }, false},
      {"SetBand", [&] { return view.SetBand(0, 20, 10); }, false},
      {"SetSelectedBand", [&] { return view.SetSelectedBand(1); }, false},
      {"SetMarker", [&] { return view.SetMarker(40); }, false},
      {"RemoveBand", [&] { return view.RemoveBand(0); }, true},
      {"ClearBands", [&] { return view.ClearBands(); }, true},
      {"SetBackgroundColour", [&] { return view.SetBackgroundColour(RGB(1, 1, 1)); }, true},
      {"SetInMemoryColour", [&] { return view.SetInMemoryColour(RGB(2, 2, 2)); }, true},
      {"SetOutOfMemoryColour", [&] { return view.SetOutOfMemoryColour(RGB(3, 3, 3)); }, true},
      {"SetBoundaryColour", [&] { return view.SetBoundaryColour(RGB(4, 4, 4)); }, true},
      {"SetSelectionColour", [&] { return view.SetSelectionColour(RGB(5, 5, 5)); }, true},
      {"SetMarkerColour", [&] { return view.SetMarkerColour(RGB(6, 6, 6)); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::ValidateRect(m_strip, nullptr);
    counter.erases = 0;
    ASSERT_TRUE(c.operation());
    RECT update;
    ASSERT_TRUE(::GetUpdateRect(m_strip, &update, FALSE)) << "no repaint asked for";
    EXPECT_EQ(update.right - update.left, kWidth);
    ::UpdateWindow(m_strip);
    EXPECT_EQ(counter.erases, c.erases ? 1 : 0);
    if (c.erases) {
      EXPECT_NE(counter.lastEraseResult, 0) << "the background must count as erased";
    }
  }
}

TEST_F(MemoryViewTest, PaintsBandsBoundaryAndMarkerInTheirColours) {
  BMemoryView view;
  ASSERT_TRUE(view.Attach(m_strip));
  ShowSample(view);
  LRESULT eraseResult = 0;
  EXPECT_EQ(Describe(RenderToBitmap(m_strip, &eraseResult)), Describe(ExpectedRow(SampleSpans())));
  EXPECT_NE(eraseResult, 0);

  // The selected band wholly in the selection colour, beyond the boundary too.
  ASSERT_TRUE(view.SetSelectedBand(1));
  std::vector<Span> selected = SampleSpans();
  selected[1] = {50, 100, kSelection};
  selected[2] = {50, 100, kSelection};
  EXPECT_EQ(Describe(RenderToBitmap(m_strip)), Describe(ExpectedRow(selected)));

  // All memory there: no boundary, everything in memory; the marker at the end.
  ASSERT_TRUE(view.SetSelectedBand(-1));
  ASSERT_TRUE(view.SetAvailableSize(kTotal));
  ASSERT_TRUE(view.SetMarker(kTotal));
  EXPECT_EQ(
      Describe(RenderToBitmap(m_strip)),
      Describe(ExpectedRow(
          {{0, 10, kInMemory}, {50, 100, kInMemory}, {150, 175, kInMemory}, {254, 256, kMarker}})));
}

TEST_F(MemoryViewTest, ColourSettersChangeWhatIsPainted) {
  BMemoryView view;
  ASSERT_TRUE(view.Attach(m_strip));
  ShowSample(view);
  const COLORREF background = RGB(10, 20, 30), inMemory = RGB(11, 21, 31),
                 outOfMemory = RGB(12, 22, 32);
  const COLORREF boundary = RGB(13, 23, 33), marker = RGB(14, 24, 34), selection = RGB(15, 25, 35);
  view.SetBackgroundColour(background);
  view.SetInMemoryColour(inMemory);
  view.SetOutOfMemoryColour(outOfMemory);
  view.SetBoundaryColour(boundary);
  view.SetMarkerColour(marker);
  view.SetSelectionColour(selection);
  view.SetSelectedBand(0);
  std::vector<COLORREF> expected(kWidth, background);
  for (const Span& span : std::vector<Span>{{0, 10, selection},
                                            {50, 64, inMemory},
                                            {64, 100, outOfMemory},
                                            {150, 175, outOfMemory},
                                            {120, 122, marker},
                                            {64, 66, boundary}}) {
    for (int x = span.x1; x < span.x2; ++x) expected[x] = span.colour;
  }
  EXPECT_EQ(Describe(RenderToBitmap(m_strip)), Describe(expected));
}

// The real paint cycle on the screen: InvalidateRect, WM_ERASEBKGND from
// BeginPaint when asked for, WM_PAINT; read back from the window.
TEST_F(MemoryViewTest, PaintsOnTheScreenAndErasesOnlyWhenAskedTo) {
  BMemoryView view;
  ASSERT_TRUE(view.Attach(m_strip));
  ShowSample(view);
  ::InvalidateRect(m_strip, nullptr, TRUE);
  ::UpdateWindow(m_strip);

  HDC dc = ::GetDC(m_strip);
  auto pixel = [&](int x) { return ::GetPixel(dc, x, kHeight / 2); };
  const std::vector<COLORREF> expected = ExpectedRow(SampleSpans());
  for (int x :
       {0, 9, 10, 49, 50, 63, 64, 65, 66, 99, 100, 119, 120, 121, 122, 150, 174, 175, 255}) {
    EXPECT_EQ(pixel(x), expected[x]) << "column " << x;
  }

  // Moving a band repaints without erasing: its old columns keep their colour.
  ASSERT_TRUE(view.SetBand(2, 800, 100));  // 150..175 -> 200..225
  ::UpdateWindow(m_strip);
  EXPECT_EQ(pixel(160), kOutOfMemory);
  EXPECT_EQ(pixel(210), kOutOfMemory);
  // Removing one erases first: the freed columns show the background again.
  ASSERT_TRUE(view.RemoveBand(2));
  ::UpdateWindow(m_strip);
  EXPECT_EQ(pixel(160), kBackground);
  EXPECT_EQ(pixel(210), kBackground);
  EXPECT_EQ(pixel(5), kInMemory);
  ::ReleaseDC(m_strip, dc);
}

TEST_F(MemoryViewTest, AttachTakesOverTheControlAndDetachGivesItBack) {
  const LONG_PTR staticProc = ::GetWindowLongPtrW(m_strip, GWLP_WNDPROC);
  BMemoryView view;
  EXPECT_FALSE(view.Attach(nullptr));
  ASSERT_TRUE(view.Attach(m_strip));
  EXPECT_EQ(view.GetHwnd(), m_strip);
  EXPECT_NE(::GetWindowLongPtrW(m_strip, GWLP_WNDPROC), staticProc);

  BMemoryView second;
  EXPECT_FALSE(second.Attach(m_strip)) << "a window has one view";
  EXPECT_FALSE(view.Attach(m_host)) << "a view has one window";

  // Messages it does not handle still reach the static control.
  EXPECT_TRUE(::SetWindowTextW(m_strip, L"text"));
  wchar_t text[16] = {};
  ::GetWindowTextW(m_strip, text, 16);
  EXPECT_STREQ(text, L"text");

  EXPECT_EQ(view.Detach(), m_strip);
  EXPECT_EQ(view.GetHwnd(), nullptr);
  EXPECT_EQ(::GetWindowLongPtrW(m_strip, GWLP_WNDPROC), staticProc);
  EXPECT_TRUE(second.Attach(m_strip));
}

TEST_F(MemoryViewTest, LetsGoWhenTheWindowIsDestroyedOrCoveredByAnotherProcedure) {
  BMemoryView view;
  ASSERT_TRUE(view.Attach(m_strip));
  ASSERT_EQ(view.Detach(), m_strip);
  {
    // A view that goes away while another procedure sits on top of its own:
    // the control keeps working, and a new view can take it over later.
    auto covered = std::make_unique<BMemoryView>();
    ASSERT_TRUE(covered->Attach(m_strip));
    EraseCounter counter(m_strip);
    covered.reset();
    EXPECT_TRUE(::SetWindowTextW(m_strip, L"still"));
    ::InvalidateRect(m_strip, nullptr, TRUE);
    ::UpdateWindow(m_strip);
    EXPECT_EQ(counter.erases, 1);
  }
  ASSERT_TRUE(view.Attach(m_strip));
  ShowSample(view);
  EXPECT_EQ(Describe(RenderToBitmap(m_strip)), Describe(ExpectedRow(SampleSpans())));

  ::DestroyWindow(m_strip);
  EXPECT_EQ(view.GetHwnd(), nullptr);
  // Without a window the operations still work on the content.
  EXPECT_TRUE(view.AddBand(0, 4));
  EXPECT_EQ(view.GetBandCount(), 4);
}

TEST_F(MemoryViewTest, StandAloneWindowOfItsOwnClass) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  HWND hwnd = nullptr;
  {
    BMemoryView view;
    ASSERT_TRUE(view.Create(instance, m_host, 77, RECT{0, 0, kWidth, kHeight}));
    hwnd = view.GetHwnd();
    ASSERT_NE(hwnd, nullptr);
    wchar_t className[32] = {};
    ::GetClassNameW(hwnd, className, 32);
    EXPECT_STREQ(className, L"MemoryViewCtrl");
    EXPECT_EQ(::GetDlgCtrlID(hwnd), 77);
    EXPECT_FALSE(view.Create(instance, m_host, 78, RECT{0, 0, 10, 10})) << "one window per view";

    ShowSample(view);
    EXPECT_EQ(Describe(RenderToBitmap(hwnd)), Describe(ExpectedRow(SampleSpans())));
  }
  EXPECT_FALSE(::IsWindow(hwnd)) << "the window goes with its view";
}

}  // namespace
