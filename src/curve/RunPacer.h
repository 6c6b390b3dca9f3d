// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace quorvel {
class DrawingSurface;
class FormRegistry;
} // namespace quorvel

namespace quorvel::curve {

// Keeps a long plotting run bearable. A run that is over within half a second behaves as any
// handler does: it holds the user-interface thread to its end and its dots appear when it
// returns. Once a run has lasted longer than that, the pacer shows what has been drawn at least
// every 100 ms under a busy cursor, lets the window system repaint, and stops the run when the
// user presses Esc, with a hint over the drawing saying how far the run has gone and that Esc
// stops it. A click on a control let through (the window's "ESCI") still acts, and closing the
// run's window stops the run and closes the window as usual. Any other input arriving meanwhile
// (clicks, keys) is discarded, and form activations are held back until the run ends, so
// nothing the user does can start a second run inside the first. The time a message box of the
// run stays open does not count towards the half second. While the run lasts, the drawing keeps
// its mapping of user units to pixels: a resize does not change the scale of the chain.
class RunPacer : public QObject
{
    Q_OBJECT
public:
    struct Timing
    {
        int busyAfterMs = 500; // a run becomes "long" after this
        int refreshMs = 100; // and is then shown at least this often
        // Milliseconds of a steady clock; empty: the system's monotonic clock.
        std::function<qint64()> clock {};
        // While busy, events are let in at least this often, so that a screen reader's
        // questions are answered at once and its keys keep working.
        int eventsMs = 2;
    };

    RunPacer(DrawingSurface *surface, FormRegistry &registry, Timing timing);
    ~RunPacer() override;
    RunPacer(const RunPacer &) = delete;
    RunPacer &operator=(const RunPacer &) = delete;

    // A run draws many points between two calls and keeps state of its own, which it hands over
    // before the pacer lets events in. pointsBeforeCheck(): how many points may be drawn before
    // check() is due (1 to 1,024). countPoints(n), n no more than that: true when check() is
    // due now. check(), with the range being drawn (1 to 3) and the ALFA just drawn, may repaint
    // and process events (then eventsProcessed() is true until the next check); it tells whether
    // the run may go on: false once the user pressed Esc or closed the window.
    int pointsBeforeCheck() const
    {
        return static_cast<int>(kCheckMask + 1 - (m_calls & kCheckMask));
    }
    bool countPoints(int n)
    {
        m_calls += static_cast<std::uint32_t>(n);
        return (m_calls & kCheckMask) == 0;
    }
    bool check(int range, double alfa);
    bool eventsProcessed() const { return m_eventsProcessed; }

    // How many ranges the run will walk, as far as its fields tell when it starts (0: not
    // known); the hint counts the range being drawn against it.
    void setRangesToWalk(int count) { m_rangesToWalk = count; }
    // The ranges, `first` to 3, that a run starting at range `first` walks when the range
    // fields hold `texts` (From and To of ranges 1 to 3): up to the first whose From and To are
    // both 0, or that is refused (an empty or non-numeric text), which ends the run there.
    static int rangesToWalk(const std::array<QString, 6> &texts, int first);

    // Mouse clicks on `control` reach it during the run.
    void letThrough(QWidget *control);
    // Ends the run at its next point.
    void requestStop() { m_stop = true; }
    // The hint shown while the run is busy (null otherwise).
    QLabel *hint() const { return m_hint.data(); }

    // A message of the run: the busy state is lifted while the box is open. `concerning` names
    // the field it is about, for a screen reader.
    void showMessage(const QString &text, const QString &concerning = {});

    bool isBusy() const { return m_busy; }
    bool stopRequested() const { return m_stop; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Points between two looks at the clock: about 40 microseconds of plotting.
    static constexpr std::uint32_t kCheckMask = 1023;

    void enterBusy();
    void leaveBusy();
    void updateHint();
    void describeProgress();
    qint64 nowMs() const { return m_timing.clock ? m_timing.clock() : m_clock.elapsed(); }
    qint64 runTimeMs() const { return nowMs() - m_startMs - m_pausedMs; }

    QPointer<DrawingSurface> m_surface;
    FormRegistry &m_registry;
    Timing m_timing;
    QElapsedTimer m_clock;
    qint64 m_startMs = 0;
    qint64 m_pausedMs = 0; // time spent with a message box open
    QPointer<QLabel> m_hint;
    // The control that had the focus when the run became busy: while busy, its accessible
    // description is the hint's text (a screen reader's "where am I" reads the progress), and
    // its own description comes back when the run is no longer busy.
    QPointer<QWidget> m_described;
    QString m_descriptionBefore;
    // Guards the focus widget and the active window against the keys a screen reader lets
    // through (see eventFilter).
    QPointer<QObject> m_keyGuard;
    std::vector<QPointer<QWidget>> m_letThrough;
    int m_range = 0;
    int m_rangesToWalk = 0;
    double m_alfa = 0.0;
    qint64 m_lastRefreshMs = 0;
    qint64 m_lastEventsMs = 0;
    std::uint32_t m_calls = 0;
    bool m_busy = false; // the busy cursor and the input filter are in place
    bool m_wasBusy = false; // the run has been long at some point
    bool m_stop = false;
    bool m_closed = false; // the run's window was closed while it ran
    bool m_eventsProcessed = false; // by the latest check()
};

} // namespace quorvel::curve
