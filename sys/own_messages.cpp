#define _CRT_RAND_S  // rand_s: the system's random source
#include "sys/own_messages.h"

#include <stdlib.h>

namespace sys {

LPARAM OwnMessageKey() {
  static const LPARAM key = [] {
    unsigned int high = 0, low = 0;
    if (rand_s(&high) != 0 || rand_s(&low) != 0) {  // no random source: weaker, but no constant
      high = GetCurrentProcessId();
      low = GetTickCount() * 2654435761u;
    }
    const LPARAM value = static_cast<LPARAM>((static_cast<unsigned long long>(high) << 32) | low);
    return value ? value : 1;
  }();
  return key;
}

}  // namespace sys
