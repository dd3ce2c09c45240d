#pragma once
#include <windows.h>

// The crawler's rule for the entries of a CHM that are never pages, on either
// way of reading the file: internal streams ('#' or '$' first), everything
// inside an internal top-level storage, and style sheets. folder is the
// stream's folder inside the CHM, elements joined by '\', empty at the root.
bool IsPassedOverChmEntry(const wchar_t* name, const wchar_t* folder);
