// Exception: the one exception type, a kind text it owns and a code; thrown by value, caught by reference.
#pragma once

#include <cstdint>

class Exception {
 public:
  // Copies the kind text; a null kind stays none.
  Exception(const char* kind, int32_t code);
  Exception(const Exception& other);
  Exception& operator=(const Exception& other);
  virtual ~Exception();

  virtual int32_t code() const;
  virtual const char* kind() const;

 private:
  int32_t code_;
  char* kind_;
};
