// The readers a source tries on a sound file in the portable build, which has
// no WAVE reader (that one needs the system's multimedia file I/O) and no
// system decoder. The Windows build takes audio_source_readers_win32.cpp
// instead.
#include <memory>

#include "audio/audio_source.h"
#include "audio/flac_file.h"
#include "audio/mp3_file.h"
#include "audio/ogg_vorbis_file.h"
#include "audio/opus_file.h"

std::vector<BAudioReaderMaker> ProgramAudioReaders() {
  return {
      [] { return std::unique_ptr<BAudioFile>(new BFlacFile()); },
      [] { return std::unique_ptr<BAudioFile>(new BOggVorbisFile()); },
      [] { return std::unique_ptr<BAudioFile>(new BOpusFile()); },
      [] { return std::unique_ptr<BAudioFile>(new BMP3File()); },
  };
}

BAudioSource::BAudioSource() : BAudioSource(ProgramAudioReaders()) {}
