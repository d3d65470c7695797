#include "app/search/TextSearch.h"

#include "app/platform/WindowActivation.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace {

bool IsWordCharacter(char32_t code)
{
    return code == U'_' || QChar::isLetter(code) || QChar::isDigit(code);
}

// The neighbours are read as code points, so a letter outside the basic plane still joins a word.
char32_t CodePointBefore(QStringView text, qsizetype at)
{
    const QChar last = text[at - 1];
    if (last.isLowSurrogate() && at >= 2 && text[at - 2].isHighSurrogate())
        return QChar::surrogateToUcs4(text[at - 2], last);
    return last.unicode();
}

char32_t CodePointAt(QStringView text, qsizetype at)
{
    const QChar first = text[at];
    if (first.isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(first, text[at + 1]);
    return first.unicode();
}

bool IsWholeWord(QStringView text, qsizetype at, qsizetype length)
{
    const qsizetype end = at + length;
    return (at == 0 || !IsWordCharacter(CodePointBefore(text, at)))
        && (end == text.size() || !IsWordCharacter(CodePointAt(text, end)));
}

} // namespace

qsizetype FindForward(QStringView text, QStringView pattern, qsizetype from, TSearchOptions options)
{
    if (pattern.isEmpty())
        return -1;
    const Qt::CaseSensitivity sensitivity = options.MatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    // After a rejected occurrence the search goes on one position later, not after its end: the
    // next whole word may begin inside the rejected occurrence.
    for (qsizetype at = text.indexOf(pattern, from, sensitivity); at >= 0;
         at = text.indexOf(pattern, at + 1, sensitivity)) {
        if (!options.WholeWord || IsWholeWord(text, at, pattern.size()))
            return at;
    }
    return -1;
}

int SearchStart(const QPlainTextEdit &view)
{
    const QTextCursor cursor = view.textCursor();
    return cursor.hasSelection() ? cursor.selectionEnd() : 0;
}

int FindNext(const QPlainTextEdit &view, const QString &pattern, TSearchOptions options)
{
    // The raw text has the same positions as the plain text, but keeps no-break spaces apart
    // from ordinary ones.
    return int(FindForward(view.document()->toRawText(), pattern, SearchStart(view), options));
}

void SelectMatch(QPlainTextEdit &view, int position, int length)
{
    ActivateWindow(*view.window());
    view.setFocus(Qt::OtherFocusReason);
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(position);
    cursor.setPosition(position + length, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
    view.ensureCursorVisible();
}
