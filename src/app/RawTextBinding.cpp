#include "app/RawTextBinding.h"

#include "text/LineDocument.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// Characters handed to the editor at a time: the whole text in one string would be a second
// copy of a file the document already holds.
constexpr qsizetype PieceLength = 256 * 1024;

// The end of the piece of lines that begins at `first`: at least one line, else as many as fit.
int PieceEnd(const TLineDocument &document, int first)
{
    qsizetype length = 0;
    int last = first;
    do {
        length += document.Line(last).size() + 1;
        ++last;
    } while (last < document.Count() && length + document.Line(last).size() < PieceLength);
    return last;
}

// The characters at which the editor begins a new paragraph, besides the line breaks that no
// line of a document holds.
bool BreaksParagraph(QChar c)
{
    return c == QChar::ParagraphSeparator || c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1;
}

// None of them is Latin-1, so an ASCII line as the document holds it has none.
qsizetype ParagraphBreaks(QAnyStringView line)
{
    return line.visit([](auto view) -> qsizetype {
        using TView = decltype(view);
        if constexpr (std::is_same_v<TView, QStringView>)
            return std::count_if(view.begin(), view.end(), BreaksParagraph);
        else if constexpr (std::is_same_v<TView, QLatin1StringView>)
            return 0;
        else
            return ParagraphBreaks(view.toString());
    });
}

// Whether the paragraphs from `at` on are the line as the editor shows it.
bool ShowsLine(const QStringList &blocks, qsizetype at, QAnyStringView anyLine)
{
    QString scratch;
    const QStringView line = Utf16(anyLine, scratch);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i < line.size() && !BreaksParagraph(line[i]))
            continue;
        if (at >= blocks.size() || blocks[at] != line.sliced(start, i - start))
            return false;
        ++at;
        start = i + 1;
    }
    return true;
}

} // namespace

std::optional<QStringList> TRawTextBinding::TakenOverLines(const TLineDocument &document, const QStringList &blocks)
{
    const int count = document.Count();
    bool anyBreaks = false;
    for (int i = 0; i < count && !anyBreaks; ++i)
        anyBreaks = ParagraphBreaks(document.Line(i)) > 0;
    if (!anyBreaks)
        return blocks;

    // The unchanged lines before and after the typed ones, each line with its paragraphs.
    int first = 0;
    qsizetype firstBlock = 0;
    while (first < count && ShowsLine(blocks, firstBlock, document.Line(first))) {
        firstBlock += ParagraphBreaks(document.Line(first)) + 1;
        ++first;
    }
    int last = count;
    qsizetype lastBlock = blocks.size();
    while (last > first) {
        const qsizetype parts = ParagraphBreaks(document.Line(last - 1)) + 1;
        if (lastBlock - parts < firstBlock || !ShowsLine(blocks, lastBlock - parts, document.Line(last - 1)))
            break;
        lastBlock -= parts;
        --last;
    }
    for (int i = first; i < last; ++i) {
        if (ParagraphBreaks(document.Line(i)) > 0)
            return std::nullopt;
    }

    QStringList lines;
    lines.reserve(first + (lastBlock - firstBlock) + (count - last));
    for (int i = 0; i < first; ++i)
        lines.append(document.Get(i));
    lines.append(blocks.mid(firstBlock, lastBlock - firstBlock));
    for (int i = last; i < count; ++i)
        lines.append(document.Get(i));
    return lines;
}

TRawTextBinding::TRawTextBinding(QPlainTextEdit &editor, const TLineDocument &document)
    : QObject(&editor),
      FEditor(editor),
      FDocument(document),
      FFilledRevision(document.Revision())
{
    editor.installEventFilter(this);
}

void TRawTextBinding::Refill()
{
    FRefillPending = true;
    if (FEditor.isVisible())
        ApplyPendingRefill();
}

void TRawTextBinding::FillNow()
{
    FRefillPending = false;
    Fill();
}

void TRawTextBinding::ApplyPendingRefill()
{
    if (!FRefillPending)
        return;
    FRefillPending = false;
    if (FEditor.document()->isModified() || FFilledRevision != FDocument.Revision())
        Fill();
    else
        Rewind();
}

bool TRawTextBinding::HasTypedText() const
{
    return !FRefillPending && FEditor.document()->isModified();
}

void TRawTextBinding::TakenOver()
{
    FEditor.document()->setModified(false);
    FFilledRevision.reset();
}

void TRawTextBinding::DropTypedText()
{
    FFilledRevision.reset();
    FRefillPending = true;
}

bool TRawTextBinding::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show)
        ApplyPendingRefill();
    return QObject::eventFilter(watched, event);
}

// The text is current; the editor is left as filling it would leave it, so that, for one, a
// search begins at the start of the text again.
void TRawTextBinding::Rewind()
{
    FEditor.document()->clearUndoRedoStacks();
    FEditor.setTextCursor(QTextCursor(FEditor.document()));
    FEditor.horizontalScrollBar()->setValue(0);
    FEditor.verticalScrollBar()->setValue(0);
}

// The first piece goes through setPlainText, which resets the editor as for any new text; the
// rest is appended behind it, with undo off as setPlainText has it.
void TRawTextBinding::Fill()
{
    const int count = FDocument.Count();
    int last = count > 0 ? PieceEnd(FDocument, 0) : 0;
    FEditor.setPlainText(FDocument.JoinedLines(u'\n', 0, last));
    if (last < count) {
        QTextDocument *text = FEditor.document();
        text->setUndoRedoEnabled(false);
        QTextCursor end(text);
        end.movePosition(QTextCursor::End);
        end.beginEditBlock();
        for (int first = last; first < count; first = last) {
            last = PieceEnd(FDocument, first);
            end.insertText(FDocument.JoinedLines(u'\n', first, last));
        }
        end.endEditBlock();
        text->setUndoRedoEnabled(true);
    }
    FEditor.document()->setModified(false);
    FFilledRevision = FDocument.Revision();
}
