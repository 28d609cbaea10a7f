// The portable parts of the network ports: the port address, the Telnet
// codec with RFC 2217 port control, the retry timing after a port failed,
// and the adapter found again under another number.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <vector>

#include "link/link_string_ids.h"
#include "link/port_address.h"
#include "link/port_identity.h"
#include "link/reconnect_rule.h"
#include "link/telnet_codec.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(PortAddressTest, GoodFormsAreReadAndWrittenBackTheSame) {
  struct Case {
    const char* text;
    BPortKind kind;
    const char* nameOrHost;
    uint16_t port;
    const char* written;
  };
  const Case cases[] = {
      {"COM1", BPortKind::Serial, "COM1", 0, "COM1"},
      {"com12", BPortKind::Serial, "COM12", 0, "COM12"},
      {"COM256", BPortKind::Serial, "COM256", 0, "COM256"},
      {"CNCA0", BPortKind::Serial, "CNCA0", 0, "CNCA0"},
      {"\\\\.\\COM5", BPortKind::Serial, "\\\\.\\COM5", 0, "\\\\.\\COM5"},
      {"tcp://127.0.0.1:4001", BPortKind::Tcp, "127.0.0.1", 4001, "tcp://127.0.0.1:4001"},
      {"TCP://siren-7.example:1", BPortKind::Tcp, "siren-7.example", 1, "tcp://siren-7.example:1"},
      {"rfc2217://10.0.0.5:65535", BPortKind::Rfc2217, "10.0.0.5", 65535,
       "rfc2217://10.0.0.5:65535"},
      {"RFC2217://[::1]:2217", BPortKind::Rfc2217, "::1", 2217, "rfc2217://[::1]:2217"},
      {"tcp://host:007", BPortKind::Tcp, "host", 7, "tcp://host:7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    BPortAddress address;
    ASSERT_EQ(BPortAddressError::None, ParsePortAddress(c.text, address));
    EXPECT_EQ(c.kind, address.kind);
    EXPECT_EQ(c.nameOrHost, address.IsNetwork() ? address.host : address.name);
    EXPECT_EQ(c.port, address.port);
    EXPECT_EQ(c.written, address.ToString());
    BPortAddress again;
    ASSERT_EQ(BPortAddressError::None, ParsePortAddress(address.ToString(), again));
    EXPECT_EQ(address.ToString(), again.ToString());
  }
}

TEST(PortAddressTest, BadFormsSayWhatIsWrong) {
  struct Case {
    const char* text;
    BPortAddressError error;
    int textId;
  };
  const Case cases[] = {
      {"", BPortAddressError::Empty, IDS_ADDRESS_BAD_FORM},
      {"udp://h:1", BPortAddressError::UnknownScheme, IDS_ADDRESS_UNKNOWN_SCHEME},
      {"telnet://h:23", BPortAddressError::UnknownScheme, IDS_ADDRESS_UNKNOWN_SCHEME},
      {"://h:1", BPortAddressError::UnknownScheme, IDS_ADDRESS_UNKNOWN_SCHEME},
      {"tcp://:4001", BPortAddressError::NoHost, IDS_ADDRESS_NO_HOST},
      {"tcp://", BPortAddressError::NoHost, IDS_ADDRESS_NO_HOST},
      {"rfc2217://[]:5", BPortAddressError::NoHost, IDS_ADDRESS_NO_HOST},
      {"tcp://host", BPortAddressError::BadPortNumber, IDS_ADDRESS_BAD_PORT_NUMBER},
      {"tcp://host:", BPortAddressError::BadPortNumber, IDS_ADDRESS_BAD_PORT_NUMBER},
      {"tcp://host:0", BPortAddressError::BadPortNumber, IDS_ADDRESS_BAD_PORT_NUMBER},
      {"tcp://host:65536", BPortAddressError::BadPortNumber, IDS_ADDRESS_BAD_PORT_NUMBER},
      {"tcp://host:4x", BPortAddressError::BadPortNumber, IDS_ADDRESS_BAD_PORT_NUMBER},
      {"tcp://host:-1", BPortAddressError::BadPortNumber, IDS_ADDRESS_BAD_PORT_NUMBER},
      {"tcp://host:123456", BPortAddressError::BadPortNumber, IDS_ADDRESS_BAD_PORT_NUMBER},
      {"rfc2217://[::1]", BPortAddressError::BadPortNumber, IDS_ADDRESS_BAD_PORT_NUMBER},
      {"tcp://::1:5", BPortAddressError::BadName, IDS_ADDRESS_BAD_FORM},
      {"tcp://host:5/path", BPortAddressError::BadName, IDS_ADDRESS_BAD_FORM},
      {"tcp://my host:5", BPortAddressError::BadName, IDS_ADDRESS_BAD_FORM},
      {"rfc2217://[::1:5", BPortAddressError::BadName, IDS_ADDRESS_BAD_FORM},
      {"COM", BPortAddressError::BadComNumber, IDS_ADDRESS_BAD_COM_NUMBER},
      {"COM0", BPortAddressError::BadComNumber, IDS_ADDRESS_BAD_COM_NUMBER},
      {"COM257", BPortAddressError::BadComNumber, IDS_ADDRESS_BAD_COM_NUMBER},
      {"COMX", BPortAddressError::BadComNumber, IDS_ADDRESS_BAD_COM_NUMBER},
      {"COM1 2", BPortAddressError::BadName, IDS_ADDRESS_BAD_FORM},
      {"COM5:", BPortAddressError::BadName, IDS_ADDRESS_BAD_FORM},
      {"host:4001", BPortAddressError::BadName, IDS_ADDRESS_BAD_FORM},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    BPortAddress address;
    address.name = "left over";
    EXPECT_EQ(c.error, ParsePortAddress(c.text, address));
    EXPECT_EQ(c.textId, PortAddressErrorText(c.error));
    EXPECT_TRUE(address.name.empty() && address.host.empty()) << "nothing half-read is kept";
  }
}

