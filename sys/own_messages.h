// Window messages between the program's own threads that carry pointers into the process (the
// extraction's reports to the wizard). Any program on the desktop can find the wizard by its
// title and send it the same message numbers; it cannot know this process's key, so the
// receiver takes only the messages that carry it and never follows a stranger's pointer.
#pragma once

#include <windows.h>

namespace sys {

// A random value drawn once per process, never 0: the second parameter of such a message.
LPARAM OwnMessageKey();
inline bool IsOwnMessage(LPARAM key) { return key == OwnMessageKey(); }

}  // namespace sys
