#include "wave_placement.h"

#include <cstdio>

bool BWavePlacement::Parse(const std::string& text) {
  int flag = 0, left = 0, top = 0, w = 0, h = 0;
  char rest = 0;
  if (std::sscanf(text.c_str(), "%d,%d,%d,%d,%d%c", &flag, &left, &top, &w, &h, &rest) != 5)
    return false;
  if ((flag != 0 && flag != 1) || w <= 0 || h <= 0) return false;
  visible = flag == 1;
  x = left;
  y = top;
  width = w < kMinWidth ? kMinWidth : w;
  height = h < kMinHeight ? kMinHeight : h;
  return true;
}

std::string BWavePlacement::Format() const {
  char text[80];
  std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d", visible ? 1 : 0, x, y, width, height);
  return text;
}
