#pragma once

#include <QObject>
#include <QStringList>
#include <optional>

class QPlainTextEdit;
class TLineDocument;

// Keeps a raw text editor showing its document's lines without paying for a view nobody looks
// at: a large file takes as long to lay into an editor as to read many times over. The editor is
// filled when it is shown or searched, and only when its document changed since it was filled
// or text typed into it is to be dropped.
class TRawTextBinding : public QObject {
public:
    // The editor owns the binding.
    TRawTextBinding(QPlainTextEdit &editor, const TLineDocument &document);

    // The editor's content is replaced by the document's lines: at once when the editor is
    // visible, else before it is next looked at. Text typed into it and not taken over is lost.
    void Refill();
    // Replaces the content by the document's lines at once, visible or not.
    void FillNow();
    // To be called before the editor's text is read (a search): carries out a pending refill.
    void ApplyPendingRefill();
    // Whether the editor holds typed text not yet taken over, that is, text to take over.
    bool HasTypedText() const;
    // The typed text went into the document; the editor keeps it as typed until the next refill.
    void TakenOver();
    // Forgets typed text without taking it over: the editor is refilled before it is next looked
    // at, and until then holds nothing to take over.
    void DropTypedText();

    // The document's lines after taking over the editor's `blocks` (its paragraphs). The editor
    // breaks a line at U+2029, U+FDD0 and U+FDD1, so a line of the document that holds one of
    // them shows as several paragraphs; such a line comes back as it was when the user left it
    // alone, that is, when it stands in the unchanged run before or after everything typed.
    // Nothing when such a line lies within the typed text, where no one can tell its parts.
    static std::optional<QStringList> TakenOverLines(const TLineDocument &document, const QStringList &blocks);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Fill();
    void Rewind();

    QPlainTextEdit &FEditor;
    const TLineDocument &FDocument;
    // The document's revision whose lines the editor shows; none while it shows other text.
    std::optional<quint64> FFilledRevision;
    bool FRefillPending = false;
};
