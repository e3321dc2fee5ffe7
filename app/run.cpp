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
