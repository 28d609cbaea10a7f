#include "link/send_queue.h"

void BSendQueue::Push(const uint8_t* frame, size_t length) {
  std::vector<uint8_t> item(frame, frame + length);
  std::lock_guard<std::mutex> lock(m_mutex);
  m_items.push_back(std::move(item));
}

bool BSendQueue::CopyFront(std::vector<uint8_t>& frame) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_items.empty()) return false;
  frame = m_items.front();
  return true;
}

void BSendQueue::PopFront() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_items.empty()) m_items.pop_front();
}

bool BSendQueue::IsEmpty() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_items.empty();
}

size_t BSendQueue::Size() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_items.size();
}

void BSendQueue::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_items.clear();
}
