// The line cutter: the input's bytes, in memory or read in blocks from a source, cut into lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/read/input_checksum.h"

// Where the cutter's bytes come from when the input is not in memory: the run reads them from its file.
// Asked once per block, so the call costs nothing beside the read.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes into `into`; fewer only where the input ended or could not be read.
  virtual std::size_t read(char* into, std::size_t size) = 0;
};

// The bytes read from a stream at a time, and so about all the memory a run needs for its input.
inline constexpr std::size_t kReadBlock = 1 << 18;

// One line of the image, without its end.
struct RawLine {
  const char* bytes;
  std::size_t size;
  // A NUL byte stands in the line and is not the last byte of the image.
  bool holdsNul;
};

// Cuts the image into lines: CR LF, a lone LF and a lone CR each end one line; an end at the very end
// of the image starts no further line; a NUL as the last byte of the image just ends it. The image is
// either in memory or the first `size` bytes of a stream, read in blocks; a line's bytes stay valid until
// the next call.
class LineCutter {
 public:
  LineCutter(const char* bytes, std::size_t size) : window_(bytes), filled_(size), size_(size) {}
  // Reads from `source` into `buffer` (grown where it is too small); stops after `size` bytes.
  LineCutter(ByteSource& source, std::size_t size, std::vector<char> buffer = {});
  // False when the image has ended. A line holding a NUL is the last one given.
  bool next(RawLine& line);
  // Where the next line starts, counted from the start of the image.
  std::size_t position() const { return start_; }
  // The stream failed or ended before `size` bytes: the image ended early.
  bool readFailed() const { return readFailed_; }
  // Reads the rest of the image without cutting it into lines; the InputChecksum of every byte read from
  // the stream.
  std::uint64_t checksumToEnd();

 private:
  // Keeps the bytes from the current line's start and reads more behind them; false when none came.
  bool refill();

  // The image's bytes from `base_` up to `base_ + filled_`.
  const char* window_;
  std::size_t base_ = 0;
  std::size_t filled_;
  std::size_t size_;
  std::size_t start_ = 0;
  ByteSource* source_ = nullptr;
  std::vector<char> buffer_;
  bool readFailed_ = false;
  InputChecksum checksum_;
};
