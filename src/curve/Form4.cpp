// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Form4.h"
#include "RunRecord.h"

#include "CurveAccessibility.h"
#include "model/CurveChain.h"
#include "model/Degrees.h"

#include "model/NumericText.h"
#include "raster/RetainedDrawing.h"
#include "shell/AccessibleParts.h"
#include "shell/Controls.h"
#include "shell/FormNames.h"
#include "shell/FormRegistry.h"
#include "shell/MessageBox.h"
#include "shell/RuntimeError.h"
#include "shell/Twips.h"
#include "surface/DrawingSurface.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <limits>
#include <variant>
#include <vector>

namespace quorvel::curve {

using namespace model;
using raster::ColourValue;
using raster::DotMapping;

namespace {

// Colours the readers give a field: red while its message is shown, white afterwards.
constexpr ColourValue kRefusedBackground = 0x0000FF;
constexpr ColourValue kFieldBackground = 0xFFFFFF;

// Sets the dots of points [from, end) that the writer can set without a call, in order, and
// returns the index of the first it cannot (end when none). The chain's points are relative to
// the axes' crossing at (cx, cy), y upwards. The writer works on a copy in locals, so that the
// loop keeps it in registers.
int putWholeDots(raster::DotWriter &dots, const ChainPoint *points, int from, int end, double cx,
                 double cy)
{
    raster::DotWriter writer = dots;
    int k = from;
    for (; k < end; ++k) {
        const ChainPoint &p = points[k];
        if (!writer.tryPut(static_cast<float>(cx + p.x), static_cast<float>(cy - p.y),
                           p.paletteIndex))
            break;
    }
    dots = writer;
    return k;
}

// How many of the n points of a span from `before` to `after` (the span before and after walking
// them) lie upper right, upper left and lower left of the axes' crossing. x and y each move one
// way only, so each keeps its sign from the first point to the last unless it crosses 0 once:
// the points are counted one by one only then.
std::array<int, 3> quadrantsOf(ChainSpan before, const ChainSpan &after, int n)
{
    const bool right = before.nextX() >= 0;
    const bool up = before.nextY() >= 0;
    if (right == (after.x() >= 0) && up == (after.y() >= 0)) {
        std::array<int, 3> all {};
        if (up)
            all[right ? 0 : 1] = n;
        else if (!right)
            all[2] = n;
        return all;
    }
    std::array<int, 3> counts {};
    before.walk(n, [&counts](double x, double y) {
        const bool u = y >= 0;
        const bool r = x >= 0;
        counts[0] += static_cast<int>(u && r);
        counts[1] += static_cast<int>(u && !r);
        counts[2] += static_cast<int>(!u && !r);
    });
    return counts;
}

// How a run ended, as the summary of the run tells it. `refused`: the fields of the range at
// which the run ended were refused.
RunSummary::End howRunEnded(const RunOutcome &outcome, bool refused)
{
    if (outcome.endedByFields)
        return refused ? RunSummary::End::Refused : RunSummary::End::RangesDone;
    switch (outcome.last.end) {
    case RangeEnd::Done:
        return RunSummary::End::RangesDone;
    case RangeEnd::Stopped:
        return RunSummary::End::Stopped;
    case RangeEnd::OutOfFieldX:
    case RangeEnd::OutOfFieldY:
    case RangeEnd::AngleTooLarge:
    case RangeEnd::AlfaStuck:
        break;
    }
    return RunSummary::End::OutOfField;
}

} // namespace

Form4::Form4(FormRegistry &registry, std::function<Variant()> incrSource)
    : Form(registry, QString::fromUtf16(kCurveForm))
    , m_incrSource(std::move(incrSource))
{
}

Form4::~Form4() = default;

QLineEdit *Form4::field(int number) const
{
    if (number < 0 || number >= static_cast<int>(m_fields.size()))
        return nullptr;
    return m_fields[static_cast<std::size_t>(number)];
}

void Form4::Form_Activate()
{
    if (!m_surface)
        return;
    setUpFrame();
    m_contaStepBefore = ContaStep;
    ContaStep = Variant::int16(1);
    if (PrimVol.equalsNumber(kActivatedMarker))
        CALCOLA();
    else
        PrimVol = Variant::int16(kActivatedMarker);
}

// The scale, CX, CY and the axes, as every activation sets them.
void Form4::setUpFrame()
{
    raster::RetainedDrawing &s = m_surface->raster();
    P1 = Variant::single(kDegreesToRadians);
    s.setScaleMode(raster::RetainedDrawing::kCentimetreScale);
    s.setDrawWidth(2);
    s.setScaleWidth(kCurveScaleWidth);
    const double incr = m_incrSource().toDouble();
    s.setScaleHeight(static_cast<float>(static_cast<double>(s.scaleWidth()) * incr));
    CX = Variant::single(s.scaleWidth() / 2 - kAxesLeftOfMiddle);
    CY = Variant::single(s.scaleHeight() / 2 + kAxesBelowMiddle);
    const float cx = CX.toSingle();
    const float cy = CY.toSingle();
    s.Line(cx, 0, cx, s.scaleHeight(), 0);
    s.Line(0, cy, s.scaleWidth(), cy, 0);
}

void Form4::Command1_Click()
{
    if (!m_surface || isRunning())
        return;
    m_redo.clear();
    m_surface->raster().Cls();
    Form_Activate();
}

void Form4::Command3_Click()
{
    // During a run too: the run stops at its next point and the program ends. A screen reader
    // hears why the run stopped before the windows go.
    if (m_running) {
        m_running->pacer.requestStop();
        announce(m_command3, QStringLiteral("Calcolo interrotto con ESCI: il programma termina."));
    }
    endProgram();
}

void Form4::Command5_Click()
{
    if (isRunning())
        return;
    m_contaStepBefore = ContaStep;
    ContaStep = Variant::int16(1);
    CALCOLA();
}

CurveMembers Form4::members() const
{
    return {INX, INY, EP1, BETA1, Ve, ContaStep, ValStep, DaA1, AA1, Miocolor, A2};
}

void Form4::setMembers(const CurveMembers &m)
{
    INX = m.INX;
    INY = m.INY;
    EP1 = m.EP1;
    BETA1 = m.BETA1;
    Ve = m.Ve;
    ContaStep = m.ContaStep;
    ValStep = m.ValStep;
    DaA1 = m.DaA1;
    AA1 = m.AA1;
    Miocolor = m.Miocolor;
    A2 = m.A2;
}

void Form4::setFields(const std::array<QString, 13> &texts, bool cosine)
{
    for (int n = 1; n < static_cast<int>(texts.size()); ++n) {
        if (field(n) && field(n)->text() != texts[static_cast<std::size_t>(n)])
            setFieldText(n, texts[static_cast<std::size_t>(n)]);
    }
    if (m_option1 && m_option2)
        (cosine ? m_option2 : m_option1)->setChecked(true);
    m_cosineChosen = cosine;
}

double Form4::calibration() const
{
    return m_incrSource().toDouble();
}

float Form4::fieldLimitY(double incr)
{
    const float height = static_cast<float>(static_cast<double>(kCurveScaleWidth) * incr);
    return height / 2 + kAxesBelowMiddle;
}

void Form4::clearToAxes()
{
    if (!m_surface || isRunning())
        return;
    m_redo.clear();
    m_surface->raster().Cls();
    setUpFrame();
}

void Form4::replayRun(std::optional<std::size_t> dotLimit, std::optional<double> calibration)
{
    if (!m_surface || isRunning())
        return;
    struct Restore
    {
        Form4 &form;
        ~Restore()
        {
            form.m_quiet = false;
            form.m_dotLimit.reset();
            form.m_limitCalibration.reset();
        }
    } restore {*this};
    m_quiet = true;
    if (dotLimit && *dotLimit > 0)
        m_dotLimit = dotLimit;
    m_limitCalibration = calibration;
    m_contaStepBefore = ContaStep;
    ContaStep = Variant::int16(1);
    CALCOLA();
}

bool Form4::canUndo() const
{
    if (!m_surface)
        return false;
    for (const auto &entry : m_surface->raster().record().entries()) {
        const auto *dots = std::get_if<raster::RecordedDots>(&entry);
        if (dots && dynamic_cast<const RunRecord *>(dots->source.get()))
            return true;
    }
    return false;
}

void Form4::undoLastRun()
{
    if (!m_surface || isRunning())
        return;
    std::vector<raster::DrawingRecord::Entry> entries = m_surface->raster().record().entries();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const auto *dots = std::get_if<raster::RecordedDots>(&*it);
        auto run = dots ? std::dynamic_pointer_cast<const RunRecord>(dots->source) : nullptr;
        if (!run)
            continue;
        entries.erase(std::next(it).base());
        setMembers(run->start().members);
        redraw(entries);
        m_redo.push_back(std::move(run));
        return;
    }
}

