#include "emulator/line_pacer.h"

#include <algorithm>

int64_t BLinePacer::WireTime(std::size_t bytes)
{
    const int64_t bits = static_cast<int64_t>(bytes) * kBitsPerByte;
    return (bits * 1000000000 + kBaudRate / 2) / kBaudRate;
}

void BLinePacer::OnChunkRead(int64_t now, std::size_t count)
{
    if (!pace_) {
        chunkStart_ = now;
        return;
    }
    // Bytes read together were sent together: they start on the line when it
    // is free and follow one another.
    chunkStart_ = std::max(now, receiveFree_);
    receiveFree_ = chunkStart_ + WireTime(count);
}

int64_t BLinePacer::RequestEnd(std::size_t chunkOffset) const
{
    return pace_ ? chunkStart_ + WireTime(chunkOffset) : chunkStart_;
}

int64_t BLinePacer::ReplyDeadline(int64_t requestEnd, std::size_t replyBytes)
{
    const int64_t ready = requestEnd + delayNs_;
    if (!pace_)
        return ready;
    const int64_t deadline = std::max(ready, transmitFree_) + WireTime(replyBytes);
    transmitFree_ = deadline;
    return deadline;
}

void BLinePacer::Reset()
{
    receiveFree_ = 0;
    transmitFree_ = 0;
}
