#include "config/ktFBFunc.h"

#include "text/ktStrings.h"

#include <QStringBuilder>
#include <QStringView>
#include <algorithm>
#include <optional>

namespace {
// Firebird 3.0, 4 and 5 know none of these names: none occurs in the server's binaries.
constexpr TServerUse Ignored = TServerUse::Ignored;
using enum TParamKind;
} // namespace

const std::array<TParamCatalogRow, 37> ParamCatalog = {{
    {"RootDirectory", "", Path, Ignored},
    {"ExternalTablesDirs", "", PathList, Ignored},
    {"DefaultDbCachePages", "2048", Integer},
    {"SortMemBlockSize", "1048576", Integer, Ignored},
    {"SortMemUpperLimit", "67108864", Integer, Ignored},
    {"OldParameterOrdering", "0", Switch, Ignored},
    {"CompleteBooleanEvaluation", "0", Switch, Ignored},
    {"DeadlockTimeout", "10", Integer},
    {"EventMemSize", "65536", Integer},
    {"MaxUnflushedWrites", "100", Integer},
    {"MaxUnflushedWriteTime", "5", Integer},
    {"ConnectionTimeout", "180", Integer},
    {"DummyPacketInterval", "60", Integer},
    {"RemoteServiceName", "gds_db", PortOrService},
    {"RemoteServicePort", "3050", Port},
    {"RemoteAuxPort", "0", Port},
    {"TcpRemoteBufferSize", "8192", Integer},
    {"TcpNoNagle", "0", Switch},
    {"RemoteBindAddress", "", Address},
    {"LockMemSize", "262144", Integer},
    {"LockSemCount", "32", Integer, Ignored},
    {"LockGrantOrder", "1", Switch, Ignored},
    {"LockRequireSpins", "0", Integer, Ignored},
    {"LockHashSlots", "101", Integer},
    {"CpuAffinityMask", "1", Integer},
    {"PrioritySwitchDelay", "100", Integer, Ignored},
    {"DeadThreadsCollection", "50", Integer, Ignored},
    {"PriorityBoost", "5", Integer, Ignored},
    {"GuardianOption", "1", Integer},
    {"ProcessPriorityLevel", "0", Integer},
    {"IpcMapSize", "4096", Integer, Ignored},
    {"IpcName", "FirebirdIPI", Name},
    {"RemotePipeName", "interbas", Name},
    {"CreateInternalWindow", "1", Switch, Ignored},
    {"LockSignal", "16", Integer, Ignored},
    {"RemoteFileOpenAbility", "0", Switch},
    {"ServerMode", "", Choice},
}};

const std::array<TAliasCatalogRow, 8> AliasCatalog = {{
    {"hv_sec", "Anmelde-Datenbank", "hv_sec.db"},
    {"hv", "Stamm-Datenbank", "hv.db"},
    {"hv_media", "Medien-Datenbank", "hv_media.db"},
    {"hv_mkt", "Marktplatz-Datenbank", "hv_mkt.db"},
    {"pq_items", "Objekte", "pq_items.db"},
    {"pq_stock", "Bestandteile", "pq_stock.db"},
    {"pq_rates", "Tarife", "pq_rates.db"},
    {"pq_pics", "Bestandteil-Abbildungen", "pq_pics.db"},
}};

namespace {

// One column of a catalogue, in row order.
template <class Row, std::size_t Count>
QStringList CatalogColumn(const std::array<Row, Count> &catalog, const char *Row::*column)
{
    QStringList texts;
    texts.reserve(qsizetype(Count));
    for (const Row &row : catalog)
        texts.append(QString::fromUtf8(row.*column));
    return texts;
}

} // namespace

QStringList ParamCatalogNames()
{
    return CatalogColumn(ParamCatalog, &TParamCatalogRow::Name);
}

QStringList AliasCatalogKeys()
{
    return CatalogColumn(AliasCatalog, &TAliasCatalogRow::Key);
}

QString SecurityAlias()
{
    return QString::fromUtf8(AliasCatalog.front().Key);
}

namespace {

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Whether a line that begins with `first` may be a commented-out assignment, as below.
bool MayBeCommented(QChar first)
{
    return first == u'#' || IsBlank(first);
}

// The value of `line` when it is the commented-out assignment of exactly `key`: blanks and "#"
// characters ending in "#", the key, optional blanks, then "=" or the end of the line. Anything
// else (a longer name, prose after the key, text before the "#") is not this key's default.
std::optional<QStringView> CommentedValue(QStringView line, QStringView key)
{
    qsizetype start = 0;
    while (start < line.size() && (line[start] == u'#' || IsBlank(line[start])))
        ++start;
    if (start == 0 || line[start - 1] != u'#')
        return std::nullopt;

    QStringView rest = line.mid(start);
    if (!rest.startsWith(key))
        return std::nullopt;
    rest = rest.mid(key.size());

    qsizetype separator = 0;
    while (separator < rest.size() && IsBlank(rest[separator]))
        ++separator;
    if (separator == rest.size())
        return QStringView();
    if (rest[separator] != u'=')
        return std::nullopt;
    return Trim(rest.mid(separator + 1));
}

} // namespace

