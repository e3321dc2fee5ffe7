// readInput: the whole input through its one open handle, as it was when it was opened.
#pragma once

#include <cstdio>
#include <string>

#include "app/platform.h"

enum class ReadResult { Ok, ReadError, Changed, TooLarge, OutOfMemory };

// Reads `file` to its end into `image`. `opened` is its state taken when it was opened: for a file with
// a size, fewer or more bytes than that size, or a size or modification time that differs by the end of
// the read, give Changed (another program truncated, appended to or rewrote it). A pipe or FIFO is read
// to its end. The image is left unspecified unless the answer is Ok.
ReadResult readInput(std::FILE* file, const InputState& opened, std::string& image);
