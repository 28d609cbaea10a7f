// The request frames waiting to be written to the port, oldest first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

class BSendQueue {
 public:
  // Appends a copy of a whole frame.
  void Push(const uint8_t* frame, size_t length);
  void Push(const std::vector<uint8_t>& frame) { Push(frame.data(), frame.size()); }
  // Copies the oldest frame into `frame`, leaving it queued; false when empty.
  bool CopyFront(std::vector<uint8_t>& frame) const;
  // Removes the oldest frame, if any.
  void PopFront();
  bool IsEmpty() const;
  size_t Size() const;
  void Clear();

 private:
  // Pushed by the user-interface thread and by the serial worker (a reply
  // handler queues the next request), read and popped by the worker, cleared
  // by the user-interface thread while no worker runs. Every access holds
  // m_mutex; no other lock is ever taken while it is held.
  mutable std::mutex m_mutex;
  std::deque<std::vector<uint8_t>> m_items;
};
