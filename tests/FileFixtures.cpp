#include "FileFixtures.h"

#include "text/Errors.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

QString TFixtureFolder::Fixture(const QByteArray &bytes) const
{
    const QString path = filePath(u"fixture.conf"_s);
    WriteFixture(path, bytes);
    return path;
}

TLineDocument TFixtureFolder::Loaded(const QByteArray &bytes) const
{
    TLineDocument document;
    document.LoadFromFile(Fixture(bytes));
    return document;
}

QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteFixture(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QString CreateErrorText(const QString &path, int errorCode)
{
    return u"Datei \"%1\" kann nicht erstellt werden. %2"_s.arg(QDir::toNativeSeparators(path),
                                                                SystemErrorText(errorCode));
}

QString ChangedErrorText(const QString &path)
{
    return u"Datei \"%1\" wurde während des Speicherns von einem anderen Programm geändert und nicht überschrieben"_s
        .arg(QDir::toNativeSeparators(path));
}

void FillFileSystem(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'f');
    qint64 written = 0;
    while (file.write(block) == block.size())
        written += block.size();
    // A single byte more fails too: the last block is full.
    while (file.write("f", 1) == 1)
        ++written;
    QVERIFY2(written > 0, "the file system was full before");
}
