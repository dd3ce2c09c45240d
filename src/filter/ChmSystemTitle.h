#pragma once
#include <windows.h>

#include "chmformat/ChmTitle.h"

// The title of the help file at path and its language: the #SYSTEM stream at
// its root, read through the storage reader (a walk of the root's streams,
// which reaches it by its name when the component's listing misses it) and
// decoded by DecodeChmTitle. False when the file cannot be opened, has no such
// stream, or no title that fits in capacity characters with a terminator.
bool ReadChmSystemTitle(const wchar_t* path, size_t capacity, ChmTitle& title);
