// Bounded text building for the fixed-capacity buffers of the machine record.
// FormatText follows wsprintfA's rules for the conversions this program uses
// (%d %i %u %x %X %c %s %%, flags '-' and '0', a width, the 'l' prefix), but
// never writes past the capacity it is given: wsprintfA takes no capacity.
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

// Formats into out (capacity bytes, terminator included) and returns the
// length written. Output that does not fit is cut; out is always terminated
// when capacity is not 0.
int FormatText(char* out, size_t capacity, const char* format, ...);
int FormatTextV(char* out, size_t capacity, const char* format, va_list args);

// Copies source into out, cutting it to capacity; returns the length written.
int CopyText(char* out, size_t capacity, const char* source);

// Appends source to the text in out; returns 0 (and leaves out as it was)
// when the whole of source does not fit.
int AppendText(char* out, size_t capacity, const char* source);

// Appends a backslash and fileName to the directory that GetCurrentDirectoryA
// left in path, given its result and the buffer size it was told. Returns 0
// when the directory could not be had or the whole path does not fit; a cut
// path could name some other file. At a drive root the backslash doubles.
int AppendToCurrentDirectory(char* path, size_t capacity, uint32_t directoryLength, uint32_t directorySize,
                             const char* fileName);

int TextLength(const char* text);
int TextEqual(const char* a, const char* b);
