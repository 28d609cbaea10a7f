// BFleetSiren: one siren of a write to several, as the fleet dialog holds it:
// its own transports (the COM port and the network one, chosen by the port's
// name) and its fleet job, whose link takes the transports' callbacks.
#pragma once

#include "connection_port.h"
#include "link/connection.h"
#include "link/fleet_job.h"
#include "link/handler_relay.h"
#include "link/net_connection.h"

class BFleetSiren {
 public:
  BFleetSiren(int index, BFleetJobHost& host) : m_job(index, m_port, host) {
    m_relay.SetTarget(m_job.TransportHandler());
  }
  // The worker threads must be gone before the job they call.
  ~BFleetSiren() {
    m_connection.Close(kLinkCloseTimeoutMs);
    m_net.Close(kLinkCloseTimeoutMs);
  }
  BFleetSiren(const BFleetSiren&) = delete;
  BFleetSiren& operator=(const BFleetSiren&) = delete;

  BFleetJob& Job() { return m_job; }

 private:
  BHandlerRelay m_relay;
  BCOMConnection m_connection{m_relay, kLinkReadTimeoutMs, kLinkWriteTimeoutMs};
  BNetConnection m_net{m_relay, kLinkReadTimeoutMs, kLinkWriteTimeoutMs};
  BConnectionPort m_port{m_connection, m_net};
  BFleetJob m_job;
};
