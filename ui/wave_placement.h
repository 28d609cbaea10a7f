// BWavePlacement: whether the waveform window is shown and where, as the
// registry value "Wave" keeps it: "visible,x,y,width,height" (visible is 1 or
// 0; the rectangle in screen coordinates). Plain code, tested natively.
//
// Threads: the user-interface thread; a value object.
#pragma once

#include <string>

struct BWavePlacement {
  static constexpr int kMinWidth = 200;
  static constexpr int kMinHeight = 120;

  bool visible = false;
  int x = 0;
  int y = 0;
  int width = 0;  // 0: no remembered rectangle, the window picks its own
  int height = 0;

  // False, with the placement unchanged, for a text that is not five numbers
  // separated by commas with a visible flag of 0 or 1. A remembered size below
  // the minimum is raised to it.
  bool Parse(const std::string& text);
  std::string Format() const;
  bool HasRectangle() const { return width > 0 && height > 0; }
};
