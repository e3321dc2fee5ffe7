// runConversion: read the input once, detect its charset, hand every content line to its handler, keep
// one of the two written files.
#include "app/run.h"

#include <cstdio>
#include <new>
#include <system_error>
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

enum class ReadResult { Ok, ReadError, TooLarge };

// The first pass: the whole input in blocks, for its size, charset and quotes; its lines are read in a
// second pass, so the input is never held in memory whole.
ReadResult scanInput(std::FILE* file, std::uintmax_t sizeHint, InputSummary& summary) {
  if (sizeHint > kMaxInputBytes) return ReadResult::TooLarge;
  std::vector<char> block(kReadBlock);
  InputScan scan;
  for (;;) {
    const std::size_t got = std::fread(block.data(), 1, block.size(), file);
    scan.add(block.data(), got);
    if (scan.size() > kMaxInputBytes) return ReadResult::TooLarge;
    if (got < block.size()) {
      if (std::ferror(file)) return ReadResult::ReadError;
      break;
    }
  }
  summary = scan.summary();
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

// The second pass over the input, from its start; false when it could not be read to the end that the
// first pass found.
bool processLines(RunContext& run, std::FILE* in, const InputSummary& input) {
  if (input.utf16Mark) {
    run.lineNumber = 1;
    run.report(message::kUtf16);
    return true;
  }
  if (std::fseek(in, 0, SEEK_SET) != 0) return false;
  LineReader reader(in, input);
  ReadLine line;
  while (reader.next(line)) {
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

RunOutcome runConversion(const std::filesystem::path& input) {
  const std::filesystem::path outputPath = derivedPath(input, kOutputSuffix);
  const std::filesystem::path errorPath = derivedPath(input, kErrorSuffix);

  std::FILE* in = openFile(input, FileMode::ReadBytes);
  if (in == nullptr) return RunOutcome{message::kFileNotFound, RunIcon::Error, 1};
  std::error_code sizeError;
  std::uintmax_t sizeHint = std::filesystem::file_size(input, sizeError);
  if (sizeError) sizeHint = 0;
  InputSummary summary;
  ReadResult read = ReadResult::Ok;
  try {
    read = scanInput(in, sizeHint, summary);
  } catch (const std::bad_alloc&) {
    std::fclose(in);
    return failure(message::kOutOfMemory, input);
  }
  switch (read) {
    case ReadResult::Ok:
      break;
    case ReadResult::ReadError:
      std::fclose(in);
      return failure(message::kCannotRead, input);
    case ReadResult::TooLarge:
      std::fclose(in);
      return failure(message::kTooLarge, input);
  }

  RunContext run;
  run.output = openFile(outputPath, FileMode::WriteBytes);
  if (run.output == nullptr) {
    std::fclose(in);
    return failure(message::kCannotCreate, outputPath);
  }
  run.errors = openFile(errorPath, FileMode::WriteBytes);
  if (run.errors == nullptr) {
    std::fclose(in);
    closeCleanly(run.output);
    removeFile(outputPath);
    return failure(message::kCannotCreate, errorPath);
  }

  bool outOfMemory = false;
  bool inputRead = true;
  try {
    inputRead = processLines(run, in, summary);
    settleItems(run);
    if (run.ok) writeItemSection(run);
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
  }
  std::fclose(in);
  const bool outputWritten = closeCleanly(run.output);
  const bool errorsWritten = closeCleanly(run.errors);

  // A file that changed or failed while its lines were read gives no result at all.
  if (outOfMemory || !inputRead) {
    removeFile(outputPath);
    removeFile(errorPath);
    return failure(outOfMemory ? message::kOutOfMemory : message::kCannotRead, input);
  }
  const std::filesystem::path& kept = run.ok ? outputPath : errorPath;
  if (!(run.ok ? outputWritten : errorsWritten)) {
    removeFile(outputPath);
    removeFile(errorPath);
    return failure(message::kCannotWrite, kept);
  }
  removeFile(run.ok ? errorPath : outputPath);
  if (run.ok) return RunOutcome{fillPath(message::kSuccess, pathBytes(outputPath)), RunIcon::Information, 0};
  return RunOutcome{fillPath(message::kErrorsFound, pathBytes(errorPath)), RunIcon::Error, 1};
}
