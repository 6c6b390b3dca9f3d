// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LessonFile.h"

#include <QStringDecoder>
#include <QStringList>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <string_view>

namespace quorvel::lesson {

namespace {

constexpr char kMagic[] = "QUORVEL lezione ";
constexpr char kRunStart[] = "esecuzione";
constexpr char kEmpty[] = "vuoto";

// The keys of the two kinds of section, each required once.
constexpr std::array<const char *, 3> kHeaderKeys {"calibrazione", "colore", "funzione"};
constexpr std::array<const char *, 7> kRunKeys {
    "colore-prima", "EP1-prima", "BETA1-prima", "Ve-prima", "funzione", "punti", "fine"};

constexpr std::array<std::pair<End, const char *>, 4> kEndKeys {{
    {End::RangesDone, "intervalli"},
    {End::OutOfField, "fuori-campo"},
    {End::Stopped, "fermata"},
    {End::Refused, "rifiutata"},
}};

std::size_t fieldIndex(int number)
{
    for (std::size_t i = 0; i < Fields::kNumbers.size(); ++i) {
        if (Fields::kNumbers[i] == number)
            return i;
    }
    return 0;
}

QString fieldKey(int number)
{
    return QStringLiteral("Text%1").arg(number);
}

std::string number(double v)
{
    std::array<char, 32> b {};
    const auto r = std::to_chars(b.data(), b.data() + b.size(), v);
    return std::string(b.data(), r.ptr);
}

// A text between double quotes: \" \\ \n \r \t and \uXXXX for other control characters.
QString quoted(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += QStringLiteral("\\\"");
            break;
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

std::optional<QString> unquoted(const QString &value)
{
    if (value.size() < 2 || !value.startsWith(QLatin1Char('"'))
        || !value.endsWith(QLatin1Char('"')))
        return std::nullopt;
    QString out;
    const qsizetype end = value.size() - 1;
    for (qsizetype i = 1; i < end; ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('"'))
            return std::nullopt;
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (++i >= end)
            return std::nullopt;
        switch (value[i].unicode()) {
        case '"':
            out += QLatin1Char('"');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'u': {
            if (i + 4 >= end)
                return std::nullopt;
            bool ok = false;
            const uint code = value.mid(i + 1, 4).toUInt(&ok, 16);
            if (!ok || value.mid(i + 1, 4).contains(QLatin1Char('+'))
                || value.mid(i + 1, 4).contains(QLatin1Char('-')))
                return std::nullopt;
            out += QChar(static_cast<char16_t>(code));
            i += 4;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    if (out.size() > kMaxTextLength)
        return std::nullopt;
    return out;
}

std::optional<double> readDouble(const QString &value)
{
    const QByteArray bytes = value.toLatin1();
    double v = 0;
    const auto r = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), v);
    if (r.ec != std::errc() || r.ptr != bytes.constData() + bytes.size() || !std::isfinite(v)
        || value.isEmpty())
        return std::nullopt;
    return v;
}

template<typename Int>
std::optional<Int> readInteger(const QString &value, Int low, Int high)
{
    const QByteArray bytes = value.toLatin1();
    Int v = 0;
    const auto r = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), v);
    if (r.ec != std::errc() || r.ptr != bytes.constData() + bytes.size() || v < low || v > high
        || value.isEmpty())
        return std::nullopt;
    return v;
}

// A value that may be Empty ("vuoto") into `out`; false when it is neither.
template<typename T, typename Read>
bool readOrEmpty(const QString &value, Read &&readValue, std::optional<T> &out)
{
    if (value == QLatin1String(kEmpty)) {
        out.reset();
        return true;
    }
    const std::optional<T> v = readValue(value);
    if (!v)
        return false;
    out = *v;
    return true;
}

template<typename T>
QString orEmpty(const std::optional<T> &v)
{
    if (!v)
        return QString::fromLatin1(kEmpty);
    if constexpr (std::is_floating_point_v<T>)
        return QString::fromStdString(number(*v));
    else
        return QString::number(*v);
}

void writeFields(QString &out, const Fields &fields)
{
    out += QStringLiteral("funzione %1\n")
               .arg(fields.cosine ? QStringLiteral("coseno") : QStringLiteral("seno"));
    for (int n : Fields::kNumbers)
        out += fieldKey(n) + QLatin1Char(' ') + quoted(fields.text(n)) + QLatin1Char('\n');
}

// The lines of one section: key to (value, line number).
using Section = std::map<QString, std::pair<QString, int>>;

class Reader
{
public:
    QString error;

