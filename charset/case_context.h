// CaseContext: a cursor over one text that knows the words and the casing conditions at each position.
#pragma once

#include <cstdint>

// Start over a text, then advance one position at a time; the conditions always describe `position`.
// Linear over the whole text: each word is scanned once, and a forward scan for combining marks is
// reused while the position stays before the unit where it stopped.
struct CaseContext {
  const char16_t* text = nullptr;
  int64_t length = 0;
  int64_t position = 0;

  // The current word: it ends before wordEnd; its first and last cased letters, or -1.
  int64_t wordEnd = 0;
  int64_t firstCased = -1;
  int64_t lastCased = -1;

  bool finalSigma = false;
  bool afterI = false;
  bool afterSoftDotted = false;
  bool moreAbove = false;
  bool beforeDot = false;

  // Running states behind afterI and afterSoftDotted, and where the last forward scan stopped.
  bool iSeen = false;
  bool softDottedSeen = false;
  int64_t scanStop = 0;

  void start(const char16_t* units, int64_t count);
  void advance();

 private:
  void scanWord();
  void scanAbove();
  void computeConditions();
};
