#include "app/ktParvex.h"

#include "text/ktStrings.h"

#include <QFileInfo>
#include <QLabel>

// The status line below the pages. The server reads firebird.conf only when it starts, but
// databases.conf at every connection: after a save the line says which applies, and while a
// page holds changes not yet saved (raw text not yet taken over included) it names its file.

namespace {

// Between the parts of the status line.
const QString PartSeparator = QStringLiteral("   ·   ");

} // namespace

void TParvexDlg::UpdateStatus()
{
    const QString text = StatusText();
    lblStatus->setText(text);
    // The line may be cut at the window's edge; the tooltip holds it whole.
    lblStatus->setToolTip(text);
}

QString TParvexDlg::StatusText() const
{
    QStringList unsaved;
    QStringList parts;
    for (const TDocumentPage *page : {&FConfigPage, &FAliasPage}) {
        if (page->FileName.isEmpty())
            continue;
        if (page->Unsaved || page->Binding->HasTypedText())
            unsaved << QFileInfo(page->FileName).fileName();
        else if (page->SavedSinceLoad)
            parts << SavedNote(*page);
    }
    if (!unsaved.isEmpty())
        parts.prepend(
            FormatWithOneString(Text(QStringLiteral("StatusUnsaved"), QStringLiteral("Nicht gespeichert: %s")),
                                unsaved.join(QStringLiteral(", "))));
    return parts.join(PartSeparator);
}

QString TParvexDlg::SavedNote(const TDocumentPage &page) const
{
    const QString fileName = QFileInfo(page.FileName).fileName();
    if (&page == &FAliasPage)
        return FormatWithOneString(
            Text(QStringLiteral("StatusAliasSaved"),
                 QStringLiteral("%s gespeichert: die Aliase gelten ab der nächsten Verbindung.")),
            fileName);
    QString note = FormatWithOneString(
        Text(QStringLiteral("StatusConfigSaved"),
             QStringLiteral("%s gespeichert: der Server übernimmt die Änderungen erst bei seinem nächsten Start.")),
        fileName);
    if (FRestart.Running && !FRestart.Command.isEmpty())
        note += u' '
            + FormatWithOneString(Text(QStringLiteral("StatusRestartCommand"), QStringLiteral("Neu starten mit: %s")),
                                  FRestart.Command);
    else if (FRestart.Running)
        note += u' '
            + Text(QStringLiteral("StatusServerRunning"),
                   QStringLiteral("Der Server läuft: starten Sie ihn neu, damit er sie liest."));
    return note;
}
