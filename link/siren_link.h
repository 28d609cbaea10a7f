// The program's side of the conversation with the siren: connecting,
// detection, memory size, play and stop on the siren, and the jobs: Read,
// Write, Write changes (only the memory bytes the siren is not known to hold)
// and Verify (the siren's tables and memory compared with the profile). It is
// a plain class: the main window owns it, hands it the transport's callbacks
// and its link messages, and implements BLinkUi for it.
//
// It owns the shadow of the siren's memory (BSirenMemoryShadow): every byte a
// memory phase has confirmed over the open connection. Connecting and
// disconnecting forget it, and so does a read-back that the siren does not
// match: the siren behind an open port may have been swapped. Write changes
// reads a random sample of the bytes it would skip before it skips them, and
// every write ends with a read-back of what it sent (all of it, the check
// after a write, on by default; or a random sample) and of the siren's three
// tables. A fragment counts as in step (its synced flag) only while its
// table entry is known stored and the shadow holds every byte of it; the
// playlist only while its positions were stored and every fragment it names
// is in step.
//
// What the line does wrong is mended where it can be: a request that carries
// its address or index is sent again (twice at most) when its reply came
// garbled or not at all (BRequestRetry); a read phase sends a marker after
// every few bytes so that a reply that arrived twice cannot shift the bytes
// unseen, and reads again what may have shifted (BReadShiftGuard).
//
// Threads: the reply handlers (OnReceive, OnError, OnTimeout, OnGarbledReply)
// run on the transport's worker thread, everything else on the user-interface
// thread. m_lock guards the fields both touch (state, status byte, link error,
// the address in flight, the play requests, the retry and the markers, and
// the profile's job cursor); the worker stores what a reply carries before it
// posts the message that announces it, and releases m_lock in between, so the
// user-interface thread sees the stored data once it takes m_lock to handle
// that message. m_lock is never held while waiting for the worker (Close), for
// the user (message boxes) or for room in the window's message queue. The job
// kind, the bytes of the memory phase, the shadow and the tables a
// verification reads are guarded by m_lock too.
//
// When the port itself fails after the siren has answered over it (an
// adapter pulled out, a server gone), the link says so once in the status
// log and tries to open it again every second (BReconnectRule), quietly;
// once the siren answers again it says so. A job that was running ends as
// on any link failure, with its message. The shadow survives the gap only
// if the same siren came back: a sample of the known bytes is read back at
// once (as Write changes does before it trusts them), and anything but what
// was known forgets it.
//
// During a memory phase at most one progress message is on its way to the
// window: the worker posts the next one only after the window has handled the
// last (m_progressPosted), so that a fast transfer never floods the queue and
// keyboard and menu input, which the window serves after posted messages, is
// still answered (the window handles progress from a timer, after any input).
// The message finds the job cursor as it is by then.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "link/com_handler.h"
#include "link/job_progress.h"
#include "link/link_port.h"
#include "link/link_text.h"
#include "link/link_ui.h"
#include "link/read_shift_guard.h"
#include "link/reconnect_rule.h"
#include "link/request_retry.h"
#include "link/siren_memory_shadow.h"
#include "link/siren_protocol.h"
#include "model/profile.h"

class BSirenLink : public BCOMHandler {
 public:
  BSirenLink(BProfile& profile, BLinkPort& port, BLinkUi& ui);

  // User-interface thread: the commands.
  void OnConnect(const std::string& portName);  // connects, or disconnects when open
  void PlayFragment();
  void PlayPlaylist();
  void StopPlayback();
  void StartRead();
  void StartWrite();
  void StartWriteChanges();
  void StartVerify();
  void Abort();
  // Write and Write changes end with a read-back of all the bytes they sent
  // (true, the default) or of a spread sample of them.
  void SetVerifyAfterWrite(bool verify) { m_verifyAfterWrite = verify; }
  bool GetVerifyAfterWrite() const { return m_verifyAfterWrite; }
  // User-interface thread: one of the messages WM_LINK_ERROR ... WM_MEMORY_WRITE_DONE.
  void HandleMessage(unsigned message);
  // User-interface thread: a tick of the retry timer (BLinkUi::RunRetryTimer).
  void OnRetryTimer();
  // The port failed and the link tries to open it again.
  bool IsReconnecting() const { return m_reconnect.IsActive(); }

  // Worker thread: the transport's callbacks.
  void OnError(const std::string& text) override;
  void OnReceive(uint8_t code, uint8_t length, const uint8_t* data) override;
  void OnTimeout() override;
  void OnGarbledReply() override;
  void OnStrayReply(uint8_t code) override;

  // The random read-backs draw from a generator seeded at start; tests seed it.
  void SetSampleSeed(uint32_t seed);

  BLinkState GetState() const;
  // The memory phase of a job runs: Abort is offered.
  bool IsAbortable() const { return m_abortable; }
  bool IsConnected() const { return m_port.IsOpen(); }
  // A read or write job is running: nothing may change the profile.
  bool IsJobRunning() const;
  const std::string& GetPortName() const { return m_portName; }

