// runConversion: read the input once, detect its charset, hand every content line to its handler, put
// the one kept result in place.
#include "app/run.h"

#include <cstdio>
#include <new>
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

// Bytes below 0x80 decode to themselves in both charsets a run uses; nearly every line is such, and going
// straight to the units spares the charset lookup of decodeBytes, the largest cost of a line.
UString decodeLine(const RawLine& raw, const char* charset) {
  if (raw.size == 0) return UString();
  const auto* bytes = reinterpret_cast<const unsigned char*>(raw.bytes);
  unsigned char high = 0;
  for (std::size_t i = 0; i < raw.size; ++i) high |= bytes[i];
  if (high >= 0x80) return decodeBytes(raw.bytes, raw.size, charset);
  // The image is at most kMaxInputBytes long, so a line's length fits.
  UStringBuffer buffer(static_cast<uint32_t>(raw.size));
  char16_t* out = buffer.data();
  for (std::size_t i = 0; i < raw.size; ++i) out[i] = bytes[i];
  return buffer.finish();
}

bool holdsNulUnit(const UString& text) {
  // Branch-free, so the compiler vectorises the pass that every line takes.
  const char16_t* units = text.units();
  unsigned zero = 0;
  for (uint32_t i = 0; i < text.length(); ++i) zero |= static_cast<unsigned>(units[i] == 0);
  return zero != 0;
}

// The units of an item line, decoded into a buffer reused from line to line; false when they hold a zero
// unit. A line of bytes below 0x80 never does: the cutter ends lines at a NUL byte.
bool decodeItemLine(const RawLine& raw, const char* charset, std::vector<char16_t>& units) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(raw.bytes);
  unsigned char high = 0;
  for (std::size_t i = 0; i < raw.size; ++i) high |= bytes[i];
  if (high < 0x80) {
    units.resize(raw.size);
    for (std::size_t i = 0; i < raw.size; ++i) units[i] = bytes[i];
    return true;
  }
  const UString decoded = decodeBytes(raw.bytes, raw.size, charset);
  units.assign(decoded.units(), decoded.units() + decoded.length());
  return !holdsNulUnit(decoded);
}

void processLines(RunContext& run, const std::string& image) {
  const char* charset = detectCharset(image.data(), image.size());
  LineCutter cutter(image.data(), image.size());
  RawLine raw{};
  std::vector<UString> fields;
  std::vector<FieldSpan> spans;
  std::vector<char16_t> units;
  auto reportNul = [&run] {
    settleItems(run);
    ++run.lineNumber;
    run.report(message::kNulByte);
  };
  while (cutter.next(raw)) {
    if (run.lineState == 3) {
      // Item lines, nearly all of a declaration, are read in one reused buffer and through spans: no
      // text per line or per field.
      if (raw.holdsNul || !decodeItemLine(raw, charset, units)) return reportNul();
      const FieldSpan kept =
          normaliseUnits(units.data(), static_cast<uint32_t>(units.size()), run.lineNumber == 0);
      ++run.lineNumber;
      const char16_t* line = units.data() + kept.begin;
      if (isContentLine(line, kept.end - kept.begin, spans)) handleItemLine(run, line, spans);
      continue;
    }
    const UString decoded = decodeLine(raw, charset);
    // The overlong UTF-8 form C0 80 decodes to U+0000, which would cut a field short in the output.
    if (raw.holdsNul || holdsNulUnit(decoded)) return reportNul();
    const UString line = normaliseLine(decoded, run.lineNumber == 0);
    ++run.lineNumber;
    if (!isContentLine(line, fields)) continue;
    LineOutcome outcome = LineOutcome::Continue;
    switch (run.lineState) {
      case 0:
      case 2:
        outcome = handleChapterLine(run, fields);
        break;
      case 1:
        outcome = handleIdentificationLine(run, fields);
        break;
      default:
        outcome = handleItemLine(run, fields);
        break;
    }
    if (outcome == LineOutcome::Stop) return;
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
  return RunOutcome{fillPath(message::kErrorsFound, pathBytes(errorPath)), RunIcon::Error, 1};
}
