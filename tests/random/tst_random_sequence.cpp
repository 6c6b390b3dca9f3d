// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Program.h"
#include "calibration/Form2.h"
#include "curve/Form4.h"
#include "model/CircleModel.h"
#include "model/NumericText.h"
#include "shell/FormRegistry.h"
#include "shell/MessageBox.h"
#include "shell/RuntimeError.h"
#include "support/TestSupport.h"
#include "surface/ScopedSurfaceObserver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

#include <unistd.h>

#ifdef QUORVEL_RANDOM_SANITIZED
#include <sanitizer/common_interface_defs.h>
#endif

using namespace quorvel;
using namespace quorvel::curve;
using namespace quorvel::calibration;
using namespace quorvel::model;

// The only member of the curve window that is not a variant.
static_assert(std::is_same_v<decltype(Form4::A2), std::int16_t>);

namespace {

constexpr quint64 kDefaultSeed = 20261209;
constexpr int kDefaultActions = 10000;
constexpr int kDefaultSeconds = 120;
constexpr std::size_t kHistoryLength = 20;

// Every coordinate that reaches a drawing surface must be finite and below this in magnitude.
// The widest user scale of the program is the calibration window's, 146367 units across and at
// most 1.11 times that down; the curve window keeps its points within its field (|X11| <= CX and
// |Y11| <= CY, the limit itself drawn, beyond it refused with a message, as the out-of-field
// cases of the curve tests show), so they lie within 0..2 CX and 0..2 CY, under 1300 units. A
// bound two orders of magnitude above the widest scale catches any coordinate that escaped those
// checks (a sum with an infinite or runaway X11, say) without depending on the window's size.
constexpr double kWildBound = 1e7;

// A run that the pacer has turned into a long one is stopped with Esc after at most this long.
constexpr int kLongestEscDelayMs = 60;
// A run still going this long after Esc has not stopped.
constexpr qint64 kRunStopLimitMs = 5000;
// No action may take this long: the watchdog then reports where the sequence hangs.
constexpr int kStallLimitSeconds = 60;

const QString kForm1 = QStringLiteral("Form1");
const QString kForm2 = QStringLiteral("Form2");
const QString kForm4 = QStringLiteral("Form4");

// The single-precision degrees-to-radians factor both drawing windows set.
const float kP1 = 3.1415927f / 180.0f;

// What a crash, a sanitizer report or a hang prints: the seed and the latest actions, kept ready
// in a plain buffer so that a signal handler can write it.

struct CrashContext
{
    std::array<char, 16384> text {};
    std::atomic<std::size_t> length {0};
};
CrashContext g_context;

void setCrashContext(const QByteArray &text)
{
    g_context.length.store(0);
    const std::size_t n = std::min(g_context.text.size(), static_cast<std::size_t>(text.size()));
    std::memcpy(g_context.text.data(), text.constData(), n);
    g_context.length.store(n);
}

void writeCrashContext()
{
    const std::size_t n = g_context.length.load();
    if (n > 0) {
        const ssize_t written = write(STDERR_FILENO, g_context.text.data(), n);
        (void)written; // nothing left to report a failed write to
    }
}

#ifdef QUORVEL_RANDOM_SANITIZED
void sanitizerDeath()
{
    writeCrashContext();
}
#else
constexpr std::array<int, 5> kFatalSignals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
std::array<struct sigaction, kFatalSignals.size()> g_previousActions {};

extern "C" void onFatalSignal(int signal)
{
    writeCrashContext();
    for (std::size_t i = 0; i < kFatalSignals.size(); ++i)
        if (kFatalSignals[i] == signal)
            sigaction(signal, &g_previousActions[i], nullptr);
    raise(signal);
}
#endif

void installCrashReport()
{
#ifdef QUORVEL_RANDOM_SANITIZED
    __sanitizer_set_death_callback(sanitizerDeath);
#else
    for (std::size_t i = 0; i < kFatalSignals.size(); ++i) {
        struct sigaction action = {};
        action.sa_handler = onFatalSignal;
        sigemptyset(&action.sa_mask);
        sigaction(kFatalSignals[i], &action, &g_previousActions[i]);
    }
#endif
}

// Reports a sequence that stops making progress (a run that never ends, a box nobody answers)
// with its context, instead of leaving it to the test runner's timeout.
class Watchdog
{
public:
    Watchdog()
        : m_thread([this] { watch(); })
    {
    }
    ~Watchdog()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

    void beat() { m_lastBeat.store(now()); }

private:
    static std::int64_t now()
    {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void watch()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_wake.wait_for(lock, std::chrono::seconds(1), [this] { return m_stop; })) {
            if (now() - m_lastBeat.load() < kStallLimitSeconds)
                continue;
            writeCrashContext();
            std::fprintf(stderr, "FAIL: no progress for %d s: the action above hangs\n",
                         kStallLimitSeconds);
            std::fflush(stderr);
            std::_Exit(EXIT_FAILURE);
        }
    }