void Form4::redoRun()
{
    if (!m_surface || isRunning() || m_redo.empty())
        return;
    std::shared_ptr<const RunRecord> run = std::move(m_redo.back());
    m_redo.pop_back();
    std::vector<raster::DrawingRecord::Entry> entries = m_surface->raster().record().entries();
    entries.emplace_back(raster::RecordedDots {run, {}});
    setMembers(run->after());
    auto redo = std::move(m_redo);
    redraw(entries);
    m_redo = std::move(redo);
}

void Form4::redraw(const std::vector<raster::DrawingRecord::Entry> &entries)
{
    raster::RetainedDrawing &s = m_surface->raster();
    const int drawWidth = s.drawWidth();
    s.Cls();
    const DotMapping now = s.mapping(1);
    for (const auto &entry : entries) {
        if (const auto *line = std::get_if<raster::RecordedLine>(&entry)) {
            // Back to user units at the current scale.
            s.setDrawWidth(std::max(1, static_cast<int>(std::lround(line->width))));
            const QRgb c = line->colour;
            const ColourValue colour = static_cast<ColourValue>(qRed(c))
                | (static_cast<ColourValue>(qGreen(c)) << 8)
                | (static_cast<ColourValue>(qBlue(c)) << 16);
            s.Line(static_cast<float>(line->from.x() / now.kx),
                   static_cast<float>(line->from.y() / now.ky),
                   static_cast<float>(line->to.x() / now.kx),
                   static_cast<float>(line->to.y() / now.ky), colour);
            continue;
        }
        const auto &dots = std::get<raster::RecordedDots>(entry);
        s.setDrawWidth(kDotWidth);
        struct Put : raster::DotVisitor
        {
            explicit Put(raster::DotWriter w)
                : writer(w)
            {
            }
            raster::DotWriter writer;
            bool dot(const raster::RecordedDot &d) override
            {
                writer.put(static_cast<float>(d.x), static_cast<float>(d.y), d.paletteIndex);
                return true;
            }
        } put(s.dotWriter());
        if (const auto *run = dynamic_cast<const RunRecord *>(dots.source.get())) {
            // A run's chain straight into the writer, a stretch at a time, as CALCOLA sets it.
            const double cx = run->cx();
            const double cy = run->cy();
            run->replayStretches(m_directions, [&put, cx, cy](const ChainPoint *points, int count) {
                int k = 0;
                while (k < count) {
                    k = putWholeDots(put.writer, points, k, count, cx, cy);
                    if (k < count) {
                        const ChainPoint &p = points[k++];
                        put.writer.put(static_cast<float>(cx + p.x), static_cast<float>(cy - p.y),
                                       p.paletteIndex);
                    }
                }
            });
        } else {
            dots.source->replayDots(put);
        }
        put.writer.finish();
        s.record().addDots(dots.source, s.mapping(kDotWidth));
    }
    s.setDrawWidth(drawWidth);
    m_surface->repaintNow();
}

