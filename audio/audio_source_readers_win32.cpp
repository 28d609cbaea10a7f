// The readers the program tries on a sound file, whatever its name: each
// claims only files of its own kind, told by their first bytes, and MPEG
// audio comes last, since the MP3 reader searches files without a known
// signature for frames.
#include <memory>

#include "audio/audio_source.h"
#include "audio/flac_file.h"
#include "audio/media_foundation_decoder.h"
#include "audio/mp3_file.h"
#include "audio/ogg_vorbis_file.h"
#include "audio/opus_file.h"
#include "audio/system_audio_file.h"
#include "audio/wave_file.h"

std::vector<BAudioReaderMaker> ProgramAudioReaders() {
  return {
      [] { return std::unique_ptr<BAudioFile>(new BWaveFile()); },
      [] { return std::unique_ptr<BAudioFile>(new BFlacFile()); },
      [] { return std::unique_ptr<BAudioFile>(new BOggVorbisFile()); },
      [] { return std::unique_ptr<BAudioFile>(new BOpusFile()); },
      [] {
        return std::unique_ptr<BAudioFile>(
            new BSystemAudioFile(std::unique_ptr<BSystemDecoder>(new BMediaFoundationDecoder())));
      },
      [] { return std::unique_ptr<BAudioFile>(new BMP3File()); },
  };
}

BAudioSource::BAudioSource() : BAudioSource(ProgramAudioReaders()) {}
