// The image written to a temporary stream, rewound, as the run's second pass reads its input.
#pragma once

#include <cstdio>
#include <string>

#include "app/input_file.h"

struct StreamImage {
  explicit StreamImage(const std::string& image) : file(std::tmpfile()), bytes(file) {
    std::fwrite(image.data(), 1, image.size(), file);
    std::rewind(file);
  }
  ~StreamImage() { std::fclose(file); }
  std::FILE* file;
  FileBytes bytes;
};