    bool fail(const QString &why)
    {
        if (error.isEmpty())
            error = why;
        return false;
    }
    bool failAt(int line, const QString &why)
    {
        return fail(QStringLiteral("riga %1: %2").arg(line).arg(why));
    }

    const QString *value(const Section &s, const QString &key, int &line)
    {
        const auto it = s.find(key);
        if (it == s.end()) {
            fail(QStringLiteral("è incompleto: manca «%1»").arg(key));
            return nullptr;
        }
        line = it->second.second;
        return &it->second.first;
    }

    bool fields(const Section &s, Fields &out)
    {
        int line = 0;
        const QString *f = value(s, QStringLiteral("funzione"), line);
        if (!f)
            return false;
        if (*f == QLatin1String("seno"))
            out.cosine = false;
        else if (*f == QLatin1String("coseno"))
            out.cosine = true;
        else
            return failAt(line, QStringLiteral("«funzione» vale seno o coseno"));
        for (int n : Fields::kNumbers) {
            const QString *v = value(s, fieldKey(n), line);
            if (!v)
                return false;
            const std::optional<QString> text = unquoted(*v);
            if (!text)
                return failAt(line,
                              QStringLiteral("il testo di «%1» va fra virgolette e non supera "
                                             "%2 caratteri")
                                  .arg(fieldKey(n))
                                  .arg(kMaxTextLength));
            out.text(n) = *text;
        }
        return true;
    }

    bool colour(const Section &s, const QString &key, std::optional<std::int16_t> &out)
    {
        int line = 0;
        const QString *v = value(s, key, line);
        if (!v)
            return false;
        const auto colourValue
            = [](const QString &t) { return readInteger<std::int16_t>(t, 0, 14); };
        if (!readOrEmpty<std::int16_t>(*v, colourValue, out))
            return failAt(line, QStringLiteral("«%1» vale vuoto o un intero da 0 a 14").arg(key));
        return true;
    }

    bool member(const Section &s, const QString &key, std::optional<double> &out)
    {
        int line = 0;
        const QString *v = value(s, key, line);
        if (!v)
            return false;
        if (!readOrEmpty<double>(*v, readDouble, out))
            return failAt(line, QStringLiteral("«%1» vale vuoto o un numero").arg(key));
        return true;
    }

    bool header(const Section &s, Lesson &out)
    {
        int line = 0;
        const QString *c = value(s, QStringLiteral("calibrazione"), line);
        if (!c)
            return false;
        const std::optional<double> factor = readDouble(*c);
        if (!factor || *factor < kMinCalibration || *factor > kMaxCalibration)
            return failAt(line, QStringLiteral("la calibrazione va da 0.01 a 100"));
        out.calibration = *factor;
        return colour(s, QStringLiteral("colore"), out.colour) && fields(s, out.fields);
    }

    bool run(const Section &s, SavedRun &out)
    {
        if (!colour(s, QStringLiteral("colore-prima"), out.colourBefore)
            || !member(s, QStringLiteral("EP1-prima"), out.ep1Before)
            || !member(s, QStringLiteral("BETA1-prima"), out.beta1Before)
            || !member(s, QStringLiteral("Ve-prima"), out.veBefore) || !fields(s, out.fields))
            return false;
        int line = 0;
        const QString *dots = value(s, QStringLiteral("punti"), line);
        if (!dots)
            return false;
        const auto n = readInteger<std::uint64_t>(*dots, 1, kMaxDots);
        if (!n)
            return failAt(line, QStringLiteral("«punti» vale un intero da 1 a %1").arg(kMaxDots));
        out.dots = *n;
        const QString *end = value(s, QStringLiteral("fine"), line);
        if (!end)
            return false;
        for (const auto &[kind, word] : kEndKeys) {
            if (*end == QLatin1String(word)) {
                out.end = kind;
                return true;
            }
        }
        return failAt(line, QStringLiteral("«fine» non è uno di quelli ammessi"));
    }
};

bool isKnownKey(const QString &key, bool inRun)
{
    for (int n : Fields::kNumbers) {
        if (key == fieldKey(n))
            return true;
    }
    if (inRun) {
        for (const char *k : kRunKeys) {
            if (key == QLatin1String(k))
                return true;
        }
        return false;
    }
    for (const char *k : kHeaderKeys) {
        if (key == QLatin1String(k))
            return true;
    }
    return false;
}

} // namespace

QString &Fields::text(int number)
{
    return texts[fieldIndex(number)];
}

const QString &Fields::text(int number) const
{
    return texts[fieldIndex(number)];
}

QString endWords(End end)
{
    switch (end) {
    case End::RangesDone:
        return QStringLiteral("intervalli completati");
    case End::OutOfField:
        return QStringLiteral("uscita dal campo");
    case End::Stopped:
        return QStringLiteral("fermata dall'utente");
    case End::Refused:
        return QStringLiteral("campo rifiutato");
    }
    return {};
}

