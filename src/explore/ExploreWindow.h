// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "ExploreRecipe.h"
#include "ExploreRender.h"
#include "ExploreRun.h"
#include "ExploreWorker.h"

#include "readout/ReadoutOverlay.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTimer;

namespace quorvel {

class DrawingSurface;
namespace curve {
class Form4;
} // namespace curve
namespace player {
class PlayerPanel;
} // namespace player

namespace explore {

// The drawing of the explore window: the latest frame at the view the window asks for (a frame
// of another view is shown moved and scaled to it until the new one comes), zoomed with Ctrl and
// the wheel about the cursor, panned by dragging.
class Canvas : public QWidget
{
    Q_OBJECT
public:
    explicit Canvas(QWidget *parent = nullptr);
    void setFrame(Frame frame);
    const Frame &frame() const { return m_frame; }
    void setView(const View &view);
    // What the canvas shows in place of the frame while it is set ("Passo passo").
    void setPainter(std::function<void(QPainter &)> paint);

signals:
    void zoomAsked(QPointF at, double factor);
    void panAsked(QPointF delta);
    void resizedFrom(QSize oldSize);

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    Frame m_frame;
    View m_view;
    std::optional<QPointF> m_dragFrom;
    std::function<void(QPainter &)> m_painter;
};

// "Esplora la curva": the curve window's run with a slider and a field for every parameter,
// redrawn whole at every change, at any zoom, off the user-interface thread. It never changes
// the curve window, but through "Usa nella finestra della curva".
class ExploreWindow : public QWidget
{
    Q_OBJECT
public:
    // `curve`: the curve window it starts from and writes back to (it may be gone later).
    explicit ExploreWindow(curve::Form4 *curve, QWidget *parent = nullptr);
    ~ExploreWindow() override;

    // The one explore window, created from the curve window's current texts and factor, or the
    // one already open, shown and brought to the front.
    static ExploreWindow *open(curve::Form4 &curve);

    // Takes the texts, the choice and the frame of the curve window.
    void loadFrom(curve::Form4 &curve);
    // Writes the texts and the choice into the curve window's fields and runs nothing; false
    // (with the reason shown) while a text is refused.
    bool useInCurveWindow();

    Texts texts() const;
    void setText(Field field, const QString &text);
    QLineEdit *field(Field f) const { return m_controls[static_cast<std::size_t>(f)].edit; }
    QSlider *slider(Field f) const { return m_controls[static_cast<std::size_t>(f)].slider; }
    QLabel *reason(Field f) const { return m_controls[static_cast<std::size_t>(f)].reason; }
    QRadioButton *cosineButton() const { return m_cosine; }
    Canvas *canvas() const { return m_canvas; }
    QLabel *endLabel() const { return m_endLabel; }
    // The line under the drawing: the point under the cursor, as the tip beside it shows it,
    // on one line (also its accessible description); empty while the cursor is off the drawing.
    QLabel *statusLine() const { return m_statusLine; }
    // The tip beside the cursor over the drawing.
    readout::ReadoutOverlay *readout() const { return m_readout; }
    // The run whose dots the readout finds: the latest finished one (nothing while a run of new
    // parameters is being drawn), and where its dots lie in the view shown.
    std::shared_ptr<const ExploreRun> shownRun() const { return m_shownRun; }
    readout::Scene readoutScene() const;
    const View &view() const { return m_view; }
    const Scene &scene() const { return m_scene; }
    void setScene(const Scene &scene);
    // The run whose frame is awaited, and whether its finished frame is shown.
    std::uint64_t generation() const { return m_generation; }
    bool finishedShown() const
    {
        return m_canvas->frame().finished && m_canvas->frame().generation == m_generation;
    }

    // What the animation is set to: the parameter, the texts of its first and last value and of
    // its duration in seconds, "Ripeti" and "Avanti e indietro".
    struct AnimationSettings
    {
        Field field = Field::Beta;
        QString from;
        QString to;
        QString seconds;
        bool loop = false;
        bool bounce = false;
    };
    AnimationSettings animationSettings() const;
    // The dots of the run shown, once its drawing is finished and the run came to its end (not
    // stopped by a change or Esc).
    std::optional<std::size_t> finishedDots() const;
    // The colour of the drawing's background.
    QRgb background() const;
    // Puts `action` (owned by the caller) in the row of tools above the drawing as a button, on
    // the drawing's menu (a right click on it, or the Menu key while it has the focus) and its
    // shortcut window-wide.
    void addTool(QAction *action);
    // While set, closing the window calls `stop` instead, and the window closes once
    // clearStopOnClose() is called: work that uses the window ends first.
    void setStopOnClose(std::function<void()> stop);
    void clearStopOnClose();
    // Called with every explore window once it is built: other parts of the program give it
    // their tools.
    static void setExtension(std::function<void(ExploreWindow &)> extension);

