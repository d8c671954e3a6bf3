#pragma once
// libtiff reading a file held in memory: the client procedures that serve it,
// the handle closed on every path, the message handlers of one read, and the
// check that a page's data is present before any picture memory is taken.
// The TIFF decoder and the command-line tool's ink reader share them, so both
// refuse the same files.
#if defined(KYT_HAVE_TIFF)

#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kyt {

// The data libtiff reads through the client procedures.
struct TiffMemoryFile {
  const uint8_t* Data;
  uint64_t Size;
  uint64_t Position;
};

// Opens `file` for reading, never mapped; null when libtiff refuses it.
TIFF* OpenTiffInMemory(TiffMemoryFile& file);

// Closes a libtiff handle on every path.
class TiffHandle {
 public:
  explicit TiffHandle(TIFF* tiff) : tiff_(tiff) {}
  ~TiffHandle() {
    if (tiff_) TIFFClose(tiff_);
  }
  TiffHandle(const TiffHandle&) = delete;
  TiffHandle& operator=(const TiffHandle&) = delete;
  TIFF* get() const { return tiff_; }

 private:
  TIFF* tiff_;
};

// libtiff's messages go through process-wide handlers: while one of these
// lives, warnings are dropped and the first error is kept in `firstError`;
// the previous handlers come back when it goes.
class TiffMessages {
 public:
  explicit TiffMessages(std::string& firstError);
  ~TiffMessages();
  TiffMessages(const TiffMessages&) = delete;
  TiffMessages& operator=(const TiffMessages&) = delete;

 private:
  std::string* previousTarget_;
  TIFFErrorHandler previousError_;
  TIFFErrorHandler previousWarning_;
};

// Refuses with kyt::Error, before the picture's memory is taken, a page whose
// strips or tiles reach past the end of the file (libtiff would fail on them
// only after the whole raster was allocated) or whose stored data is too
// short for its rows, at the largest expansion of its codec (DecodeBudget.h).
// Codecs without a bound of their own (CCITT fax codes, JPEG, ...) are held
// to the pixel budget.
void CheckTiffDataPresent(TIFF* tiff, uint64_t fileSize, uint64_t width, uint64_t height);

}  // namespace kyt

#endif
