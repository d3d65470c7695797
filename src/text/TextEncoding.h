#pragma once

// The encodings a text file is read and written in. Utf8NoMark is UTF-8 read from a file without a
// byte order mark, and written again without one; None is a file not yet read.
enum class TTextEncoding { None, Ansi, Utf8, Utf8NoMark, Utf16LE, Utf16BE };
