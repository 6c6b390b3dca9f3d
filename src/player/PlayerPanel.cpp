// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PlayerPanel.h"

#include "explore/ExploreRecipe.h"
#include "model/NumericText.h"
#include "shell/AccessibleParts.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace quorvel::player {

namespace {

constexpr int kTickMs = 16; // about one frame of a 60 Hz screen
// What one tick may spend drawing: the rest of the frame is the window's.
constexpr double kWorkBudgetMs = 6.0;
constexpr int kStartingSpeedPosition = 100; // 10 dots a second
// While playing, the target runs ahead of the drawing by at most about this share of a second
// of dots: a drawing that cannot keep up plays slower rather than jumping.
constexpr double kMostAhead = 0.25;
// The ring around the current dot and the arrow of its last segment, in logical pixels.
constexpr double kRingRadius = 7.0;
constexpr double kArrowHead = 9.0;
constexpr double kShortArrow = 18.0;
constexpr double kArrowGap = 4.0; // between the previous dot and the arrow's tail

// Widgets that use the arrows, Home and End themselves (moving a caret, a value or a choice),
// and those that use the space bar (a button is pressed with it).
bool usesArrows(const QWidget *w)
{
    if (!w)
        return false;
    if (qobject_cast<const QLineEdit *>(w) || qobject_cast<const QAbstractSlider *>(w)
        || qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractSpinBox *>(w)
        || qobject_cast<const QAbstractScrollArea *>(w))
        return true;
    // Radio buttons choose among themselves with the arrows.
    if (const auto *button = qobject_cast<const QAbstractButton *>(w))
        return button->autoExclusive() || button->group() != nullptr;
    const auto *label = qobject_cast<const QLabel *>(w);
    return label && (label->textInteractionFlags() & Qt::TextSelectableByKeyboard);
}

bool usesSpace(const QWidget *w)
{
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QLineEdit *>(w)
        || qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractSpinBox *>(w)
        || qobject_cast<const QAbstractScrollArea *>(w);
}

QString grouped(std::uint64_t n)
{
    return model::groupedDecimalText(static_cast<double>(n));
}

} // namespace

double speedAt(int position)
{
    const int p = std::clamp(position, 0, kSpeedPositions);
    const double exact = std::pow(10.0, p / 100.0);
    // Three significant digits, divided by an exact power of ten so that 1,02 reads 1,02.
    const int digits = static_cast<int>(std::floor(std::log10(exact)));
    if (digits >= 2) {
        const double unit = std::pow(10.0, digits - 2);
        return std::round(exact / unit) * unit;
    }
    const double scale = std::pow(10.0, 2 - digits);
    return std::round(exact * scale) / scale;
}

int speedPosition(double dotsPerSecond)
{
    if (!(dotsPerSecond > 0))
        return 0;
    return static_cast<int>(
        std::clamp(std::round(100.0 * std::log10(dotsPerSecond)), 0.0, double(kSpeedPositions)));
}

QString speedText(double dotsPerSecond)
{
    if (dotsPerSecond == 1.0)
        return QStringLiteral("1 punto al secondo");
    return QStringLiteral("%1 punti al secondo").arg(model::groupedDecimalText(dotsPerSecond));
}

namespace {
// Degrees with six decimals at most, never in the exponent form: a direction near 0 reads
// "-0,000005", not "-4,8E-06".
QString directionText(double degrees)
{
    return explore::positionalText(degrees, 6);
}
} // namespace

QString dotText(std::uint64_t position, std::optional<std::uint64_t> length,
                const std::optional<DotFacts> &facts, const std::optional<QString> &end)
{
    QStringList lines;
    lines << (length ? QStringLiteral("Punto %1 di %2").arg(grouped(position), grouped(*length))
                     : QStringLiteral("Punto %1").arg(grouped(position)));
    if (!facts) {
        lines << QStringLiteral("Solo gli assi, nessun punto ancora");
    } else {
        lines << QStringLiteral("Intervallo %1").arg(facts->range)
              << QStringLiteral("ALFA = %1").arg(model::decimalText(facts->alfa))
              << QStringLiteral("t x ALFA = %1").arg(facts->a2)
              << QStringLiteral("Direzione BETA x %1(t x ALFA) = %2 gradi")
                     .arg(facts->cosine ? QStringLiteral("cos") : QStringLiteral("sin"),
                          directionText(facts->direction))
              << QStringLiteral("X11 = %1").arg(model::decimalText(facts->x))
              << QStringLiteral("Y11 = %1").arg(model::decimalText(facts->y));
    }
    if (end)
        lines << *end;
    return lines.join(QLatin1Char('\n'));
}

