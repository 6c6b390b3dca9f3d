// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ConstructionPlayer.h"

#include "model/CurveChain.h"
#include "model/DirectionTable.h"
#include "raster/DotJournal.h"

#include <QElapsedTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <numbers>
#include <vector>

namespace quorvel::player {

namespace {

// The target of toEnd() while the run's length is not known.
constexpr std::uint64_t kEnd = std::numeric_limits<std::uint64_t>::max();

// The dots of a run by number: computed a block at a time from the checkpoint before them (the
// chain's position after every kBlock-th dot), the latest blocks kept, so that a dot next to
// the last one asked costs nothing and any other at most a block's computation, once the
// checkpoints up to it are known.
class PointSource
{
public:
    static constexpr std::uint64_t kBlock = std::uint64_t {1} << 16;

    PointSource(const explore::Recipe &recipe, float cx, float cy)
        : m_recipe(recipe)
        , m_cx(cx)
        , m_cy(cy)
    {
    }

    std::optional<model::RangePlan> plan(int range) const
    {
        if (range < 1 || range > model::kRangeCount)
            return std::nullopt;
        return m_recipe.ranges[static_cast<std::size_t>(range - 1)];
    }

    // Dot n (from 1); null for 0 and beyond the run's end.
    const model::ChainPoint *point(std::uint64_t n)
    {
        if (n == 0 || (m_length && n > *m_length))
            return nullptr;
        const std::uint64_t b = (n - 1) / kBlock;
        Block *block = nullptr;
        for (Block &candidate : m_blocks) {
            if (candidate.index == b)
                block = &candidate;
        }
        if (block == nullptr) {
            block = m_blocks[0].lastUse < m_blocks[1].lastUse ? &m_blocks[0] : &m_blocks[1];
            fill(*block, b);
        }
        block->lastUse = ++m_uses;
        const std::uint64_t k = n - 1 - b * kBlock;
        return k < block->points.size() ? &block->points[static_cast<std::size_t>(k)] : nullptr;
    }

    // Known once a block has reached the run's end.
    const std::optional<std::uint64_t> &length() const { return m_length; }
    const std::optional<QString> &endText() const { return m_endText; }

private:
    struct Block
    {
        std::uint64_t index = kEnd; // points are dots index x kBlock + 1 on
        std::uint64_t lastUse = 0;
        std::vector<model::ChainPoint> points;
    };

    // Block b: its points, from checkpoint b, and checkpoint b + 1 or the run's end. The
    // checkpoints up to b are made first, block by block.
    void fill(Block &block, std::uint64_t b)
    {
        block.index = kEnd;
        for (std::uint64_t c = std::min<std::uint64_t>(b, m_checkpoints.size()); c <= b; ++c) {
            computeBlock(block, c);
            if (m_length && *m_length <= c * kBlock + block.points.size() && c < b) {
                block.points.clear();
                break;
            }
        }
        block.index = b;
    }

    void computeBlock(Block &block, std::uint64_t c)
    {
        block.points.clear();
        block.points.reserve(static_cast<std::size_t>(kBlock));
        std::vector<model::ChainPoint> &points = block.points;
        const auto room = [&points] { return static_cast<int>(kBlock - points.size()); };
        const auto stretch
            = [&](const model::ChainPoint *p, int count) -> model::CurveChain::Taken {
            const int taken = std::min(count, room());
            points.insert(points.end(), p, p + taken);
            return {taken, room() > 0};
        };
        const auto span = [&](model::ChainSpan &s) -> model::CurveChain::Taken {
            const int first = s.done();
            const int n = std::min(s.count - first, room());
            int k = first;
            s.walk(n, [&](double x, double y) {
                points.push_back({s.range, s.alfaAt(k), s.a2, x, y, s.paletteIndex});
                ++k;
            });
            return {s.done(), room() > 0};
        };
        const auto nextRange = [this](int range) { return plan(range); };
        model::RunOutcome outcome;
        if (c == 0) {
            m_chain = std::make_unique<model::CurveChain>(m_directions, m_cx, m_cy);
            model::ColourCycle colour;
            outcome = m_chain->runStretches(1, colour, nextRange, stretch, span);
        } else {
            outcome = m_chain->resumeStretches(m_checkpoints[c - 1], nextRange, stretch, span);
        }
        const std::uint64_t reached = c * kBlock + points.size();
        if (outcome.last.end == model::RangeEnd::Stopped && !outcome.endedByFields
            && points.size() == kBlock) {
            // The run may go on: the next block starts where this one stopped.
            if (m_checkpoints.size() == c) {
                const model::ChainPoint &last = points.back();
                m_checkpoints.push_back(model::positionAfter(last, plan(last.range)->step));
            }
            return;
        }
        m_length = reached;
        outcome.points = static_cast<std::size_t>(reached);
        explore::RunResult result;
        result.outcome = outcome;
        m_endText = explore::endText(result);
    }

