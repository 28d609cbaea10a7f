// What the siren link needs of the main window: the status log, message
// boxes, the command groups and the panels. Everything here is called on the
// user-interface thread, except the two members marked as worker-thread ones.
#pragma once

#include <cstdint>
#include <string>

#include "link/link_text.h"
#include "model/profile.h"

enum class BAnswer { Yes, No, Cancel };

// What a write came to, told at the end of every write job, however it ended.
struct BWriteOutcome {
  bool completed = false;     // reached its end, the read-back of its tables included
  uint32_t bytesWritten = 0;  // memory bytes sent
  uint32_t bytesChecked = 0;  // of them read back
  uint32_t bytesDiffering = 0;
  int64_t firstDifference = -1;  // the memory address of the first; -1: none
  bool tablesDiffer = false;     // a table entry the siren refused or holds otherwise
};
enum class BQuestion { YesNoWarning, YesNoCancelWarning, YesNoInformation };

class BLinkUi {
 public:
  virtual ~BLinkUi() = default;

  // Worker thread: posts one of the link messages to the window. A full
  // message queue is waited out, so that no message is lost; false only when
  // there is no window to post to.
  virtual bool PostLinkMessage(unsigned message) = 0;
  // Worker thread: the name given to fragment `number` (1..16) read from the siren.
  virtual std::string DefaultFragmentName(int number) = 0;

  virtual void ShowLinkStatus(const BLinkText& text) = 0;
  virtual void ReplaceLinkStatus(const BLinkText& text) = 0;
  virtual void ClearStatusLog() = 0;
  virtual void ShowLinkError(const BLinkText& text) = 0;
  virtual void ShowLinkInformation(const BLinkText& text) = 0;
  virtual void ShowLinkWarning(const BLinkText& text) = 0;
  virtual BAnswer AskLink(const BLinkText& text, BQuestion question) = 0;

  virtual void SetProgressRange(int total) = 0;  // range 0..total, position 0
  virtual void SetProgressPosition(int position) = 0;
  virtual void SetConnectCommandText(bool connected) = 0;
  virtual void SetAvailableSize(uint32_t bytes) = 0;

  // What decides the commands changed (the port opened or closed, a job
  // began, ended or entered or left its memory phase): the window decides
  // them anew from the link's state (BCommandRules).
  virtual void CommandsChanged() = 0;

  virtual void SaveSettings() = 0;
  virtual void EnablePlayer(bool enable) = 0;
  // A Read begins to replace the profile with the siren's content, and has
  // ended (however far it got): the document makes it one step of its history.
  virtual void ReadStarts() = 0;
  virtual void ReadEnded() = 0;
  virtual void ClearPanels() = 0;
  virtual void FillPanels() = 0;
  // A Read removed playlist entries and bindings that named an empty slot.
  virtual void ReportDroppedReferences(const BDroppedReferences& dropped) = 0;
  virtual void MarkProfileModified() = 0;
  // The fragment index of the selected fragment-list row, or -1.
  virtual int SelectedFragment() = 0;

  // A Write or Write changes ended (its boxes follow).
  virtual void WriteEnded(const BWriteOutcome& /*outcome*/) {}

  virtual uint32_t TickCount() = 0;
  virtual void DebugOutput(const std::string& text) = 0;

  // While the link tries to open a failed port again, the window calls
  // BSirenLink::OnRetryTimer a few times a second (true), or no more (false).
  virtual void RunRetryTimer(bool /*run*/) {}
  // The port to open for `portName`: the remembered adapter under the number
  // Windows gives it now, when it came back under another one; else the name.
  virtual std::string FindPort(const std::string& portName) { return portName; }
};