    std::atomic<std::int64_t> m_lastBeat {now()};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

// splitmix64: the same sequence for a seed on every platform and standard library.

class Random
{
public:
    explicit Random(quint64 seed)
        : m_state(seed)
    {
    }
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<quint64>(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool percent(int p) { return below(100) < p; }
    template<typename T, std::size_t N>
    const T &pick(const std::array<T, N> &items)
    {
        return items[static_cast<std::size_t>(below(static_cast<int>(N)))];
    }

private:
    quint64 m_state;
};

constexpr std::array<int, 11> kCurveFields = {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12};

QString repeated(qsizetype count, char c)
{
    return QString(count, QLatin1Char(c));
}

// Texts that a field reader must refuse, or take at face value without harm.
const QStringList &nastyTexts()
{
    static const QStringList texts = {
        QString(),
        QStringLiteral("   "),
        QStringLiteral("abc"),
        QStringLiteral("1e999"),
        QStringLiteral("--1"),
        QStringLiteral("1,2,3"),
        QStringLiteral("+5"),
        QStringLiteral("1.5"),
        QStringLiteral("-"),
        QStringLiteral("\u0661\u0662"), // Arabic-Indic 12
        QStringLiteral("\u0663,\u0665"),
        QStringLiteral("\uff11"), // fullwidth 1
        QStringLiteral("\u00bd"),
        QStringLiteral("\U0001F600"),
        QStringLiteral("0"),
        QStringLiteral("-0"),
        QStringLiteral("0,0"),
        QStringLiteral("1") + repeated(308, '0'), // 1e308, still a double
        QStringLiteral("-") + repeated(308, '9'), // just below -1e308
        QStringLiteral("1") + repeated(400, '0'), // beyond a double
        QStringLiteral("0,") + repeated(400, '0') + QStringLiteral("1"), // rounds to 0
        QStringLiteral("0,") + repeated(320, '0') + QStringLiteral("1"), // subnormal
        QStringLiteral("0,") + repeated(300, '0') + QStringLiteral("1"),
        QStringLiteral("32767"),
        QStringLiteral("-32768"),
        QStringLiteral("32768"),
        QStringLiteral("-32769"),
        QStringLiteral("32767,5"),
        QStringLiteral("-32768,5"),
        QStringLiteral("65535"),
        QStringLiteral("9007199254740993"),
        repeated(5000, '7'),
        repeated(20000, '0'),
        QStringLiteral("1,") + repeated(5000, '0'),
        QStringLiteral("abc").repeated(2000),
        QStringLiteral(" 5"),
        QStringLiteral("5 "),
        QStringLiteral("\t5"),
        QStringLiteral("5\n"),
        QStringLiteral("NaN"),
        QStringLiteral("-inf"),
        QStringLiteral("0x10"),
        QStringLiteral("1 000"),
        QStringLiteral("1.000,5"),
    };
    return texts;
}

QString nastyText(Random &r)
{
    const QStringList &texts = nastyTexts();
    return texts.at(r.below(static_cast<int>(texts.size())));
}

// Keys QTest can type: printable ASCII.
bool typeable(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7f; });
}

// Values that plot, most of them in a few hundred points.
QString saneText(int field, Random &r)
{
    static const std::array<const char *, 8> increments
        = {"1", "2", "-1", "0,5", "-2,5", "3", "1,5", "0,25"};
    static const std::array<const char *, 7> epsilons
        = {"0,86", "0,5", "0,1", "1", "2", "0,3", "0"};
    static const std::array<const char *, 9> betas
        = {"55", "0", "90", "-45", "180", "30", "360", "-90", "720"};
    static const std::array<const char *, 8> multipliers
        = {"1", "2", "0,5", "-1", "3", "0", "1,5", "-2"};
    switch (field) {
    case 1:
    case 2:
        return QString::fromLatin1(r.pick(increments));
    case 10:
        return QString::fromLatin1(r.pick(epsilons));
    case 11:
        return QString::fromLatin1(r.pick(betas));
    case 12:
        return QString::fromLatin1(r.pick(multipliers));
    default:
        break;
    }
    if (r.percent(20))
        return QStringLiteral("0");
    QString text = QString::number(r.between(-60, 60));
    if (r.percent(10))
        text += QStringLiteral(",5");
    return text;
}

