#pragma once

#include <QString>
#include <QStringView>

class QPlainTextEdit;

// How an occurrence must match. There is deliberately no direction: every search runs forward.
struct TSearchOptions {
    bool MatchCase = false;
    // The occurrence may neither follow nor precede a word character (letter, digit or "_").
    bool WholeWord = false;
};

// Position of the first occurrence of `pattern` in `text` at or after `from` that satisfies
// `options`, or -1. Occurrences may overlap the ones before them; an empty pattern has none.
qsizetype FindForward(QStringView text, QStringView pattern, qsizetype from, TSearchOptions options);

// Where the next search in `view` begins: right after its selection, or at the beginning of the
// text when nothing is selected, wherever the caret stands.
int SearchStart(const QPlainTextEdit &view);

// Position of the next occurrence of `pattern` in `view`'s text from SearchStart, or -1. Each
// line break counts as one position, as in the view's own cursor positions.
int FindNext(const QPlainTextEdit &view, const QString &pattern, TSearchOptions options);

// Selects `length` characters from `position`, gives `view` the keyboard focus in an active
// window, and scrolls the end of the selection into view.
void SelectMatch(QPlainTextEdit &view, int position, int length);
