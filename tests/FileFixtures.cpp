#include "FileFixtures.h"

#include "text/Errors.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

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
    return u"Datei \"%1\" kann nicht erstellt werden. %2"_s
        .arg(QDir::toNativeSeparators(path), SystemErrorText(errorCode));
}