// A text as the action log shows it: printable ASCII, others as \uXXXX, long ones cut short.
QString shown(const QString &text)
{
    QString out;
    const qsizetype keep = text.size() > 40 ? 20 : text.size();
    for (qsizetype i = 0; i < keep; ++i) {
        const QChar c = text.at(i);
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    if (keep < text.size())
        out += QStringLiteral("... (%1 chars)").arg(text.size());
    return QLatin1Char('"') + out + QLatin1Char('"');
}

// What a busy run gets while it is going on, before Esc: none of it may reach the program.
enum class Interference { None, ClickEsci, CloseCurveWindow, ClickRun, ActivateCalibration, Key };

struct Action
{
    enum Kind {
        SetField,
        SaneFields,
        ClickOption,
        RunEsegui,
        RunCancella,
        LongRun,
        Scroll,
        CalibrationOk,
        Avanti,
        Activate,
        Show,
        Close,
        ToggleBoxes,
    } kind
        = SetField;
    int field = 0; // Text number, option number, or 1/2/4 for the form
    int value = 0; // LongRun: its To; Scroll: a position, or 0 / -1 for a step right / left
    bool typed = false;
    QString text;
    std::array<QString, kCurveFields.size()> panel; // SaneFields: a text for every field
    RunPacer::Timing timing;
    int escDelayMs = 0;
    Interference interference = Interference::None;

    QString describe() const;
};

QString formName(int number)
{
    return QStringLiteral("Form%1").arg(number);
}

QString interferenceName(Interference i)
{
    switch (i) {
    case Interference::None:
        return QString();
    case Interference::ClickEsci:
        return QStringLiteral(", clicks ESCI while busy");
    case Interference::CloseCurveWindow:
        return QStringLiteral(", closes Form4 while busy");
    case Interference::ClickRun:
        return QStringLiteral(", clicks the run buttons while busy");
    case Interference::ActivateCalibration:
        return QStringLiteral(", activates Form2 while busy");
    case Interference::Key:
        return QStringLiteral(", types into Text10 while busy");
    }
    return QString();
}

QString Action::describe() const
{
    const QString pacing = QStringLiteral(" [busy after %1 ms, refresh %2 ms, Esc after %3 ms%4]")
                               .arg(timing.busyAfterMs)
                               .arg(timing.refreshMs)
                               .arg(escDelayMs)
                               .arg(interferenceName(interference));
    switch (kind) {
    case SetField:
        return QStringLiteral("%1 Text%2 = %3")
            .arg(typed ? QStringLiteral("type") : QStringLiteral("set"))
            .arg(field)
            .arg(shown(text));
    case SaneFields: {
        QStringList texts;
        for (std::size_t i = 0; i < kCurveFields.size(); ++i)
            texts << QStringLiteral("Text%1 %2").arg(kCurveFields[i]).arg(shown(panel[i]));
        return QStringLiteral("set ") + texts.join(QStringLiteral(", "));
    }
    case ClickOption:
        return QStringLiteral("click Option%1").arg(field);
    case RunEsegui:
        return QStringLiteral("click ESEGUI (Command5)") + pacing;
    case RunCancella:
        return QStringLiteral("click Cancella ed esegui (Command1)") + pacing;
    case LongRun:
        return QStringLiteral("ESEGUI over 0 to %1 with epsilon 0, t %2").arg(value).arg(text)
            + pacing;
    case Scroll:
        if (value > 0)
            return QStringLiteral("Form2 HScroll1 = %1").arg(value);
        return value == 0 ? QStringLiteral("Form2 HScroll1 one step right")
                          : QStringLiteral("Form2 HScroll1 one step left");
    case CalibrationOk:
        return QStringLiteral("click OK - continua (Form2 Command1)") + pacing;
    case Avanti:
        return QStringLiteral("click AVANTI (Form1 Command1)");
    case Activate:
        return QStringLiteral("activate %1").arg(formName(field)) + pacing;
    case Show:
        return QStringLiteral("registry show %1").arg(formName(field)) + pacing;
    case Close:
        return QStringLiteral("close %1").arg(formName(field)) + pacing;
    case ToggleBoxes:
        return QStringLiteral("switch between real and recorded message boxes");
    }
    return QString();
}

// Draws the next action from the random numbers alone, never from the program's state, so a
// seed replays the same actions (a run stopped by Esc may still draw a different number of
// points, as that depends on the clock).
Action drawAction(Random &r)
{
    Action a;
    const int roll = r.below(1000);
    struct Weight
    {
        Action::Kind kind;
        int weight;
    };
    static constexpr std::array<Weight, 13> weights = {{
        {Action::SetField, 475},
        {Action::SaneFields, 25},
        {Action::ClickOption, 50},
        {Action::RunEsegui, 130},
        {Action::RunCancella, 50},
        {Action::LongRun, 8},
        {Action::Scroll, 70},
        {Action::CalibrationOk, 40},
        {Action::Avanti, 15},
        {Action::Activate, 60},
        {Action::Show, 44},
        {Action::Close, 30},
        {Action::ToggleBoxes, 3},
    }};
    int sum = 0;
    for (const Weight &w : weights) {
        sum += w.weight;
        if (roll < sum) {
            a.kind = w.kind;
            break;
        }
    }
    // Pacing, for whatever run the action starts (ESEGUI, or an activation of the curve window).
    a.timing = r.percent(3) ? RunPacer::Timing {} : RunPacer::Timing {r.between(10, 60), 10};
    a.escDelayMs = r.between(0, kLongestEscDelayMs);
    a.interference = static_cast<Interference>(r.below(6));

    switch (a.kind) {
    case Action::SetField:
        a.field = kCurveFields[static_cast<std::size_t>(r.below(11))];
        a.text = r.percent(30) ? nastyText(r) : saneText(a.field, r);
        a.typed = r.percent(15) && a.text.size() <= 12 && typeable(a.text);
        break;
    case Action::SaneFields:
        for (std::size_t i = 0; i < kCurveFields.size(); ++i)
            a.panel[i] = saneText(kCurveFields[i], r);
        break;
    case Action::ClickOption:
        a.field = r.between(1, 2);
        break;
    case Action::LongRun:
        a.value = r.percent(50) ? 2000000000 : -2000000000;
        a.text = r.percent(50) ? QStringLiteral("0") : QStringLiteral("0,0000000001");
        break;
    case Action::Scroll:
        a.value = r.percent(70) ? r.between(1, 30) : -r.below(2);
        break;
    case Action::Activate:
    case Action::Show:
    case Action::Close: {
        static constexpr std::array<int, 5> forms = {1, 2, 2, 4, 4};
        a.field = r.pick(forms);
        break;
    }
    default:
        break;
    }
    return a;
}

bool wild(float v)
{
    return !std::isfinite(v) || std::fabs(static_cast<double>(v)) >= kWildBound;
}

// Checks every drawing operation of one window as it is made; keeps the first fault.
class SurfaceChecker : public raster::DrawingObserver
{
public:
    SurfaceChecker(QString window, int lineWidth,
                   std::function<QString(float, float, int, int)> pointRule)
        : m_window(std::move(window))
        , m_lineWidth(lineWidth)
        , m_pointRule(std::move(pointRule))
    {
    }

    // Guarded: a window loaded anew may get its surface at the address of the one it replaces.
    QPointer<DrawingSurface> watched;
    QString fault;
    qint64 points = 0;
    qint64 lines = 0;
    qint64 clears = 0;

    void scaleChanged(float w, float h) override
    {
        if (wild(w) || wild(h) || !(w > 0.0f) || !(h > 0.0f))
            note(QStringLiteral("scale %1 x %2").arg(w).arg(h));
    }
    void cleared() override { ++clears; }
    void lineDrawn(float x1, float y1, float x2, float y2, int width,
                   raster::ColourValue colour) override
    {
        ++lines;
        if (wild(x1) || wild(y1) || wild(x2) || wild(y2))
            note(QStringLiteral("wild line (%1, %2)-(%3, %4)").arg(x1).arg(y1).arg(x2).arg(y2));
        // The axes, black, across the scale.
        const float w = watched->raster().scaleWidth();
        const float h = watched->raster().scaleHeight();
        if (x1 < 0 || x2 < 0 || y1 < 0 || y2 < 0 || x1 > w || x2 > w || y1 > h || y2 > h)
            note(QStringLiteral("line (%1, %2)-(%3, %4) outside the scale %5 x %6")
                     .arg(x1)
                     .arg(y1)
                     .arg(x2)
                     .arg(y2)
                     .arg(w)
                     .arg(h));
        if (colour != 0 || width != m_lineWidth)
            note(QStringLiteral("line colour %1 width %2").arg(colour).arg(width));
    }
    void pointSet(float x, float y, int width, int index) override
    {
        ++points;
        if (wild(x) || wild(y))
            note(QStringLiteral("wild point (%1, %2)").arg(x).arg(y));
        else if (index < 0 || index >= raster::kPaletteSize)
            note(QStringLiteral("palette index %1").arg(index));
        else if (QString rule = m_pointRule(x, y, width, index); !rule.isEmpty())
            note(rule);
    }

private:
    void note(const QString &what)
    {
        if (fault.isEmpty())
            fault = m_window + QStringLiteral(": ") + what;
    }
    QString m_window;
    int m_lineWidth; // the axes: two pixels on the curve window, one on the calibration window
    std::function<QString(float, float, int, int)> m_pointRule;
};

// The messages the program may show.
bool knownMessage(const QString &text)
{
    static const QStringList exact = {
        QStringLiteral("INX non è un numero"),
        QStringLiteral("INY non è un numero"),
        QStringLiteral("Non è ammesso 0 "),
        QStringLiteral("Non è un numero"),
        QStringLiteral("For o To senza numero"),
        QStringLiteral("For o To non numero"),
        QStringLiteral("Impostare la risoluzione SCHERMO"),
    };
    if (exact.contains(text))
        return true;
    static const QRegularExpression outOfField(QStringLiteral(
        "^fuori campo (X11|Y11|t\\*ALFA|ALFA) =(-?[0-9]+(,[0-9]+)?(E[+-][0-9]+)?|-?infinito|"
        "indefinito)$"));
    return outOfField.match(text).hasMatch();
}

} // namespace

