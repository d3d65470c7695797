#include "config/ParamKinds.h"

#include "config/ktFBFunc.h"
#include "text/ktStrings.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <limits>
#include <vector>

// What the server does with a value is Firebird 3.0.11's behaviour as measured on Debian's server:
// it never refuses a value nor logs one, it reads every text outside its syntax as 0 and clamps a
// few parameters where it uses them. A reason therefore names the value the server takes, so that
// the administrator sees the effect, not just a fault.

namespace {

using enum TParamKind;

// A text of the language file: its key and the German text for a file without it. A reason is a
// cause, which ends in a colon, and an effect, which names what the server does; each holds at most
// one "%s".
struct TText {
    const char *Key;
    const char *Fallback;
};

// Causes.
constexpr TText NotInteger{"KindNotInteger", "„%s“ ist keine ganze Zahl, also 0:"};
constexpr TText EmptyValue{"KindEmptyValue", "Leerer Wert:"};
constexpr TText BelowMin{"KindBelowMin", "Unter %s:"};
constexpr TText AboveMax{"KindAboveMax", "Über %s:"};
constexpr TText Negative{"KindNegative", "Negativ:"};
constexpr TText Beyond32Bit{"KindBeyond32Bit", "Zu groß für 32 Bit, der Server kürzt auf %s:"};
constexpr TText NotSwitch{"KindNotSwitch", "„%s“ ist kein Schalterwert:"};
constexpr TText UnknownMode{"KindUnknownMode", "Unbekannte Betriebsart „%s“:"};
constexpr TText AddressList{"KindAddressList", "„%s“ ist mehr als eine Adresse:"};
constexpr TText AddressColonPort{"KindAddressColonPort", "„%s“ trennt den Port mit „:“ statt mit „/“ ab:"};
constexpr TText AddressBadNumber{"KindAddressBadNumber", "„%s“ ist keine IP-Adresse:"};
constexpr TText IllegalLine{"KindIllegalLine", "Die Zeile mit „%s“ kann der Server nicht lesen:"};

// Effects.
constexpr TText TakesNumber{"KindTakesNumber", "der Server nimmt %s."};
constexpr TText TakesPages{"KindTakesPages", "der Server nimmt %s Seiten."};
constexpr TText TakesBytes{"KindTakesBytes", "der Server nimmt %s Bytes."};
constexpr TText TakesSeconds{"KindTakesSeconds", "der Server nimmt %s Sekunden."};
constexpr TText TakesSlots{"KindTakesSlots", "der Server nimmt %s Hash-Einträge."};
constexpr TText TakesPort{"KindTakesPort", "der Server nimmt Port %s."};
constexpr TText ModeDefaultPages{
    "KindModeDefaultPages",
    "der Server nimmt die Vorgabe der Betriebsart (2048 Seiten bei Super, 256 bei Classic und SuperClassic)."};
constexpr TText NoStart{"KindNoStart", "der Server startet nicht."};
constexpr TText CrashAtStart{"KindCrashAtStart", "der Server stürzt beim Start ab."};
constexpr TText EventsFail{"KindEventsFail", "Ereignisse gehen dann nicht."};
constexpr TText EventsCrash{"KindEventsCrash", "der Server kann beim ersten Ereignis abbrechen."};
constexpr TText FlushEveryCommit{"KindFlushEveryCommit", "der Server schreibt nach jedem Commit auf die Platte."};
constexpr TText FlushEverySecond{"KindFlushEverySecond",
                                 "der Server schreibt beim ersten Commit nach jeder Sekunde auf die Platte."};
constexpr TText NoDummyPackets{"KindNoDummyPackets", "der Server schickt keine Leerpakete."};
constexpr TText TakesServiceName{"KindTakesServiceName", "der Server nimmt RemoteServiceName."};
constexpr TText RandomAuxPort{"KindRandomAuxPort", "der Server wählt jedes Mal einen freien Port."};
constexpr TText ServiceRandomPort{"KindServiceRandomPort",
                                  "ohne RemoteServicePort wählt der Server einen Port nach Zufall."};
constexpr TText ServiceTakesPort{"KindServiceTakesPort", "ohne RemoteServicePort nimmt der Server Port %s."};
constexpr TText SwitchOff{"KindSwitchOff", "der Server liest aus (0)."};
constexpr TText SwitchOn{"KindSwitchOn", "der Server liest ein (1)."};
constexpr TText ModeSuper{"KindModeSuper", "der Server arbeitet als Super."};

struct TPart {
    TText Text;
    QString Argument;
};

struct TReason {
    TPart Cause;
    TPart Effect;
};

QString Compose(const std::optional<TReason> &reason, const TTextLookup &text)
{
    if (!reason)
        return {};
    const auto part = [&text](const TPart &part) {
        return FormatWithOneString(text(QString::fromUtf8(part.Text.Key), QString::fromUtf8(part.Text.Fallback)),
                                   part.Argument);
    };
    return part(reason->Cause) + u' ' + part(reason->Effect);
}

// The value as the server's line reader gives it: the text up to a "#" outside double quotes,
// without the blanks around it and without the double quotes at its ends. No value for a line the
// reader refuses: a quote after a closing one, other text after it, or a quote left open.
std::optional<QString> ServerReadValue(QStringView value)
{
    int quotes = 0;
    qsizetype end = value.size();
    for (qsizetype at = 0; at < value.size() && end == value.size(); ++at) {
        const QChar c = value[at];
        if (c == u'"') {
            if (quotes >= 2)
                return std::nullopt;
            ++quotes;
        } else if (c == u'#') {
            if (quotes != 1)
                end = at;
        } else if (c != u' ' && c != u'\t' && c != u'\r' && quotes >= 2) {
            return std::nullopt;
        }
    }
    if (quotes == 1)
        return std::nullopt;
    QStringView read = value.first(end);
    const auto trimEnds = [&read](auto isTrimmed) {
        while (!read.isEmpty() && isTrimmed(read.front()))
            read = read.sliced(1);
        while (!read.isEmpty() && isTrimmed(read.back()))
            read.chop(1);
    };
    trimEnds([](QChar c) { return c == u' ' || c == u'\t' || c == u'\r'; });
    trimEnds([](QChar c) { return c == u'"'; });
    return read.toString();
}

// The number the server reads from an integer's text: any number of "-" signs (blanks between
// them and the digits allowed), digits, at most one suffix k, m or g. No number for any other text,
// which the server reads as 0. Digits beyond 64 bits wrap as they do in the server.
std::optional<qint64> ServerInteger(QStringView text)
{
    quint64 number = 0;
    bool negative = false;
    enum { Sign, Digits, Suffix } state = Sign;
    for (const QChar c : text) {
        const char16_t letter = QChar::toLower(c.unicode());
        if (c >= u'0' && c <= u'9' && state != Suffix) {
            state = Digits;
            number = number * 10 + quint64(c.unicode() - u'0');
        } else if (c == u'-' && state == Sign) {
            negative = !negative;
        } else if ((c == u' ' || c == u'\t') && state == Sign) {
        } else if ((letter == u'k' || letter == u'm' || letter == u'g') && state == Digits) {
            state = Suffix;
            number <<= letter == u'k' ? 10 : letter == u'm' ? 20 : 30;
        } else {
            return std::nullopt;
        }
    }
    if (state == Sign)
        return std::nullopt;
    return qint64(negative ? quint64(0) - number : number);
}

// The int the server's getters make of a number: its low 32 bits.
qint64 Low32Bits(qint64 number)
{
    return qint32(quint32(quint64(number)));
}

// A range of numbers the server does not take as written, and what it does with them.
struct TBand {
    qint64 Low;
    qint64 High;
    TText Cause; // BelowMin takes High + 1, AboveMax Low - 1
    TText Effect;
    qint64 Takes; // the effect's number; for a negative number the number as unsigned 32 bits
};

constexpr qint64 IntMin = std::numeric_limits<qint32>::min();
constexpr qint64 IntMax = std::numeric_limits<qint32>::max();
constexpr qint64 AsUnsigned = -1;

struct TIntegerRule {
    const char *Name;
    TText Unit; // the server taking a number as written
    std::vector<TBand> Bands; // the numbers it does not take as written
    std::optional<TText> Zero{}; // what 0 means where the server takes it as written
    bool Wide = false; // read as 64 bits
};

const std::vector<TIntegerRule> &IntegerRules()
{
    static const std::vector<TIntegerRule> rules = {
        {"DefaultDbCachePages",
         TakesPages,
         {{IntMin, -1, Negative, ModeDefaultPages, 0}, {0, 49, BelowMin, TakesPages, 50}}},
        {"DeadlockTimeout", TakesSeconds, {{IntMin, -1, Negative, TakesSeconds, AsUnsigned}}},
        // 0 leaves the event manager no memory; 1 crashed it on the first event, 1000 did not.
        {"EventMemSize", TakesBytes, {{IntMin, 0, BelowMin, EventsFail, 0}, {1, 999, BelowMin, EventsCrash, 0}}},
        {"MaxUnflushedWrites", TakesNumber, {}, FlushEveryCommit},
        {"MaxUnflushedWriteTime", TakesSeconds, {}, FlushEverySecond},
        {"ConnectionTimeout", TakesSeconds, {}},
        {"DummyPacketInterval", TakesSeconds, {{IntMin, -1, Negative, TakesSeconds, 60}}, NoDummyPackets},
        {"TcpRemoteBufferSize",
         TakesBytes,
         {{IntMin, 1447, BelowMin, TakesBytes, 1448}, {32768, IntMax, AboveMax, TakesBytes, 32767}}},
        // The server raises less than 64 KB to 64 KB, which the lock table's 8191 default hash slots
        // do not fit in; 100000 bytes were enough.
        {"LockMemSize", TakesBytes, {{IntMin, 99999, BelowMin, CrashAtStart, 0}}},
        {"LockHashSlots",
         TakesSlots,
         {{IntMin, 100, BelowMin, TakesSlots, 101}, {65522, IntMax, AboveMax, TakesSlots, 65521}}},
        {"CpuAffinityMask", TakesNumber, {}, std::nullopt, true},
        {"GuardianOption", TakesNumber, {}},
        {"ProcessPriorityLevel", TakesNumber, {}},
    };
    return rules;
}

const TIntegerRule *IntegerRuleOf(QStringView name)
{
    const auto &rules = IntegerRules();
    const auto rule = std::find_if(rules.begin(), rules.end(),
                                   [name](const TIntegerRule &row) { return name == QLatin1StringView(row.Name); });
    return rule == rules.end() ? nullptr : &*rule;
}

// What the server does with `number` where it is not taken as written; or, with `asWritten`, also
// how it takes a number as written.
std::optional<TReason> IntegerEffect(const TIntegerRule &rule, qint64 number, const TPart &cause, bool asWritten)
{
    for (const TBand &band : rule.Bands) {
        if (number < band.Low || number > band.High)
            continue;
        const qint64 takes = band.Takes == AsUnsigned ? qint64(quint32(qint32(number))) : band.Takes;
        TPart bandCause{band.Cause, {}};
        if (band.Cause.Key == BelowMin.Key)
            bandCause.Argument = QString::number(band.High + 1);
        else if (band.Cause.Key == AboveMax.Key)
            bandCause.Argument = QString::number(band.Low - 1);
        return TReason{cause.Text.Key ? cause : bandCause, {band.Effect, QString::number(takes)}};
    }
    if (!asWritten)
        return std::nullopt;
    if (number == 0 && rule.Zero)
        return TReason{cause, {*rule.Zero, {}}};
    return TReason{cause, {rule.Unit, QString::number(number)}};
}

std::optional<TReason> IntegerReason(const TIntegerRule &rule, const QString &read)
{
    const std::optional<qint64> number = ServerInteger(read);
    if (!number)
        return IntegerEffect(rule, 0, {read.isEmpty() ? EmptyValue : NotInteger, read}, true);
    if (!rule.Wide && Low32Bits(*number) != *number) {
        const qint64 low = Low32Bits(*number);
        return IntegerEffect(rule, low, {Beyond32Bit, QString::number(low)}, true);
    }
    return IntegerEffect(rule, *number, {{nullptr, nullptr}, {}}, false);
}

std::optional<TReason> PortReason(QStringView name, const QString &read)
{
    const TText zero = name == u"RemoteAuxPort" ? RandomAuxPort : TakesServiceName;
    const std::optional<qint64> number = ServerInteger(read);
    TPart cause;
    if (!number)
        cause = {read.isEmpty() ? EmptyValue : NotInteger, read};
    else if (Low32Bits(*number) != *number)
        cause = {Beyond32Bit, QString::number(Low32Bits(*number))};
    else if (*number < 0)
        cause = {Negative, {}};
    else if (*number > 65535)
        cause = {AboveMax, QStringLiteral("65535")};
    else
        return std::nullopt;
    // The server keeps the port in 16 bits.
    const quint16 port = quint16(number.value_or(0));
    if (port == 0)
        return TReason{cause, {zero, {}}};
    return TReason{cause, {TakesPort, QString::number(port)}};
}

// Whether `text` is digits with an optional "-" before them.
bool PlainInteger(QStringView text)
{
    if (text.startsWith(u'-'))
        text = text.sliced(1);
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

std::optional<TReason> ServiceReason(const QString &read)
{
    if (read.isEmpty())
        return TReason{{EmptyValue, {}}, {ServiceRandomPort, {}}};
    if (!PlainInteger(read) || read.startsWith(u'-'))
        return std::nullopt;
    // The system's name lookup reads a numeric service as C's strtoul does, up to its largest
    // number, and keeps it in 16 bits.
    bool fits = false;
    const quint64 number = read.toULongLong(&fits);
    if (fits && number <= 65535)
        return std::nullopt;
    const quint16 port = fits ? quint16(number) : quint16(65535);
    const TPart cause{AboveMax, QStringLiteral("65535")};
    if (port == 0)
        return TReason{cause, {ServiceRandomPort, {}}};
    return TReason{cause, {ServiceTakesPort, QString::number(port)}};
}

std::optional<TReason> SwitchReason(const QString &read)
{
    static const QStringList known = {QStringLiteral("yes"),   QStringLiteral("no"), QStringLiteral("true"),
                                      QStringLiteral("false"), QStringLiteral("y"),  QStringLiteral("n"),
                                      QStringLiteral("off")};
    // "off" is no word of the server's either, but it reads it as the 0 it stands for.
    if (known.contains(read, Qt::CaseInsensitive) || PlainInteger(read))
        return std::nullopt;
    // The server takes a value for on when C's atoi gives a number other than 0.
    QStringView rest = Trim(read);
    if (rest.startsWith(u'+') || rest.startsWith(u'-'))
        rest = rest.sliced(1);
    qsizetype digits = 0;
    while (digits < rest.size() && rest[digits] >= u'0' && rest[digits] <= u'9')
        ++digits;
    const bool on = std::any_of(rest.begin(), rest.begin() + digits, [](QChar c) { return c != u'0'; });
    return TReason{{read.isEmpty() ? EmptyValue : NotSwitch, read}, {on ? SwitchOn : SwitchOff, {}}};
}

std::optional<TReason> ModeReason(const QString &read)
{
    static const QStringList modes = {QStringLiteral("Super"),        QStringLiteral("ThreadedDedicated"),
                                      QStringLiteral("SuperClassic"), QStringLiteral("ThreadedShared"),
                                      QStringLiteral("Classic"),      QStringLiteral("MultiProcess")};
    if (modes.contains(read, Qt::CaseInsensitive))
        return std::nullopt;
    return TReason{{read.isEmpty() ? EmptyValue : UnknownMode, read}, {ModeSuper, {}}};
}

// Whether the system's address parser (inet_aton) refuses dotted decimal numbers, which the server
// then looks up as a host name in vain. Parts with a leading 0 are octal to it: left to the system.
bool BadDottedNumber(QStringView host)
{
    const QList<QStringView> parts = host.split(u'.');
    if (parts.size() > 4)
        return true;
    for (qsizetype at = 0; at < parts.size(); ++at) {
        const QStringView part = parts[at];
        if (part.isEmpty())
            return true;
        if (part.size() > 1 && part.front() == u'0')
            return false;
        const int bits = at + 1 < parts.size() ? 8 : 8 * int(5 - parts.size());
        if (part.size() > 10 || part.toULongLong() >= (quint64(1) << bits))
            return true;
    }
    return false;
}

std::optional<TReason> AddressReason(const QString &read)
{
    // "/port" after the address sets the port; brackets enclose an IPv6 address.
    const QStringView host = QStringView(read).first(read.contains(u'/') ? read.indexOf(u'/') : read.size());
    if (host.isEmpty() || host.startsWith(u'['))
        return std::nullopt;
    const TPart noStart{NoStart, {}};
    if (host.contains(u',') || host.contains(u' ') || host.contains(u'\t'))
        return TReason{{AddressList, read}, noStart};
    if (host.count(u':') == 1)
        return TReason{{AddressColonPort, read}, noStart};
    const bool dotted =
        std::all_of(host.begin(), host.end(), [](QChar c) { return c == u'.' || (c >= u'0' && c <= u'9'); });
    if (dotted && BadDottedNumber(host))
        return TReason{{AddressBadNumber, read}, noStart};
    return std::nullopt;
}

const TParamCatalogRow *CatalogRowOf(QStringView name)
{
    const auto row = std::find_if(ParamCatalog.begin(), ParamCatalog.end(),
                                  [name](const TParamCatalogRow &row) { return name == QLatin1StringView(row.Name); });
    return row == ParamCatalog.end() ? nullptr : &*row;
}

} // namespace

std::optional<TParamKind> ParamKindOf(QStringView name)
{
    const TParamCatalogRow *row = CatalogRowOf(name);
    return row ? std::optional(row->Kind) : std::nullopt;
}

QString UnusableValueReason(QStringView name, QStringView value, const TTextLookup &text)
{
    if (value.isEmpty())
        return {};
    const std::optional<QString> read = ServerReadValue(value);
    // The reader parses every line before it looks at the name, so this stops the server whatever
    // the parameter.
    if (!read)
        return Compose(TReason{{IllegalLine, Trim(value).toString()}, {NoStart, {}}}, text);
    const TParamCatalogRow *row = CatalogRowOf(name);
    if (!row || row->Use == TServerUse::Ignored)
        return {};
    switch (row->Kind) {
    case Integer: {
        const TIntegerRule *rule = IntegerRuleOf(name);
        return rule ? Compose(IntegerReason(*rule, *read), text) : QString();
    }
    case Switch:
        return Compose(SwitchReason(*read), text);
    case Choice:
        return Compose(ModeReason(*read), text);
    case Port:
        return Compose(PortReason(name, *read), text);
    case PortOrService:
        return Compose(ServiceReason(*read), text);
    case Address:
        return Compose(AddressReason(*read), text);
    case Name:
    case Path:
    case PathList:
        break;
    }
    return {};
}
