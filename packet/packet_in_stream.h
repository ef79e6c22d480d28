// The stream through which the archive library reads a packet entry: straight from the mapped
// program file, never copied.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "CPP/7zip/IStream.h"

// A new seekable stream over `size` bytes at `data`, holding one reference for the caller. It
// also answers the library's size query. The bytes must outlive the stream.
IInStream* NewPacketInStream(const BYTE* data, UInt32 size);