// Thousands of random actions over the calibration and curve windows: nasty field texts, runs,
// option buttons, the scroll bar, activations, windows closed and shown again, message boxes real
// and recorded. After every action the drawing, the members' kinds and the windows are checked.
class TestRandomSequence : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void randomSequence();

private:
    Form2 &form2() { return m_registry->formAs<Form2>(kForm2); }
    Form4 &form4() { return m_registry->formAs<Form4>(kForm4); }
    bool curveLoaded() const;
    bool calibrationLoaded() const;
    QWidget *windowOf(int number) const;

    void watchSurfaces();
    void settle(QWidget *expectedActive);
    void guardRuns();
    void interfere(Interference interference);
    void answerBox();
    void useRealBoxes(bool real);

    QString perform(const Action &a);
    QString clickRun(const Action &a, QAbstractButton *button);
    QString checkAfterRun(const Variant &ep1, const Variant &beta1, const Variant &ve);
    QString checkState();
    QString checkCurveMembers();
    QString checkCalibrationMembers();
    QString checkMessages();
    QString context(int index, const QString &fault) const;

    SurfaceChecker m_curveChecker {
        kForm4, 2, [this](float x, float y, int w, int i) { return curvePointRule(x, y, w, i); }};
    SurfaceChecker m_calibrationChecker {kForm2, 1, [this](float x, float y, int w, int i) {
                                             return calibrationPointRule(x, y, w, i);
                                         }};
    QString curvePointRule(float x, float y, int width, int index);
    QString calibrationPointRule(float x, float y, int width, int index);

    std::unique_ptr<FormRegistry> m_registry;
    Form4 *m_curveForm = nullptr; // once its surface is watched
    std::unique_ptr<test::MessageRecorder> m_recorder;
    QStringList m_boxMessages; // texts of real boxes answered
    QTimer m_guard;
    quint64 m_seed = kDefaultSeed;
    std::deque<QString> m_history;
    QString m_guardFault;
    int m_realBoxActions = 0;
    int m_ended = 0;
    std::optional<ScopedEndProgramHook> m_endHook; // counts into m_ended
    // The checkers on the surfaces they watch.
    std::optional<ScopedSurfaceObserver> m_curveWatch;
    std::optional<ScopedSurfaceObserver> m_calibrationWatch;

    // The action being performed, as the run guard needs it.
    const Action *m_current = nullptr;
    QElapsedTimer m_busyFor;
    bool m_escSent = false;

    // Totals, reported at the end.
    qint64 m_curvePoints = 0;
    qint64 m_calibrationPoints = 0;
    int m_runs = 0;
    int m_escapes = 0;
    int m_messages = 0;
    int m_realBoxes = 0;
    int m_skipped = 0;
};

void TestRandomSequence::initTestCase()
{
    test::filterPlatformNoise();
    setUpApplication(*qApp);
    installCrashReport();
    m_endHook.emplace([this] { ++m_ended; });
    connect(&m_guard, &QTimer::timeout, this, [this] {
        answerBox();
        guardRuns();
    });
    m_guard.start(2);
}

void TestRandomSequence::cleanup()
{
    m_curveWatch.reset();
    m_calibrationWatch.reset();
    m_recorder.reset();
    m_registry.reset();
}

bool TestRandomSequence::curveLoaded() const
{
    return m_registry->exists(kForm4) && m_registry->form(kForm4).isLoaded();
}

bool TestRandomSequence::calibrationLoaded() const
{
    return m_registry->exists(kForm2) && m_registry->form(kForm2).isLoaded();
}

QWidget *TestRandomSequence::windowOf(int number) const
{
    const QString name = formName(number);
    return m_registry->exists(name) ? m_registry->form(name).window() : nullptr;
}

// Every surface that exists gets its checker; a window loaded anew has a new surface.
void TestRandomSequence::watchSurfaces()
{
    if (curveLoaded() && form4().surface() != m_curveChecker.watched) {
        m_curveForm = &form4();
        m_curveChecker.watched = form4().surface();
        m_curveWatch.emplace(*form4().surface(), &m_curveChecker);
    }
    if (calibrationLoaded() && form2().surface() != m_calibrationChecker.watched) {
        m_calibrationChecker.watched = form2().surface();
        m_calibrationWatch.emplace(*form2().surface(), &m_calibrationChecker);
    }
}

// Lets the window system deliver what the action caused: activations (and the runs they start),
// repaints, deletions of closed windows.
void TestRandomSequence::settle(QWidget *expectedActive)
{
    watchSurfaces();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (expectedActive) {
        const QPointer<QWidget> target = expectedActive;
        (void)QTest::qWaitFor([&target] { return QApplication::activeWindow() == target; }, 300);
    }
    // An activation held back by a run is caught up on the next pass.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    watchSurfaces();
}

QString TestRandomSequence::curvePointRule(float x, float y, int width, int index)
{
    // Within the field around the axes' crossing, in the colour cycle 2..15, three pixels wide.
    const Form4 &f = *m_curveForm;
    const float cx = f.CX.toSingle();
    const float cy = f.CY.toSingle();
    if (x < 0 || x > 2 * cx || y < 0 || y > 2 * cy)
        return QStringLiteral("point (%1, %2) outside the field 0..%3 x 0..%4")
            .arg(x)
            .arg(y)
            .arg(2 * cx)
            .arg(2 * cy);
    if (index < 2 || index > 15 || width != 3)
        return QStringLiteral("point colour %1 width %2").arg(index).arg(width);
    return QString();
}

