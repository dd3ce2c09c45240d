#pragma once
#include <windows.h>

// The title of a help file from the bytes of its #SYSTEM stream: a 4-byte
// header, then records of a 16-bit code, a 16-bit length n and n bytes. Record
// 3 holds the title, NUL-terminated, in the ANSI code page of the language the
// help file was compiled for; record 4 starts with that language's LCID.
//
// The title is converted with that language's ANSI code page when it is
// installed, and with the system's otherwise, so that a help file compiled for
// another language keeps a readable title. True when a title record was found
// and fits in capacity characters with its terminator (an empty title counts).
// declared, when given, receives the language's LCID, or 0 when the stream
// declares none.
bool DecodeChmSystemTitle(const BYTE* data, size_t size, wchar_t* text, size_t capacity, LCID* declared = nullptr);

// The ANSI code page that text of the given locale uses, when it is installed
// here; CP_ACP otherwise.
UINT AnsiCodePageOfLocale(LCID locale);

// The title of the help file at path: the #SYSTEM stream at its root, read
// through the storage reader (a walk of the root's streams, which reaches it by
// its name when the component's listing misses it) and decoded as above. False when the file
// cannot be opened, has no such stream, or no title that fits.
bool ReadChmSystemTitle(const wchar_t* path, wchar_t* text, size_t capacity, LCID* declared = nullptr);