    explore::Recipe m_recipe;
    float m_cx;
    float m_cy;
    model::DirectionTable m_directions;
    std::unique_ptr<model::CurveChain> m_chain;
    // m_checkpoints[c] is the chain after dot (c + 1) x kBlock.
    std::vector<model::ChainPosition> m_checkpoints;
    std::array<Block, 2> m_blocks;
    std::uint64_t m_uses = 0;
    std::optional<std::uint64_t> m_length;
    std::optional<QString> m_endText;
};

// A new part of the journal, and a copy of the drawing where it starts, once the latest part
// takes as much memory as this many copies of the drawing (within the bounds below): a step
// back beyond the journal then costs a copy and at most a part's dots drawn again.
constexpr std::size_t kCopiesPerPart = 4;
constexpr std::size_t kLeastPartBytes = std::size_t {16} << 10;
constexpr std::size_t kMostPartBytes = std::size_t {16} << 20;
// The copies of the drawing kept, in bytes, and at least and at most this many.
constexpr std::size_t kCopiesBytes = std::size_t {64} << 20;
constexpr std::size_t kFewestCopies = 4;
constexpr std::size_t kMostCopies = 64;
// Work between two looks at the clock: dots drawn, pixels taken back.
constexpr int kDotsBetweenLooks = 2048;
constexpr std::size_t kPixelsBetweenLooks = 16384;

} // namespace

struct ConstructionPlayer::State
{
    State(const explore::Recipe &recipe, const explore::Scene &s, QRgb background)
        : scene(s)
        , source(recipe, s.cx, s.cy)
        , drawing(background)
        , journal(drawing)
    {
    }

    std::uint64_t heldTarget() const
    {
        const std::optional<std::uint64_t> &length = source.length();
        return length ? std::min(target, *length) : target;
    }
    // Draws dots on toward `to` until the deadline or the run's end.
    void drawOn(std::uint64_t to, const QElapsedTimer &clock, qint64 deadlineNs);
    // Takes the drawing back toward `to` until the deadline.
    void takeBack(std::uint64_t to, const QElapsedTimer &clock, qint64 deadlineNs);
    // Keeps a copy of the drawing as it is, and drops copies to keep within their memory.
    void keepCopy();