QByteArray write(const Lesson &lesson)
{
    QString out = QString::fromLatin1(kMagic) + QString::number(kVersion) + QLatin1Char('\n');
    out += QStringLiteral(
        "# Lezione di QUORVEL: testo UTF-8 da leggere e modificare; le righe con # sono note.\n"
        "# Text1 e Text2: incrementi sugli assi X e Y; Text3..Text8: For1, To1, For2, To2, For3,\n"
        "# To3; Text10: epsilon; Text11: BETA in gradi; Text12: t. I testi sono fra virgolette.\n");
    out += QStringLiteral("calibrazione %1\n")
               .arg(QString::fromStdString(number(lesson.calibration)));
    out += QStringLiteral("colore %1\n").arg(orEmpty(lesson.colour));
    writeFields(out, lesson.fields);
    for (const SavedRun &run : lesson.runs) {
        out += QStringLiteral("\n%1\n").arg(QLatin1String(kRunStart));
        out += QStringLiteral("colore-prima %1\n").arg(orEmpty(run.colourBefore));
        out += QStringLiteral("EP1-prima %1\n").arg(orEmpty(run.ep1Before));
        out += QStringLiteral("BETA1-prima %1\n").arg(orEmpty(run.beta1Before));
        out += QStringLiteral("Ve-prima %1\n").arg(orEmpty(run.veBefore));
        writeFields(out, run.fields);
        out += QStringLiteral("punti %1\n").arg(run.dots);
        for (const auto &[kind, word] : kEndKeys) {
            if (kind == run.end)
                out += QStringLiteral("fine %1\n").arg(QLatin1String(word));
        }
    }
    return out.toUtf8();
}

ReadResult read(const QByteArray &bytes)
{
    Reader reader;
    if (bytes.isEmpty())
        return {std::nullopt, QStringLiteral("è vuoto")};
    if (static_cast<std::size_t>(bytes.size()) > kMaxFileBytes)
        return {std::nullopt, QStringLiteral("è troppo grande per una lezione (più di 4 MB)")};
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError() || text.contains(QChar(0)))
        return {std::nullopt, QStringLiteral("non è un file di lezione di QUORVEL (non è testo)")};
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = text.split(QLatin1Char('\n'));
    const QString first = lines.constFirst().trimmed();
    if (!first.startsWith(QLatin1String(kMagic)))
        return {std::nullopt, QStringLiteral("non è un file di lezione di QUORVEL")};
    const std::optional<int> version = readInteger<int>(
        first.mid(static_cast<qsizetype>(std::strlen(kMagic))), 1, std::numeric_limits<int>::max());
    if (!version)
        return {std::nullopt, QStringLiteral("non è un file di lezione di QUORVEL")};
    if (*version > kVersion)
        return {std::nullopt,
                QStringLiteral("è di una versione più recente di QUORVEL (versione "
                               "%1 del formato, questa legge fino alla %2)")
                    .arg(*version)
                    .arg(kVersion)};

    std::vector<Section> sections(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const int lineNumber = static_cast<int>(i) + 1;
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        if (trimmed == QLatin1String(kRunStart)) {
            if (sections.size() > kMaxRuns)
                return {std::nullopt, QStringLiteral("ha più di %1 esecuzioni").arg(kMaxRuns)};
            sections.emplace_back();
            continue;
        }
        const qsizetype space = trimmed.indexOf(QLatin1Char(' '));
        const QString key = space < 0 ? trimmed : trimmed.left(space);
        const QString value = space < 0 ? QString() : trimmed.mid(space + 1).trimmed();
        if (!isKnownKey(key, sections.size() > 1)) {
            reader.failAt(lineNumber, QStringLiteral("chiave sconosciuta «%1»").arg(key.left(40)));
            return {std::nullopt, reader.error};
        }
        if (!sections.back().emplace(key, std::make_pair(value, lineNumber)).second) {
            reader.failAt(lineNumber, QStringLiteral("«%1» ripetuta").arg(key));
            return {std::nullopt, reader.error};
        }
    }

    Lesson lesson;
    if (!reader.header(sections.front(), lesson))
        return {std::nullopt, reader.error};
    lesson.runs.reserve(sections.size() - 1);
    for (std::size_t i = 1; i < sections.size(); ++i) {
        SavedRun run;
        if (!reader.run(sections[i], run))
            return {std::nullopt, reader.error};
        lesson.runs.push_back(std::move(run));
    }
    return {std::move(lesson), {}};
}

} // namespace quorvel::lesson