// Increments: a refused text falls back to 1, which the field then shows; zero is refused.
void Form4::readIncrement(int number, Variant &member, const QString &notNumberMessage)
{
    const std::optional<double> x = toNumber(field(number)->text());
    if (!x || *x == 0.0) {
        message(x ? QStringLiteral("Non è ammesso 0 ") : notNumberMessage, concerningField(number));
        setFieldText(number, QStringLiteral("1"));
        announce(field(number),
                 QStringLiteral("Il campo %1 ora vale 1.").arg(field(number)->accessibleName()));
        member = Variant::int16(1);
        return;
    }
    member = Variant::real(*x);
}

// Segment parameters: a refused text is cleared and the member keeps its last value.
void Form4::readSegmentParameter(int number, Variant &member, double factor)
{
    const std::optional<double> x = toNumber(field(number)->text());
    if (!x) {
        setFieldBackground(number, kRefusedBackground);
        message(QStringLiteral("Non è un numero"), concerningField(number));
        setFieldText(number, QString());
        announce(
            field(number),
            QStringLiteral("Il campo %1 è stato svuotato.").arg(field(number)->accessibleName()));
        setFieldBackground(number, kFieldBackground);
        return;
    }
    member = Variant::real(*x * factor);
}

void Form4::LeggiText1()
{
    readIncrement(1, INX, QStringLiteral("INX non è un numero"));
}

void Form4::LeggiText2()
{
    readIncrement(2, INY, QStringLiteral("INY non è un numero"));
}

void Form4::LeggiText10()
{
    readSegmentParameter(10, EP1, 1.0);
}

void Form4::LeggiText11()
{
    // Degrees to radians with the single-precision factor, the product in double precision.
    readSegmentParameter(11, BETA1, static_cast<double>(P1.toSingle()));
}

void Form4::LeggiText12()
{
    readSegmentParameter(12, Ve, 1.0);
}

void Form4::CONTRALFA(Variant &Mem1, Variant &Mem2)
{
    const QString concerning = m_rangeRead > 0
        ? QStringLiteral("Riguarda i campi For%1 e To%1").arg(m_rangeRead)
        : QString();
    if (Mem1.equalsEmptyText() || Mem2.equalsEmptyText()) {
        message(QStringLiteral("For o To senza numero"), concerning);
        ValStep = Variant::int16(kEndMarker);
        return;
    }
    const std::optional<double> from = Mem1.numericValue();
    const std::optional<double> to = Mem2.numericValue();
    if (!from || !to) {
        message(QStringLiteral("For o To non numero"), concerning);
        ValStep = Variant::int16(kEndMarker);
        return;
    }
    Mem1 = Variant::real(*from);
    Mem2 = Variant::real(*to);
    DaA1 = Mem1;
    AA1 = Mem2;
    ValStep = stepFor(*from, *to);
}

