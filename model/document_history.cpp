#include "model/document_history.h"

#include <utility>

void BDocumentHistory::Record(BDocumentStep step) {
  while (!m_redo.empty()) DropFront(m_redo);
  m_byteCount += BytesOf(step);
  m_undo.push_back(std::move(step));
  KeepWithinLimits();
}

const BDocumentStep* BDocumentHistory::Back() {
  if (m_undo.empty()) return nullptr;
  m_redo.push_back(std::move(m_undo.back()));
  m_undo.pop_back();
  return &m_redo.back();
}

const BDocumentStep* BDocumentHistory::Forward() {
  if (m_redo.empty()) return nullptr;
  m_undo.push_back(std::move(m_redo.back()));
  m_redo.pop_back();
  return &m_undo.back();
}

void BDocumentHistory::Clear() {
  m_undo.clear();
  m_redo.clear();
  m_byteCount = 0;
}

void BDocumentHistory::SetStepLimit(std::size_t limit) {
  m_stepLimit = limit;
  KeepWithinLimits();
}

void BDocumentHistory::SetByteLimit(std::size_t limit) {
  m_byteLimit = limit;
  KeepWithinLimits();
}

std::size_t BDocumentHistory::BytesOf(const BDocumentStep& step) {
  return step.delta.ByteCount() + step.name.fragmentName.size();
}

void BDocumentHistory::DropFront(BStepList& list) {
  m_byteCount -= BytesOf(list.front());
  list.pop_front();
}

void BDocumentHistory::KeepWithinLimits() {
  while (m_undo.size() + m_redo.size() > m_stepLimit || m_byteCount > m_byteLimit) {
    if (m_undo.size() > 1)
      DropFront(m_undo);
    else if (!m_redo.empty())
      DropFront(m_redo);
    else
      break;  // only the newest undo step is left
  }
}
