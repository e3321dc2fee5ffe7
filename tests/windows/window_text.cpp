// Test helper: prints, as UTF-8, the text a user reads in the open message box with the given caption.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
  std::wstring text;
  bool found = false;
};

// A message box is a dialog whose text sits in its one static control that has text (the icon's has none).
BOOL CALLBACK takeStaticText(HWND child, LPARAM context) {
  auto& search = *reinterpret_cast<Search*>(context);
  wchar_t className[16] = {};
  GetClassNameW(child, className, 16);
  if (lstrcmpiW(className, L"Static") != 0) return TRUE;
  const int length = GetWindowTextLengthW(child);
  if (length == 0) return TRUE;
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(child, text.data(), length + 1)));
  search.text = text;
  search.found = true;
  return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: message_box_text CAPTION\n", stderr);
    return 2;
  }
  // The dialog class of message boxes.
  const HWND box = FindWindowW(L"#32770", argv[1]);
  if (box == nullptr) return 1;
  Search search;
  EnumChildWindows(box, takeStaticText, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return 1;

  const int size = WideCharToMultiByte(CP_UTF8, 0, search.text.data(), static_cast<int>(search.text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, search.text.data(), static_cast<int>(search.text.size()), utf8.data(), size,
                      nullptr, nullptr);
  _setmode(_fileno(stdout), _O_BINARY);  // the bytes exactly, no CR added before LF
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  return 0;
}