void Form4::CALCOLA()
{
    if (!m_surface || isRunning())
        return;
    RunPacer pacer(m_surface, registry(), m_timing);
    pacer.letThrough(m_command3);
    pacer.setRangesToWalk(
        RunPacer::rangesToWalk(rangeTexts(), static_cast<int>(ContaStep.toDouble())));
    const float cx = CX.toSingle();
    const float cy = CY.toSingle();
    // The chain comes a stretch at a time; its dots go straight into the drawing, through a
    // writer that holds the drawing's settings in locals and is handed back to the drawing
    // before the pacer lets events in and before a message box opens.
    m_surface->raster().setDrawWidth(kDotWidth);
    RunDrawing drawing {pacer, m_surface->raster().dotWriter(), cx, cy};
    m_running = &drawing;
    // However the run ends, what it drew is on the screen when CALCOLA returns.
    struct RunEnd
    {
        RunDrawing *&running;
        QPointer<DrawingSurface> surface;
        ~RunEnd()
        {
            if (surface) {
                running->dots.finish();
                surface->repaintNow();
            }
            running = nullptr;
        }
    } runEnd {m_running, m_surface};
    // Tells a screen reader what the run drew when it ends (before the repaint above).
    const RunAnnouncer announcer(m_surface, m_run);

    m_redo.clear();
    RunStart start;
    for (int n = 1; n < static_cast<int>(start.texts.size()); ++n) {
        if (field(n))
            start.texts[static_cast<std::size_t>(n)] = field(n)->text();
    }
    start.cosine = m_cosineChosen;
    start.members = members();
    start.calibration = m_limitCalibration.value_or(calibration());
    start.members.ContaStep = m_contaStepBefore;
    const float limitY = m_limitCalibration ? fieldLimitY(*m_limitCalibration) : cy;
    CurveChain chain(m_directions, cx, limitY, A2);
    ColourCycle colour(Miocolor.isEmpty() ? std::nullopt : Miocolor.toInt16());
    // The run's recipe, for pictures and the table of points.
    const int firstRange = static_cast<int>(ContaStep.toDouble());
    const DotMapping dotMapping = m_surface->raster().mapping(kDotWidth);
    auto record = std::make_shared<RunRecord>(
        static_cast<int>(m_surface->raster().record().dotBatchCount()) + 1, cx, cy,
        colour.counter(), firstRange);
    record->setFieldLimits(cx, limitY);
    record->setStart(std::move(start));
    const std::shared_ptr<RunRecord> kept = record;
    // A run replayed from a lesson stops at its dot count, inside a stretch or a span alike.
    std::size_t drawn = 0; // dots so far, against m_dotLimit
    const auto withinLimit = [this, &drawn](int count) {
        return m_dotLimit ? static_cast<int>(
                   std::min<std::size_t>(static_cast<std::size_t>(count), *m_dotLimit - drawn))
                          : count;
    };
    const auto counted = [this, &drawn](CurveChain::Taken taken) {
        drawn += static_cast<std::size_t>(taken.points);
        if (m_dotLimit && drawn >= *m_dotLimit)
            taken.goOn = false;
        return taken;
    };
    bool refused = false; // the fields of the latest range started were refused
    const RunOutcome outcome = chain.runStretches(
        firstRange, colour,
        [&](int range) {
            const RangeFields fields = startRange(range, colour);
            refused = fields.refused;
            return record->keep(range, fields.plan);
        },
        [&](const ChainPoint *points, int count) {
            return counted(drawStretch(points, withinLimit(count)));
        },
        [&](ChainSpan &span) {
            span.count = withinLimit(span.count);
            return counted(drawSpan(span));
        });
    record->setDots(outcome.points);
    if (outcome.points > 0 && m_surface)
        m_surface->raster().record().addDots(std::move(record), dotMapping);
    A2 = chain.lastA2();
    if (colour.counter())
        Miocolor = Variant::int16(*colour.counter());
    const bool lastRangeDone = !outcome.endedByFields && outcome.last.end == RangeEnd::Done;
    m_run.rangesDone = outcome.range - (lastRangeDone ? 0 : 1);
    m_run.end = howRunEnded(outcome, refused);
    kept->setAfter(members(), m_run.end);
    if (!outcome.endedByFields)
        reportRangeEnd(outcome.last);
}

CurveChain::Taken Form4::drawStretch(const ChainPoint *points, int count)
{
    RunDrawing &run = *m_running;
    const bool cosine = m_cosineChosen; // the choice these points were made with
    int k = 0;
    int summarised = 0; // points already added to the run's summary
    bool choiceChanged = false;
    while (k < count && !choiceChanged) {
        const int end = std::min(count, k + run.pacer.pointsBeforeCheck());
        const int from = k;
        while (k < end) {
            k = putWholeDots(run.dots, points, k, end, run.cx, run.cy);
            if (k == end)
                break;
            // Observed, or at the edge: the drawing's own dot, with A2 as it is then.
            const ChainPoint &p = points[k++];
            A2 = p.a2;
            run.dots.put(static_cast<float>(run.cx + p.x), static_cast<float>(run.cy - p.y),
                         p.paletteIndex);
            // An observer may change the choice with the dot: the chain then goes on with the
            // new one.
            if (m_cosineChosen != cosine) {
                choiceChanged = true;
                break;
            }
        }
        A2 = points[k - 1].a2;
        if (!run.pacer.countPoints(k - from))
            continue;
        m_run.addChain(points + summarised, k - summarised);
        summarised = k;
        run.dots.finish();
        // Closing the window during the run takes the drawing and the controls away.
        if (!run.pacer.check(points[k - 1].range, points[k - 1].alfa) || !m_surface)
            return {k, false};
        m_surface->raster().setDrawWidth(kDotWidth);
        run.dots = m_surface->raster().dotWriter();
        // Events may have changed the choice of function: the chain goes on with the window's.
        if (run.pacer.eventsProcessed())
            return {k, true, m_cosineChosen};
    }
    m_run.addChain(points + summarised, k - summarised);
    return {k, true, m_cosineChosen};
}

