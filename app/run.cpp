// runConversion: read the input once, detect its charset, hand every content line to its handler, put
// the one kept result in place.
#include "app/run.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "app/declaration/items.h"
#include "app/declaration/messages.h"
#include "app/declaration/sections.h"
#include "app/input_file.h"
#include "app/platform/platform.h"
#include "app/read/line_reader.h"
#include "app/run_context.h"
#include "app/write/item_section.h"
#include "app/write/output_names.h"
#include "app/write/result_file.h"
#include "charset/charset.h"

namespace {

std::function<void()>& betweenInputReads() {
  static std::function<void()> hook;
  return hook;
}

// Closes the input when the run is done with it, however it ends.
struct InputFile {
  explicit InputFile(std::FILE* file) : file(file) {}
  ~InputFile() { std::fclose(file); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  std::FILE* file;
};

std::string pathBytes(const std::filesystem::path& path) {
  return encodedString(pathText(path), "ISO-8859-2");
}

RunOutcome closing(const char* pattern, const std::filesystem::path& path, RunIcon icon, int exitStatus) {
  RunOutcome outcome{fillPath(pattern, pathBytes(path)), icon, exitStatus};
  outcome.pattern = pattern;
  outcome.named = path;
  return outcome;
}

RunOutcome failure(const char* pattern, const std::filesystem::path& path) {
  return closing(pattern, path, RunIcon::Error, 1);
}

LineOutcome handleLine(RunContext& run, const LineFields& fields) {
  switch (run.lineState) {
    case 0:
    case 2:
      return handleChapterLine(run, fields);
    case 1:
      return handleIdentificationLine(run, fields);
    default:
      return handleItemLine(run, fields);
  }
}

// The entry for an input that ended in a state before the item section, or null.
const char* missingAtEnd(int32_t lineState) {
  switch (lineState) {
    case 0:
      return message::kMissingFirstChapter;
    case 1:
      return message::kMissingIdentification;
    case 2:
      return message::kMissingSecondChapter;
    default:
      return nullptr;
  }
}

// The lines of the input through `reader`; false when it could not be read to the end that the first pass
// found.
bool processLines(RunContext& run, LineReader& reader) {
  ReadLine line;
  // Item lines are read from their bytes where they are plain, with no units made for them.
  while (reader.next(line, run.lineState != 3)) {
    if (line.damage != ReadLine::Damage::None) {
      // Entries keep the order of their lines: item lines still waiting go first.
      settleItems(run);
      run.lineNumber = line.number;
      run.report(line.damage == ReadLine::Damage::NulByte ? message::kNulByte
                                                          : message::kInvalidByteSequence);
      return !reader.readFailed();
    }
    // Entries name the line's first physical line; counting goes on from its last.
    run.lineNumber = line.number;
    if (line.content && handleLine(run, line.fields) == LineOutcome::Stop) return !reader.readFailed();
    run.lineNumber = line.lastNumber;
  }
  if (reader.readFailed()) return false;
  // A declaration without its opening sections is never a success; one whose item section has begun may
  // hold no items (a month without trade).
  if (const char* missing = missingAtEnd(run.lineState)) {
    run.lineNumber = reader.linesRead() + 1;
    run.report(missing);
  }
  return true;
}

}  // namespace

void setBetweenInputReadsHook(std::function<void()> hook) {
  betweenInputReads() = std::move(hook);
}

RunOutcome runConversion(const std::filesystem::path& input) {
  PlacedResults placed;
  return runConversion(input, placed);
}

RunOutcome runConversion(const std::filesystem::path& input, PlacedResults& placed) {
  const std::filesystem::path outputPath = derivedPath(input, kOutputSuffix);
  const std::filesystem::path errorPath = derivedPath(input, kErrorSuffix);

  errno = 0;
  std::FILE* in = openFile(input, FileMode::ReadBytes);
  if (in == nullptr) {
    // A file that is there but may not be read (no permission, another program's lock) is not missing.
    const bool missing = errno == ENOENT || errno == ENOTDIR;
    if (!missing) return failure(message::kCannotRead, input);
    return RunOutcome{message::kFileNotFound, RunIcon::Error, 1, {}, message::kFileNotFound};
  }
  InputFile file(in);
  // A file with a size is read twice through its one handle, in blocks; anything else (a pipe, a FIFO, a
  // file under /proc) has no size to hold it to and is read whole into memory once.
  InputState opened;
  const bool stated = inputState(in, opened);
  const bool twoPasses = stated && opened.sized && opened.size > 0;
  InputSummary summary;
  std::string image;
  // The blocks of both passes over a file with a size.
  std::vector<char> block;
  ReadResult read = ReadResult::ReadError;
  try {
    if (twoPasses) {
      read = scanInput(in, opened, summary, block);
    } else if (stated) {
      read = readInput(in, opened, image);
      if (read == ReadResult::Ok) summary = summariseInput(image);
    }
  } catch (const std::bad_alloc&) {
    read = ReadResult::OutOfMemory;
  }
  switch (read) {
    case ReadResult::Ok:
      break;
    case ReadResult::ReadError:
    case ReadResult::Changed:
      return failure(message::kCannotRead, input);
    case ReadResult::TooLarge:
      return failure(message::kTooLarge, input);
    case ReadResult::OutOfMemory:
      return failure(message::kOutOfMemory, input);
  }

  // A folder, FIFO or device at a final name would stop the rename or be waited on: refused up front.
  for (const std::filesystem::path* name : {&outputPath, &errorPath}) {
    if (nameKind(*name) == NameKind::Other) return failure(message::kCannotCreate, *name);
  }
  // Both results are written under temporary names; the one kept is renamed at the end, the other and any
  // run that cannot finish leave nothing behind.
  ResultFile output(outputPath);
  if (output.stream() == nullptr) return failure(message::kCannotCreate, outputPath);
  ResultFile errors(errorPath);
  if (errors.stream() == nullptr) return failure(message::kCannotCreate, errorPath);
  RunContext run;
  run.output = output.stream();
  run.errors = errors.stream();

  bool inputRead = true;
  try {
    if (summary.utf16Mark) {
      run.lineNumber = 1;
      run.report(message::kUtf16);
    } else if (twoPasses) {
      if (betweenInputReads()) betweenInputReads()();
      inputRead = std::fseek(in, 0, SEEK_SET) == 0;
      if (inputRead) {
        FileBytes bytes(in);
        LineReader reader(bytes, summary, std::move(block));
        inputRead = processLines(run, reader);
        // Byte for byte what the first pass read, also where the lines stopped early: a program that
        // rewrote the file in place may have left its size and even its modification time as they were.
        inputRead = inputRead && reader.checksumToEnd() == summary.checksum && !reader.readFailed();
      }
      // The second pass read what the first found; the file must still be the one that was opened.
      InputState after;
      inputRead = inputRead && inputState(in, after) && after == opened;
    } else {
      LineReader reader(image.data(), image.size(), summary.charset);
      processLines(run, reader);
    }
    settleItems(run);
    if (run.ok) writeItemSection(run);
  } catch (const std::bad_alloc&) {
    return failure(message::kOutOfMemory, input);
  }
  // A file that changed or failed while its lines were read gives no result at all.
  if (!inputRead) return failure(message::kCannotRead, input);

  ResultFile& kept = run.ok ? output : errors;
  if (!kept.finish()) return failure(message::kCannotWrite, kept.finalPath());
  const Placed place = putInPlace(kept, run.ok ? errorPath : outputPath, input, placed);
  switch (place.result) {
    case PlaceResult::Done:
      break;
    case PlaceResult::CannotCreate:
      return failure(message::kCannotCreate, place.name);
    case PlaceResult::CannotReplace:
      return failure(message::kCannotReplace, place.name);
    case PlaceResult::InUse:
      return failure(message::kInUse, place.name);
    case PlaceResult::SameResult:
      return RunOutcome{fillPaths(message::kSameResultNames, pathBytes(place.name), pathBytes(input)),
                        RunIcon::Error, 1};
    case PlaceResult::LockTimedOut:
      return failure(message::kCannotWrite, place.name);
  }
  if (run.ok) return closing(message::kSuccess, outputPath, RunIcon::Information, 0);
  RunOutcome outcome = closing(message::kErrorsFound, errorPath, RunIcon::Error, 1);
  outcome.entries = std::move(run.entries);
  return outcome;
}
