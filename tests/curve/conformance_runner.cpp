// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Runs plots of the curve window described by JSON cases (one *.json file per case) through the
// real window offscreen and compares every number, message and field change bit for bit.
//   conformance_runner [folder]
// Prints one line per case and ends with "N passed, M failed"; the exit status is 0 only when
// every case passed and there was at least one.

#include "curve/Form4.h"
#include "shell/FormRegistry.h"
#include "shell/MessageBox.h"
#include "support/ScopedFieldObserver.h"
#include "support/TestSupport.h"
#include "surface/DrawingSurface.h"
#include "surface/ScopedSurfaceObserver.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <utility>

using namespace quorvel;
using namespace quorvel::curve;
using namespace quorvel::model;
using test::bitsOf;

namespace {

quint32 hexBits(const QJsonValue &v)
{
    return v.toString().toUInt(nullptr, 16);
}

// C99 hexadecimal floating text, read exactly.
double hexDouble(const QJsonValue &v)
{
    const QByteArray text = v.toString().toLatin1();
    return std::strtod(text.constData(), nullptr);
}

struct DrawnPoint
{
    float x;
    float y;
    int colour;
    int range;
};

// What the user would see as the box `text` opens: "" when the screen shows all that was
// drawn, else where it does not.
QString boxOpening(const Form4 &form, const QString &text)
{
    if (!form.surface())
        return {};
    const QString difference = test::screenDiffersFromDrawing(*form.surface());
    return difference.isEmpty() ? QString()
                                : QStringLiteral("as \"%1\" opens, %2").arg(text, difference);
}

// Everything the window does that a case describes, in order.
class Recorder : public raster::DrawingObserver, public FieldObserver
{
public:
    explicit Recorder(const Form4 &form)
        : m_form(form)
    {
    }
    QJsonArray uiEvents;
    QStringList messages;
    std::vector<DrawnPoint> points;

