// runConversion: read the input once, detect its charset, hand every content line to its handler, put
// the one kept result in place.
#include "app/run.h"

#include <cstdio>
#include <new>
#include <utility>
#include <vector>

#include "app/input_file.h"
#include "app/items.h"
#include "app/line_reader.h"
#include "app/messages.h"
#include "app/output_names.h"
#include "app/platform.h"
#include "app/result_file.h"
#include "app/run_context.h"
#include "app/sections.h"
#include "charset/charset.h"

namespace {

std::string pathBytes(const std::filesystem::path& path) {
  char* bytes = encodeText(pathText(path), "ISO-8859-2");
  std::string result(bytes);
  delete[] bytes;
  return result;
}

RunOutcome failure(const char* pattern, const std::filesystem::path& path) {
  return RunOutcome{fillPath(pattern, pathBytes(path)), RunIcon::Error, 1};
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
  std::string image;
  InputState opened;
  const ReadResult read = inputState(in, opened) ? readInput(in, opened, image) : ReadResult::ReadError;
  std::fclose(in);
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

  try {
    processLines(run, image);
    settleItems(run);
    if (run.ok) writeItemSection(run);
  } catch (const std::bad_alloc&) {
    return failure(message::kOutOfMemory, input);
  }

  ResultFile& kept = run.ok ? output : errors;
  if (!kept.finish()) return failure(message::kCannotWrite, kept.finalPath());
  const Placed placed = putInPlace(kept, run.ok ? errorPath : outputPath);
  switch (placed.result) {
    case PlaceResult::Done:
      break;
    case PlaceResult::CannotCreate:
      return failure(message::kCannotCreate, placed.name);
    case PlaceResult::CannotDelete:
      return failure(message::kCannotDelete, placed.name);
  }
  if (run.ok) return RunOutcome{fillPath(message::kSuccess, pathBytes(outputPath)), RunIcon::Information, 0};
  return RunOutcome{fillPath(message::kErrorsFound, pathBytes(errorPath)), RunIcon::Error, 1,
                    std::move(run.entries)};
}
