// The run's input file: readInput and scanInput through its one open handle, as it was when it was opened,
// and FileBytes, which hands its bytes to the line cutter.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/platform/platform.h"
#include "app/read/charset_detection.h"
#include "app/read/line_cutter.h"

// The largest input taken: in a larger file the line numbers, up to the one after its last line, might not
// fit their signed 32-bit counter.
inline constexpr std::uintmax_t kMaxInputBytes = 0x7FFFFFFE;

// The bytes of an open file for the line cutter, from the file's current position.
class FileBytes final : public ByteSource {
 public:
  explicit FileBytes(std::FILE* file) : file_(file) {}
  std::size_t read(char* into, std::size_t size) override { return std::fread(into, 1, size, file_); }

 private:
  std::FILE* file_;
};

enum class ReadResult { Ok, ReadError, Changed, TooLarge, OutOfMemory };

// Reads `file` to its end into `image`. `opened` is its state taken when it was opened: for a file with
// a size, fewer or more bytes than that size, or a size or modification time that differs by the end of
// the read, give Changed (another program truncated, appended to or rewrote it). A pipe or FIFO is read
// to its end. The image is left unspecified unless the answer is Ok.
ReadResult readInput(std::FILE* file, const InputState& opened, std::string& image);

// The first of two reads of a file with a size, in blocks read into `block`: its size, charset, last
// quote and checksum, so that its lines can be read in a second pass without holding it whole; the second
// pass may read into the same block. A byte count other than the size it had when opened gives Changed.
ReadResult scanInput(std::FILE* file, const InputState& opened, InputSummary& summary,
                     std::vector<char>& block);
// The same summary for an input read whole.
InputSummary summariseInput(const std::string& image);