    explore::Scene scene;
    explore::View view;
    QSize canvas;
    qreal dpr = 1.0;
    PointSource source;
    raster::RetainedDrawing drawing;
    raster::DotJournal journal;
    // Copies of the drawing after the dot they are keyed by (the axes alone need none).
    std::map<std::uint64_t, std::vector<uchar>> copies;
    std::uint64_t position = 0;
    std::uint64_t target = 0;
    bool stale = true; // the drawing does not show the view yet
};

void ConstructionPlayer::State::drawOn(std::uint64_t to, const QElapsedTimer &clock,
                                       qint64 deadlineNs)
{
    const explore::DotPlacement place(scene, view);
    const auto pixels = static_cast<std::size_t>(std::ceil(canvas.width() * dpr))
        * static_cast<std::size_t>(std::ceil(canvas.height() * dpr));
    const std::size_t partBytes
        = std::clamp(kCopiesPerPart * pixels, kLeastPartBytes, kMostPartBytes);
    int sinceLook = 0;
    while (position < to) {
        const model::ChainPoint *p = source.point(position + 1);
        if (p == nullptr)
            return; // the run's end
        ++position;
        journal.put(position, place.x(p->x), place.y(p->y), p->paletteIndex);
        if (++sinceLook == kDotsBetweenLooks) {
            sinceLook = 0;
            if (journal.latestPartBytes() > partBytes) {
                keepCopy();
                journal.startPart(position);
                while (journal.parts() > 2)
                    journal.dropOldestPart();
            }
            if (clock.nsecsElapsed() >= deadlineNs)
                return;
        }
    }
}

void ConstructionPlayer::State::takeBack(std::uint64_t to, const QElapsedTimer &clock,
                                         qint64 deadlineNs)
{
    if (to < journal.oldest()) {
        // Beyond what the journal remembers: from the latest copy before `to`, drawn on again.
        auto copy = copies.upper_bound(to);
        if (copy == copies.begin()) {
            explore::drawAxes(drawing, scene, view);
            position = 0;
        } else {
            --copy;
            journal.putPixels(copy->second);
            position = copy->first;
        }
        journal.restart(position);
        return;
    }
    while (!journal.undoAfter(to, kPixelsBetweenLooks)) {
        if (clock.nsecsElapsed() >= deadlineNs)
            break;
    }
    position = std::max(to, journal.latest());
}

void ConstructionPlayer::State::keepCopy()
{
    if (copies.count(position) != 0)
        return;
    copies.emplace(position, journal.copyPixels());
    const std::size_t each = std::max<std::size_t>(1, copies.begin()->second.size());
    const std::size_t most = std::clamp(kCopiesBytes / each, kFewestCopies, kMostCopies);
    while (copies.size() > most) {
        // Drops the copy whose loss leaves the shortest gap between its neighbours, never the
        // latest: the copies stay spread over the run.
        auto drop = copies.end();
        std::uint64_t shortest = kEnd;
        std::uint64_t before = 0;
        for (auto it = copies.begin(); std::next(it) != copies.end(); ++it) {
            const std::uint64_t gap = std::next(it)->first - before;
            if (gap < shortest) {
                shortest = gap;
                drop = it;
            }
            before = it->first;
        }
        copies.erase(drop);
    }
}

ConstructionPlayer::ConstructionPlayer(const explore::Recipe &recipe, const explore::Scene &scene,
                                       QRgb background)
    : m_state(std::make_unique<State>(recipe, scene, background))
{
    m_state->canvas = scene.area;
    m_state->view = explore::oneToOne(scene, scene.area);
}

ConstructionPlayer::~ConstructionPlayer() = default;

void ConstructionPlayer::setView(const explore::View &view, QSize canvas, qreal devicePixelRatio)
{
    State &s = *m_state;
    if (view.left == s.view.left && view.top == s.view.top && view.width == s.view.width
        && view.height == s.view.height && canvas == s.canvas && devicePixelRatio == s.dpr)
        return;
    s.view = view;
    s.canvas = canvas;
    s.dpr = devicePixelRatio;
    s.stale = true;
}

raster::RetainedDrawing &ConstructionPlayer::drawing()
{
    return m_state->drawing;
}

QPointF ConstructionPlayer::canvasPoint(double x, double y) const
{
    const State &s = *m_state;
    const explore::DotPlacement place(s.scene, s.view);
    // As the drawing maps its user scale onto its device pixels, back in logical pixels.
    const double devW = std::ceil(s.canvas.width() * s.dpr);
    const double devH = std::ceil(s.canvas.height() * s.dpr);
    const double kx = devW / static_cast<double>(static_cast<float>(s.view.width)) / s.dpr;
    const double ky = devH / static_cast<double>(static_cast<float>(s.view.height)) / s.dpr;
    return {static_cast<double>(place.x(x)) * kx, static_cast<double>(place.y(y)) * ky};
}

std::uint64_t ConstructionPlayer::position() const
{
    return m_state->position;
}

std::uint64_t ConstructionPlayer::target() const
{
    return m_state->heldTarget();
}

std::optional<std::uint64_t> ConstructionPlayer::length() const
{
    return m_state->source.length();
}

std::optional<QString> ConstructionPlayer::endText() const
{
    return m_state->source.endText();
}

void ConstructionPlayer::stepForward()
{
    State &s = *m_state;
    const std::uint64_t t = s.heldTarget();
    const std::optional<std::uint64_t> &length = s.source.length();
    if (t != kEnd && !(length && t >= *length))
        s.target = t + 1;
}

void ConstructionPlayer::stepBack()
{
    State &s = *m_state;
    // From a search for the end, a step back is taken from where the drawing stands.
    const std::uint64_t t = s.heldTarget() == kEnd ? s.position : s.heldTarget();
    s.target = t > 0 ? t - 1 : 0;
}

void ConstructionPlayer::toStart()
{
    m_state->target = 0;
}

void ConstructionPlayer::toEnd()
{
    State &s = *m_state;
    s.target = s.source.length() ? *s.source.length() : kEnd;
}

void ConstructionPlayer::seek(std::uint64_t n)
{
    m_state->target = n;
}

bool ConstructionPlayer::work(double budgetMs)
{
    State &s = *m_state;
    QElapsedTimer clock;
    clock.start();
    const auto budgetNs = static_cast<qint64>(std::clamp(budgetMs, 0.0, 1e7) * 1e6);
    if (s.stale) {
        // Nothing can be drawn on an empty canvas or at a view of no size (the drawing would
        // refuse its scale): the dots wait for a view that can show them.
        const auto side = [](double v) {
            const auto f = static_cast<float>(v);
            return std::isfinite(f) && f > 0;
        };
        if (s.canvas.isEmpty() || !(s.dpr > 0) || !side(s.view.width) || !side(s.view.height)
            || !std::isfinite(s.view.left) || !std::isfinite(s.view.top))
            return true;
        // A new view: the dots shown are drawn again at it, from the first.
        s.drawing.setArea(s.canvas, s.dpr);
        explore::drawAxes(s.drawing, s.scene, s.view);
        s.journal.restart(0);
        s.copies.clear();
        s.position = 0;
        s.stale = false;
    }
    // A step of one dot is finished whatever the budget.
    const std::uint64_t start = s.position;
    const auto oneStep = [&] {
        const std::uint64_t t = s.heldTarget();
        return (t != kEnd && t == start + 1) || (start > 0 && t == start - 1);
    };
    for (;;) {
        const std::uint64_t t = s.heldTarget();
        if (s.position == t)
            return true;
        const bool late = clock.nsecsElapsed() >= budgetNs && s.position != start;
        if (late && !oneStep())
            return false;
        const qint64 deadline = oneStep() ? std::numeric_limits<qint64>::max() : budgetNs;
        if (t > s.position) {
            const std::uint64_t before = s.position;
            s.drawOn(t, clock, deadline);
            if (s.position == before && s.source.length())
                s.target = *s.source.length(); // the run ended before the target
        } else {
            s.takeBack(t, clock, deadline);
        }
    }
}

std::optional<DotFacts> ConstructionPlayer::facts(std::uint64_t n)
{
    State &s = *m_state;
    const model::ChainPoint *p = s.source.point(n);
    if (p == nullptr)
        return std::nullopt;
    const model::ChainPoint found = *p;
    const model::RangePlan plan = *s.source.plan(found.range);
    DotFacts f;
    f.number = n;
    f.range = found.range;
    f.alfa = found.alfa;
    f.a2 = found.a2;
    f.cosine = plan.cosine;
    const double angle = static_cast<double>(static_cast<float>(found.a2) * plan.params.p1);
    const double turn = plan.params.beta1 * (f.cosine ? std::cos(angle) : std::sin(angle));
    f.direction = turn * (180.0 / std::numbers::pi);
    f.x = found.x;
    f.y = found.y;
    f.paletteIndex = found.paletteIndex;
    if (const model::ChainPoint *before = s.source.point(n - 1))
        f.previous = QPointF(before->x, before->y);
    return f;
}

} // namespace quorvel::player
