// Fuzz target: the whole conversion run on arbitrary file bytes. Whatever the bytes, exactly one of the two
// files remains, the exit status and icon match it, the input is unchanged and nothing else is created.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

#include "app/run.h"
#include "fuzz/fuzz_support.h"

namespace {

namespace fs = std::filesystem;

// A private folder per process, made for each input and removed after it (libFuzzer may end the process
// without running exit handlers).
const fs::path& workFolder() {
  static const fs::path folder =
      fs::temp_directory_path() / ("zelvora-fuzz-run-" + std::to_string(std::random_device()()));
  return folder;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every line of the kept file ends in CR LF, and no CR or LF stands alone.
bool hasCrLfLineEnds(const std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) return false;
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) return false;
  }
  return bytes.empty() || (bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == "\r\n");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fs::path& folder = workFolder();
  fs::create_directories(folder);
  const fs::path input = folder / "declaration.csv";
  const fs::path output = folder / "declaration-output.csv";
  const fs::path errors = folder / "declaration-error.txt";
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  const RunOutcome outcome = runConversion(input);

  const bool outputKept = fs::exists(output);
  const bool errorsKept = fs::exists(errors);
  FUZZ_CHECK(outputKept != errorsKept);
  FUZZ_CHECK(outcome.exitStatus == (outputKept ? 0 : 1));
  FUZZ_CHECK((outcome.icon == RunIcon::Information) == outputKept);
  FUZZ_CHECK(readFile(input) == bytes);
  std::size_t entries = 0;
  for (auto it = fs::directory_iterator(folder); it != fs::directory_iterator(); ++it) ++entries;
  FUZZ_CHECK(entries == 2);

  const std::string kept = readFile(outputKept ? output : errors);
  FUZZ_CHECK(hasCrLfLineEnds(kept));
  if (outputKept) {
    // A successful run always closes with the item header.
    FUZZ_CHECK(kept.find("{T_SORSZ;TEKOD;UKOD;") != std::string::npos);
  } else {
    // The report opens with a numbered entry: "<n>. sor / line <n>", then the message after one blank.
    std::size_t digits = kept.find_first_not_of("0123456789");
    FUZZ_CHECK(digits > 0 && digits != std::string::npos);
    const std::string number = kept.substr(0, digits);
    const std::string heading = ". sor / line " + number + "\r\n ";
    FUZZ_CHECK(kept.compare(digits, heading.size(), heading) == 0);
  }
  fs::remove_all(folder);
  return 0;
}
