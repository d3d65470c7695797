#include "BenchInputs.h"

#include "config/ktFBFunc.h"

#include <QFile>

using namespace Qt::StringLiterals;

// Laid out as the server ships its file: comment blocks around commented-out defaults, with every
// tenth parameter active and blanks around its "=" so that normalising has work to do.
QByteArray GeneratedConfig(int lineCount, QByteArrayView lineEnd)
{
    const QStringList catalogue = ParamCatalogNames();
    QByteArray text;
    int lines = 0;
    const auto addLine = [&](const QByteArray &line) {
        if (lines == lineCount)
            return;
        text += line;
        text += lineEnd;
        ++lines;
    };
    for (int entry = 0; lines < lineCount; ++entry) {
        // The catalogue's own names come first, once; later parameters are unknown to it.
        QByteArray name = catalogue.at(entry % catalogue.size()).toLatin1();
        if (entry >= catalogue.size())
            name += QByteArray::number(entry / catalogue.size());
        const QByteArray assignment = name + " = " + QByteArray::number(entry % 65536);

        addLine("#");
        addLine("# ----------------------------");
        addLine("# " + name + " sets how the server behaves; see the release notes");
        addLine("# for the details.");
        addLine("#");
        addLine("# Type: integer");
        addLine("#");
        addLine(entry % 10 == 9 ? assignment : "#" + assignment);
        addLine("");
    }
    return text;
}

QStringList HostileKinds()
{
    return {u"config"_s, u"oneline"_s, u"empty"_s, u"sections"_s, u"columns"_s};
}

bool IsSettingsKind(const QString &kind)
{
    return kind == u"sections"_s || kind == u"columns"_s;
}

QByteArray HostileInput(const QString &kind, int scale)
{
    if (kind == u"config"_s)
        return GeneratedConfig(1'000'000 / scale);
    if (kind == u"oneline"_s)
        return "OwnSetting = " + QByteArray(5 * 1024 * 1024 / scale, 'v');
    if (kind == u"empty"_s)
        return QByteArray("\r\n").repeated(1'000'000 / scale);
    if (kind == u"sections"_s || kind == u"columns"_s) {
        QByteArray text;
        // The window's column sets ask for as many columns as a set may have, each looked up
        // among all the sections.
        if (kind == u"columns"_s) {
            text += "[ParvexDlg]\r\nFormVersion=0\r\n";
            text += "[ParvexDlg\\ParvexList_Columns]\r\nCount=1024\r\n";
            text += "[ParvexDlg\\FBAliasList_Columns]\r\nCount=1024\r\n";
        }
        for (int section = 0; section < 100'000 / scale; ++section)
            text += "[Section" + QByteArray::number(section) + "]\r\nKey=Value " + QByteArray::number(section) + "\r\n";
        return text;
    }
    qFatal("unknown input %s", qPrintable(kind));
}

void WriteBytes(const QString &path, const QByteArray &bytes, QIODevice::OpenMode mode)
{
    QFile file(path);
    if (!file.open(mode) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}
