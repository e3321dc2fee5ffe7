// ResultFile and putInPlace: a result is written under a temporary name and appears under its final name
// only whole.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>

// Temporary names start with "." and end in ".tmp", so a file left by a killed run says what it is.
inline constexpr const char* kTemporaryPrefix = ".";
inline constexpr const char* kTemporarySuffix = ".tmp";

// The temporary name beside `finalPath` for one attempt: ".<final name>.<16 hex digits>.tmp".
std::filesystem::path temporaryNameFor(const std::filesystem::path& finalPath, std::uint64_t token);

enum class PlaceResult { Done, CannotCreate, CannotDelete };

struct Placed {
  PlaceResult result = PlaceResult::Done;
  std::filesystem::path name;  // the name the failure concerns
};

// One result file of a run: created new in the folder of its final name, removed again unless put in place.
class ResultFile {
 public:
  // stream() is null when no temporary file could be created.
  explicit ResultFile(std::filesystem::path finalPath);
  ~ResultFile();
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;

  std::FILE* stream() const { return stream_; }
  const std::filesystem::path& finalPath() const { return finalPath_; }
  const std::filesystem::path& temporaryPath() const { return temporaryPath_; }

  // Checks, flushes, syncs and closes the stream; false when anything written may not have reached the
  // disk, and then the temporary file is gone.
  bool finish();

 private:
  friend Placed putInPlace(ResultFile& kept, const std::filesystem::path& otherFinal);

  std::filesystem::path finalPath_;
  std::filesystem::path temporaryPath_;
  std::FILE* stream_ = nullptr;
  bool temporaryExists_ = false;
};

// Puts a finished `kept` under its final name and takes away whatever stands at `otherFinal`, under the
// folder's lock so that runs of colliding names take turns. A file or link at either name is replaced or
// taken away, never written through. What stood at `otherFinal` is first moved aside to a temporary name;
// a failure up to the rename leaves both names as they were, and the one failure after it, the file moved
// aside not being deleted, names that file.
Placed putInPlace(ResultFile& kept, const std::filesystem::path& otherFinal);
