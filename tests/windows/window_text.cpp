// Test helper: prints, as UTF-8, the text a user reads in a control of the window with the given caption
// (a dialog), or with --every that of each window shown with the caption, whatever its class.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
  const wchar_t* className;
  std::wstring text;
  bool found = false;
};

// Takes the longest text among the controls of the class: a message box's text beside its icon's empty
// one, the file name box of the open-file dialog beside the empty boxes of its combo boxes.
BOOL CALLBACK takeText(HWND child, LPARAM context) {
  auto& search = *reinterpret_cast<Search*>(context);
  wchar_t className[64] = {};
  GetClassNameW(child, className, 64);
  if (lstrcmpiW(className, search.className) != 0) return TRUE;
  // WM_GETTEXT, not GetWindowTextW: only the message reaches what was typed into a box of another process.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(child, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return TRUE;
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(child, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 5000, &copied))
    return TRUE;
  text.resize(copied);
  if (!search.found || text.size() > search.text.size()) search.text = text;
  search.found = true;
  return TRUE;
}

// The text of one window's controls of the class, as UTF-8; false when none has a text to read.
bool printText(HWND window, const wchar_t* controlClass) {
  Search search{controlClass, {}};
  EnumChildWindows(window, takeText, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return false;
  const int size = WideCharToMultiByte(CP_UTF8, 0, search.text.data(), static_cast<int>(search.text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, search.text.data(), static_cast<int>(search.text.size()), utf8.data(), size,
                      nullptr, nullptr);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  return true;
}

struct Every {
  const wchar_t* caption;
  const wchar_t* controlClass;
};

// Each shown top-level window of the caption, whatever its class, its text ended by a NUL.
BOOL CALLBACK printEvery(HWND window, LPARAM context) {
  const auto& every = *reinterpret_cast<const Every*>(context);
  wchar_t caption[256] = {};
  if (!IsWindowVisible(window) || GetWindowTextW(window, caption, 256) == 0 ||
      lstrcmpW(caption, every.caption) != 0)
    return TRUE;
  printText(window, every.controlClass);
  std::fputc('\0', stdout);
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool every = argc == 4 && lstrcmpW(argv[3], L"--every") == 0;
  if (argc != 3 && !every) {
    std::fputs("usage: window_text CAPTION CONTROL-CLASS [--every]\n", stderr);
    return 2;
  }
  _setmode(_fileno(stdout), _O_BINARY);  // the bytes exactly, no CR added before LF
  if (every) {
    Every search{argv[1], argv[2]};
    EnumWindows(printEvery, reinterpret_cast<LPARAM>(&search));
    return 0;
  }
  // The dialog class, which message boxes and the open-file dialog both have.
  const HWND window = FindWindowW(L"#32770", argv[1]);
  if (window == nullptr) return 1;
  return printText(window, argv[2]) ? 0 : 1;
}