readout::Scene Form4::readoutScene() const
{
    readout::Scene scene;
    // No axes before the first activation.
    if (!m_surface || CX.isEmpty() || CY.isEmpty())
        return scene;
    const raster::RetainedDrawing &drawing = m_surface->raster();
    const DotMapping now = drawing.mapping(kDotWidth);
    const double cx = CX.toSingle();
    const double cy = CY.toSingle();
    scene.axes = readout::ChainMapping {cx * now.kx, cy * now.ky, now.kx, now.ky};
    for (const raster::DrawingRecord::Entry &entry : drawing.record().entries()) {
        const auto *dots = std::get_if<raster::RecordedDots>(&entry);
        if (dots == nullptr)
            continue;
        auto run = std::dynamic_pointer_cast<const RunRecord>(dots->source);
        if (!run)
            continue;
        // Each run where it was drawn, with the mapping of its time.
        const readout::ChainMapping mapping {static_cast<double>(run->cx()) * dots->mapping.kx,
                                             static_cast<double>(run->cy()) * dots->mapping.ky,
                                             dots->mapping.kx, dots->mapping.ky};
        scene.runs.push_back({std::move(run), mapping});
    }
    return scene;
}

CurveChain::Taken Form4::drawSpan(ChainSpan &span)
{
    RunDrawing &run = *m_running;
    if (m_surface && m_surface->raster().observer() != nullptr) {
        // Observed: every dot goes through the drawing, and the observer may change the choice
        // with any of them. The points a stretch at a time, walked again as far as drawn.
        std::array<ChainPoint, 256> points;
        ChainSpan ahead = span;
        const int n = std::min(span.count, static_cast<int>(points.size()));
        int k = 0;
        ahead.walk(n, [&](double x, double y) {
            points[static_cast<std::size_t>(k)]
                = {span.range, span.alfaAt(k), span.a2, x, y, span.paletteIndex};
            ++k;
        });
        const CurveChain::Taken taken = drawStretch(points.data(), n);
        span.walk(std::clamp(taken.points, 1, n), [](double, double) {});
        return taken;
    }
    const double cx = run.cx;
    const double cy = run.cy;
    const int colour = span.paletteIndex;
    while (span.done() < span.count) {
        const int n = std::min(span.count - span.done(), run.pacer.pointsBeforeCheck());
        const ChainSpan before = span;
        // In locals, so that the loop keeps them in registers.
        raster::DotWriter writer = run.dots;
        // Steps far smaller than a pixel give thousands of dots in a row at the very same place:
        // only a new place is set (the same dot set again would change nothing).
        float lastX = std::numeric_limits<float>::quiet_NaN();
        float lastY = lastX;
        span.walk(n, [&](double x, double y) {
            const auto px = static_cast<float>(cx + x);
            const auto py = static_cast<float>(cy - y);
            if (px != lastX || py != lastY) [[unlikely]] {
                writer.put(px, py, colour);
                lastX = px;
                lastY = py;
            }
        });
        run.dots = writer;
        m_run.addStraight(before.nextX(), before.nextY(), span.x(), span.y(), n, colour,
                          quadrantsOf(before, span, n));
        A2 = span.a2;
        if (!run.pacer.countPoints(n))
            continue;
        run.dots.finish();
        if (!run.pacer.check(span.range, span.alfaAt(span.done() - 1)) || !m_surface)
            return {span.done(), false};
        m_surface->raster().setDrawWidth(kDotWidth);
        run.dots = m_surface->raster().dotWriter();
        // Events may have changed the choice of function: the chain goes on with the window's.
        if (run.pacer.eventsProcessed())
            return {span.done(), true, m_cosineChosen};
    }
    return {span.done(), true, m_cosineChosen};
}

Form4::RangeFields Form4::startRange(int range, const ColourCycle &colour)
{
    ContaStep = Variant::int16(static_cast<std::int16_t>(range));
    if (colour.counter())
        Miocolor = Variant::int16(*colour.counter());
    return readRange(range);
}

// Reads the fields at the start of range `range`: the five parameters, then the range's From
// and To. No plan when the run must end here (a parameter never accepted, a refused range, a
// range from 0 to 0).
Form4::RangeFields Form4::readRange(int range)
{
    if (!m_surface || range < 1 || range > kRangeCount)
        return {};
    LeggiText1();
    LeggiText2();
    LeggiText10();
    if (EP1.equalsEmptyText())
        return {std::nullopt, true};
    LeggiText11();
    if (BETA1.equalsEmptyText())
        return {std::nullopt, true};
    LeggiText12();
    if (Ve.equalsEmptyText())
        return {std::nullopt, true};
    if (!m_surface)
        return {};
    ValStep = Variant::int16(0);
    Variant from = Variant::text(field(2 * range + 1)->text());
    Variant to = Variant::text(field(2 * range + 2)->text());
    m_rangeRead = range;
    CONTRALFA(from, to);
    m_rangeRead = 0;
    if (ValStep.equalsNumber(kEndMarker)) {
        // CONTRALFA turns the two texts into numbers when it takes them: texts still, it
        // refused them; numbers, the range was from 0 to 0.
        return {std::nullopt, from.kind() == Variant::Kind::Text};
    }

    RangePlan plan;
    plan.params.ep1 = EP1.toDouble();
    plan.params.inx = INX.toDouble();
    plan.params.iny = INY.toDouble();
    plan.params.beta1 = BETA1.toDouble();
    plan.params.ve = Ve.toDouble();
    plan.params.p1 = P1.toSingle();
    plan.cosine = m_cosineChosen;
    plan.from = DaA1.toDouble();
    plan.to = AA1.toDouble();
    plan.step = ValStep.toDouble();
    return {plan, false};
}

