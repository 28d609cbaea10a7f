// Four sirens written at once, each by its own fleet job against its own
// emulated siren: the good ones end equal to the profile, the one with a
// cell that keeps its value names the first bad address, a port that does not
// open and a siren that does not answer get their verdicts, and an abort
// stops one siren alone.
#include "link/fleet_job.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "emulator/siren_emulator.h"
#include "link/frame.h"
#include "link/station_mode.h"

namespace {

// A port whose other end is an emulated siren: what the link sends is fed to
// the emulator at once, its replies wait until the test delivers them.
class EmulatedPort : public BLinkPort {
 public:
  EmulatedPort(uint8_t chips, const BFaultPlan& faults)
      : own(std::make_unique<BSirenEmulator>(chips, faults)), emulator(own.get()) {}
  bool Open(const std::string&) override { return open = openable; }
  bool Close(unsigned) override {
    open = false;
    replies.clear();
    requests = 0;
    return true;
  }
  void Send(uint8_t code, uint8_t length, const uint8_t* payload) override {
    for (const BOutgoingReply& reply : emulator->Feed(BuildRequestFrame(code, length, payload)))
      replies.insert(replies.end(), reply.bytes.begin(), reply.bytes.end());
    if (!answers) replies.clear();
    ++requests;
  }
  bool IsOpen() const override { return open; }
  std::string GetErrorText() const override { return "no such port"; }

  // Hands every whole reply frame to the handler (a reply may make the link
  // send its next request at once); a request of a silent siren times out.
  bool Deliver(BCOMHandler& handler) {
    if (!open || requests == 0) return false;
    if (replies.empty()) {
      requests = 0;
      handler.OnTimeout();
      return true;
    }
    while (replies.size() >= kFrameOverhead && replies.size() >= replies[2] + kFrameOverhead) {
      std::vector<uint8_t> data(replies.begin() + 3, replies.begin() + 3 + replies[2]);
      const uint8_t code = replies[1], length = replies[2];
      replies.erase(replies.begin(), replies.begin() + length + kFrameOverhead);
      if (requests > 0) --requests;
      if (failAfter >= 0 && --failAfter < 0) {  // the cable is pulled
        replies.clear();
        requests = 0;
        handler.OnError("the device is gone");
        return true;
      }
      handler.OnReceive(code, length, data.data());
    }
    return true;
  }

  std::unique_ptr<BSirenEmulator> own;
  BSirenEmulator* emulator;  // the siren at the other end of the cable
  bool openable = true;
  bool answers = true;
  int failAfter = -1;  // replies before the port fails; -1: never
  bool open = false;
  int requests = 0;
  std::deque<uint8_t> replies;
};

struct Finished {
  BFleetRecord record;
  BLinkText why;
};

class Fleet : public BFleetJobHost {
 public:
  bool PostSirenMessage(int index, unsigned message) override {
    posted.emplace_back(index, message);
    return true;
  }
  void ShowSirenProgress(int index, int percent) override {
    EXPECT_GE(percent, 0);
    EXPECT_LE(percent, 100);
    progress[index] = percent;
  }
  void ShowSirenStep(int, const BLinkText&) override {}
  void SirenFinished(int index, const BFleetRecord& record, const BLinkText& why) override {
    EXPECT_FALSE(finished[index].has_value()) << "siren " << index << " finished twice";
    finished[index] = Finished{record, why};
  }
  std::string LocalTimeText() override { return "2026-12-08 17:05:03"; }
  uint32_t TickCount() override { return tick += 10; }

  // Runs every siren until no message and no reply is left: one posted
  // message or one round of replies at a time, taking the sirens in turn.
  void Run(std::vector<std::unique_ptr<EmulatedPort>>& ports,
           std::vector<std::unique_ptr<BFleetJob>>& jobs) {
    for (int steps = 0; steps < 2000000; ++steps) {
      bool acted = false;
      if (!posted.empty()) {
        auto [index, message] = posted.front();
        posted.pop_front();
        jobs[index]->HandleMessage(message);
        acted = true;
      }
      for (size_t i = 0; i < ports.size(); ++i)
        acted = ports[i]->Deliver(jobs[i]->TransportHandler()) || acted;
      if (!acted) return;
    }
    ADD_FAILURE() << "the sirens never came to rest";
  }