QString TestRandomSequence::calibrationPointRule(float x, float y, int width, int index)
{
    // The red test circle lies within the window's scale.
    const DrawingSurface &s = *m_calibrationChecker.watched;
    if (x < 0 || x > s.raster().scaleWidth() || y < 0 || y > s.raster().scaleHeight())
        return QStringLiteral("point (%1, %2) outside the scale %3 x %4")
            .arg(x)
            .arg(y)
            .arg(s.raster().scaleWidth())
            .arg(s.raster().scaleHeight());
    if (index != model::kCircleColour || width != 1)
        return QStringLiteral("point colour %1 width %2").arg(index).arg(width);
    return QString();
}

// Answers the program's real message boxes. A run-time error box is never answered silently:
// the failure is reported with the sequence that led to it, then the box is closed and the
// program ends with its error status, which fails the test.
void TestRandomSequence::answerBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    const QString text = box->text();
    if (text.startsWith(QLatin1String("Errore di run-time"))) {
        writeCrashContext();
        std::fprintf(stderr, "FAIL: run-time error: %s\n", qPrintable(text));
        std::fflush(stderr);
    } else {
        m_boxMessages << text;
        ++m_realBoxes;
    }
    if (QAbstractButton *ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->reject();
}

// Stops a run that the pacer has made a long one: first tries on it what the action says, then
// presses Esc, and again at every look while a run is busy, since the activation held back by
// one run may start the next at once.
void TestRandomSequence::guardRuns()
{
    if (!m_registry || !m_registry->exists(kForm4) || !form4().isRunning()) {
        m_busyFor.invalidate();
        return;
    }
    const QCursor *cursor = QGuiApplication::overrideCursor();
    if (!cursor || cursor->shape() != Qt::BusyCursor)
        return;
    if (!m_busyFor.isValid()) {
        m_busyFor.start();
        if (m_current)
            interfere(m_current->interference);
        return;
    }
    const int delay = m_current ? m_current->escDelayMs : 0;
    if (m_busyFor.elapsed() < delay)
        return;
    if (!m_escSent) {
        m_escSent = true;
        ++m_escapes;
    }
    // A window closed during the run is gone before the run has seen it: nothing to press Esc on.
    if (QWidget *window = form4().window())
        QTest::keyClick(window, Qt::Key_Escape);
    if (m_busyFor.elapsed() > delay + kRunStopLimitMs && m_guardFault.isEmpty())
        m_guardFault = QStringLiteral("a run goes on %1 ms after Esc").arg(kRunStopLimitMs);
}

void TestRandomSequence::interfere(Interference interference)
{
    Form4 &f = form4();
    switch (interference) {
    case Interference::None:
        break;
    case Interference::ClickEsci: {
        // Ends the program (seen by the hook) and stops the run, as Esc does.
        const int ended = m_ended;
        QTest::mouseClick(f.Command3(), Qt::LeftButton);
        if (m_ended != ended + 1 && m_guardFault.isEmpty())
            m_guardFault = QStringLiteral("ESCI during a run did not end the program");
        m_ended = ended;
        if (!m_escSent) {
            m_escSent = true;
            ++m_escapes;
        }
        break;
    }
    case Interference::CloseCurveWindow:
        // Stops the run and closes the window as at any other time.
        if (!f.window()->close() && m_guardFault.isEmpty())
            m_guardFault = QStringLiteral("the curve window stayed open when closed in a run");
        break;
    case Interference::ClickRun:
        QTest::mouseClick(f.Command5(), Qt::LeftButton);
        QTest::mouseClick(f.Command1(), Qt::LeftButton);
        break;
    case Interference::ActivateCalibration:
        if (calibrationLoaded())
            form2().window()->activateWindow();
        break;
    case Interference::Key: {
        const QString before = f.field(10)->text();
        QTest::keyClick(f.field(10), Qt::Key_5);
        if (f.field(10)->text() != before && m_guardFault.isEmpty())
            m_guardFault = QStringLiteral("a key reached Text10 during a run");
        break;
    }
    }
}

void TestRandomSequence::useRealBoxes(bool real)
{
    if (real) {
        m_recorder.reset();
        m_realBoxActions = 30;
    } else if (!m_recorder) {
        m_recorder = std::make_unique<test::MessageRecorder>();
        m_realBoxActions = 0;
    }
}

QString TestRandomSequence::clickRun(const Action &a, QAbstractButton *button)
{
    Form4 &f = form4();
    const Variant ep1 = f.EP1;
    const Variant beta1 = f.BETA1;
    const Variant ve = f.Ve;
    const bool plots = button == f.Command5() || f.PrimVol.equalsNumber(9);
    ++m_runs;
    button->click();
    if (f.isRunning())
        return QStringLiteral("still running after the click returned");
    if (!m_guardFault.isEmpty())
        return m_guardFault;
    if (a.interference != Interference::CloseCurveWindow && !curveLoaded())
        return QStringLiteral("the curve window was closed during a run");
    return plots && curveLoaded() ? checkAfterRun(ep1, beta1, ve) : QString();
}