std::array<QString, 6> Form4::rangeTexts() const
{
    std::array<QString, 6> texts;
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = field(static_cast<int>(i) + 3)->text();
    return texts;
}

void Form4::reportRangeEnd(const RangeOutcome &outcome)
{
    const QString text = rangeEndMessage(outcome);
    if (!text.isEmpty())
        message(text);
}

QString Form4::concerningField(int number) const
{
    const QLineEdit *f = field(number);
    return f ? QStringLiteral("Riguarda il campo %1").arg(f->accessibleName()) : QString();
}

void Form4::message(const QString &text, const QString &concerning)
{
    m_run.message = text;
    if (m_quiet)
        return;
    if (!m_running) {
        showMessage(text, concerning);
        return;
    }
    // Everything the run has drawn is on the screen while the box is open.
    if (m_surface) {
        m_running->dots.finish();
        m_surface->repaintNow();
    }
    m_running->pacer.showMessage(text, concerning);
    // The box let events in, which may have resized the drawing: a fresh writer.
    if (m_surface) {
        m_surface->raster().setDrawWidth(kDotWidth);
        m_running->dots = m_surface->raster().dotWriter();
    }
}

void Form4::setFieldText(int number, const QString &text)
{
    field(number)->setText(text);
    if (m_fieldObserver)
        m_fieldObserver->textSet(field(number)->objectName(), text);
}

void Form4::setFieldBackground(int number, ColourValue colour)
{
    QLineEdit *f = field(number);
    QPalette palette = f->palette();
    palette.setColor(QPalette::Base, QColor::fromRgb(raster::toRgb(colour)));
    f->setPalette(palette);
    if (m_fieldObserver)
        m_fieldObserver->backgroundSet(f->objectName(), colour);
}

