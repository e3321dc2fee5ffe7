// readInput: one read of the size known beforehand, growing only for a pipe, and the state checked after;
// scanInput: the first of two reads in blocks.
#include "app/input_file.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <vector>

#include "app/platform/platform.h"

ReadResult readInput(std::FILE* file, const InputState& opened, std::string& image) {
  const std::uintmax_t sizeHint = opened.sized ? opened.size : 0;
  if (sizeHint > kMaxInputBytes) return ReadResult::TooLarge;
  try {
    image.resize(static_cast<std::size_t>(sizeHint) + 1);
    std::size_t used = 0;
    // A file of size 0 may still have bytes to read (those under /proc do): only its state is compared.
    const bool countKnown = opened.sized && opened.size > 0;
    for (;;) {
      // A byte past the size it had: appended to, and perhaps without end.
      if (countKnown && used > opened.size) return ReadResult::Changed;
      if (used == image.size()) {
        if (used > kMaxInputBytes) return ReadResult::TooLarge;
        image.resize(std::min<std::size_t>(image.size() * 2 + 4096, kMaxInputBytes + 1));
      }
      const std::size_t wanted = image.size() - used;
      const std::size_t got = std::fread(image.data() + used, 1, wanted, file);
      used += got;
      if (got < wanted) {
        if (std::ferror(file)) return ReadResult::ReadError;
        break;
      }
    }
    if (opened.sized) {
      InputState after;
      if ((countKnown && used != opened.size) || !inputState(file, after) || !(after == opened))
        return ReadResult::Changed;
    }
    if (used > kMaxInputBytes) return ReadResult::TooLarge;
    image.resize(used);
  } catch (const std::bad_alloc&) {
    return ReadResult::OutOfMemory;
  } catch (const std::length_error&) {
    return ReadResult::OutOfMemory;
  }
  return ReadResult::Ok;
}

// The first pass over a file with a size: the whole input in blocks, for its size, charset and quotes; its
// lines are read in a second pass, so the input is never held in memory whole. Any other byte count than
// the size it had when opened means that another program changed it.
ReadResult scanInput(std::FILE* file, const InputState& opened, InputSummary& summary,
                     std::vector<char>& block) {
  if (opened.size > kMaxInputBytes) return ReadResult::TooLarge;
  // A small file is read by one call that comes back short: the block need not be larger. A block that
  // fills is backed whole before it is first written.
  const auto blockSize = static_cast<std::size_t>(std::min<std::uintmax_t>(opened.size + 1, kReadBlock));
  block.reserve(blockSize);
  backPages(block.data(), blockSize);
  block.resize(blockSize);
  InputScan scan;
  InputChecksum checksum;
  for (;;) {
    const std::size_t got = std::fread(block.data(), 1, block.size(), file);
    scan.add(block.data(), got);
    checksum.add(block.data(), got);
    if (scan.size() > kMaxInputBytes) return ReadResult::TooLarge;
    if (got < block.size()) {
      if (std::ferror(file)) return ReadResult::ReadError;
      break;
    }
  }
  summary = scan.summary();
  summary.checksum = checksum.value();
  return summary.size == opened.size ? ReadResult::Ok : ReadResult::Changed;
}

InputSummary summariseInput(const std::string& image) {
  InputScan scan;
  scan.add(image.data(), image.size());
  return scan.summary();
}
