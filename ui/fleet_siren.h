// BFleetSiren: one siren of a write to several, as the fleet dialog holds it:
// its own transports (the COM port and the network one, chosen by the port's
// name) and its fleet job, to which the transport's callbacks go.
#pragma once

#include "connection_port.h"
#include "link/com_handler.h"
#include "link/connection.h"
#include "link/net_connection.h"
#include "link/fleet_job.h"

class BFleetSiren : public BCOMHandler {
 public:
  BFleetSiren(int index, BFleetJobHost& host) : m_job(index, m_port, host) {}
  // The worker thread must be gone before the job it calls.
  ~BFleetSiren() override {
    m_connection.Close(kLinkCloseTimeoutMs);
    m_net.Close(kLinkCloseTimeoutMs);
  }
  BFleetSiren(const BFleetSiren&) = delete;
  BFleetSiren& operator=(const BFleetSiren&) = delete;

  BFleetJob& Job() { return m_job; }

  // The transport's callbacks (worker thread).
  void OnError(const std::string& text) override { m_job.OnError(text); }
  void OnReceive(uint8_t code, uint8_t length, const uint8_t* data) override {
    m_job.OnReceive(code, length, data);
  }
  void OnTimeout() override { m_job.OnTimeout(); }
  void OnGarbledReply() override { m_job.OnGarbledReply(); }
  void OnStrayReply(uint8_t code) override { m_job.OnStrayReply(code); }

 private:
  BCOMConnection m_connection{*this, kLinkReadTimeoutMs, kLinkWriteTimeoutMs};
  BNetConnection m_net{*this, kLinkReadTimeoutMs, kLinkWriteTimeoutMs};
  BConnectionPort m_port{m_connection, m_net};
  BFleetJob m_job;
};