 private:
  // One table phase of a job (fragment entries, playlist entries, buttons).
  enum class Table { Fragments, Playlist, Buttons };
  struct TablePhase;
  static const TablePhase& PhaseOf(Table table);
  enum class Job { None, Read, Write, WriteChanges, Verify };
  // What a memory phase is for: the job's own transfer, the sample of the
  // bytes Write changes would skip, or the read-back of what a write sent
  // (all of it, or a sample).
  // SampleReconnected: the sample of the known bytes after the port came back.
  enum class Phase { Transfer, SampleKnown, CheckWritten, SampleWritten, SampleReconnected };
  // The siren's tables as a verification reads them.
  // An entry not read holds a value no table can have (-1, 0xFFFFFFFF).
  struct SirenTables {
    uint32_t start[kMaxFragments];
    uint32_t length[kMaxFragments];
    int playlist[kMaxPlaylistEntries];
    int buttons[kButtonCount];
  };

  void Connect();
  void Disconnect();
  void SetState(BLinkState state);
  void SendLocked(uint8_t code, std::initializer_list<uint8_t> payload);
  void SendPlay(uint8_t index);
  void Send(BLinkState state, uint8_t code, std::initializer_list<uint8_t> payload);
  void EndJob();
  void SetAbortable(bool abortable);
  void EndAfterLinkFailure();
  void EnableAfterJob();
  // What every end of a job does, however it ends: the in-step rule, the
  // panels of a Read, the count of strays and retries in the status log.
  void EndOfJob();
  bool IsWriteJob(Job job) const { return job == Job::Write || job == Job::WriteChanges; }
  void ShowStrayReplies();
  void DropDanglingReferences();
  // The transport gave up waiting: send the request again, or report it.
  void NoReply(bool garbled);

  // The port failed and what comes after (siren_reconnect.cpp).
  // A failure of the port after the siren had answered over it.
  void LosePort(const BLinkText& error);
  void StopReconnecting();
  // An attempt ended without the siren: closed, quietly.
  void AttemptFailed();
  // The siren answered an attempt; true when the message was one of its own.
  bool OnReconnected();
  void FinishReconnectSample();
  // The shadow and every in-step flag; ...Locked with m_lock held.
  void ForgetWhatWasKnown();
  void ForgetSyncedLocked();

  // Replies, on the worker thread with m_lock held. Each returns the message
  // to post once m_lock is released, or 0 for none.
  unsigned ReceiveLocked(uint8_t code, const uint8_t* data);
  unsigned ReceiveMemorySize(uint8_t count);
  unsigned ReceivePlayReply(uint8_t status);
  void ReceiveFragmentEntry(const uint8_t* data);
  unsigned ReceiveMemoryByte(uint8_t status, uint8_t value);
  unsigned ReceiveMemoryWritten(uint8_t status);
  unsigned ReceiveMarker();
  unsigned ReceiveTableRead(uint8_t code, const uint8_t* data);
  // The frames of reply code `code` that answered nothing since the last call.
  uint32_t CollectStraysLocked(uint8_t code);
  // With m_lock held: the in-step rule over the fragments and the playlist.
  void ApplyInStepRule();
  bool ShadowHoldsFragment(int index) const;
  // Worker thread, without m_lock.
  void Post(unsigned message);
  void SendReadByte(uint32_t planIndex);
  void SendWriteByte(uint32_t planIndex);
  uint32_t PlanIndexOf(uint32_t jobByte) const;

  // Messages, on the user-interface thread.
  void OnMemorySize();
  void OnPlayReply(bool playlist);
  void OnTableRead(Table table);
  void OnTableWritten(Table table);
  void OnMemoryProgress(bool writing);
  void OnMemoryDone(bool writing);
  // `again`: the same table once more, after frames that answered nothing.
  void StartTableRead(Table table, bool again = false);
  void EndOfTableRead(Table table);
  void WriteTableEntry(Table table, int index);
  void AskForMemoryPhase(bool writing);
  uint32_t PlanWholeMemory();
  void StartMemoryPhase(bool writing, uint32_t total);
  void BeginMemoryPhase(bool writing, uint32_t total, uint32_t markerInterval);
  // Reads again the bytes whose replies may have shifted; false when there
  // are none, or when the passes are used up (the bytes are then unsure).
  bool StartRereadIfSuspect();
  void CheckLatency(uint32_t cursor, uint32_t tick);
  // A read phase of `planBytes` for `phase`.
  void StartReadBack(Phase phase, std::vector<uint32_t> planBytes);
  int NextJobCursor();
  void StartWriteJob(Job job);
  void StartTableJob(Job job);
  Job GetJob() const;