    void zoomAbout(QPointF at, double factor);
    void fitChain(); // "Adatta"
    void backToOneToOne(); // "1:1"
    void stopRun(); // Esc
    void togglePlay(); // "Riproduci" / "Pausa", the space bar

    // "Passo passo": the run built dot by dot by the player's panel, shown on the canvas in
    // place of the whole run, at the window's view; a change of parameters starts it again
    // from its first dot, paused.
    void setStepByStep(bool on);
    bool stepByStep() const;
    // Turns "Passo passo" on and plays (Ctrl+R in the curve window).
    void playStepByStep();
    QPushButton *stepButton() const { return m_stepButton; }
    player::PlayerPanel *stepPanel() const { return m_stepPanel; }
    // The speed of "Passo passo" in dots a second, while it is on.
    std::optional<double> stepSpeed() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    struct Control
    {
        QSlider *slider = nullptr;
        QLineEdit *edit = nullptr;
        QLabel *reason = nullptr;
    };
    void build();
    QWidget *buildParameters();
    QWidget *buildAnimation();
    void textEdited(Field f);
    void sliderMoved(Field f, int position);
    void parametersChanged();
    void requestRun();
    void takeFrame(Frame frame);
    void animationStep();
    void setPlaying(bool playing);
    void showPointText(const QString &text);
    void updateStepByStep();

    QPointer<curve::Form4> m_curve;
    Scene m_scene;
    View m_view;
    bool m_viewSet = false;
    std::array<Control, kFieldCount> m_controls;
    QRadioButton *m_sine = nullptr;
    QRadioButton *m_cosine = nullptr;
    Canvas *m_canvas = nullptr;
    QLabel *m_endLabel = nullptr;
    QLabel *m_statusLine = nullptr;
    QCheckBox *m_grid = nullptr;
    QHBoxLayout *m_tools = nullptr;
    int m_toolCount = 0; // buttons added by addTool
    std::function<void()> m_stopOnClose;
    bool m_closeWhenFree = false;
    // The animation.
    QComboBox *m_animField = nullptr;
    QLineEdit *m_animFrom = nullptr;
    QLineEdit *m_animTo = nullptr;
    QLineEdit *m_animSeconds = nullptr;
    QLabel *m_animReason = nullptr;
    QPushButton *m_play = nullptr;
    QCheckBox *m_loop = nullptr;
    QCheckBox *m_bounce = nullptr;
    QTimer *m_animTimer = nullptr;
    QElapsedTimer m_animClock;
    double m_animBefore = 0; // seconds played before the latest start
    bool m_settingText = false; // a field's text is being set from its slider or the animation
    std::optional<Recipe> m_recipe; // the last recipe all texts gave
    std::uint64_t m_recipeVersion = 0; // counts the recipes and scenes given to runs
    // What the awaited run was asked to draw.
    struct Asked
    {
        Recipe recipe;
        Scene scene;
        std::uint64_t version = 0;
    };
    std::optional<Asked> m_asked;
    std::shared_ptr<const ExploreRun> m_shownRun;
    std::uint64_t m_shownRunVersion = 0;
    readout::ReadoutOverlay *m_readout = nullptr;
    std::uint64_t m_generation = 0;
    std::unique_ptr<Worker> m_worker;
    // "Passo passo".
    QPushButton *m_stepButton = nullptr;
    player::PlayerPanel *m_stepPanel = nullptr;
    std::uint64_t m_stepRecipeVersion = 0; // the recipe its construction is of
    bool m_stepPlayAsked = false; // plays once its construction can start
};

// The curve window's frame: where its axes cross, its user scale and the size of its drawing (its
// own defaults at a factor of 1 before its first activation has set it up).
Scene sceneOf(const curve::Form4 &curve);

// Gives the curve window "Esplora…" (Ctrl+E) and "Esplora passo passo…" (Ctrl+R), on its
// drawing's menu.
void addExploreAction(curve::Form4 &curve, DrawingSurface &surface);

} // namespace explore
} // namespace quorvel
