// Lets a window see each message of the loop before it is dispatched
// (accelerators, dialog keyboard navigation).
#pragma once

#include <windows.h>

class CMessageFilter {
 public:
  virtual ~CMessageFilter() = default;
  // Returns true when the message was consumed and must not be dispatched.
  virtual BOOL PreTranslateMessage(MSG* message) = 0;
};
