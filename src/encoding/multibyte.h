// Code-page text taken character by character where a byte alone could mislead: in the
// double-byte code pages (932, 936, 949, 950) the second byte of a character may be a
// backslash, so a path's last separator is found by walking it from the start.
//
// Pure and free of <windows.h> (tested natively): the caller hands in the code page's lead
// bytes (CodePageLeadBytes in encoding.h). Nothing is kept between calls.
#pragma once

#include <bitset>
#include <cstddef>
#include <string_view>

// The offset of the last '\\' or '/' of `path` that is a character of its own, never the
// second byte of a character whose first byte `leads` marks; npos when there is none.
std::size_t LastSeparator(std::string_view path, const std::bitset<256>& leads);