PlayerPanel::PlayerPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PassoPasso"));
    auto *box = new QGroupBox(QStringLiteral("Passo passo"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(box);
    auto *grid = new QGridLayout(box);

    m_play = new QPushButton(QStringLiteral("Avvia"));
    m_play->setToolTip(QStringLiteral("Avvia o ferma la costruzione (barra spaziatrice)"));
    auto *back = new QPushButton(QStringLiteral("Indietro di un punto"));
    back->setToolTip(QStringLiteral("Freccia a sinistra"));
    auto *forward = new QPushButton(QStringLiteral("Avanti di un punto"));
    forward->setToolTip(QStringLiteral("Freccia a destra"));
    auto *first = new QPushButton(QStringLiteral("Al primo punto"));
    first->setToolTip(QStringLiteral("Inizio: solo gli assi"));
    auto *last = new QPushButton(QStringLiteral("All'ultimo punto"));
    last->setToolTip(QStringLiteral("Fine"));

    m_speed = new QSlider(Qt::Horizontal);
    m_speed->setRange(0, kSpeedPositions);
    m_speed->setSingleStep(5);
    m_speed->setPageStep(100); // a power of ten
    m_speed->setValue(kStartingSpeedPosition);
    m_speed->setAccessibleName(QStringLiteral("Velocità"));
    m_speed->setToolTip(QStringLiteral("Punti al secondo, da 1 a 100.000"));
    exposeScrollValue(
        m_speed, [this] { return speed(); }, speedAt, speedText);
    m_speedText = new QLabel(speedText(speed()));
    m_speedText->setMinimumWidth(m_speedText->fontMetrics().horizontalAdvance(speedText(100000))
                                 + 4);
    auto *speedLabel = new QLabel(QStringLiteral("Velocità"));
    speedLabel->setBuddy(m_speed);

    m_dot = new QLabel;
    m_dot->setObjectName(QStringLiteral("PuntoCorrente"));
    m_dot->setTextFormat(Qt::PlainText);
    m_dot->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_dot->setFocusPolicy(Qt::TabFocus);
    m_dot->setAccessibleName(QStringLiteral("Punto corrente"));
    m_dot->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_dot->setMinimumHeight(m_dot->fontMetrics().lineSpacing() * 9);
    m_dot->setWordWrap(true);

    auto *playing = new QHBoxLayout;
    playing->addWidget(m_play);
    playing->addSpacing(8);
    playing->addWidget(speedLabel);
    playing->addWidget(m_speed, 1);
    playing->addWidget(m_speedText);
    grid->addLayout(playing, 0, 0, 1, 2);
    grid->addWidget(back, 1, 0);
    grid->addWidget(forward, 1, 1);
    grid->addWidget(first, 2, 0);
    grid->addWidget(last, 2, 1);
    grid->addWidget(m_dot, 3, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    m_timer = new QTimer(this);
    m_timer->setInterval(kTickMs);
    connect(m_timer, &QTimer::timeout, this, &PlayerPanel::tick);
    connect(m_play, &QPushButton::clicked, this, &PlayerPanel::togglePlay);
    connect(back, &QPushButton::clicked, this, &PlayerPanel::stepBack);
    connect(forward, &QPushButton::clicked, this, &PlayerPanel::stepForward);
    connect(first, &QPushButton::clicked, this, &PlayerPanel::toStart);
    connect(last, &QPushButton::clicked, this, &PlayerPanel::toEnd);
    connect(m_speed, &QSlider::valueChanged, this, [this] {
        const QString text = speedText(speed());
        m_speedText->setText(text);
        m_speed->setAccessibleDescription(text);
    });
    m_speed->setAccessibleDescription(speedText(speed()));
    showDot();
}

PlayerPanel::~PlayerPanel()
{
    qApp->removeEventFilter(this);
}

void PlayerPanel::start(const explore::Recipe &recipe, const explore::Scene &scene, QRgb background)
{
    setPlaying(false);
    m_player = std::make_unique<ConstructionPlayer>(recipe, scene, background);
    m_jumping = false;
    m_shownPosition = 0;
    m_facts.reset();
    m_speakWhenDone = false;
    if (m_viewSet)
        m_player->setView(m_view, m_canvas, m_devicePixelRatio);
    moved(false);
}

void PlayerPanel::clear()
{
    setPlaying(false);
    m_timer->stop();
    m_player.reset();
    m_facts.reset();
    m_shownPosition = 0;
    m_dot->setText(QString());
    emit drawingChanged();
}

void PlayerPanel::setView(const explore::View &view, QSize canvas, qreal devicePixelRatio)
{
    // The same view again (another grid, a new frame of the same run) draws nothing again.
    if (m_viewSet && canvas == m_canvas && devicePixelRatio == m_devicePixelRatio
        && view.left == m_view.left && view.top == m_view.top && view.width == m_view.width
        && view.height == m_view.height)
        return;
    m_view = view;
    m_canvas = canvas;
    m_devicePixelRatio = devicePixelRatio;
    m_viewSet = true;
    if (!m_player)
        return;
    m_player->setView(view, canvas, devicePixelRatio);
    m_timer->start();
}

void PlayerPanel::paintDrawing(QPainter &painter, QSize canvas)
{
    if (m_player)
        m_player->drawing().paint(painter, QRect(QPoint(0, 0), canvas));
}

void PlayerPanel::paintCurrentDot(QPainter &painter)
{
    if (!m_player || !m_facts)
        return;
    const QPointF at = m_player->canvasPoint(m_facts->x, m_facts->y);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    // Each mark twice, wide and light under narrow and dark: seen on any colour of the chain.
    const auto stroke = [&painter](const QPainterPath &path) {
        painter.setPen(QPen(QColor(255, 255, 255), 4.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(path);
        painter.setPen(QPen(QColor(200, 0, 0), 2.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(path);
    };
    QPainterPath marks;
    marks.addEllipse(at, kRingRadius, kRingRadius);
    if (m_facts->previous) {
        const QPointF from = m_player->canvasPoint(m_facts->previous->x(), m_facts->previous->y());
        const QPointF d = at - from;
        const double length = std::hypot(d.x(), d.y());
        if (length > 0 && std::isfinite(length)) {
            const QPointF unit = d / length;
            const QPointF across(-unit.y(), unit.x());
            // The segment from just off the previous dot to the ring, neither dot covered; a
            // segment too short for that is shown by its direction alone, an arrow of fixed
            // length that ends at the ring.
            const QPointF tip = at - unit * kRingRadius;
            QPointF tail = from + unit * kArrowGap;
            if (length < kRingRadius + kArrowGap + kArrowHead)
                tail = tip - unit * kShortArrow;
            marks.moveTo(tail);
            marks.lineTo(tip);
            marks.moveTo(tip - unit * kArrowHead + across * (kArrowHead * 0.45));
            marks.lineTo(tip);
            marks.lineTo(tip - unit * kArrowHead - across * (kArrowHead * 0.45));
        }
    }
    stroke(marks);
    painter.restore();
}

bool PlayerPanel::busy() const
{
    return m_timer->isActive();
}

double PlayerPanel::speed() const
{
    return speedAt(m_speed->value());
}

void PlayerPanel::setPlaying(bool playing)
{
    if (playing && !m_player)
        return;
    if (playing == m_playing)
        return;
    m_playing = playing;
    m_play->setText(playing ? QStringLiteral("Ferma") : QStringLiteral("Avvia"));
    if (playing) {
        // Played to the end: again from the start.
        const std::optional<std::uint64_t> length = m_player->length();
        if (length && m_player->position() >= *length)
            m_player->toStart();
        takeOver();
        m_played = static_cast<double>(m_player->target());
        m_speakWhenDone = false;
        m_clock.start();
        m_timer->start();
    } else {
        m_clock.invalidate();
        // Where it stops is said once the drawing has got there.
        m_speakWhenDone = true;
        if (m_player && !m_timer->isActive())
            moved(true);
    }
}

void PlayerPanel::togglePlay()
{
    setPlaying(!m_playing);
}

void PlayerPanel::stepForward()
{
    if (!m_player)
        return;
    setPlaying(false);
    takeOver();
    m_player->stepForward();
    moved(true);
}

void PlayerPanel::stepBack()
{
    if (!m_player)
        return;
    setPlaying(false);
    takeOver();
    m_player->stepBack();
    moved(true);
}

void PlayerPanel::toStart()
{
    if (!m_player)
        return;
    setPlaying(false);
    m_player->toStart();
    m_jumping = true;
    moved(true);
}

void PlayerPanel::toEnd()
{
    if (!m_player)
        return;
    setPlaying(false);
    m_player->toEnd();
    m_jumping = true;
    moved(true);
}

void PlayerPanel::hold()
{
    if (!m_player)
        return;
    setPlaying(false);
    takeOver();
    moved(true);
}

void PlayerPanel::takeOver()
{
    // Only a jump: a drawing taken again to its dots at a new view goes on.
    if (m_jumping)
        m_player->seek(m_player->position());
    m_jumping = false;
}

void PlayerPanel::halt()
{
    m_playing = false;
    m_play->setText(QStringLiteral("Avvia"));
    m_timer->stop();
    m_speakWhenDone = false;
}

// A move was asked: drawn now if it is short (a step always is), otherwise by the timer.
void PlayerPanel::moved(bool spoken)
{
    m_speakWhenDone = spoken;
    m_timer->start();
    tick();
}

void PlayerPanel::advance(double seconds)
{
    const double dotsPerSecond = speed();
    // A drawing that cannot keep up, or that is drawn again at a new view, is waited for.
    const std::uint64_t position = m_player->position();
    const std::uint64_t target = m_player->target();
    if (target > position && double(target - position) > std::max(1.0, dotsPerSecond * kMostAhead))
        return;
    m_played += dotsPerSecond * seconds;
    const auto wanted = static_cast<std::uint64_t>(std::floor(m_played));
    if (wanted > target)
        m_player->seek(wanted);
}

void PlayerPanel::tick()
{
    if (!m_player) {
        m_timer->stop();
        return;
    }
    if (m_playing && m_clock.isValid()) {
        // A stalled window (a modal box, a slow machine) does not leap on its return.
        const double seconds = std::min(0.25, static_cast<double>(m_clock.restart()) / 1000.0);
        advance(seconds);
    }
    const bool done = m_player->work(kWorkBudgetMs);
    if (done)
        m_jumping = false;
    const std::optional<std::uint64_t> length = m_player->length();
    if (m_playing && length && m_player->position() >= *length) {
        // The end of the run ends the playing, and is told.
        m_playing = false;
        m_play->setText(QStringLiteral("Avvia"));
        m_clock.invalidate();
        m_speakWhenDone = true;
    }
    if (!m_playing && done)
        m_timer->stop();
    showDot();
    if (!m_timer->isActive() && m_speakWhenDone) {
        m_speakWhenDone = false;
        QString said = m_dot->text();
        said.replace(QLatin1Char('\n'), QStringLiteral("; "));
        announce(this, said);
    }
}

void PlayerPanel::showDot()
{
    const std::uint64_t position = m_player ? m_player->position() : 0;
    if (m_player && (position != m_shownPosition || (position > 0 && !m_facts))) {
        m_facts = position > 0 ? m_player->facts(position) : std::nullopt;
        m_shownPosition = position;
    }
    const std::optional<std::uint64_t> length
        = m_player ? m_player->length() : std::optional<std::uint64_t> {};
    const bool atEnd = length && position >= *length;
    const QString text = m_player
        ? dotText(position, length, m_facts, atEnd ? m_player->endText() : std::nullopt)
        : QString();
    if (text != m_dot->text())
        m_dot->setText(text);
    // A screen reader is told of the dot once it stays: not at every frame of the playing.
    if (!busy() && m_dot->accessibleDescription() != text) {
        m_dot->setAccessibleDescription(text);
        QAccessibleEvent changed(m_dot, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&changed);
    }
    emit drawingChanged();
}

bool PlayerPanel::takeKey(QKeyEvent *event, const QWidget *receiver)
{
    if (!m_player || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    // The widget with the focus too: a key it ignored comes to its parent.
    const QWidget *focus = QApplication::focusWidget();
    switch (event->key()) {
    case Qt::Key_Space:
        if (usesSpace(receiver) || usesSpace(focus))
            return false;
        togglePlay();
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        if (usesArrows(receiver) || usesArrows(focus))
            return false;
        if (event->key() == Qt::Key_Left)
            stepBack();
        else if (event->key() == Qt::Key_Right)
            stepForward();
        else if (event->key() == Qt::Key_Home)
            toStart();
        else
            toEnd();
        break;
    default:
        return false;
    }
    event->accept();
    return true;
}

bool PlayerPanel::eventFilter(QObject *watched, QEvent *event)
{
    // The keys of the window that holds the panel, before the widget they go to moves the
    // focus with them (a button does with the arrows); a widget that ignores a key hands it
    // to its parent, which is asked again. The filter sits on the window's widgets, not on
    // the application: the screen reader's bridge, a filter of the application, sees every
    // key first and keeps the screen reader's own (its keypad's review keys are arrows too).
    if (event->type() != QEvent::KeyPress || !isVisible())
        return false;
    const auto *w = qobject_cast<QWidget *>(watched);
    if (!w || w->window() != window())
        return false;
    return takeKey(static_cast<QKeyEvent *>(event), w);
}

void PlayerPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    setKeysWatched(true);
}

void PlayerPanel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    setKeysWatched(false);
}

void PlayerPanel::setKeysWatched(bool watched)
{
    QWidget *const top = window();
    QList<QWidget *> widgets = top->findChildren<QWidget *>();
    widgets.append(top);
    for (QWidget *w : std::as_const(widgets)) {
        // Installed once: a filter installed again only moves to the front.
        w->removeEventFilter(this);
        if (watched)
            w->installEventFilter(this);
    }
}

} // namespace quorvel::player