namespace {

// The controls of the curve window, in creation order (a frame before what it holds); each row's
// place in the table is its Control, so rows refer to one another by Control, never by name.
enum class Control {
    Frame4,
    Label11,
    Text10,
    Label12,
    Text11,
    Label10,
    Text12,
    Frame3,
    Label3,
    Text3,
    Label4,
    Text4,
    Label5,
    Text5,
    Label6,
    Text6,
    Label8,
    Text7,
    Label9,
    Text8,
    Label7,
    Frame1,
    Label1,
    Text1,
    Label2,
    Text2,
    Frame2,
    Option1,
    Option2,
    Command5,
    Command1,
    Command3,
    Window, // not a row: the window itself, as a container
};
constexpr std::size_t kControlCount = static_cast<std::size_t>(Control::Window);

// Positions are twips from the top-left corner of the container: the window, or the frame.
enum class Kind { Frame, Label, CentredLabel, TextBox, Option, Button };
struct ControlRow
{
    Control id;
    const char *name; // the object name: what tests and the accessibility bus see
    Kind kind;
    Control container;
    int left;
    int top;
    int width;
    int height;
    const char *text; // UTF-8
    const char *hoverText = nullptr; // UTF-8
    Control caption = Control::Window; // a text box: the label that names it
    int field = 0; // a text box: its number n, as in Text<n> and LeggiText<n>
};

constexpr ControlRow kControls[] = {
    {Control::Frame4, "Frame4", Kind::Frame, Control::Window, 360, 120, 3255, 2175,
     "Impostazione del segmento-punto"},
    {Control::Label11, "Label11", Kind::Label, Control::Frame4, 120, 240, 2415, 375,
     "Valore  di Epsilon < 1"},
    {Control::Text10, "Text10", Kind::TextBox, Control::Frame4, 2520, 240, 615, 375, "0,86",
     nullptr, Control::Label11, 10},
    {Control::Label12, "Label12", Kind::Label, Control::Frame4, 120, 840, 2415, 495,
     "Angolo BETA del primo  Epsilon con l'asse X",
     "Dando a BETA il valore 0 si ottiene il segmento per punti"},
    {Control::Text11, "Text11", Kind::TextBox, Control::Frame4, 2520, 840, 615, 375, "55", nullptr,
     Control::Label12, 11},
    {Control::Label10, "Label10", Kind::CentredLabel, Control::Frame4, 120, 1560, 1935, 375,
     "Moltiplicatore (t) dell'  angolo ALFA",
     "L'angolo ALFA varia da For a To e puo essere moltiplicato per t  (es. BETA * Sin (t "
     "ALFA))"},
    {Control::Text12, "Text12", Kind::TextBox, Control::Frame4, 2520, 1560, 615, 375, "1", nullptr,
     Control::Label10, 12},

    {Control::Frame3, "Frame3", Kind::Frame, Control::Window, 360, 2280, 3135, 2415,
     "L' angolo ALFA varia da........",
     "L'angolo BETA è segmentato tramite il seno o coseno di ALFA che lo incrementa dal valore "
     "For al valore To  (es.  BETA * Sin ALFA)"},
    {Control::Label3, "Label3", Kind::Label, Control::Frame3, 120, 360, 615, 255, "For1"},
    {Control::Text3, "Text3", Kind::TextBox, Control::Frame3, 960, 360, 495, 285, "0", nullptr,
     Control::Label3, 3},
    {Control::Label4, "Label4", Kind::Label, Control::Frame3, 1800, 360, 495, 255, "To1 "},
    {Control::Text4, "Text4", Kind::TextBox, Control::Frame3, 2520, 360, 495, 285, "180", nullptr,
     Control::Label4, 4},
    {Control::Label5, "Label5", Kind::Label, Control::Frame3, 120, 840, 495, 255, "For2"},
    {Control::Text5, "Text5", Kind::TextBox, Control::Frame3, 960, 840, 495, 285, "0", nullptr,
     Control::Label5, 5},
    {Control::Label6, "Label6", Kind::CentredLabel, Control::Frame3, 1560, 840, 735, 255, "To2"},
    {Control::Text6, "Text6", Kind::TextBox, Control::Frame3, 2520, 840, 495, 285, "0", nullptr,
     Control::Label6, 6},
    {Control::Label8, "Label8", Kind::Label, Control::Frame3, 120, 1320, 615, 255, "For3"},
    {Control::Text7, "Text7", Kind::TextBox, Control::Frame3, 960, 1320, 495, 285, "0", nullptr,
     Control::Label8, 7},
    {Control::Label9, "Label9", Kind::CentredLabel, Control::Frame3, 1560, 1320, 615, 255, "To3"},
    {Control::Text8, "Text8", Kind::TextBox, Control::Frame3, 2520, 1320, 495, 285, "0", nullptr,
     Control::Label9, 8},
    {Control::Label7, "Label7", Kind::CentredLabel, Control::Frame3, 120, 1800, 2895, 495,
     "      In sequenza e anche negativi.        For=0 con To=0 termina la sequenza"},

    {Control::Frame1, "Frame1", Kind::Frame, Control::Window, 3720, 240, 2055, 1455,
     "Incremento - decremento",
     "Incrementando uno degli ASSI si ottengono curve più convesse o strette."},
    {Control::Label1, "Label1", Kind::Label, Control::Frame1, 120, 480, 1095, 255, "sull' Asse  X"},
    {Control::Text1, "Text1", Kind::TextBox, Control::Frame1, 1320, 360, 495, 405, "1", nullptr,
     Control::Label1, 1},
    {Control::Label2, "Label2", Kind::Label, Control::Frame1, 120, 960, 1095, 375, "sull' Asse Y"},
    {Control::Text2, "Text2", Kind::TextBox, Control::Frame1, 1320, 840, 495, 405, "1", nullptr,
     Control::Label2, 2},

    {Control::Frame2, "Frame2", Kind::Frame, Control::Window, 3840, 1800, 1575, 1095,
     "Incremento angolo",
     "La figura può essere variata sostituendo   BETA * Sin(t ALFA)  con  BETA * Cos(t ALFA)"},
    {Control::Option1, "Option1", Kind::Option, Control::Frame2, 120, 360, 1335, 255, "In Seno"},
    {Control::Option2, "Option2", Kind::Option, Control::Frame2, 120, 600, 1335, 255, "In Coseno"},

    {Control::Command5, "Command5", Kind::Button, Control::Window, 3720, 3120, 1695, 375, "ESEGUI",
     "Fare click più volte per cambiare il colore."},
    {Control::Command1, "Command1", Kind::Button, Control::Window, 3720, 3600, 1695, 495,
     "Cancella ed esegui"},
    {Control::Command3, "Command3", Kind::Button, Control::Window, 240, 5640, 1695, 615, "ESCI"},
};

constexpr bool rowsInControlOrder()
{
    if (std::size(kControls) != kControlCount)
        return false;
    for (std::size_t i = 0; i < kControlCount; ++i) {
        if (static_cast<std::size_t>(kControls[i].id) != i)
            return false;
    }
    return true;
}
static_assert(rowsInControlOrder(), "each row of the control table sits at its Control's place");

// Tab order: the two option buttons take part in the chain, and then only the selected one
// takes the focus from Tab, so that the pair is one stop entered at the selected button.
constexpr Control kFocusOrder[] = {
    Control::Command3, Control::Option1, Control::Option2, Control::Text1,
    Control::Text2,    Control::Text3,   Control::Text4,   Control::Text5,
    Control::Text6,    Control::Text7,   Control::Text8,   Control::Command5,
    Control::Text10,   Control::Text11,  Control::Text12,  Control::Command1,
};

QWidget *createControl(const ControlRow &c, QWidget *parent)
{
    const QString text = QString::fromUtf8(c.text);
    QWidget *w = nullptr;
    switch (c.kind) {
    case Kind::Frame: {
        auto *box = new Frame(text, parent);
        // Opaque over the drawing; the labels and buttons inside need no background of their own.
        box->setAutoFillBackground(true);
        w = box;
        break;
    }
    case Kind::Label:
    case Kind::CentredLabel: {
        auto *l = new QLabel(text, parent);
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
        l->setAlignment((c.kind == Kind::CentredLabel ? Qt::AlignHCenter : Qt::AlignLeft)
                        | Qt::AlignTop);
        w = l;
        break;
    }
    case Kind::TextBox: {
        // Room for every whole value from -32768 to 32767 in the narrow range fields.
        auto *t = new CompactTextBox(text, QStringLiteral("-32768"), parent);
        // Any text of any length: the readers decide what it means.
        t->setMaxLength(std::numeric_limits<int>::max());
        QPalette palette = t->palette();
        palette.setColor(QPalette::Base, Qt::white);
        palette.setColor(QPalette::Text, Qt::black);
        t->setPalette(palette);
        w = t;
        break;
    }
    case Kind::Option:
        w = new QRadioButton(text, parent);
        break;
    case Kind::Button:
        w = new CommandButton(text, parent);
        break;
    }
    w->setObjectName(QLatin1String(c.name));
    if (c.hoverText)
        w->setToolTip(QString::fromUtf8(c.hoverText));
    placeInTwips(w, c.left, c.top, c.width, c.height);
    return w;
}

} // namespace

