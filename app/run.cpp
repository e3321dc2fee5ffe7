// runConversion: read the input once, detect its charset, hand every content line to its handler, keep
// one of the two written files.
#include "app/run.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "app/items.h"
#include "app/line_reader.h"
#include "app/messages.h"
#include "app/output_names.h"
#include "app/platform.h"
#include "app/run_context.h"
#include "app/sections.h"
#include "charset/charset.h"

namespace {

enum class ReadResult { Ok, ReadError, TooLarge, OutOfMemory };

// The whole input at once; one read, the size known beforehand when the platform tells it.
ReadResult readImage(std::FILE* file, std::uintmax_t sizeHint, std::string& image) {
  if (sizeHint > kMaxInputBytes) return ReadResult::TooLarge;
  try {
    image.resize(static_cast<std::size_t>(sizeHint) + 1);
    std::size_t used = 0;
    for (;;) {
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
    if (used > kMaxInputBytes) return ReadResult::TooLarge;
    image.resize(used);
  } catch (const std::bad_alloc&) {
    return ReadResult::OutOfMemory;
  } catch (const std::length_error&) {
    return ReadResult::OutOfMemory;
  }
  return ReadResult::Ok;
}

std::string pathBytes(const std::filesystem::path& path) {
  char* bytes = encodeText(pathText(path), "ISO-8859-2");
  std::string result(bytes);
  delete[] bytes;
  return result;
}

RunOutcome failure(const char* pattern, const std::filesystem::path& path) {
  return RunOutcome{fillPath(pattern, pathBytes(path)), RunIcon::Error, 1};
}

// Closes the stream and says whether everything written through it reached the file.
bool closeCleanly(std::FILE*& file) {
  if (file == nullptr) return true;
  const bool clean = std::ferror(file) == 0;
  const bool closed = std::fclose(file) == 0;
  file = nullptr;
  return clean && closed;
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

bool startsWithUtf16Mark(const std::string& image) {
  return image.size() >= 2 &&
         ((image[0] == '\xFF' && image[1] == '\xFE') || (image[0] == '\xFE' && image[1] == '\xFF'));
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

void processLines(RunContext& run, const std::string& image) {
  if (startsWithUtf16Mark(image)) {
    run.lineNumber = 1;
    run.report(message::kUtf16);
    return;
  }
  LineReader reader(image.data(), image.size(), detectCharset(image.data(), image.size()));
  ReadLine line;
  while (reader.next(line)) {
    if (line.damage != ReadLine::Damage::None) {
      // Entries keep the order of their lines: item lines still waiting go first.
      settleItems(run);
      run.lineNumber = line.number;
      run.report(line.damage == ReadLine::Damage::NulByte ? message::kNulByte
                                                          : message::kInvalidByteSequence);
      return;
    }
    // Entries name the line's first physical line; counting goes on from its last.
    run.lineNumber = line.number;
    if (line.content && handleLine(run, line.fields) == LineOutcome::Stop) return;
    run.lineNumber = line.lastNumber;
  }
  // A declaration without its opening sections is never a success; one whose item section has begun may
  // hold no items (a month without trade).
  if (const char* missing = missingAtEnd(run.lineState)) {
    run.lineNumber = reader.linesRead() + 1;
    run.report(missing);
  }
}

}  // namespace

RunOutcome runConversion(const std::filesystem::path& input) {
  const std::filesystem::path outputPath = derivedPath(input, kOutputSuffix);
  const std::filesystem::path errorPath = derivedPath(input, kErrorSuffix);

  std::FILE* in = openFile(input, FileMode::ReadBytes);
  if (in == nullptr) return RunOutcome{message::kFileNotFound, RunIcon::Error, 1};
  std::error_code sizeError;
  std::uintmax_t sizeHint = std::filesystem::file_size(input, sizeError);
  if (sizeError) sizeHint = 0;
  std::string image;
  const ReadResult read = readImage(in, sizeHint, image);
  std::fclose(in);
  switch (read) {
    case ReadResult::Ok:
      break;
    case ReadResult::ReadError:
      return failure(message::kCannotRead, input);
    case ReadResult::TooLarge:
      return failure(message::kTooLarge, input);
    case ReadResult::OutOfMemory:
      return failure(message::kOutOfMemory, input);
  }

  RunContext run;
  run.output = openFile(outputPath, FileMode::WriteBytes);
  if (run.output == nullptr) return failure(message::kCannotCreate, outputPath);
  run.errors = openFile(errorPath, FileMode::WriteBytes);
  if (run.errors == nullptr) {
    closeCleanly(run.output);
    removeFile(outputPath);
    return failure(message::kCannotCreate, errorPath);
  }

  bool outOfMemory = false;
  try {
    processLines(run, image);
    settleItems(run);
    if (run.ok) writeItemSection(run);
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
  }
  const bool outputWritten = closeCleanly(run.output);
  const bool errorsWritten = closeCleanly(run.errors);

  if (outOfMemory) {
    removeFile(outputPath);
    removeFile(errorPath);
    return failure(message::kOutOfMemory, input);
  }
  const std::filesystem::path& kept = run.ok ? outputPath : errorPath;
  if (!(run.ok ? outputWritten : errorsWritten)) {
    removeFile(outputPath);
    removeFile(errorPath);
    return failure(message::kCannotWrite, kept);
  }
  removeFile(run.ok ? errorPath : outputPath);
  if (run.ok) return RunOutcome{fillPath(message::kSuccess, pathBytes(outputPath)), RunIcon::Information, 0};
  return RunOutcome{fillPath(message::kErrorsFound, pathBytes(errorPath)), RunIcon::Error, 1,
                    std::move(run.entries)};
}
