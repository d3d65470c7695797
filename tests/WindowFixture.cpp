#include "WindowFixture.h"

#include "app/dialogs/ktParvexItemEdit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

using namespace Qt::StringLiterals;

TWindowFixture::TWindowFixture() = default;

QString TWindowFixture::WriteServerFile(const QString &name, const QByteArray &bytes)
{
    const QString path = QDir(FServer.path()).filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write fixture %s", qPrintable(path));
    return path;
}

QByteArray TWindowFixture::ReadServerFile(const QString &name) const
{
    QFile file(QDir(FServer.path()).filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TWindowFixture::WriteSettings(const QByteArray &bytes)
{
    QFile file(QDir(FProgram.path()).filePath(u"Tessaro.ini"_s));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write settings fixture");
}

void TWindowFixture::EndProgram()
{
    FWindow->close();
    FWindow.reset();
}

QByteArray TWindowFixture::ReadSettings() const
{
    QFile file(QDir(FProgram.path()).filePath(u"Tessaro.ini"_s));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TParvexDlg &TWindowFixture::Open(std::optional<QString> serverFolder)
{
    auto lookup = [serverFolder](QString &folder) {
        if (!serverFolder)
            return false;
        folder = *serverFolder;
        return true;
    };
    FWindow = std::make_unique<TParvexDlg>(Dialogs, QDir(FProgram.path()).filePath(u"Tessaro.ini"_s), lookup);
    FWindow->SetRestartLookup([this] { return Restart; });
    FWindow->show();
    return *FWindow;
}

QString TWindowFixture::ShownRawText(int page)
{
    auto *pages = Control<QTabWidget>("pcMain");
    if (pages->currentIndex() != page)
        pages->setCurrentIndex(page);
    Control<QTabWidget>(page == TParvexDlg::AliasPage ? "pcAlias" : "pcConfig")->setCurrentIndex(TParvexDlg::FileTab);
    return Control<QPlainTextEdit>(page == TParvexDlg::AliasPage ? "edtAliasFile" : "edtConfigFile")->toPlainText();
}

void AnswerEditDialog(const QString &value, bool pressOk)
{
    QTimer::singleShot(0, [value, pressOk] {
        auto *dialog = qobject_cast<TParvexItemEditDlg *>(QApplication::activeModalWidget());
        if (!dialog)
            qFatal("the edit dialog is not shown");
        dialog->findChild<QLineEdit *>(u"edtConfigValue"_s)->setText(value);
        dialog->findChild<QPushButton *>(pressOk ? u"OkBtn"_s : u"CancelBtn"_s)->click();
    });
}

QByteArray CrLfLines(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}
