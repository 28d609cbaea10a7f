// BHandlerRelay: hands the transport's callbacks to a handler made after the
// transport (a link needs its port, the port its handler). The target is set
// before the transport opens and stays while it runs.
#pragma once

#include "link/com_handler.h"

class BHandlerRelay : public BCOMHandler {
 public:
  void SetTarget(BCOMHandler& target) { m_target = &target; }

  void OnError(const std::string& text) override { m_target->OnError(text); }
  void OnReceive(uint8_t code, uint8_t length, const uint8_t* data) override {
    m_target->OnReceive(code, length, data);
  }
  void OnTimeout() override { m_target->OnTimeout(); }
  void OnGarbledReply() override { m_target->OnGarbledReply(); }
  void OnStrayReply(uint8_t code) override { m_target->OnStrayReply(code); }

 private:
  BCOMHandler* m_target = nullptr;
};