  // Write changes and Verify (siren_verify_jobs.cpp).
  void AskForChangedBytes();
  void FinishKnownSample();
  void AskToWriteChanges();
  void StartVerifyMemory();
  void StartWriteCheck();
  void FinishWriteCheck();
  void StartTableCheck();
  void FinishWrite();
  void FinishVerify();
  // The entries the siren holds otherwise than the profile (by fragment
  // name), and those it refused during the write (`withRefusals`).
  BLinkText TableDifferences(bool withRefusals = false) const;
  bool FragmentEntryDiffers(int index) const;
  void ForgetSirenTables();
  // The fragments with differing bytes, one line each, followed by `rest`;
  // `count` is the number of those lines.
  BLinkText MemoryDifferences(const BLinkText& rest, size_t& count) const;
  // What of the profile's memory lies beyond the siren's and was not compared.
  BLinkText NotCompared() const;

  BProfile& m_profile;
  BLinkPort& m_port;
  BLinkUi& m_ui;
  std::string m_portName;

  mutable std::mutex m_lock;
  BLinkState m_state = BLinkState::Disconnected;  // guarded by m_lock
  uint8_t m_statusByte = 0;                       // guarded by m_lock
  BLinkText m_linkError;                          // guarded by m_lock
  uint32_t m_addressInFlight = 0;                 // guarded by m_lock: memory byte on the wire
  uint8_t m_valueInFlight = 0;                    // guarded by m_lock: the byte a write sends
  Job m_job = Job::None;                          // guarded by m_lock
  Phase m_phase = Phase::Transfer;                // guarded by m_lock
  // Guarded by m_lock: counts the memory phases, so that an Abort asked
  // during one does not end the next.
  uint32_t m_phaseNumber = 0;
  // Guarded by m_lock: the plan bytes the memory phase moves, in order; all of
  // them (0 .. m_jobTotal - 1, not stored) when m_wholePlan.
  bool m_wholePlan = true;
  std::vector<uint32_t> m_jobBytes;
  // Guarded by m_lock: the plan bytes the write phase of Write changes sends
  // (each address once), and how many bytes a write sent, for its read-back.
  std::vector<uint32_t> m_changedBytes;
  uint32_t m_writtenCount = 0;
  BSirenMemoryShadow m_shadow;     // guarded by m_lock
  SirenTables m_sirenTables{};     // guarded by m_lock: filled by a verification
  bool m_verifyAfterWrite = true;  // user-interface thread
  // Guarded by m_lock: the table reads go into m_sirenTables (Verify, the
  // check after a write), not into the profile.
  bool m_tablesIntoLink = false;
  // Guarded by m_lock: the status of each table entry a write sent (the
  // last answer for it), kStatusOk for none refused.
  uint8_t m_entryStatus[3][kMaxPlaylistEntries] = {};
  // The memory part of a write's closing box (empty when no memory phase
  // ran) and whether it is a warning; user-interface thread.
  BLinkText m_memoryResult;
  bool m_memoryResultWarns = false;
  // What the write job has come to so far, told at its end; user-interface
  // thread.
  BWriteOutcome m_writeOutcome;

  // Guarded by m_lock: the retry of the request on the wire, the markers of
  // read phases and what they found.
  BRequestRetry m_retry;
  BReadShiftGuard m_shiftGuard;
  bool m_markerPending = false;
  bool m_rereading = false;  // a pass over m_passBytes (plan bytes)
  std::vector<uint32_t> m_passBytes;
  int m_readPass = 0;
  uint32_t m_unsureBytes = 0;  // read, but maybe shifted, in this job
  BReadShiftGuard m_tableGuard;
  int m_tableAttempt = 0;
  bool m_tableMarkerAnswered = false;
  bool m_tablesUnsure = false;
  uint32_t m_strayCount = 0;          // frames that answered nothing, this job
  uint32_t m_straysByCode[256] = {};  // the same by reply code, until collected
  std::mt19937 m_random;              // user-interface thread

  // Guarded by m_lock: the transport reported a failure of the port itself
  // (OnError), not the siren a failure of a request.
  bool m_portFailed = false;
  // User-interface thread: the siren answered over the open port.
  bool m_sirenAnswered = false;
  BReconnectRule m_reconnect;  // user-interface thread
  int m_chipsBeforeLoss = 0;   // user-interface thread

  bool m_latencyChecked = false;  // user-interface thread
  bool m_abortable = false;       // user-interface thread
  bool m_readTablesDone = false;  // user-interface thread: a Read filled the panels
  uint32_t m_phaseStartTick = 0;  // user-interface thread
  // Guarded by m_lock. The fragment index of every play or stop request not
  // yet answered, oldest first (the user may stop before a play is answered),
  // and the answers not yet shown, each with the index of its request.
  struct BPlayReply {
    uint8_t fragment;
    uint8_t status;
  };
  std::deque<uint8_t> m_playsInFlight;
  std::deque<BPlayReply> m_playReplies;
  // Set by the worker when it posts a progress message, cleared by the
  // user-interface thread when it takes one.
  std::atomic<bool> m_progressPosted{false};

  BJobProgress m_progress;  // user-interface thread, plus the total read by the worker
  uint32_t m_jobTotal = 0;  // set before the memory phase starts, then read by the worker
};
