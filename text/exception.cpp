// Exception: owns a private copy of its kind text.
#include "text/exception.h"

#include <cstring>

namespace {

char* copyKind(const char* kind) {
  if (kind == nullptr) return nullptr;
  std::size_t size = std::strlen(kind) + 1;
  char* copy = new char[size];
  std::memcpy(copy, kind, size);
  return copy;
}

}  // namespace

Exception::Exception(const char* kind, int32_t code) : code_(code), kind_(copyKind(kind)) {}

Exception::Exception(const Exception& other) : code_(other.code_), kind_(copyKind(other.kind_)) {}

Exception& Exception::operator=(const Exception& other) {
  if (this == &other) return *this;
  char* copy = copyKind(other.kind_);
  delete[] kind_;
  kind_ = copy;
  code_ = other.code_;
  return *this;
}

Exception::~Exception() {
  delete[] kind_;
}

int32_t Exception::code() const {
  return code_;
}

const char* Exception::kind() const {
  return kind_;
}
