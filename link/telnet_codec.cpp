#include "link/telnet_codec.h"

#include <algorithm>

void BTelnetCodec::Reset() {
  std::fill(std::begin(m_local), std::end(m_local), Option::No);
  std::fill(std::begin(m_remote), std::end(m_remote), Option::No);
  m_state = State::Data;
  m_verb = 0;
  m_afterCr = false;
  m_comPortRefused = false;
  m_heardTelnet = false;
  m_sub.clear();
  m_confirmed = 0;
  m_baudRate = 0;
  m_dataBits = m_parity = m_stopBits = 0;
}

bool BTelnetCodec::LocalSupported(uint8_t option) {
  return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

bool BTelnetCodec::RemoteSupported(uint8_t option) {
  return option == kBinary || option == kSuppressGoAhead;
}

void BTelnetCodec::Command(std::vector<uint8_t>& out, uint8_t verb, uint8_t option) {
  const uint8_t command[3] = {kIac, verb, option};
  out.insert(out.end(), command, command + 3);
}

std::vector<uint8_t> BTelnetCodec::Start() {
  std::vector<uint8_t> out;
  out.reserve(15);
  for (uint8_t option : {kComPort, kBinary, kSuppressGoAhead}) {
    m_local[option] = Option::WantYes;
    Command(out, kWill, option);
  }
  for (uint8_t option : {kBinary, kSuppressGoAhead}) {
    m_remote[option] = Option::WantYes;
    Command(out, kDo, option);
  }
  return out;
}

void BTelnetCodec::Encode(const uint8_t* data, size_t count, std::vector<uint8_t>& wire) const {
  const bool binary = IsClientBinary();
  for (size_t i = 0; i < count; ++i) {
    wire.push_back(data[i]);
    if (data[i] == kIac) wire.push_back(kIac);
    // A network virtual terminal takes CR only as CR NUL or CR LF.
    if (data[i] == '\r' && !binary) wire.push_back(0);
  }
}

void BTelnetCodec::Decode(const uint8_t* wire, size_t count, std::vector<uint8_t>& data,
                          std::vector<uint8_t>& reply) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t byte = wire[i];
    switch (m_state) {
      case State::Data:
        if (byte == kIac) {
          m_state = State::Iac;
          break;
        }
        // Outside binary mode the server sends a lone CR as CR NUL.
        if (m_afterCr && byte == 0 && !IsServerBinary()) {
          m_afterCr = false;
          break;
        }
        m_afterCr = byte == '\r';
        data.push_back(byte);
        break;
      case State::Iac:
        m_state = State::Data;
        if (byte == kIac) {
          m_afterCr = false;
          data.push_back(kIac);
          break;
        }
        m_heardTelnet = true;
        if (byte >= kWill) {
          m_verb = byte;
          m_state = State::Negotiation;
        } else if (byte == kSb) {
          m_sub.clear();
          m_state = State::Sub;
        }
        // Any other command (NOP, data mark, go-ahead, ...) carries nothing
        // for the siren and is dropped.
        break;
      case State::Negotiation:
        m_state = State::Data;
        Negotiate(m_verb, byte, reply);
        break;
      case State::Sub:
        if (byte == kIac)
          m_state = State::SubIac;
        else if (m_sub.size() < kMaxSubLength)
          m_sub.push_back(byte);
        break;
      case State::SubIac:
        if (byte == kIac) {
          if (m_sub.size() < kMaxSubLength) m_sub.push_back(kIac);
          m_state = State::Sub;
        } else {
          // IAC SE ends it; any other command after IAC ends it as well.
          EndSubnegotiation();
          m_state = State::Data;
        }
        break;
    }
  }
}

void BTelnetCodec::Negotiate(uint8_t verb, uint8_t option, std::vector<uint8_t>& reply) {
  const bool local = verb == kDo || verb == kDont;
  Option& state = local ? m_local[option] : m_remote[option];
  const bool enable = verb == kDo || verb == kWill;
  const bool supported = local ? LocalSupported(option) : RemoteSupported(option);
  const uint8_t yes = local ? kWill : kDo;
  const uint8_t no = local ? kWont : kDont;
  if (enable) {
    if (state == Option::Yes) return;  // agreed already: no answer, no loop
    if (!supported) {
      Command(reply, no, option);
      return;
    }
    if (state == Option::No) Command(reply, yes, option);
    state = Option::Yes;
    if (local && option == kComPort) {
      m_comPortRefused = false;
      SendSettings(reply);
    }
    return;
  }
  if (state == Option::Yes) Command(reply, no, option);
  if (local && option == kComPort && state != Option::No) m_comPortRefused = true;
  state = Option::No;
}

void BTelnetCodec::SendSettings(std::vector<uint8_t>& reply) const {
  const uint8_t baud[4] = {uint8_t(kBaudRate >> 24), uint8_t(kBaudRate >> 16),
                           uint8_t(kBaudRate >> 8), uint8_t(kBaudRate)};
  struct Setting {
    uint8_t command;
    std::vector<uint8_t> value;
  };
  const Setting settings[] = {{kSetBaudRate, {baud, baud + 4}},
                              {kSetDataSize, {kDataBits}},
                              {kSetParity, {kParityNone}},
                              {kSetStopSize, {kOneStopBit}},
                              {kSetControl, {kNoFlowControl}}};
  for (const Setting& setting : settings) {
    const uint8_t start[4] = {kIac, kSb, kComPort, setting.command};
    const uint8_t end[2] = {kIac, kSe};
    reply.insert(reply.end(), start, start + 4);
    for (uint8_t byte : setting.value) {
      reply.push_back(byte);
      if (byte == kIac) reply.push_back(kIac);
    }
    reply.insert(reply.end(), end, end + 2);
  }
}

void BTelnetCodec::EndSubnegotiation() {
  if (m_sub.size() < 2 || m_sub[0] != kComPort) return;
  const uint8_t command = m_sub[1];
  const size_t length = m_sub.size() - 2;
  const uint8_t* value = m_sub.data() + 2;
  switch (command) {
    case kSetBaudRate + kServerOffset:
      if (length < 4) return;
      m_baudRate = uint32_t(value[0]) << 24 | uint32_t(value[1]) << 16 | uint32_t(value[2]) << 8 |
                   uint32_t(value[3]);
      m_confirmed |= 1;
      return;
    case kSetDataSize + kServerOffset:
      if (length < 1) return;
      m_dataBits = value[0];
      m_confirmed |= 2;
      return;
    case kSetParity + kServerOffset:
      if (length < 1) return;
      m_parity = value[0];
      m_confirmed |= 4;
      return;
    case kSetStopSize + kServerOffset:
      if (length < 1) return;
      m_stopBits = value[0];
      m_confirmed |= 8;
      return;
    default:
      // Line and modem state notices, flow control: nothing the link uses.
      return;
  }
}