QString TestRandomSequence::perform(const Action &a)
{
    const bool curve = curveLoaded();
    const bool calibration = calibrationLoaded();
    if (m_registry->exists(kForm4))
        form4().setRunTiming(a.timing);
    auto skipped = [this] {
        ++m_skipped;
        m_history.back() += QStringLiteral(" (nothing to act on)");
        return QString();
    };

    switch (a.kind) {
    case Action::SetField: {
        if (!curve)
            return skipped();
        QLineEdit *field = form4().field(a.field);
        if (a.typed) {
            field->clear();
            QTest::keyClicks(field, a.text);
        } else {
            field->setText(a.text);
        }
        return QString();
    }
    case Action::SaneFields:
        if (!curve)
            return skipped();
        for (std::size_t i = 0; i < kCurveFields.size(); ++i)
            form4().field(kCurveFields[i])->setText(a.panel[i]);
        return QString();
    case Action::ClickOption:
        if (!curve)
            return skipped();
        (a.field == 1 ? form4().Option1() : form4().Option2())->click();
        if (form4().Option1()->isChecked() == form4().Option2()->isChecked())
            return QStringLiteral("both or neither option button checked");
        return QString();
    case Action::RunEsegui:
    case Action::RunCancella: {
        if (!curve)
            return skipped();
        QAbstractButton *button
            = a.kind == Action::RunEsegui ? form4().Command5() : form4().Command1();
        return clickRun(a, button);
    }
    case Action::LongRun: {
        if (!curve)
            return skipped();
        // Every point the same and never out of field: only Esc ends it. The texts come back
        // afterwards so that the next runs are ordinary ones.
        Form4 &f = form4();
        const std::array<std::pair<int, QString>, 5> texts = {{{3, QStringLiteral("0")},
                                                               {4, QString::number(a.value)},
                                                               {10, QStringLiteral("0")},
                                                               {11, QStringLiteral("55")},
                                                               {12, a.text}}};
        std::array<QString, 5> kept;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            kept[i] = f.field(texts[i].first)->text();
            f.field(texts[i].first)->setText(texts[i].second);
        }
        const qint64 before = m_escapes;
        QString fault = clickRun(a, f.Command5());
        if (fault.isEmpty() && curveLoaded() && m_escapes == before)
            fault = QStringLiteral("the endless run ended without Esc");
        if (curveLoaded())
            for (std::size_t i = 0; i < texts.size(); ++i)
                f.field(texts[i].first)->setText(kept[i]);
        return fault;
    }
    case Action::Scroll: {
        if (!calibration)
            return skipped();
        QScrollBar *bar = form2().HScroll1();
        const int before = bar->value();
        if (a.value > 0)
            bar->setValue(a.value);
        else
            bar->triggerAction(a.value == 0 ? QAbstractSlider::SliderSingleStepAdd
                                            : QAbstractSlider::SliderSingleStepSub);
        const int after = bar->value();
        if (after < 1 || after > 30)
            return QStringLiteral("scroll position %1").arg(after);
        if (after != before) {
            const double factor = model::factorForPosition(after);
            if (form2().Incr != Variant::real(factor))
                return QStringLiteral("Incr %1 at scroll position %2")
                    .arg(form2().Incr.toText())
                    .arg(after);
            if (form2().Text1()->text() != Variant::real(factor).toText())
                return QStringLiteral("Text1 %1 at scroll position %2")
                    .arg(form2().Text1()->text())
                    .arg(after);
        }
        return QString();
    }
    case Action::CalibrationOk: {
        if (!calibration)
            return skipped();
        // Accepted: the curve window is shown; refused: one message and nothing else.
        const bool accepted = form2().Incr.toDouble() > model::kAcceptThreshold;
        const bool curveBefore = curve;
        const qsizetype messagesBefore
            = (m_recorder ? m_recorder->messages.size() : 0) + m_boxMessages.size();
        form2().window()->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
        watchSurfaces();
        const qsizetype messagesAfter
            = (m_recorder ? m_recorder->messages.size() : 0) + m_boxMessages.size();
        if ((accepted ? !curveLoaded() : curveLoaded() != curveBefore)
            || messagesAfter - messagesBefore != (accepted ? 0 : 1))
            return QStringLiteral("OK with Incr %1: curve window %2, %3 message(s)")
                .arg(form2().Incr.toText())
                .arg(curveLoaded() ? QStringLiteral("shown") : QStringLiteral("not shown"))
                .arg(messagesAfter - messagesBefore);
        settle(accepted ? form4().window() : nullptr);
        return QString();
    }
    case Action::Avanti: {
        QWidget *intro = windowOf(1);
        if (!intro)
            return skipped();
        intro->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
        watchSurfaces();
        if (!calibrationLoaded())
            return QStringLiteral("AVANTI did not show the calibration window");
        settle(form2().window());
        return QString();
    }
    case Action::Activate: {
        QWidget *w = windowOf(a.field);
        if (!w)
            return skipped();
        w->activateWindow();
        settle(w);
        return QString();
    }
    case Action::Show: {
        const QString name = formName(a.field);
        m_registry->show(name);
        watchSurfaces();
        QWidget *w = m_registry->form(name).window();
        if (!w || !w->isVisible())
            return name + QStringLiteral(" not visible after show");
        settle(w);
        return QString();
    }
    case Action::Close: {
        QWidget *w = windowOf(a.field);
        // The last window is left open: closing it would end the program.
        int open = 0;
        for (int n : {1, 2, 4})
            open += windowOf(n) ? 1 : 0;
        if (!w || open < 2)
            return skipped();
        const QPointer<QWidget> closing = w;
        if (!w->close())
            return formName(a.field) + QStringLiteral(" refused to close");
        settle(nullptr);
        if (closing || m_registry->form(formName(a.field)).isLoaded())
            return formName(a.field) + QStringLiteral(" still loaded after closing");
        return QString();
    }
    case Action::ToggleBoxes:
        useRealBoxes(m_recorder != nullptr);
        return QString();
    }
    return QString();
}

// After a run: the increments hold numbers again, and each segment parameter is its field's
// number, or its earlier value when the field was refused (and emptied).
QString TestRandomSequence::checkAfterRun(const Variant &ep1, const Variant &beta1,
                                          const Variant &ve)
{
    Form4 &f = form4();
    for (const auto &[number, member] : {std::pair<int, const Variant *> {1, &f.INX},
                                         std::pair<int, const Variant *> {2, &f.INY}}) {
        const std::optional<double> x = toNumber(f.field(number)->text());
        if (!x || *x == 0.0)
            return QStringLiteral("Text%1 holds %2 after a run")
                .arg(number)
                .arg(shown(f.field(number)->text()));
        if (member->toDouble() != *x)
            return QStringLiteral("Text%1 %2 but the member holds %3")
                .arg(number)
                .arg(shown(f.field(number)->text()))
                .arg(member->toText());
    }
    struct Segment
    {
        int field;
        const Variant &member;
        const Variant &before;
        double factor;
    };
    const std::array<Segment, 3> segments = {{
        {10, f.EP1, ep1, 1.0},
        {11, f.BETA1, beta1, static_cast<double>(f.P1.toSingle())},
        {12, f.Ve, ve, 1.0},
    }};
    for (const Segment &s : segments) {
        const QString text = f.field(s.field)->text();
        const std::optional<double> x = toNumber(text);
        if (x ? s.member != Variant::real(*x * s.factor)
              : (!text.isEmpty() || s.member != s.before))
            return QStringLiteral("Text%1 %2, member %3 (before the run %4)")
                .arg(s.field)
                .arg(shown(text))
                .arg(s.member.toText())
                .arg(s.before.toText());
        // A reader that left its member Empty ends the run before the next one reads.
        if (s.member.isEmpty())
            break;
    }
    return QString();
}

