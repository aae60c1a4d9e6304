#include "app/text_format.h"

namespace {

struct Sink {
    char* out;
    size_t capacity;
    size_t length;
};

void Put(Sink* sink, char c)
{
    if (sink->length + 1 < sink->capacity) {
        sink->out[sink->length] = c;
        sink->length++;
    }
}

void PutPadded(Sink* sink, const char* digits, int count, int width, int leftAlign, char pad)
{
    // A zero pad goes after the sign, as wsprintfA puts it.
    int start = 0;
    if (pad == '0' && count > 0 && digits[0] == '-') {
        Put(sink, '-');
        start = 1;
    }
    int fill = width > count ? width - count : 0;
    if (!leftAlign) {
        for (int i = 0; i < fill; i++) Put(sink, pad);
    }
    for (int i = start; i < count; i++) Put(sink, digits[i]);
    if (leftAlign) {
        for (int i = 0; i < fill; i++) Put(sink, ' ');
    }
}

int UnsignedDigits(unsigned long value, unsigned base, int upper, char* digits)
{
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char reversed[24];
    int n = 0;
    do {
        reversed[n++] = set[value % base];
        value /= base;
    } while (value != 0);
    for (int i = 0; i < n; i++) digits[i] = reversed[n - 1 - i];
    return n;
}

}  // namespace

int FormatTextV(char* out, size_t capacity, const char* format, va_list args)
{
    Sink sink = {out, capacity, 0};
    if (capacity == 0) return 0;
    for (const char* p = format; *p != '\0'; p++) {
        if (*p != '%') {
            Put(&sink, *p);
            continue;
        }
        p++;
        if (*p == '\0') break;
        if (*p == '%') {
            Put(&sink, '%');
            continue;
        }
        int leftAlign = 0;
        char pad = ' ';
        for (;; p++) {
            if (*p == '-') leftAlign = 1;
            else if (*p == '0') pad = '0';
            else break;
        }
        if (leftAlign) pad = ' ';
        int width = 0;
        while (*p >= '0' && *p <= '9') {
            if (width < 1000) width = width * 10 + (*p - '0');
            p++;
        }
        if (*p == 'l' || *p == 'h') p++;
        if (*p == '\0') break;
        char digits[24];
        int count = 0;
        switch (*p) {
        case 'd':
        case 'i': {
            long value = va_arg(args, int);
            unsigned long magnitude = value < 0 ? 0ul - (unsigned long)value : (unsigned long)value;
            if (value < 0) digits[count++] = '-';
            count += UnsignedDigits(magnitude, 10, 0, digits + count);
            PutPadded(&sink, digits, count, width, leftAlign, pad);
            break;
        }
        case 'u':
            count = UnsignedDigits(va_arg(args, unsigned int), 10, 0, digits);
            PutPadded(&sink, digits, count, width, leftAlign, pad);
            break;
        case 'x':
        case 'X':
            count = UnsignedDigits(va_arg(args, unsigned int), 16, *p == 'X', digits);
            PutPadded(&sink, digits, count, width, leftAlign, pad);
            break;
        case 'c': {
            char c = (char)va_arg(args, int);
            PutPadded(&sink, &c, 1, width, leftAlign, ' ');
            break;
        }
        case 's': {
            const char* text = va_arg(args, const char*);
            if (text == nullptr) text = "(null)";
            int fill = width - TextLength(text);
            if (!leftAlign) {
                for (int i = 0; i < fill; i++) Put(&sink, ' ');
            }
            for (const char* t = text; *t != '\0'; t++) Put(&sink, *t);
            if (leftAlign) {
                for (int i = 0; i < fill; i++) Put(&sink, ' ');
            }
            break;
        }
        default:
            // wsprintfA copies an unknown conversion character as it stands.
            Put(&sink, *p);
            break;
        }
    }
    out[sink.length] = '\0';
    return (int)sink.length;
}

int FormatText(char* out, size_t capacity, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int length = FormatTextV(out, capacity, format, args);
    va_end(args);
    return length;
}

int CopyText(char* out, size_t capacity, const char* source)
{
    if (capacity == 0) return 0;
    size_t n = 0;
    while (source[n] != '\0' && n + 1 < capacity) {
        out[n] = source[n];
        n++;
    }
    out[n] = '\0';
    return (int)n;
}

int AppendText(char* out, size_t capacity, const char* source)
{
    size_t have = (size_t)TextLength(out);
    size_t add = (size_t)TextLength(source);
    if (have + add + 1 > capacity) return 0;
    for (size_t i = 0; i <= add; i++) out[have + i] = source[i];
    return 1;
}

int AppendToCurrentDirectory(char* path, size_t capacity, uint32_t directoryLength, uint32_t directorySize,
                             const char* fileName)
{
    // GetCurrentDirectoryA answers 0 on failure and the size it would need,
    // terminator included, when the buffer is too small.
    if (directoryLength == 0 || directoryLength >= directorySize) return 0;
    if (TextLength(path) != (int)directoryLength) return 0;
    return AppendText(path, capacity, "\\") && AppendText(path, capacity, fileName);
}

int TextLength(const char* text)
{
    int n = 0;
    while (text[n] != '\0') n++;
    return n;
}

int TextEqual(const char* a, const char* b)
{
    while (*a != '\0' && *a == *b) {
        a++;
        b++;
    }
    return *a == *b;
}