  std::deque<std::pair<int, unsigned>> posted;
  std::optional<Finished> finished[5];
  int progress[5] = {};
  uint32_t tick = 0;
};

void FillProfile(BProfile& profile) {
  const uint32_t starts[] = {0, 70000, 140000}, lengths[] = {9000, 6000, 5000};
  for (int slot = 0; slot < 3; ++slot) {
    profile.SetFragment(slot,
                        BFragment{"f" + std::to_string(slot), starts[slot], lengths[slot], false});
    for (uint32_t i = 0; i < lengths[slot]; ++i)
      profile.Image()[starts[slot] + i] = static_cast<uint8_t>(i * (slot + 3) + slot);
  }
  profile.AppendPlaylistEntry(2);
  profile.AppendPlaylistEntry(0);
  profile.SetButton(0, 1);
}

bool HoldsProfile(const BSirenEmulator& siren, const BProfile& profile) {
  const BSirenState& state = siren.Device().State();
  for (int slot = 0; slot < kMaxFragments; ++slot) {
    const BFragment& fragment = profile.GetFragment(slot);
    if (!fragment.IsInUse()) continue;
    for (uint32_t i = 0; i < fragment.length; ++i)
      if (state.memory[fragment.start + i] != profile.Image()[fragment.start + i]) return false;
  }
  return state.playlist[0] == 2 && state.playlist[1] == 0 && state.buttons[0] == 1;
}

TEST(FleetJob, FourSirensAtOnceEachGetTheirVerdict) {
  BProfile profile;
  FillProfile(profile);
  BFaultPlan stuck;
  stuck.badCells = {{70123, 70130}};
  std::vector<std::unique_ptr<EmulatedPort>> ports;
  ports.push_back(std::make_unique<EmulatedPort>(4, BFaultPlan()));
  ports.push_back(std::make_unique<EmulatedPort>(3, stuck));
  ports.push_back(std::make_unique<EmulatedPort>(4, BFaultPlan()));
  ports.push_back(std::make_unique<EmulatedPort>(4, BFaultPlan()));
  ports.push_back(std::make_unique<EmulatedPort>(4, BFaultPlan()));
  ports[3]->openable = false;
  ports[4]->answers = false;
  Fleet fleet;
  std::vector<std::unique_ptr<BFleetJob>> jobs;
  for (int i = 0; i < 5; ++i) {
    jobs.push_back(std::make_unique<BFleetJob>(i, *ports[i], fleet));
    jobs[i]->Start(profile, "COM" + std::to_string(i + 1));
  }
  fleet.Run(ports, jobs);

  const uint32_t planBytes = 9000 + 6000 + 5000;
  for (int i : {0, 2}) {
    ASSERT_TRUE(fleet.finished[i]) << i;
    const BFleetRecord& record = fleet.finished[i]->record;
    EXPECT_EQ(BFleetVerdict::Checked, record.verdict) << i;
    EXPECT_EQ(planBytes, record.bytesWritten);
    EXPECT_EQ(planBytes, record.bytesChecked) << "every byte sent is read back";
    EXPECT_EQ(-1, record.firstDifference);
    EXPECT_EQ(4, record.chips);
    EXPECT_EQ("COM" + std::to_string(i + 1), record.port);
    EXPECT_TRUE(HoldsProfile(*ports[i]->emulator, profile)) << i;
    EXPECT_EQ(100, fleet.progress[i]);
    EXPECT_FALSE(ports[i]->open) << "the port is closed after its siren";
  }
  ASSERT_TRUE(fleet.finished[1]);
  EXPECT_EQ(BFleetVerdict::Differs, fleet.finished[1]->record.verdict);
  EXPECT_EQ(70123, fleet.finished[1]->record.firstDifference);
  EXPECT_EQ(3, fleet.finished[1]->record.chips);
  EXPECT_FALSE(fleet.finished[1]->why.IsEmpty()) << "the link's words about the difference";
  ASSERT_TRUE(fleet.finished[3]);
  EXPECT_EQ(BFleetVerdict::PortFailed, fleet.finished[3]->record.verdict);
  ASSERT_TRUE(fleet.finished[4]);
  EXPECT_EQ(BFleetVerdict::NoSiren, fleet.finished[4]->record.verdict);
  for (const auto& job : jobs) EXPECT_FALSE(job->IsRunning());

  // The same profile again, and one siren aborted half-way: the others go on.
  for (auto& finished : fleet.finished) finished.reset();
  jobs[0]->Start(profile, "COM1");
  jobs[2]->Start(profile, "COM3");
  for (int step = 0; step < 50 && !fleet.posted.empty(); ++step) {
    auto [index, message] = fleet.posted.front();
    fleet.posted.pop_front();
    jobs[index]->HandleMessage(message);
    ports[0]->Deliver(jobs[0]->TransportHandler());
    ports[2]->Deliver(jobs[2]->TransportHandler());
  }
  ASSERT_TRUE(jobs[2]->IsRunning());
  jobs[2]->Abort();
  ASSERT_TRUE(fleet.finished[2]);
  EXPECT_EQ(BFleetVerdict::Aborted, fleet.finished[2]->record.verdict);
  EXPECT_FALSE(ports[2]->open);
  fleet.Run(ports, jobs);
  ASSERT_TRUE(fleet.finished[0]);
  EXPECT_EQ(BFleetVerdict::Checked, fleet.finished[0]->record.verdict);

  // A port that fails half-way: "port failed"; the same siren again later is
  // written as if nothing had happened.
  for (auto& finished : fleet.finished) finished.reset();
  ports[2]->failAfter = 3000;
  jobs[2]->Start(profile, "COM3");
  fleet.Run(ports, jobs);
  ASSERT_TRUE(fleet.finished[2]);
  EXPECT_EQ(BFleetVerdict::PortFailed, fleet.finished[2]->record.verdict);
  fleet.finished[2].reset();
  jobs[2]->Start(profile, "COM3");
  fleet.Run(ports, jobs);
  ASSERT_TRUE(fleet.finished[2]);
  EXPECT_EQ(BFleetVerdict::Checked, fleet.finished[2]->record.verdict);
}

}  // namespace

