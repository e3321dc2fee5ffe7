// Replay main for compilers without libFuzzer: runs every file named, or every file in a folder named,
// through the target once. Arguments starting with '-' are libFuzzer options and are ignored.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

int replayFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
    return 1;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int failures = 0;
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument.empty() || argument[0] == '-') continue;
    std::filesystem::path path(argument);
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (!entry.is_regular_file()) continue;
        failures += replayFile(entry.path());
        ++replayed;
      }
    } else {
      failures += replayFile(path);
      ++replayed;
    }
  }
  std::printf("replayed %d inputs\n", replayed);
  // No input at all is a broken corpus path, not a pass.
  return failures == 0 && replayed > 0 ? 0 : 1;
}
