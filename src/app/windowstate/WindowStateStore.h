#pragma once

#include "app/stddialogs/StdDialogs.h"
#include "text/SettingsFile.h"

#include <QFlags>
#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

class QTreeWidget;
class QWidget;

// Which parts of a window's placement a store keeps.
enum class TFormPlacementOption { fpState = 0x1, fpSize = 0x2, fpLocation = 0x4 };
Q_DECLARE_FLAGS(TFormPlacementOptions, TFormPlacementOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFormPlacementOptions)

struct TWindowStateSettings {
    QString Folder; // the folder of the settings file: the program's folder
    QString FileName; // found in Folder with letter case ignored (SettingsFilePath)
    QString AppStoragePath = QStringLiteral("%FORM_NAME%\\"); // %FORM_NAME%: the window's objectName
    TFormPlacementOptions Options;
    QStringList StoredProps; // "Component.Property": "<name>.Width" or "<tree widget>.Columns"
    int Version = 0;
};

// Set to true on the window when a stored placement has been applied to it: a window that places
// itself when first shown (centred, say) reads it in its showEvent and then leaves its place alone.
// The store sets it from the window's show event, which reaches the store before the window.
inline constexpr char PlacementAppliedProperty[] = "placementApplied";

// Keeps a window's placement and some of its properties in the settings file, in a copy of the
// whole file read at construction. It watches its window: the first show restores, every hiding
// by the program (which is how a granted close or a finished dialog ends) saves; destroying the
// store saves once more when nothing was saved since the restore, then writes the file.
//
// The owner destroys the store while the window still lives, right before the window goes away,
// and keeps `dialogs` alive as long as the store: both are used until the end of the destructor.
class TWindowStateStore : public QObject {
public:
    // Reads the file; its read errors (EFOpenError, EEncodingError) propagate.
    TWindowStateStore(QWidget &window, TStdDialogs &dialogs, const TWindowStateSettings &settings);
    ~TWindowStateStore() override;

    TWindowStateStore(const TWindowStateStore &) = delete;
    TWindowStateStore &operator=(const TWindowStateStore &) = delete;

    void RestoreFormPlacement();
    void SaveFormPlacement();
    // Writes the copy to the file unless the file is read-only; swallows every error.
    void Flush();

    const QString &FullPath() const { return FFullPath; }
    bool ReadOnly() const { return FReadOnly; }
    bool Saved() const { return FSaved; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class TPropertyKind { Width, Columns };
    struct TStoredProp {
        QWidget *Component;
        TPropertyKind Kind;
        QString ItemKey; // component name, "_", property name
    };

    void ResolveStoredProps(const QStringList &entries);
    void RestorePlacement();
    void RestoreShowState(int currentShowCmd);
    void RestoreStoredProps();
    void RestoreColumns(QTreeWidget &list, const QString &section);
    void SetMaximizedPositionToFrame();
    void SavePlacement();
    void SaveStoredProps();
    void SaveColumns(const QTreeWidget &list, const QString &section);

    bool HasValue(const QString &key) const;
    QString ReadValue(const QString &section, const QString &key) const;
    int ReadInteger(const QString &key, int fallback) const;
    // The value of `key` with the desktop size suffix when present, else of the plain key.
    QString ReadPositionValue(const QString &key) const;
    // Nothing reaches a read-only copy.
    void WriteValue(const QString &section, const QString &key, const QString &value);

    QWidget &FWindow;
    TStdDialogs &FDialogs;
    TWindowStateSettings FSettings;
    QString FFullPath;
    TSettingsFile FCopy;
    QString FSection;
    std::vector<TStoredProp> FStoredProps;
    bool FReadOnly = false;
    bool FRestored = false;
    bool FSaved = false;
};
