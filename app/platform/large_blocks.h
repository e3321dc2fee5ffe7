// Platform memory calls: large zero-filled blocks (huge pages where the system has them) and the backing
// of pages about to be written. Memory only, no file: the one platform header the table of keys may use.
#pragma once

#include <cstddef>

// Memory for a table that may grow large, zero-filled, taken in whole multiples of kLargeBlock and given
// back whole, with the size it was asked with. On Linux the system is asked to back them with huge pages:
// where a page fault is dear, a block then costs one fault instead of hundreds. Null when there is no
// memory.
inline constexpr std::size_t kLargeBlock = std::size_t{1} << 21;
// The bytes a large block asked for with `size` takes: a whole number of kLargeBlock.
inline constexpr std::size_t wholeLargeBlocks(std::size_t size) {
  return (size + kLargeBlock - 1) / kLargeBlock * kLargeBlock;
}
void* allocateLargeBlock(std::size_t size);
void freeLargeBlock(void* block, std::size_t size);
// Asks the system to back the whole pages within `size` bytes at `bytes`, memory about to be written in
// full, in one call instead of one fault per page (dear where faults are). Only advice: nothing happens
// where the system cannot.
void backPages(void* bytes, std::size_t size);
