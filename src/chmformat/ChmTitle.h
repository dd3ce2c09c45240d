#pragma once
#include <windows.h>

#include <string>

// The title of a help file and the language it was compiled for, as its
// #SYSTEM stream records them; language 0 where it declares none.
struct ChmTitle {
    std::wstring text;
    LCID language = 0;
};

// Decodes the bytes of a #SYSTEM stream, however they were read: a 4-byte
// header, then records of a 16-bit code, a 16-bit length n and n bytes. Record
// 3 holds the title, NUL-terminated, in the ANSI code page of the language the
// help file was compiled for; record 4 starts with that language's LCID.
//
// The title is converted with that language's ANSI code page when it is
// installed, and with the system's otherwise, so that a help file compiled for
// another language keeps a readable title. True when a title record was found
// and fits in capacity characters with a terminator (an empty title counts);
// the language is given either way. Throws std::bad_alloc.
bool DecodeChmTitle(const BYTE* data, size_t size, size_t capacity, ChmTitle& title);