QWidget *Form4::createWindow()
{
    auto *window = new DrawingSurface;
    m_surface = window;
    resizeInTwips(window, 10605, 6780);

    std::array<QWidget *, kControlCount> made {};
    const auto control = [&made, window](Control id) {
        return id == Control::Window ? static_cast<QWidget *>(window)
                                     : made[static_cast<std::size_t>(id)];
    };
    std::vector<curve::FieldCaption> captions;
    for (const ControlRow &c : kControls) {
        QWidget *w = createControl(c, control(c.container));
        made[static_cast<std::size_t>(c.id)] = w;
        if (c.kind == Kind::TextBox) {
            auto *field = static_cast<QLineEdit *>(w);
            auto *caption = static_cast<QLabel *>(control(c.caption));
            m_fields[static_cast<std::size_t>(c.field)] = field;
            field->setAccessibleName(caption->text().simplified());
            captions.push_back({field, caption});
        }
    }
    m_option1 = static_cast<QRadioButton *>(control(Control::Option1));
    m_option2 = static_cast<QRadioButton *>(control(Control::Option2));
    m_command1 = static_cast<QPushButton *>(control(Control::Command1));
    m_command3 = static_cast<QPushButton *>(control(Control::Command3));
    m_command5 = static_cast<QPushButton *>(control(Control::Command5));
    setDesignedLooks(static_cast<QLabel *>(control(Control::Label11)),
                     static_cast<QGroupBox *>(control(Control::Frame1)));
    connectControls();
    for (std::size_t i = 1; i < std::size(kFocusOrder); ++i)
        QWidget::setTabOrder(control(kFocusOrder[i - 1]), control(kFocusOrder[i]));
    focusOnSelectedOption();
    m_command3->setFocus();
    curve::exposeCurveWindow(window, captions, {m_option1, m_option2});
    m_readout = new readout::ReadoutOverlay(window, [this] { return readoutScene(); });
    return window;
}

// The looks that differ from the standard ones: Epsilon's caption at 12 points, and the caption
// of Frame1 in the highlighted-text colour (the labels inside keep the standard text colour).
void Form4::setDesignedLooks(QLabel *epsilonCaption, QGroupBox *frame1)
{
    QFont bigger = epsilonCaption->font();
    bigger.setPointSize(12);
    epsilonCaption->setFont(bigger);

    const QColor standardText = frame1->palette().color(QPalette::WindowText);
    for (QLabel *child : frame1->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        QPalette own = child->palette();
        own.setColor(QPalette::WindowText, standardText);
        child->setPalette(own);
    }
    QPalette highlighted = frame1->palette();
    highlighted.setColor(QPalette::WindowText, highlighted.color(QPalette::HighlightedText));
    frame1->setPalette(highlighted);
}

void Form4::connectControls()
{
    m_option1->setChecked(true);
    m_cosineChosen = false;
    connect(m_option1, &QRadioButton::toggled, this, &Form4::focusOnSelectedOption);
    // The choice as the chain reads it for every point.
    connect(m_option2, &QRadioButton::toggled, this, [this](bool on) { m_cosineChosen = on; });
    connect(m_option1, &QRadioButton::clicked, this, &Form4::Option1_Click);
    connect(m_option2, &QRadioButton::clicked, this, &Form4::Option2_Click);
    connect(m_command5, &QPushButton::clicked, this, &Form4::Command5_Click);
    connect(m_command1, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(m_command3, &QPushButton::clicked, this, &Form4::Command3_Click);
}

// The pair of option buttons is one Tab stop, entered at the selected button; a click on either
// gives it the focus, as on any control.
void Form4::focusOnSelectedOption()
{
    m_option1->setFocusPolicy(m_option1->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    m_option2->setFocusPolicy(m_option2->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

} // namespace quorvel::curve