QString TestRandomSequence::checkCurveMembers()
{
    const Form4 &f = form4();
    const auto kind = [](const Variant &v) { return QString::fromLatin1(kindName(v)); };
    const auto isDouble = [](const Variant &v) {
        const double *d = get_if<double>(v);
        return d && std::isfinite(*d);
    };
    const auto int16Value = [](const Variant &v) -> std::optional<int> {
        if (const std::int16_t *i = get_if<std::int16_t>(v))
            return *i;
        return std::nullopt;
    };

    if (!f.P1.isEmpty() && !(get_if<float>(f.P1) && *get_if<float>(f.P1) == kP1))
        return QStringLiteral("P1 %1 %2").arg(kind(f.P1), f.P1.toText());
    if (!f.CX.isEmpty() && f.CX != Variant::single(430.0f))
        return QStringLiteral("CX %1 %2").arg(kind(f.CX), f.CX.toText());
    if (!f.CY.isEmpty()) {
        // Half the scale height 1000 x Incr, plus 50, for one of the scroll bar's factors.
        bool found = false;
        for (int p = 0; p <= 30 && !found; ++p) {
            const auto h = static_cast<float>(1000.0 * model::factorForPosition(p));
            found = f.CY == Variant::single(h / 2 + 50);
        }
        if (!found)
            return QStringLiteral("CY %1 %2").arg(kind(f.CY), f.CY.toText());
    }
    for (const auto &[name, v] : {std::pair {"INX", &f.INX}, std::pair {"INY", &f.INY}}) {
        if (!v->isEmpty() && !(isDouble(*v) && v->toDouble() != 0.0) && int16Value(*v) != 1)
            return QStringLiteral("%1 %2 %3").arg(QLatin1String(name), kind(*v), v->toText());
    }
    for (const auto &[name, v] :
         {std::pair {"EP1", &f.EP1}, std::pair {"BETA1", &f.BETA1}, std::pair {"Ve", &f.Ve},
          std::pair {"DaA1", &f.DaA1}, std::pair {"AA1", &f.AA1}}) {
        if (!v->isEmpty() && !isDouble(*v))
            return QStringLiteral("%1 %2 %3").arg(QLatin1String(name), kind(*v), v->toText());
    }
    if (!f.ContaStep.isEmpty()) {
        const std::optional<int> step = int16Value(f.ContaStep);
        if (!step || *step < 1 || *step > 3)
            return QStringLiteral("ContaStep %1 %2").arg(kind(f.ContaStep), f.ContaStep.toText());
    }
    if (!f.ValStep.isEmpty()) {
        // 999 ends a run; otherwise +1 or -1, a double only for a range from 0 to a non-zero To.
        const std::optional<int> step = int16Value(f.ValStep);
        const double from = f.DaA1.toDouble();
        const double to = f.AA1.toDouble();
        bool ok = false;
        if (step == 999)
            ok = true;
        else if (step)
            ok = from != 0.0 && *step == (from > to ? -1 : 1);
        else if (isDouble(f.ValStep))
            ok = from == 0.0 && to != 0.0 && f.ValStep.toDouble() == (to > 0 ? 1.0 : -1.0);
        if (!ok)
            return QStringLiteral("ValStep %1 %2 for the range %3 to %4")
                .arg(kind(f.ValStep), f.ValStep.toText(), f.DaA1.toText(), f.AA1.toText());
    }
    if (!f.Miocolor.isEmpty()) {
        const std::optional<int> colour = int16Value(f.Miocolor);
        if (!colour || *colour < 1 || *colour > 14)
            return QStringLiteral("Miocolor %1 %2").arg(kind(f.Miocolor), f.Miocolor.toText());
    }
    if (!f.PrimVol.isEmpty() && f.PrimVol != Variant::int16(9))
        return QStringLiteral("PrimVol %1 %2").arg(kind(f.PrimVol), f.PrimVol.toText());
    if (f.isRunning())
        return QStringLiteral("a run is still going on");
    if (curveLoaded() && f.Option1()->isChecked() == f.Option2()->isChecked())
        return QStringLiteral("both or neither option button checked");
    return QString();
}

QString TestRandomSequence::checkCalibrationMembers()
{
    const Form2 &f = form2();
    if (!f.P1.isEmpty() && f.P1 != Variant::single(kP1))
        return QStringLiteral("Form2 P1 %1").arg(f.P1.toText());
    if (f.Incr.isEmpty())
        return QString();
    bool factor = false;
    for (int p = 0; p <= 30 && !factor; ++p)
        factor = f.Incr == Variant::real(model::factorForPosition(p));
    if (!factor)
        return QStringLiteral("Form2 Incr %1 %2")
            .arg(QLatin1String(kindName(f.Incr)), f.Incr.toText());
    if (f.CX != Variant::single(model::kCircleScaleWidth / 2 + model::kAxisShift))
        return QStringLiteral("Form2 CX %1").arg(f.CX.toText());
    const auto height
        = static_cast<float>(f.Incr.toDouble() * static_cast<double>(model::kCircleScaleWidth));
    if (f.CY != Variant::single(height / 2))
        return QStringLiteral("Form2 CY %1 for Incr %2").arg(f.CY.toText(), f.Incr.toText());
    if (!get_if<double>(f.XR) || !get_if<double>(f.YR))
        return QStringLiteral("Form2 XR %1, YR %2").arg(f.XR.toText(), f.YR.toText());
    return QString();
}

QString TestRandomSequence::checkMessages()
{
    QStringList texts = m_boxMessages;
    if (m_recorder)
        texts += m_recorder->messages;
    m_messages += static_cast<int>(texts.size());
    m_boxMessages.clear();
    if (m_recorder)
        m_recorder->messages.clear();
    if (!texts.isEmpty() && !m_history.empty()) {
        QStringList listed;
        for (qsizetype i = 0; i < std::min<qsizetype>(texts.size(), 3); ++i)
            listed << shown(texts.at(i));
        if (texts.size() > 3)
            listed << QStringLiteral("...");
        m_history.back() += QStringLiteral(", %1 message(s) %2")
                                .arg(texts.size())
                                .arg(listed.join(QLatin1Char(' ')));
    }
    for (const QString &t : texts)
        if (!knownMessage(t))
            return QStringLiteral("unexpected message %1").arg(shown(t));
    return QString();
}