void NormalizeLines(TLineDocument &document)
{
    const int count = document.Count();
    QString scratch;
    for (int i = 0; i < count; ++i) {
        if (document.FirstChar(i) == u'#')
            continue;
        const QStringView line = Utf16(document.Line(i), scratch);
        if (line.isEmpty())
            continue;
        // The name is ExtractField(line, '=', 0); taken as a view of the line instead, it costs no
        // copy for each of a large file's lines, most of which stay as they are.
        const qsizetype separator = line.indexOf(u'=');
        if (separator < 0)
            continue;
        const QStringView name = Trim(line.left(separator));
        const QStringView value = Trim(line.mid(separator + 1));
        if (name.isEmpty() || value.isEmpty())
            continue;
        // Nearly every line of a large file is already in this form; leaving it alone keeps the
        // pass free of copies.
        if (name.size() + 1 + value.size() == line.size())
            continue;
        document.Put(i, name % u'=' % value);
    }
}

void ActivateCommentedKey(TLineDocument &document, const QString &key)
{
    const int count = document.Count();
    QString scratch;
    for (int i = 0; i < count; ++i) {
        if (!MayBeCommented(document.FirstChar(i)))
            continue;
        if (const std::optional<QStringView> value = CommentedValue(Utf16(document.Line(i), scratch), key)) {
            document.Put(i, key % u'=' % *value);
            return;
        }
    }
}

void SetConfigValue(TLineDocument &document, const QString &key, const QString &value)
{
    // Presence decides, not the value: a line "key=" left by a hand edit takes the new value
    // itself instead of gaining a second active line from the commented-out default.
    if (document.IndexOfName(key) < 0)
        ActivateCommentedKey(document, key);
    document.SetValues(key, value);
}

void AddAlias(TLineDocument &document, const QString &key, const QString &path)
{
    document.Add(key % u'=' % AliasValue(path));
    const QString securityAlias = SecurityAlias();
    if (key != securityAlias && document.IndexOfName(securityAlias) >= 0)
        AddSecurityBlock(document);
}

void AddSecurityBlock(TLineDocument &document)
{
    document.Add(QStringLiteral("{"));
    document.Add(QStringLiteral("SecurityDatabase=") + SecurityAlias());
    document.Add(QStringLiteral("}"));
}

QString AliasValue(const QString &path)
{
    // Whatever trimming would take from either end, the server's or the line normalisation's.
    const auto trimmed = [](QChar c) { return c.unicode() <= u' '; };
    const bool needsQuotes =
        path.contains(u'#') || (!path.isEmpty() && (trimmed(path.front()) || trimmed(path.back())));
    return needsQuotes ? u'"' % path % u'"' : path;
}

TAliasValueParts SplitAliasValue(QStringView value)
{
    // The server counts the quotes: inside the first pair, "#" and "{" are part of the path.
    qsizetype end = value.size();
    int quotes = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'"') {
            ++quotes;
        } else if ((c == u'#' || c == u'{') && quotes != 1) {
            end = i;
            break;
        }
    }
    const QStringView path = Trim(value.first(end));
    const qsizetype pathEnd = path.isEmpty() ? 0 : path.data() - value.data() + path.size();
    return {path, value.sliced(pathEnd)};
}

QString AliasPath(QStringView value)
{
    const QStringView path = SplitAliasValue(value).Path;
    if (path.size() >= 2 && path.startsWith(u'"') && path.endsWith(u'"'))
        return path.sliced(1, path.size() - 2).toString();
    return path.toString();
}

QStringList AliasPaths(const TLineDocument &document, const QStringList &keys)
{
    QStringList paths = document.ValuesOf(keys);
    for (QString &path : paths)
        path = AliasPath(path);
    return paths;
}

QString DatabaseFileName(const QString &path, QChar separator)
{
    qsizetype cut = path.lastIndexOf(separator);
    if (separator == u'\\')
        cut = std::max(cut, path.lastIndexOf(u':'));
    return path.mid(cut + 1);
}

QString AssignAliasFolder(TLineDocument &document, const QString &folder, QChar separator, const QString &key,
                          int index)
{
    const int line = document.IndexOfName(key);
    if (line < 0) {
        const QString path = folder + QString::fromLatin1(AliasCatalog.at(std::size_t(index)).FileName);
        AddAlias(document, key, path);
        return path;
    }
    const QString text = document.Get(line);
    const qsizetype separatorAt = text.indexOf(u'=');
    const TAliasValueParts value = SplitAliasValue(QStringView(text).sliced(separatorAt + 1));
    const QString current = AliasPath(value.Path);
    // A line left empty by hand gets the path in place; a second line would stay hidden.
    const QString path = folder
        + (current.isEmpty() ? QString::fromLatin1(AliasCatalog.at(std::size_t(index)).FileName)
                             : DatabaseFileName(current, separator));
    // A comment that stood straight after the "=" of an empty line is set off from the new path.
    const bool needsBlank = !value.Rest.isEmpty() && value.Rest.front().unicode() > u' ';
    document.Put(line,
                 QStringView(text).first(separatorAt) % u'=' % AliasValue(path)
                     % (needsBlank ? QStringView(u" ") : QStringView()) % value.Rest);
    return path;
}