    void scaleChanged(float, float) override { }
    void cleared() override { }
    void lineDrawn(float, float, float, float, int, raster::ColourValue) override { }
    void pointSet(float x, float y, int, int paletteIndex) override
    {
        points.push_back({x, y, paletteIndex, static_cast<int>(m_form.ContaStep.toDouble())});
    }
    void textSet(const QString &field, const QString &text) override
    {
        uiEvents.append(QJsonArray {QStringLiteral("set_text"), field, text});
    }
    void backgroundSet(const QString &field, raster::ColourValue colour) override
    {
        uiEvents.append(QJsonArray {QStringLiteral("set_bg"), field, static_cast<qint64>(colour)});
    }
    void message(const QString &text)
    {
        messages.append(text);
        uiEvents.append(QJsonArray {QStringLiteral("msgbox"), text});
        if (const QString seen = boxOpening(m_form, text); !seen.isEmpty())
            screenProblems << seen;
    }
    QStringList screenProblems;

private:
    const Form4 &m_form;
};

Variant variantFrom(const QJsonObject &o)
{
    const QString kind = o.value(QStringLiteral("kind")).toString();
    if (kind == QLatin1String("int16"))
        return Variant::int16(static_cast<std::int16_t>(o.value(QStringLiteral("value")).toInt()));
    if (kind == QLatin1String("double"))
        return Variant::real(hexDouble(o.value(QStringLiteral("hex"))));
    return Variant();
}

// "" when `actual` is the value described by `expected`, else what differs.
QString compareVariant(const Variant &actual, const QJsonObject &expected)
{
    const QString kind = expected.value(QStringLiteral("kind")).toString();
    if (kind != QLatin1String(kindName(actual)))
        return QStringLiteral("kind %1, expected %2").arg(QLatin1String(kindName(actual)), kind);
    if (kind == QLatin1String("int16")) {
        const int want = expected.value(QStringLiteral("value")).toInt();
        if (*get_if<std::int16_t>(actual) != want)
            return QStringLiteral("%1, expected %2").arg(*get_if<std::int16_t>(actual)).arg(want);
    } else if (kind == QLatin1String("double")) {
        const double want = hexDouble(expected.value(QStringLiteral("hex")));
        if (bitsOf(*get_if<double>(actual)) != bitsOf(want))
            return QStringLiteral("%1, expected %2")
                .arg(*get_if<double>(actual), 0, 'g', 17)
                .arg(want, 0, 'g', 17);
    }
    return QString();
}

Variant *memberNamed(Form4 &f, const QString &name)
{
    static const std::pair<const char *, Variant Form4::*> members[]
        = {{"Miocolor", &Form4::Miocolor},
           {"INX", &Form4::INX},
           {"INY", &Form4::INY},
           {"EP1", &Form4::EP1},
           {"BETA1", &Form4::BETA1},
           {"Ve", &Form4::Ve},
           {"DaA1", &Form4::DaA1},
           {"AA1", &Form4::AA1},
           {"ValStep", &Form4::ValStep},
           {"ContaStep", &Form4::ContaStep},
           {"P1", &Form4::P1},
           {"CX", &Form4::CX},
           {"CY", &Form4::CY},
           {"PrimVol", &Form4::PrimVol}};
    for (const auto &[memberName, pointer] : members) {
        if (name == QLatin1String(memberName))
            return &(f.*pointer);
    }
    return nullptr;
}

int fieldNumber(const QString &name)
{
    bool ok = false;
    const int n = name.mid(4).toInt(&ok);
    return name.startsWith(QLatin1String("Text")) && ok ? n : -1;
}

QString pointText(const DrawnPoint &p)
{
    return QStringLiteral("(%1, %2) colour %3")
        .arg(static_cast<double>(p.x), 0, 'g', 9)
        .arg(static_cast<double>(p.y), 0, 'g', 9)
        .arg(p.colour);
}

QString comparePoint(const DrawnPoint &actual, const QJsonObject &expected, const QString &where)
{
    if (bitsOf(actual.x) != hexBits(expected.value(QStringLiteral("x_bits")))
        || bitsOf(actual.y) != hexBits(expected.value(QStringLiteral("y_bits")))
        || actual.colour != expected.value(QStringLiteral("colour")).toInt())
        return QStringLiteral("%1 is %2, expected (%3, %4) colour %5")
            .arg(where, pointText(actual))
            .arg(expected.value(QStringLiteral("x")).toDouble(), 0, 'g', 9)
            .arg(expected.value(QStringLiteral("y")).toDouble(), 0, 'g', 9)
            .arg(expected.value(QStringLiteral("colour")).toInt());
    return QString();
}

// A fresh curve window set up for a case: the factor, the fields, the option and the members
// the case gives, after its first activation (which draws the axes). Null, with the reason in
// `problems`, when it cannot be set up.
Form4 *openCase(FormRegistry &registry, const QJsonObject &inputs, QStringList &problems)
{
    Variant incr = Variant::real(hexDouble(inputs.value(QStringLiteral("incr_hex"))));
    registry.addFactory(QStringLiteral("Form4"), [incr](FormRegistry &r) {
        return std::make_unique<Form4>(r, [incr] { return incr; });
    });
    auto &f = registry.formAs<Form4>(QStringLiteral("Form4"));
    f.show();
    if (!QTest::qWaitForWindowActive(f.window()) || !f.PrimVol.equalsNumber(9)) {
        problems << QStringLiteral("the window was not activated");
        return nullptr;
    }
    const QJsonObject fields = inputs.value(QStringLiteral("fields")).toObject();
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        QLineEdit *field = f.field(fieldNumber(it.key()));
        if (!field) {
            problems << QStringLiteral("no field %1").arg(it.key());
            return nullptr;
        }
        field->setText(it.value().toString());
    }
    const bool cosine
        = inputs.value(QStringLiteral("option")).toString() == QLatin1String("cosine");
    (cosine ? f.Option2() : f.Option1())->setChecked(true);

    const QJsonObject prior = inputs.value(QStringLiteral("prior_state")).toObject();
    for (auto it = prior.begin(); it != prior.end(); ++it) {
        if (it.key() == QLatin1String("A2")) {
            f.A2 = static_cast<std::int16_t>(
                it.value().toObject().value(QStringLiteral("value")).toInt());
        } else if (Variant *member = memberNamed(f, it.key())) {
            *member = variantFrom(it.value().toObject());
        } else {
            problems << QStringLiteral("unknown member %1 in prior_state").arg(it.key());
            return nullptr;
        }
    }
    return &f;
}