constexpr uint8_t IAC = BTelnetCodec::kIac;
constexpr uint8_t SB = BTelnetCodec::kSb;
constexpr uint8_t SE = BTelnetCodec::kSe;
constexpr uint8_t WILL = BTelnetCodec::kWill;
constexpr uint8_t WONT = BTelnetCodec::kWont;
constexpr uint8_t DO = BTelnetCodec::kDo;
constexpr uint8_t DONT = BTelnetCodec::kDont;

Bytes Settings() {
  return {IAC, SB, 44,  1,   0x00, 0x01, 0xC2, 0x00, IAC, SE,  IAC, SB,  44,
          2,   8,  IAC, SE,  IAC,  SB,   44,   3,    1,   IAC, SE,  IAC, SB,
          44,  4,  1,   IAC, SE,   IAC,  SB,   44,   5,   1,   IAC, SE};
}

Bytes Decode(BTelnetCodec& codec, const Bytes& wire, Bytes* reply = nullptr) {
  Bytes data, answer;
  codec.Decode(wire.data(), wire.size(), data, answer);
  if (reply != nullptr) *reply = answer;
  return data;
}

// What a serial server said when the program connected (captured from one),
// and its confirmations of the settings: the codec refuses echo, sends the
// settings once port control is agreed and is settled by the confirmations.
TEST(TelnetCodecTest, NegotiatesPortControlWithAServerAsOneAnswers) {
  BTelnetCodec codec;
  EXPECT_EQ((Bytes{IAC, WILL, 44, IAC, WILL, 0, IAC, WILL, 3, IAC, DO, 0, IAC, DO, 3}),
            codec.Start());
  Bytes reply;
  Bytes data = Decode(codec, {IAC, WILL, 3,  IAC, DO,  3,    IAC, WILL, 1,   IAC, DONT,
                              1,   IAC,  DO, 0,   IAC, WILL, 0,   0x55, IAC, DO,  44},
                      &reply);
  EXPECT_EQ(Bytes{0x55}, data);
  Bytes expected = {IAC, DONT, 1};
  Bytes settings = Settings();
  expected.insert(expected.end(), settings.begin(), settings.end());
  EXPECT_EQ(expected, reply) << "only echo is refused; the rest was asked for";
  EXPECT_TRUE(codec.IsComPortAgreed());
  EXPECT_TRUE(codec.IsServerBinary());
  EXPECT_TRUE(codec.IsClientBinary());
  EXPECT_FALSE(codec.IsNegotiationSettled());

  // The confirmations, a modem state notice between them, split mid-way.
  Bytes confirm = {IAC,  SB,  44,  107, 0,   IAC, SE, IAC, SB,  44,  101, 0,   1,
                   0xC2, 0,   IAC, SE,  IAC, SB,  44, 102, 8,   IAC, SE,  IAC, SB,
                   44,   103, 1,   IAC, SE,  IAC, SB, 44,  104, 1,   IAC, SE};
  EXPECT_TRUE(Decode(codec, Bytes(confirm.begin(), confirm.begin() + 13), &reply).empty());
  EXPECT_TRUE(Decode(codec, Bytes(confirm.begin() + 13, confirm.end()), &reply).empty());
  EXPECT_TRUE(reply.empty());
  EXPECT_TRUE(codec.IsNegotiationSettled());
  EXPECT_EQ(115200u, codec.ConfirmedBaudRate());
  EXPECT_EQ(8, codec.ConfirmedDataBits());
  EXPECT_EQ(1, codec.ConfirmedParity());
  EXPECT_EQ(1, codec.ConfirmedStopBits());

  // Asked again for what is agreed: no answer, so no endless exchange.
  Decode(codec, {IAC, DO, 44, IAC, WILL, 0, IAC, DO, 0}, &reply);
  EXPECT_TRUE(reply.empty());
  // Options nobody asked for are refused; one withdrawn is acknowledged once.
  Decode(codec, {IAC, DO, 24, IAC, WILL, 31, IAC, DONT, 0, IAC, DONT, 0}, &reply);
  EXPECT_EQ((Bytes{IAC, WONT, 24, IAC, DONT, 31, IAC, WONT, 0}), reply);
  EXPECT_FALSE(codec.IsClientBinary());
}

