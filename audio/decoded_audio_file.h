// BDecodedAudioFile: the common part of the readers whose decoding library
// hands out sound in blocks of its own size (FLAC, Ogg Vorbis, Opus, the
// system's media framework). The reader decodes blocks into a queue; Read
// gives them to the caller in whole frames of the output format, as many as
// the caller's buffer holds, so a block never has to fit one Read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_file.h"
#include "audio/sound_file_kind.h"

class BDecodedAudioFile : public BAudioFile {
 public:
  // Fills the buffer with whole frames of decoded sound; true with 0 bytes
  // when the decoder gave nothing this time (a hole in the stream).
  bool Read(uint8_t* buffer, uint32_t size, int32_t& count) final;

 protected:
  enum class BDecodeStep { Data, End, Failure };

  // Appends the next decoded sound to `pcm`, in the output format; on
  // Failure the error text says why.
  virtual BDecodeStep DecodeMore(std::vector<uint8_t>& pcm) = 0;
  virtual bool IsOpen() const = 0;
  // The start of Open: true when the file is of `kind` (the reader then
  // claims it); otherwise the reader leaves it to the others.
  bool Claim(const std::string& path, BSoundKind kind);
  // Ends a failed Open: the error text, and the reader closed.
  bool Refuse(const std::string& text);
  // The length of `samples` per channel at the output rate, in milliseconds;
  // -1 with the system's text when no file is open.
  int32_t LengthOf(uint64_t samples);
  // Forgets the queue: for Open and Close.
  void ResetDecoded();
  // Decodes the sound into the queue, for a file that does not tell its
  // length, until it ends or `most` bytes are queued: the bytes queued;
  // false on a failure.
  bool DecodeAhead(uint64_t most, uint64_t& bytes);

 private:
  std::vector<uint8_t> m_queue;  // decoded, not yet read, from m_queueStart on
  std::size_t m_queueStart = 0;
  bool m_ended = false;
};
