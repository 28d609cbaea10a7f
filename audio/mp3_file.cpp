#include "audio/mp3_file.h"

#include "platform/error_text.h"

namespace {

// The system's text for a code (the member GetErrorText hides the free one).
std::string SystemText(unsigned long code)
{
    return ::GetErrorText(code);
}

// The file read through a buffer: the scan takes one byte at a time, and
// asking the system for each would make garbage before the first frame slow.
class BMp3FileSource : public BMp3ByteSource {
public:
    explicit BMp3FileSource(BFile& file) : file_(file), buffer_(64 * 1024) {}

    ReadResult ReadByte(uint8_t& byte) override
    {
        if (next_ == filled_ && !Refill())
            return failed_ ? ReadResult::Failure : ReadResult::End;
        byte = buffer_[next_++];
        ++position_;
        return ReadResult::Byte;
    }

    bool Skip(uint32_t count) override
    {
        position_ += count;
        if (count <= filled_ - next_) {
            next_ += count;
            return true;
        }
        next_ = filled_ = 0;
        if (file_.Seek(position_))
            return true;
        error_ = GetLastSystemError();
        return false;
    }

    uint64_t Position() const override { return position_; }
    unsigned long Error() const { return error_; }

private:
    bool Refill()
    {
        long got = file_.Read(buffer_.data(), buffer_.size());
        if (got < 0) {
            error_ = GetLastSystemError();
            failed_ = true;
            return false;
        }
        next_ = 0;
        filled_ = static_cast<std::size_t>(got);
        return got > 0;
    }

    BFile& file_;
    std::vector<uint8_t> buffer_;
    std::size_t next_ = 0;
    std::size_t filled_ = 0;
    uint64_t position_ = 0;
    bool failed_ = false;
    unsigned long error_ = 0;
};

} // namespace

BMP3File::~BMP3File()
{
    Close();
}

bool BMP3File::Open(const std::string& path)
{
    Close();
    m_format = BPcmFormat();
    if (!decoder_.Init())
        return FailOpen(OutOfMemorySystemError());
    if (!file_.OpenRead(path))
        return FailOpen(GetLastSystemError());

    BMp3FileSource source(file_);
    switch (ScanMp3Frames(source, frames_)) {
    case BMp3ScanOutcome::ReadFailure:
        return FailOpen(source.Error());
    case BMp3ScanOutcome::EndOfFile:
        return FailOpen(EndOfFileSystemError());
    case BMp3ScanOutcome::Complete:
        break;
    }
    if (!frames_.empty())
        SetFormatFrom(frames_.front());
    nextFrame_ = 0;
    return true;
}

bool BMP3File::FailOpen(unsigned long systemError)
{
    m_errorText = SystemText(systemError);
    Close();
    return false;
}

void BMP3File::SetFormatFrom(const BMp3FrameRecord& first)
{
    m_format.channels = first.channelMode == kMp3SingleChannel ? 1 : 2;
    m_format.bitsPerSample = 16;
    m_format.samplesPerSec = first.sampleRate;
    m_format.blockAlign = static_cast<uint16_t>(m_format.channels * 2);
    m_format.avgBytesPerSec = m_format.blockAlign * first.sampleRate;
}

void BMP3File::Close()
{
    file_.Close();
    frames_.clear();
    nextFrame_ = 0;
    decoder_.Release();
}

int32_t BMP3File::GetLength()
{
    if (!file_.IsOpen()) {
        m_errorText = SystemText(InvalidHandleSystemError());
        return -1;
    }
    return Mp3SoundLength(frames_);
}

bool BMP3File::ReadFrame(const BMp3FrameRecord& frame, std::vector<uint8_t>& work)
{
    if (work.size() < frame.size)
        work.resize(frame.size);
    if (!file_.Seek(frame.offset)) {
        m_errorText = SystemText(GetLastSystemError());
        return false;
    }
    uint32_t done = 0;
    while (done < frame.size) {
        long got = file_.Read(work.data() + done, frame.size - done);
        if (got < 0) {
            m_errorText = SystemText(GetLastSystemError());
            return false;
        }
        if (got == 0) {
            // The file is shorter than its last frame, or it shrank.
            m_errorText = SystemText(EndOfFileSystemError());
            return false;
        }
        done += static_cast<uint32_t>(got);
    }
    return true;
}

bool BMP3File::Read(uint8_t* buffer, uint32_t size, int32_t& count)
{
    count = -1;
    if (!file_.IsOpen()) {
        m_errorText = SystemText(InvalidHandleSystemError());
        return false;
    }
    count = 0;
    uint32_t produced = 0;
    if (static_cast<std::size_t>(nextFrame_) >= frames_.size()) {
        if (decoder_.TakeHeldFrame(m_format.channels, buffer, size, produced)) {
            count = static_cast<int32_t>(produced);
            return true;
        }
        m_errorText = SystemText(EndOfFileSystemError());
        return false;
    }

    // Grows to the largest frame of this call and goes with it.
    std::vector<uint8_t> work;
    while (static_cast<std::size_t>(nextFrame_) < frames_.size()) {
        // A frame the decoder kept back comes out before the next one goes in.
        if (decoder_.TakeHeldFrame(m_format.channels, buffer, size, produced)) {
            count = static_cast<int32_t>(produced);
            return true;
        }
        const BMp3FrameRecord& frame = frames_[nextFrame_];
        if (!ReadFrame(frame, work)) {
            count = -1;
            return false;
        }
        ++nextFrame_;
        BMp3Decoder::Result result =
            decoder_.DecodeFrame(work.data(), frame.size, m_format.channels, buffer, size, produced);
        if (result == BMp3Decoder::Result::Ok) {
            count = static_cast<int32_t>(produced);
            break;
        }
        if (result == BMp3Decoder::Result::Error)
            break;
        // NeedMore: feed the next frame.
    }
    return true;
}