namespace {

// Station mode on one port: sirens come and go; each is written once, the
// count follows, and a try without a siren is never counted.
TEST(FleetJob, StationWritesEachSirenThatComesOnce) {
  BProfile profile;
  FillProfile(profile);
  BFaultPlan stuck;
  stuck.badCells = {{9, 9}};
  std::vector<std::unique_ptr<EmulatedPort>> ports;
  ports.push_back(std::make_unique<EmulatedPort>(4, BFaultPlan()));
  BStationMode station;
  station.Start();
  // The bench: nothing for two seconds, then three sirens, each left on the
  // port for three probes and away for two seconds.
  const std::vector<int> bench = {-1, -1, 0, 0, 0, 0, -1, -1, 1, 1, 1, 1, -1, 2, 2, 2, 2, -1, -1};
  std::vector<std::unique_ptr<BSirenEmulator>> sirens;
  sirens.push_back(std::make_unique<BSirenEmulator>(4, BFaultPlan()));
  sirens.push_back(std::make_unique<BSirenEmulator>(2, stuck));
  sirens.push_back(std::make_unique<BSirenEmulator>(4, BFaultPlan()));
  std::optional<bool> probed;
  struct ProbeHost : Fleet {
    std::optional<bool>* answer;
    void SirenProbed(int, bool answered) override { *answer = answered; }
  } host;
  host.answer = &probed;
  std::vector<std::unique_ptr<BFleetJob>> jobs;
  jobs.push_back(std::make_unique<BFleetJob>(0, *ports[0], host));
  for (size_t second = 0; second < bench.size(); ++second) {
    const int present = bench[second];
    ports[0]->answers = present >= 0;
    if (present >= 0) ports[0]->emulator = sirens[present].get();
    if (station.Next() == BStationMode::Action::Write) {
      jobs[0]->Start(profile, "COM1");
      station.WriteStarted();
      host.Run(ports, jobs);
      ASSERT_TRUE(host.finished[0]) << "second " << second;
      station.OnWriteEnded(host.finished[0]->record.verdict);
      host.finished[0].reset();
    } else {
      jobs[0]->Probe("COM1");
      host.Run(ports, jobs);
      ASSERT_TRUE(probed.has_value()) << "second " << second;
      EXPECT_EQ(present >= 0, *probed) << "second " << second;
      station.OnProbed(*probed);
      probed.reset();
    }
  }
  EXPECT_EQ(3, station.SirensDone());
  EXPECT_EQ(2, station.SirensChecked()) << "the siren with the stuck cell differs";
  EXPECT_TRUE(HoldsProfile(*sirens[0], profile));
  EXPECT_TRUE(HoldsProfile(*sirens[2], profile));
  EXPECT_EQ(BStationMode::Step::WaitingForSiren, station.Current());
}

}  // namespace
