#pragma once

#include <QAnyStringView>
#include <QLatin1StringView>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <type_traits>

// A line of text as it is stored and handed on: an ASCII line as its bytes (a Latin-1 view that
// holds only ASCII), any other as UTF-16. Half the memory for the lines of a configuration file,
// nearly all of which are ASCII, and a plain copy where they are written out again.

// Writes `line` as UTF-16 to `out`, which has room for as many units as the line has bytes or
// units, and gives the end of what was written.
inline char16_t *CopyUtf16(QAnyStringView line, char16_t *out)
{
    return line.visit([out](auto view) {
        using TView = decltype(view);
        if constexpr (std::is_same_v<TView, QStringView>) {
            return std::copy(view.utf16(), view.utf16() + view.size(), out);
        } else if constexpr (std::is_same_v<TView, QLatin1StringView>) {
            const auto *bytes = reinterpret_cast<const uchar *>(view.data());
            return std::copy(bytes, bytes + view.size(), out);
        } else {
            const QString text = view.toString();
            return std::copy(text.utf16(), text.utf16() + text.size(), out);
        }
    });
}

// `line` as UTF-16: a view of it where it is UTF-16 already, else written into `scratch`, whose
// room is used again from one line to the next. Valid while both are.
inline QStringView Utf16(QAnyStringView line, QString &scratch)
{
    return line.visit([&scratch, line](auto view) -> QStringView {
        if constexpr (std::is_same_v<decltype(view), QStringView>) {
            return view;
        } else {
            scratch.resize(line.size());
            auto *units = reinterpret_cast<char16_t *>(scratch.data());
            scratch.truncate(CopyUtf16(line, units) - units);
            return scratch;
        }
    });
}