TEST(TelnetCodecTest, AServerWithoutPortControlSettlesTheNegotiation) {
  BTelnetCodec codec;
  codec.Start();
  Bytes reply;
  Decode(codec, {IAC, DONT, 44, IAC, WONT, 0, IAC, DONT, 0}, &reply);
  EXPECT_TRUE(reply.empty()) << "refusals of what was asked need no answer";
  EXPECT_TRUE(codec.IsComPortRefused());
  EXPECT_TRUE(codec.IsNegotiationSettled());
  EXPECT_TRUE(codec.HeardTelnet());
  // Not binary: CR goes as CR NUL, and CR NUL comes back as CR.
  Bytes wire;
  const Bytes sent = {0x0D, 0xFF, 0x0D, 0x0A};
  codec.Encode(sent.data(), sent.size(), wire);
  EXPECT_EQ((Bytes{0x0D, 0, IAC, IAC, 0x0D, 0, 0x0A}), wire);
  EXPECT_EQ((Bytes{0x0D, 0x0D, 0x0A, 0}), Decode(codec, {0x0D, 0, 0x0D, 0x0A, 0}));
}

// Random siren bytes (rich in 0xFF, CR and NUL) encoded as a server sends
// them, with commands and subnegotiations of every kind between them and the
// wire cut into random pieces: the decoder gives back exactly the bytes.
// And what the client encodes, read by a plain unescaping, is what it sent.
TEST(TelnetCodecTest, RandomStreamsComeThroughWhole) {
  std::mt19937 random(20240611);
  const Bytes special = {IAC, 0x0D, 0x00, 0x0A, SE, SB, WILL, 0x55, 0xAA};
  auto byte = [&] {
    return random() % 3 == 0 ? special[random() % special.size()] : uint8_t(random());
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  int rounds = 0;
  while (std::chrono::steady_clock::now() < deadline || rounds < 50) {
    ++rounds;
    BTelnetCodec codec;
    codec.Start();
    Decode(codec, {IAC, WILL, 0, IAC, DO, 0, IAC, DO, 44});  // binary both ways
    Bytes data(random() % 600), wire;
    for (uint8_t& b : data) b = byte();
    for (uint8_t b : data) {
      switch (random() % 12) {
        case 0:
          wire.insert(wire.end(), {IAC, uint8_t(241 + random() % 9)});  // NOP .. GA
          break;
        case 1:
          // Never about binary transmission, which changes what CR NUL means.
          wire.insert(wire.end(), {IAC, uint8_t(WILL + random() % 4),
                                   Bytes{1, 3, 5, 24, 31, 44}[random() % 6]});
          break;
        case 2: {
          wire.insert(wire.end(), {IAC, SB, 44, uint8_t(106 + random() % 2)});
          for (int k = random() % 5; k > 0; --k) {
            uint8_t value = byte();
            wire.push_back(value);
            if (value == IAC) wire.push_back(IAC);
          }
          wire.insert(wire.end(), {IAC, SE});
          break;
        }
        default:
          break;
      }
      wire.push_back(b);
      if (b == IAC) wire.push_back(IAC);
    }
    Bytes decoded, reply;
    for (size_t at = 0; at < wire.size();) {
      size_t piece = std::min<size_t>(wire.size() - at, 1 + random() % 7);
      codec.Decode(wire.data() + at, piece, decoded, reply);
      at += piece;
    }
    ASSERT_EQ(data, decoded) << "round " << rounds;

    Bytes encoded, unescaped;
    codec.Encode(data.data(), data.size(), encoded);
    for (size_t i = 0; i < encoded.size(); ++i) {
      unescaped.push_back(encoded[i]);
      if (encoded[i] == IAC) {
        ASSERT_LT(i + 1, encoded.size());
        ASSERT_EQ(IAC, encoded[++i]) << "a lone IAC would start a command";
      }
    }
    ASSERT_EQ(data, unescaped);
  }
  std::printf("[          ] %d random streams\n", rounds);
}

// A fake clock that moves by the window timer's ticks; attempts take varying
// times and fail: each begins a second after the last began, or at once after
// a slow one failed, never two at a time.
TEST(ReconnectRuleTest, TriesEverySecondAndNeverTwoAtOnce) {
  std::mt19937 random(7);
  for (uint32_t start : {0u, 0xFFFFF000u}) {  // also across the wrap of the tick count
    BReconnectRule rule;
    EXPECT_FALSE(rule.IsAttemptDue(start + 5000)) << "nothing before the port failed";
    rule.Start(start);
    uint32_t now = start;
    uint32_t lastStart = start;
    uint32_t endOfAttempt = 0;
    bool slow = false;
    for (int tick = 0; tick < 600; ++tick) {
      now += 50;  // the retry timer
      if (rule.IsAttemptUnderWay() && now - endOfAttempt < 0x80000000u) {
        rule.AttemptFailed();
        if (slow) {
          EXPECT_TRUE(rule.IsAttemptDue(now)) << "after a slow attempt at once";
        }
      }
      if (!rule.IsAttemptDue(now)) {
        EXPECT_TRUE(rule.IsAttemptUnderWay() || now - lastStart < BReconnectRule::kIntervalMs);
        continue;
      }
      EXPECT_GE(now - lastStart, BReconnectRule::kIntervalMs);
      EXPECT_LT(now - lastStart, BReconnectRule::kIntervalMs + 50 + (slow ? 5000 : 0));
      rule.AttemptStarted(now);
      EXPECT_FALSE(rule.IsAttemptDue(now + 10000)) << "one at a time";
      lastStart = now;
      slow = random() % 4 == 0;
      endOfAttempt = now + (slow ? 1000 + random() % 4000 : random() % 200);
    }
    EXPECT_GE(rule.Attempts(), 10u);
    EXPECT_LE(rule.Attempts(), 30u);
    rule.Stop();
    EXPECT_FALSE(rule.IsActive());
    EXPECT_FALSE(rule.IsAttemptDue(now + 5000));
  }
}

BPresentPort Port(const char* name, const char* vid, const char* pid, const char* serial,
                  const char* location) {
  BPresentPort port;
  port.name = name;
  port.identity = {vid, pid, serial, location};
  return port;
}

TEST(PortIdentityTest, TheDeviceIdsGiveTheIdentity) {
  struct Case {
    const char* hardwareId;
    const char* instanceId;
    const char* locationPath;
    BPortIdentity expected;
  };
  const Case cases[] = {
      // A CH340 without a serial number: the made-up instance is a location.
      {"USB\\VID_1A86&PID_7523&REV_0264",
       "USB\\VID_1A86&PID_7523\\5&2A5E3B1&0&3",
       "",
       {"1A86", "7523", "", "5&2A5E3B1&0&3"}},
      // The same with its location path.
      {"USB\\VID_1a86&PID_7523&REV_0264",
       "USB\\VID_1A86&PID_7523\\5&2A5E3B1&0&3",
       "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)",
       {"1A86", "7523", "", "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)"}},
      // A serial number as the instance.
      {"USB\\VID_0403&PID_6001&REV_0600",
       "USB\\VID_0403&PID_6001\\A50285BI",
       "",
       {"0403", "6001", "A50285BI", ""}},
      // A vendor's bus driver: the serial inside the device part.
      {"FTDIBUS\\COMPORT&VID_0403&PID_6001",
       "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000",
       "",
       {"0403", "6001", "A50285BIA", ""}},
      // An interface of a composite device: its instance is made up.
      {"USB\\VID_2341&PID_0043&MI_00",
       "USB\\VID_2341&PID_0043&MI_00\\6&1A2B3C&0&0000",
       "",
       {"2341", "0043", "", "6&1A2B3C&0&0000"}},
      // A built-in port: no USB ids, no identity.
      {"ACPI\\PNP0501", "ACPI\\PNP0501\\1", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.instanceId);
    BPortIdentity identity = IdentityFromDeviceIds(c.hardwareId, c.instanceId, c.locationPath);
    EXPECT_EQ(c.expected.ToString(), identity.ToString());
    BPortIdentity read;
    EXPECT_EQ(!identity.IsEmpty(), BPortIdentity::Parse(identity.ToString(), read));
    if (!identity.IsEmpty()) {
      EXPECT_TRUE(read == identity) << "the setting reads back";
    }
  }
  BPortIdentity read;
  for (const char* bad : {"", "vid=1A86;pid=7523",
                          "pid=7523;vid=1A86;serial=;location=", "vid=;pid=;serial=;location="})
    EXPECT_FALSE(BPortIdentity::Parse(bad, read)) << bad;
}

TEST(PortIdentityTest, TheRememberedAdapterIsFoundBySerialThenLocationThenAlone) {
  const BPortIdentity withSerial{"0403", "6001", "A5", "hub1-port3"};
  const BPortIdentity withoutSerial{"1A86", "7523", "", "hub1-port3"};
  struct Case {
    const char* what;
    BPortIdentity remembered;
    std::vector<BPresentPort> ports;
    int expected;
  };
  const Case cases[] = {
      {"the serial number beats the location",
       withSerial,
       {Port("COM3", "0403", "6001", "B7", "hub1-port3"),
        Port("COM9", "0403", "6001", "A5", "hub2-port1")},
       1},
      {"another adapter of the model in the socket is not it",
       withSerial,
       {Port("COM3", "0403", "6001", "B7", "hub1-port3")},
       -1},
      {"the location finds an adapter without a serial number",
       withoutSerial,
       {Port("COM4", "1A86", "7523", "", "hub2-port1"),
        Port("COM7", "1A86", "7523", "", "hub1-port3")},
       1},
      {"two of the model elsewhere: no guess",
       withoutSerial,
       {Port("COM4", "1A86", "7523", "", "hub2-port1"),
        Port("COM5", "1A86", "7523", "", "hub2-port2")},
       -1},
      {"the only one of the model, moved to another socket",
       withoutSerial,
       {Port("COM1", "", "", "", ""), Port("COM8", "1A86", "7523", "", "hub3-port1")},
       1},
      {"other models never count",
       withoutSerial,
       {Port("COM8", "0403", "6001", "", "hub1-port3")},
       -1},
      {"nothing remembered", BPortIdentity{}, {Port("COM8", "1A86", "7523", "", "hub1-port3")}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.expected, FindRememberedPort(c.remembered, c.ports));
  }
}

// The port to open for the Port setting: the remembered adapter under its
// new number only when the record is about this port and the adapter is no
// longer behind it.
TEST(PortIdentityTest, TheRememberedAdapterIsOpenedUnderItsNewNumber) {
  const BPortIdentity adapter{"1A86", "7523", "", "hub1-port3"};
  const std::string record = RememberedPortRecord("COM5", adapter);
  const BPresentPort moved = Port("COM8", "1A86", "7523", "", "hub1-port3");
  struct Case {
    const char* what;
    const char* asked;
    std::string record;
    std::vector<BPresentPort> ports;
    const char* opened;
  };
  const Case cases[] = {
      {"gone from COM5, back as COM8",
       "COM5",
       record,
       {Port("COM1", "", "", "", ""), moved},
       "COM8"},
      {"the record is read in any case", "com5", record, {moved}, "COM8"},
      {"still behind COM5",
       "COM5",
       record,
       {Port("COM5", "1A86", "7523", "", "hub1-port3"), moved},
       "COM5"},
      {"another adapter on COM5 now",
       "COM5",
       record,
       {Port("COM5", "0403", "6001", "X1", "hub2-port1"), moved},
       "COM8"},
      {"Windows tells nothing of COM5 (Wine)",
       "COM5",
       record,
       {Port("COM5", "", "", "", ""), moved},
       "COM5"},
      {"another port was chosen", "COM3", record, {moved}, "COM3"},
      {"the adapter is not there", "COM5", record, {Port("COM1", "", "", "", "")}, "COM5"},
      {"no record", "COM5", "", {moved}, "COM5"},
      {"a damaged record", "COM5", "COM5;vid=1A86", {moved}, "COM5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.opened, ChoosePort(c.asked, c.record, c.ports));
  }
}

TEST(PortIdentityTest, TheDialogNamesThePortOnce) {
  BPresentPort port = Port("COM5", "1A86", "7523", "", "");
  EXPECT_EQ("COM5", PortDisplayName(port));
  port.friendlyName = "USB-SERIAL CH340 (COM5)";
  EXPECT_EQ("USB-SERIAL CH340 (COM5)", PortDisplayName(port));
  port.friendlyName = "USB Serial Port";
  EXPECT_EQ("USB Serial Port (COM5)", PortDisplayName(port));
}

}  // namespace