// The case as the user runs it, with nothing watching the drawing: the dots take the drawing's
// fast path. Its pixels must be those of the watched run, and what was drawn must be on the
// screen whenever a box opens and when the run is over.
QStringList runUnwatched(const QJsonObject &inputs, const QImage &watchedDrawing)
{
    QStringList problems;
    FormRegistry registry;
    Form4 *form = openCase(registry, inputs, problems);
    if (!form)
        return problems;
    {
        const ScopedMessageSink sink([&](const QString &text) {
            if (const QString seen = boxOpening(*form, text); !seen.isEmpty())
                problems << QStringLiteral("unwatched, ") + seen;
        });
        form->Command5_Click();
    }
    if (form->surface()->raster().drawing() != watchedDrawing)
        problems << QStringLiteral("the unwatched run's pixels differ from the watched run's");
    if (const QString seen = test::screenDiffersFromDrawing(*form->surface()); !seen.isEmpty())
        problems << QStringLiteral("after the unwatched run, ") + seen;
    return problems;
}

// Runs one case; returns the differences found (none when it passed).
QStringList runCase(const QJsonObject &c)
{
    QStringList problems;
    const QJsonObject inputs = c.value(QStringLiteral("inputs")).toObject();
    const QJsonObject expected = c.value(QStringLiteral("expected")).toObject();

    FormRegistry registry;
    Form4 *form = openCase(registry, inputs, problems);
    if (!form)
        return problems;
    Form4 &f = *form;

    // The frame the activation set.
    const QJsonObject frame = expected.value(QStringLiteral("frame")).toObject();
    const std::pair<const char *, float> frameValues[]
        = {{"ScaleWidth", f.surface()->raster().scaleWidth()},
           {"ScaleHeight", f.surface()->raster().scaleHeight()},
           {"CX", f.CX.toSingle()},
           {"CY", f.CY.toSingle()}};
    for (const auto &[name, value] : frameValues) {
        const QJsonObject want = frame.value(QLatin1String(name)).toObject();
        if (!want.isEmpty() && bitsOf(value) != hexBits(want.value(QStringLiteral("bits"))))
            problems << QStringLiteral("%1 is %2").arg(QLatin1String(name)).arg(value);
    }

    Recorder recorder(f);
    {
        const ScopedSurfaceObserver watchSurface(*f.surface(), &recorder);
        const ScopedFieldObserver watchFields(f, &recorder);
        const ScopedMessageSink sink([&recorder](const QString &text) { recorder.message(text); });
        f.Command5_Click();
    }

    problems << recorder.screenProblems;
    problems << runUnwatched(inputs, f.surface()->raster().drawing());

    // Messages and field changes, in order.
    QStringList wantMessages;
    for (const auto &m : expected.value(QStringLiteral("messages")).toArray())
        wantMessages << m.toString();
    if (recorder.messages != wantMessages)
        problems << QStringLiteral("messages [%1], expected [%2]")
                        .arg(recorder.messages.join(QStringLiteral(" | ")),
                             wantMessages.join(QStringLiteral(" | ")));
    const QJsonArray wantEvents = expected.value(QStringLiteral("ui_events")).toArray();
    if (recorder.uiEvents != wantEvents)
        problems << QStringLiteral("ui events %1, expected %2")
                        .arg(QString::fromUtf8(
                                 QJsonDocument(recorder.uiEvents).toJson(QJsonDocument::Compact)),
                             QString::fromUtf8(
                                 QJsonDocument(wantEvents).toJson(QJsonDocument::Compact)));
    const QJsonObject fieldsAfter = expected.value(QStringLiteral("fields_after")).toObject();
    for (auto it = fieldsAfter.begin(); it != fieldsAfter.end(); ++it) {
        const QString text = f.field(fieldNumber(it.key()))->text();
        if (text != it.value().toString())
            problems << QStringLiteral("%1 reads \"%2\", expected \"%3\"")
                            .arg(it.key(), text, it.value().toString());
    }

    // The points.
    const std::vector<DrawnPoint> &points = recorder.points;
    const int wantCount = expected.value(QStringLiteral("point_count")).toInt();
    if (static_cast<int>(points.size()) != wantCount)
        problems << QStringLiteral("%1 points, expected %2").arg(points.size()).arg(wantCount);
    const QJsonArray first = expected.value(QStringLiteral("first_points")).toArray();
    for (qsizetype i = 0; i < first.size() && i < static_cast<qsizetype>(points.size()); ++i) {
        const QString p = comparePoint(points[static_cast<std::size_t>(i)], first[i].toObject(),
                                       QStringLiteral("point %1").arg(i));
        if (!p.isEmpty())
            problems << p;
    }
    const QJsonArray last = expected.value(QStringLiteral("last_points")).toArray();
    if (static_cast<qsizetype>(points.size()) >= last.size()) {
        const std::size_t start = points.size() - static_cast<std::size_t>(last.size());
        for (qsizetype i = 0; i < last.size(); ++i) {
            const std::size_t index = start + static_cast<std::size_t>(i);
            const QString p = comparePoint(points[index], last[i].toObject(),
                                           QStringLiteral("point %1").arg(index));
            if (!p.isEmpty())
                problems << p;
        }
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const DrawnPoint &p : points) {
        const quint32 words[3] = {bitsOf(p.x), bitsOf(p.y), static_cast<quint32>(p.colour)};
        for (quint32 w : words) {
            const char bytes[4]
                = {static_cast<char>(w & 0xff), static_cast<char>((w >> 8) & 0xff),
                   static_cast<char>((w >> 16) & 0xff), static_cast<char>((w >> 24) & 0xff)};
            hash.addData(QByteArrayView(bytes, 4));
        }
    }
    const QString digest = QString::fromLatin1(hash.result().toHex());
    if (digest != expected.value(QStringLiteral("points_sha256")).toString())
        problems << QStringLiteral("points hash %1 differs").arg(digest);

    std::set<std::pair<int, int>> ranges;
    for (const DrawnPoint &p : points)
        ranges.emplace(p.range, p.colour);
    std::set<std::pair<int, int>> wantRanges;
    for (const auto &r : expected.value(QStringLiteral("colours_by_range")).toArray())
        wantRanges.emplace(r.toArray().at(0).toInt(), r.toArray().at(1).toInt());
    if (ranges != wantRanges)
        problems << QStringLiteral("colours by range differ");

    // The members after the run.
    const QJsonObject after = expected.value(QStringLiteral("state_after")).toObject();
    for (auto it = after.begin(); it != after.end(); ++it) {
        QString difference;
        if (it.key() == QLatin1String("A2")) {
            const int want = it.value().toObject().value(QStringLiteral("value")).toInt();
            if (f.A2 != want)
                difference = QStringLiteral("%1, expected %2").arg(f.A2).arg(want);
        } else if (const Variant *member = memberNamed(f, it.key())) {
            difference = compareVariant(*member, it.value().toObject());
        } else {
            difference = QStringLiteral("unknown member");
        }
        if (!difference.isEmpty())
            problems << QStringLiteral("%1 is %2").arg(it.key(), difference);
    }
    return problems;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's notes about raise() and size hints are not about the cases.
    test::filterPlatformNoise();
    QApplication app(argc, argv);
    const QString folder
        = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(QUORVEL_CONFORMANCE_DIR);
    const QDir dir(folder);
    const QStringList files = dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    int passed = 0;
    int failed = 0;
    for (const QString &name : files) {
        QFile file(dir.filePath(name));
        QStringList problems;
        QJsonParseError error {};
        if (!file.open(QIODevice::ReadOnly)) {
            problems << QStringLiteral("cannot be read");
        } else {
            const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
            if (error.error != QJsonParseError::NoError || !doc.isObject())
                problems << QStringLiteral("not a JSON case: %1").arg(error.errorString());
            else
                problems = runCase(doc.object());
        }
        if (problems.isEmpty()) {
            ++passed;
            std::printf("PASS %s\n", qPrintable(name));
        } else {
            ++failed;
            std::printf("FAIL %s: %s\n", qPrintable(name),
                        qPrintable(problems.join(QStringLiteral("; "))));
        }
    }
    if (files.isEmpty()) {
        std::printf("no cases in %s\n", qPrintable(folder));
        ++failed;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