QString TestRandomSequence::checkState()
{
    for (SurfaceChecker *c : {&m_curveChecker, &m_calibrationChecker})
        if (!c->fault.isEmpty())
            return c->fault;
    if (!m_guardFault.isEmpty())
        return m_guardFault;
    if (m_ended > 0)
        return QStringLiteral("the program was ended");
    if (QGuiApplication::overrideCursor())
        return QStringLiteral("an override cursor is left after the action");
    if (QString m = checkMessages(); !m.isEmpty())
        return m;
    if (m_registry->exists(kForm4))
        if (QString m = checkCurveMembers(); !m.isEmpty())
            return m;
    if (m_registry->exists(kForm2))
        if (QString m = checkCalibrationMembers(); !m.isEmpty())
            return m;
    // Closed windows go: at most the three windows, nothing piling up behind them.
    int windows = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        windows += w->windowType() == Qt::Window ? 1 : 0;
    if (windows > 3)
        return QStringLiteral("%1 top-level windows").arg(windows);
    return QString();
}

QString TestRandomSequence::context(int index, const QString &fault) const
{
    QString text
        = QStringLiteral("\n=== random sequence: seed %1, action %2 ===\n").arg(m_seed).arg(index);
    if (!fault.isEmpty())
        text += QStringLiteral("FAULT: %1\n").arg(fault);
    text += QStringLiteral("last actions:\n");
    for (const QString &line : m_history)
        text += QStringLiteral("  %1\n").arg(line);
    text += QStringLiteral("replay: QUORVEL_RANDOM_SEED=%1 QUORVEL_RANDOM_ACTIONS=%2\n")
                .arg(m_seed)
                .arg(index + 1);
    return text;
}

void TestRandomSequence::randomSequence()
{
    bool ok = false;
    m_seed = qEnvironmentVariable("QUORVEL_RANDOM_SEED").toULongLong(&ok);
    if (!ok)
        m_seed = kDefaultSeed;
    int actions = qEnvironmentVariableIntValue("QUORVEL_RANDOM_ACTIONS", &ok);
    if (!ok || actions <= 0)
        actions = kDefaultActions;
    int seconds = qEnvironmentVariableIntValue("QUORVEL_RANDOM_SECONDS", &ok);
    if (!ok || seconds <= 0)
        seconds = kDefaultSeconds;
    // Every action and its outcome as it happens, to follow a replay.
    const bool trace = qEnvironmentVariableIntValue("QUORVEL_RANDOM_TRACE") != 0;
    qInfo("seed %llu (QUORVEL_RANDOM_SEED), %d actions (QUORVEL_RANDOM_ACTIONS), at most %d s "
          "(QUORVEL_RANDOM_SECONDS)",
          static_cast<unsigned long long>(m_seed), actions, seconds);

    m_registry = std::make_unique<FormRegistry>();
    registerForms(*m_registry);
    m_recorder = std::make_unique<test::MessageRecorder>();
    // The program's way in: the introduction, then AVANTI to the calibration window.
    m_registry->show(kForm1);
    QVERIFY(QTest::qWaitForWindowActive(m_registry->form(kForm1).window()));
    m_registry->form(kForm1).window()->findChild<QPushButton *>("Command1")->click();
    watchSurfaces();
    QVERIFY(QTest::qWaitForWindowActive(form2().window()));
    QTRY_VERIFY(!form2().Incr.isEmpty());

    Random random(m_seed);
    Watchdog watchdog;
    QElapsedTimer clock;
    clock.start();
    int done = 0;
    for (; done < actions; ++done) {
        if (clock.elapsed() >= qint64 {seconds} * 1000)
            break;
        const Action action = drawAction(random);
        m_history.push_back(QStringLiteral("#%1 %2").arg(done).arg(action.describe()));
        if (m_history.size() > kHistoryLength)
            m_history.pop_front();
        setCrashContext(context(done, QString()).toUtf8());
        watchdog.beat();

        const qint64 curveBefore = m_curveChecker.points;
        const qint64 calibrationBefore = m_calibrationChecker.points;
        // The guard may not have looked since the previous run: each action starts afresh.
        m_current = &action;
        m_busyFor.invalidate();
        m_escSent = false;
        QString fault = perform(action);
        if (fault.isEmpty())
            settle(nullptr);
        m_current = nullptr;
        m_history.back() += QStringLiteral(" -> %1 + %2 points")
                                .arg(m_curveChecker.points - curveBefore)
                                .arg(m_calibrationChecker.points - calibrationBefore);
        if (fault.isEmpty())
            fault = checkState();
        if (trace)
            std::fprintf(stderr, "%s\n", qPrintable(m_history.back()));
        if (!fault.isEmpty()) {
            const QString report = context(done, fault);
            std::fputs(qPrintable(report), stderr);
            std::fflush(stderr);
            QFAIL(qPrintable(fault));
        }
        if (m_realBoxActions > 0 && --m_realBoxActions == 0)
            useRealBoxes(false);
    }
    m_curvePoints = m_curveChecker.points;
    m_calibrationPoints = m_calibrationChecker.points;
    const double elapsed = static_cast<double>(clock.elapsed()) / 1000.0;
    if (done < actions)
        qInfo("time bound of %d s reached: %d of %d actions ran", seconds, done, actions);
    qInfo("%d actions in %.1f s (seed %llu): %d runs clicked, %lld curve points, %lld calibration "
          "points, %d messages (%d in real boxes), %d runs stopped by Esc, %d actions skipped",
          done, elapsed, static_cast<unsigned long long>(m_seed), m_runs,
          static_cast<long long>(m_curvePoints), static_cast<long long>(m_calibrationPoints),
          m_messages, m_realBoxes, m_escapes, m_skipped);
    // A sequence of any length must have reached the drawing; a long one must have plotted.
    QVERIFY(m_calibrationPoints > 0);
    if (done >= 1000)
        QVERIFY(m_curvePoints > 0 && m_runs > 0);
}

QTEST_MAIN(TestRandomSequence)
#include "tst_random_sequence.moc"
