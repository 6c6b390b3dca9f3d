// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ConstructionPlayer.h"

#include <QElapsedTimer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

class QKeyEvent;
class QLabel;
class QPainter;
class QPushButton;
class QSlider;
class QTimer;

namespace quorvel::player {

// The speed of the construction on its slider: 100 positions to a power of ten, from 1 dot a
// second at position 0 to 100,000 at kSpeedPositions, three significant digits.
inline constexpr int kSpeedPositions = 500;
double speedAt(int position);
int speedPosition(double dotsPerSecond);
QString speedText(double dotsPerSecond); // "10 punti al secondo"

// What the text beside the drawing says of dot `position` of a run whose length may be known,
// one fact a line: its number, range, ALFA, t x ALFA, the direction, X11 and Y11 (`facts` is
// the dot's, nothing for dot 0), then how the run ended once its last dot is shown.
QString dotText(std::uint64_t position, std::optional<std::uint64_t> length,
                const std::optional<DotFacts> &facts, const std::optional<QString> &end);

// The controls of the step-by-step construction of the explore window's run and the text of
// its current dot. It owns the ConstructionPlayer and moves it: play and pause at a speed, a dot
// forward or back, to the first or the last dot. A timer of about 60 Hz takes the drawing toward
// where it should be a few milliseconds at a time, so that a far jump never blocks the window;
// any other move takes over from it. The drawing itself is shown by whoever paints it
// (paintDrawing, paintCurrentDot) when drawingChanged() is emitted.
class PlayerPanel : public QWidget
{
    Q_OBJECT
public:
    explicit PlayerPanel(QWidget *parent = nullptr);
    ~PlayerPanel() override;

    // A new construction of `recipe` from its dot 0, paused, at the view last given.
    void start(const explore::Recipe &recipe, const explore::Scene &scene, QRgb background);
    // No construction (the parameters give no run); everything stops.
    void clear();
    // The view and canvas the drawing shows; the dots shown are drawn again at it.
    void setView(const explore::View &view, QSize canvas, qreal devicePixelRatio);
    ConstructionPlayer *player() const { return m_player.get(); }

    // The drawing as it stands, then the ring around the current dot and the arrow of its last
    // segment, which are never part of the drawing.
    void paintDrawing(QPainter &painter, QSize canvas);
    void paintCurrentDot(QPainter &painter);

    bool playing() const { return m_playing; }
    // Whether the timer still has work: playing, or a move not yet drawn.
    bool busy() const;
    double speed() const;

    void setPlaying(bool playing);
    void togglePlay(); // "Avvia" / "Ferma", the space bar
    void stepForward(); // Right arrow
    void stepBack(); // Left arrow
    void toStart(); // Home
    void toEnd(); // End
    void hold(); // Esc: stays where the drawing is now
    void halt(); // the window closes: the timer stops, nothing is left to do

    // The player's keys (space bar, arrows, Home, End) on their way to `receiver`, a widget of
    // the panel's window: taken (true) unless the receiver uses them itself, as a text field
    // does all of them, a slider the arrows, Home and End, a button the space bar.
    bool takeKey(QKeyEvent *event, const QWidget *receiver);

    QPushButton *playButton() const { return m_play; }
    QSlider *speedSlider() const { return m_speed; }
    QLabel *dotLabel() const { return m_dot; }

signals:
    // The drawing or the current dot changed: the canvas paints them again.
    void drawingChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void moved(bool spoken);
    void tick();
    void advance(double seconds);
    void takeOver();
    void showDot();
    // Whether the keys of every widget of the panel's window come to eventFilter() first.
    void setKeysWatched(bool watched);

    std::unique_ptr<ConstructionPlayer> m_player;
    explore::View m_view;
    QSize m_canvas;
    qreal m_devicePixelRatio = 1.0;
    bool m_viewSet = false;
    QPushButton *m_play = nullptr;
    QSlider *m_speed = nullptr;
    QLabel *m_speedText = nullptr;
    QLabel *m_dot = nullptr;
    QTimer *m_timer = nullptr;
    QElapsedTimer m_clock; // since the latest tick while playing
    bool m_playing = false;
    double m_played = 0; // where playing has got to, in dots, with the fraction of the next
    bool m_jumping = false; // to the first or the last dot: any other move stops it where it is
    bool m_speakWhenDone = false; // a move asked while paused: its dot is announced once drawn
    std::uint64_t m_shownPosition = 0;
    std::optional<DotFacts> m_facts; // of the dot shown
};

} // namespace quorvel::player
