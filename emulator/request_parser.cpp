#include "emulator/request_parser.h"

#include "emulator/siren_protocol.h"

std::vector<BParserEvent> BSirenRequestParser::Feed(const uint8_t* bytes, std::size_t count)
{
    std::vector<BParserEvent> events;
    // One byte at a time, so that each event knows where in the chunk it ended.
    for (std::size_t i = 0; i < count; ++i) {
        pending_.push_back(bytes[i]);
        ParsePending(i + 1, events);
    }
    FlushNoise(count, events);
    return events;
}

void BSirenRequestParser::Clear()
{
    pending_.clear();
    noise_.clear();
}

void BSirenRequestParser::DropNoise(std::size_t count)
{
    noise_.insert(noise_.end(), pending_.begin(), pending_.begin() + count);
    pending_.erase(pending_.begin(), pending_.begin() + count);
}

void BSirenRequestParser::FlushNoise(std::size_t chunkOffset, std::vector<BParserEvent>& events)
{
    if (noise_.empty())
        return;
    BParserEvent event;
    event.kind = BParserEvent::Kind::Noise;
    event.bytes.swap(noise_);
    event.chunkOffset = chunkOffset;
    events.push_back(std::move(event));
}

void BSirenRequestParser::ParsePending(std::size_t chunkOffset, std::vector<BParserEvent>& events)
{
    for (;;) {
        std::size_t start = 0;
        while (start < pending_.size() && pending_[start] != siren::kRequestStart)
            ++start;
        DropNoise(start);
        if (pending_.size() < 3)
            return;   // wait for the code and the length

        const int expected = siren::RequestPayloadLength(pending_[1]);
        if (expected < 0 || pending_[2] != expected) {
            DropNoise(1);   // not a frame start after all
            continue;
        }
        const std::size_t frameLength = expected + siren::kFrameOverhead;
        if (pending_.size() < frameLength)
            return;   // wait for the rest of the frame

        FlushNoise(chunkOffset, events);
        BParserEvent event;
        const std::vector<uint8_t> frame(pending_.begin(), pending_.begin() + frameLength);
        if (siren::XorChecksum(frame.data(), frameLength - 1) != frame.back()) {
            event.kind = BParserEvent::Kind::BadChecksum;
            event.bytes = frame;
            event.chunkOffset = chunkOffset;
            events.push_back(std::move(event));
            pending_.erase(pending_.begin());   // resynchronise on the next start byte
            continue;
        }
        event.kind = BParserEvent::Kind::Request;
        event.request.code = frame[1];
        event.request.payload.assign(frame.begin() + 3, frame.end() - 1);
        event.request.frame = frame;
        event.chunkOffset = chunkOffset;
        events.push_back(std::move(event));
        pending_.erase(pending_.begin(), pending_.begin() + frameLength);
    }
}
