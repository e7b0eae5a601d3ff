#include <windows.h>

#include "stand_in_provider/standard_input.h"

void waitForEndOfInput() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return;
  char bytes[256];
  DWORD read = 0;
  while (ReadFile(input, bytes, sizeof bytes, &read, nullptr) && read > 0) {
  }
}
