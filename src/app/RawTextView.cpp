#include "app/RawTextView.h"

#include "text/LineDocument.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

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

} // namespace

TRawTextView::TRawTextView(QPlainTextEdit &editor, const TLineDocument &document)
    : QObject(&editor),
      FEditor(editor),
      FDocument(document),
      FFilledRevision(document.Revision())
{
    editor.installEventFilter(this);
}

void TRawTextView::Refill()
{
    FRefillPending = true;
    if (FEditor.isVisible())
        Settle();
}

void TRawTextView::FillNow()
{
    FRefillPending = false;
    Fill();
}

void TRawTextView::Settle()
{
    if (!FRefillPending)
        return;
    FRefillPending = false;
    if (FEditor.document()->isModified() || FFilledRevision != FDocument.Revision())
        Fill();
    else
        Rewind();
}

bool TRawTextView::HasTypedText() const
{
    return !FRefillPending && FEditor.document()->isModified();
}

void TRawTextView::TakenOver()
{
    FEditor.document()->setModified(false);
    FFilledRevision.reset();
}

bool TRawTextView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show)
        Settle();
    return QObject::eventFilter(watched, event);
}

// The text is current; the editor is left as filling it would leave it, so that, for one, a
// search begins at the start of the text again.
void TRawTextView::Rewind()
{
    FEditor.document()->clearUndoRedoStacks();
    FEditor.setTextCursor(QTextCursor(FEditor.document()));
    FEditor.horizontalScrollBar()->setValue(0);
    FEditor.verticalScrollBar()->setValue(0);
}

// The first piece goes through setPlainText, which resets the editor as for any new text; the
// rest is appended behind it, with undo off as setPlainText has it.
void TRawTextView::Fill()
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
