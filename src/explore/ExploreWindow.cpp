// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ExploreWindow.h"

#include "curve/Form4.h"
#include "model/NumericText.h"
#include "picture/PictureActions.h"
#include "player/PlayerPanel.h"
#include "surface/DrawingSurface.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>
#include <utility>

namespace quorvel::explore {

using namespace model;

namespace {

// One notch of the wheel, or Ctrl + / Ctrl -, magnifies by this much.
constexpr double kZoomStep = 1.25;
constexpr int kAnimationTickMs = 16;

// The curve window's caption of each parameter, for a screen reader and the hover text.
const char *const kCaptions[kFieldCount] = {
    "Valore di Epsilon < 1",
    "Angolo BETA del primo Epsilon con l'asse X, in gradi",
    "Moltiplicatore (t) dell'angolo ALFA",
    "Incremento sull'asse X",
    "Incremento sull'asse Y",
    "Primo valore di ALFA del primo intervallo",
    "Ultimo valore di ALFA del primo intervallo",
    "Primo valore di ALFA del secondo intervallo",
    "Ultimo valore di ALFA del secondo intervallo",
    "Primo valore di ALFA del terzo intervallo",
    "Ultimo valore di ALFA del terzo intervallo",
};

QPointer<ExploreWindow> &theWindow()
{
    static QPointer<ExploreWindow> window;
    return window;
}

std::function<void(ExploreWindow &)> &extensionKept()
{
    static std::function<void(ExploreWindow &)> extension;
    return extension;
}

} // namespace

Canvas::Canvas(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 150);
    setCursor(Qt::OpenHandCursor);
    setAccessibleName(QStringLiteral("Disegno della curva"));
}

void Canvas::setFrame(Frame frame)
{
    m_frame = std::move(frame);
    update();
}

void Canvas::setView(const View &view)
{
    m_view = view;
    update();
}

void Canvas::setPainter(std::function<void(QPainter &)> paint)
{
    m_painter = std::move(paint);
    update();
}

void Canvas::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    if (m_painter) {
        m_painter(p);
        return;
    }
    if (m_frame.image.isNull() || !(m_view.width > 0) || !(m_view.height > 0))
        return;
    // The frame's view in this view's pixels: the frame itself when they agree.
    const double kx = width() / m_view.width;
    const double ky = height() / m_view.height;
    const QRectF target((m_frame.view.left - m_view.left) * kx,
                        (m_frame.view.top - m_view.top) * ky, m_frame.view.width * kx,
                        m_frame.view.height * ky);
    const QSizeF logical = m_frame.image.deviceIndependentSize();
    if (std::abs(target.width() - logical.width()) < 1e-6
        && std::abs(target.height() - logical.height()) < 1e-6)
        p.drawImage(target.topLeft(), m_frame.image);
    else
        p.drawImage(target, m_frame.image);
}

void Canvas::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier) || event->angleDelta().y() == 0) {
        event->ignore();
        return;
    }
    const double notches = event->angleDelta().y() / 120.0;
    emit zoomAsked(event->position(), std::pow(kZoomStep, notches));
    event->accept();
}

void Canvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragFrom = event->position();
        setCursor(Qt::ClosedHandCursor);
    }
    QWidget::mousePressEvent(event);
}

void Canvas::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragFrom) {
        const QPointF delta = event->position() - *m_dragFrom;
        m_dragFrom = event->position();
        if (!delta.isNull())
            emit panAsked(delta);
    }
    QWidget::mouseMoveEvent(event);
}

void Canvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragFrom.reset();
        setCursor(Qt::OpenHandCursor);
    }
    QWidget::mouseReleaseEvent(event);
}

void Canvas::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    emit resizedFrom(event->oldSize());
}

ExploreWindow::ExploreWindow(curve::Form4 *curve, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_curve(curve)
{
    setWindowTitle(QStringLiteral("Esplora la curva"));
    setObjectName(QStringLiteral("ExploreWindow"));
    setAccessibleName(QStringLiteral("QUORVEL: esplora la curva"));
    build();
    m_worker
        = std::make_unique<Worker>(palette().color(QPalette::Window).rgb(), [this](Frame frame) {
              QMetaObject::invokeMethod(
                  this, [this, f = std::move(frame)]() mutable { takeFrame(std::move(f)); },
                  Qt::QueuedConnection);
          });
    const Texts start = startingTexts();
    for (int i = 0; i < kFieldCount; ++i)
        setText(static_cast<Field>(i), start.text[static_cast<std::size_t>(i)]);
    m_sine->setChecked(true);
    if (curve)
        loadFrom(*curve);
    else
        setScene(sceneFor(1.0, QSize(1920, 1080)));
    if (extensionKept())
        extensionKept()(*this);
}

ExploreWindow::~ExploreWindow()
{
    // The worker stops its run and ends before the window's parts go.
    m_worker.reset();
}

ExploreWindow *ExploreWindow::open(curve::Form4 &curve)
{
    QPointer<ExploreWindow> &window = theWindow();
    if (!window) {
        window = new ExploreWindow(&curve);
        window->setAttribute(Qt::WA_DeleteOnClose);
        // Wide enough for the controls and a drawing, never larger than the screen.
        QSize size(1400, 900);
        if (const QScreen *screen = curve.window() ? curve.window()->screen() : nullptr)
            size = size.boundedTo(screen->availableGeometry().size() * 0.95);
        window->resize(size);
        // The program's end ends its run and its thread with it.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, window,
                         [w = window.data()] { delete w; });
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void ExploreWindow::build()
{
    auto *panel = new QWidget;
    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->addWidget(buildParameters());
    panelLayout->addWidget(buildAnimation());
    m_stepPanel = new player::PlayerPanel;
    m_stepPanel->setVisible(false);
    panelLayout->addWidget(m_stepPanel);
    panelLayout->addStretch();
    panel->setFixedWidth(470);

    m_canvas = new Canvas;
    auto *fit = new QPushButton(QStringLiteral("Adatta"));
    fit->setToolTip(QStringLiteral("Tutta la catena nella finestra"));
    auto *one = new QPushButton(QStringLiteral("1:1"));
    one->setToolTip(QStringLiteral("La scala della finestra della curva"));
    one->setAccessibleName(QStringLiteral("Scala 1:1"));
    m_grid = new QCheckBox(QStringLiteral("Griglia"));
    m_grid->setToolTip(QStringLiteral("Una griglia leggera invece delle tacche sugli assi"));
    auto *use = new QPushButton(QStringLiteral("Usa nella finestra della curva"));
    use->setToolTip(QStringLiteral("Scrive questi valori nei campi della finestra della curva, "
                                   "senza eseguire"));
    auto *tools = new QHBoxLayout;
    m_tools = tools;
    tools->addWidget(fit);
    tools->addWidget(one);
    tools->addWidget(m_grid);
    m_stepButton = new QPushButton(QStringLiteral("Passo passo"));
    m_stepButton->setCheckable(true);
    m_stepButton->setToolTip(QStringLiteral("La curva costruita un punto alla volta"));
    tools->addWidget(m_stepButton);
    tools->addStretch();
    tools->addWidget(use);

    m_endLabel = new QLabel;
    m_endLabel->setObjectName(QStringLiteral("EndOfRun"));
    m_endLabel->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_endLabel->setFocusPolicy(Qt::TabFocus);
    m_statusLine = new QLabel;
    m_statusLine->setObjectName(QStringLiteral("StatusLine"));
    m_statusLine->setMinimumHeight(m_statusLine->fontMetrics().height());
    m_statusLine->setAccessibleName(QStringLiteral("Punto sotto il cursore"));
    m_statusLine->setTextFormat(Qt::PlainText);
    // A long line is cut at the window's edge: it never widens the window.
    m_statusLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_readout = new readout::ReadoutOverlay(m_canvas, [this] { return readoutScene(); });
    connect(m_readout, &readout::ReadoutOverlay::textChanged, this, &ExploreWindow::showPointText);

    auto *right = new QVBoxLayout;
    right->addLayout(tools);
    right->addWidget(m_canvas, 1);
    right->addWidget(m_endLabel);
    right->addWidget(m_statusLine);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(panel);
    layout->addLayout(right, 1);

    connect(fit, &QPushButton::clicked, this, &ExploreWindow::fitChain);
    connect(one, &QPushButton::clicked, this, &ExploreWindow::backToOneToOne);
    connect(use, &QPushButton::clicked, this, &ExploreWindow::useInCurveWindow);
    connect(m_grid, &QCheckBox::toggled, this, &ExploreWindow::requestRun);
    connect(m_stepButton, &QPushButton::toggled, this, &ExploreWindow::setStepByStep);
    connect(m_stepPanel, &player::PlayerPanel::drawingChanged, m_canvas,
            qOverload<>(&QWidget::update));
    connect(m_canvas, &Canvas::zoomAsked, this, &ExploreWindow::zoomAbout);
    connect(m_canvas, &Canvas::panAsked, this, [this](QPointF delta) {
        m_view = panned(m_view, m_canvas->size(), delta);
        requestRun();
    });
    connect(m_canvas, &Canvas::resizedFrom, this, [this](QSize oldSize) {
        if (!m_viewSet || oldSize.isEmpty())
            m_view = oneToOne(m_scene, m_canvas->size());
        else
            m_view = resized(m_view, oldSize, m_canvas->size());
        m_viewSet = true;
        requestRun();
    });
    const auto shortcut = [this](const QKeySequence &keys, auto slot) {
        auto *s = new QShortcut(keys, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, slot);
    };
    const auto zoomKeys = [this](double factor) {
        const QPoint at = m_canvas->mapFromGlobal(QCursor::pos());
        zoomAbout(m_canvas->rect().contains(at) ? QPointF(at) : QRectF(m_canvas->rect()).center(),
                  factor);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Plus), [zoomKeys] { zoomKeys(kZoomStep); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Equal), [zoomKeys] { zoomKeys(kZoomStep); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus), [zoomKeys] { zoomKeys(1 / kZoomStep); });
}

QWidget *ExploreWindow::buildParameters()
{
    auto *box = new QGroupBox(QStringLiteral("Parametri"));
    auto *grid = new QGridLayout(box);
    int row = 0;
    for (int i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        const SliderScale scale = SliderScale::of(f);
        Control &c = m_controls[static_cast<std::size_t>(i)];
        auto *label = new QLabel(fieldName(f));
        label->setToolTip(QString::fromUtf8(kCaptions[i]));
        c.slider = new QSlider(Qt::Horizontal);
        c.slider->setRange(scale.minimum, scale.maximum);
        c.slider->setSingleStep(1);
        c.slider->setPageStep(scale.pageStep);
        c.slider->setAccessibleName(fieldName(f));
        c.slider->setAccessibleDescription(QString::fromUtf8(kCaptions[i]));
        c.edit = new QLineEdit;
        // Any text of any length: the reader decides what it means.
        c.edit->setMaxLength(std::numeric_limits<int>::max());
        c.edit->setFixedWidth(90);
        c.edit->setAccessibleName(fieldName(f));
        c.edit->setAccessibleDescription(QString::fromUtf8(kCaptions[i]));
        c.edit->setObjectName(QStringLiteral("Campo ") + fieldName(f));
        label->setBuddy(c.edit);
        c.reason = new QLabel;
        c.reason->setStyleSheet(QStringLiteral("color: #b00000"));
        c.reason->setWordWrap(true);
        // Its room is kept while empty: the rows do not move while the user types.
        c.reason->setMinimumHeight(c.reason->fontMetrics().height());
        grid->addWidget(label, row, 0);
        grid->addWidget(c.slider, row, 1);
        grid->addWidget(c.edit, row, 2);
        ++row;
        grid->addWidget(c.reason, row++, 1, 1, 2);
        connect(c.edit, &QLineEdit::textChanged, this, [this, f] { textEdited(f); });
        connect(c.slider, &QSlider::valueChanged, this,
                [this, f](int position) { sliderMoved(f, position); });
        if (f == Field::Iny) {
            m_sine = new QRadioButton(QStringLiteral("In Seno"));
            m_cosine = new QRadioButton(QStringLiteral("In Coseno"));
            auto *choice = new QHBoxLayout;
            choice->addWidget(m_sine);
            choice->addWidget(m_cosine);
            choice->addStretch();
            grid->addLayout(choice, row++, 0, 1, 3);
            connect(m_cosine, &QRadioButton::toggled, this, &ExploreWindow::parametersChanged);
        }
    }
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget *ExploreWindow::buildAnimation()
{
    auto *box = new QGroupBox(QStringLiteral("Animazione"));
    auto *grid = new QGridLayout(box);
    m_animField = new QComboBox;
    for (int i = 0; i < kFieldCount; ++i)
        m_animField->addItem(fieldName(static_cast<Field>(i)));
    m_animField->setCurrentIndex(static_cast<int>(Field::Beta));
    m_animField->setAccessibleName(QStringLiteral("Parametro da animare"));
    m_animFrom = new QLineEdit(QStringLiteral("0"));
    m_animFrom->setAccessibleName(QStringLiteral("Valore iniziale"));
    m_animTo = new QLineEdit(QStringLiteral("360"));
    m_animTo->setAccessibleName(QStringLiteral("Valore finale"));
    m_animSeconds = new QLineEdit(QStringLiteral("10"));
    m_animSeconds->setAccessibleName(QStringLiteral("Durata in secondi"));
    m_play = new QPushButton(QStringLiteral("Riproduci"));
    m_loop = new QCheckBox(QStringLiteral("Ripeti"));
    m_bounce = new QCheckBox(QStringLiteral("Avanti e indietro"));
    m_animReason = new QLabel;
    m_animReason->setStyleSheet(QStringLiteral("color: #b00000"));
    m_animReason->setVisible(false);
    auto *parameter = new QLabel(QStringLiteral("Parametro"));
    parameter->setBuddy(m_animField);
    auto *from = new QLabel(QStringLiteral("da"));
    from->setBuddy(m_animFrom);
    auto *to = new QLabel(QStringLiteral("a"));
    to->setBuddy(m_animTo);
    auto *seconds = new QLabel(QStringLiteral("durata (s)"));
    seconds->setBuddy(m_animSeconds);
    grid->addWidget(parameter, 0, 0);
    grid->addWidget(m_animField, 0, 1, 1, 3);
    grid->addWidget(from, 1, 0);
    grid->addWidget(m_animFrom, 1, 1);
    grid->addWidget(to, 1, 2);
    grid->addWidget(m_animTo, 1, 3);
    grid->addWidget(seconds, 2, 0);
    grid->addWidget(m_animSeconds, 2, 1);
    grid->addWidget(m_play, 2, 2, 1, 2);
    grid->addWidget(m_loop, 3, 0, 1, 2);
    grid->addWidget(m_bounce, 3, 2, 1, 2);
    grid->addWidget(m_animReason, 4, 0, 1, 4);
    m_animTimer = new QTimer(this);
    m_animTimer->setInterval(kAnimationTickMs);
    connect(m_animTimer, &QTimer::timeout, this, &ExploreWindow::animationStep);
    connect(m_play, &QPushButton::clicked, this, &ExploreWindow::togglePlay);
    connect(m_animField, &QComboBox::currentIndexChanged, this, [this] {
        setPlaying(false);
        m_animBefore = 0;
    });
    return box;
}

void ExploreWindow::loadFrom(curve::Form4 &curve)
{
    m_curve = &curve;
    if (!curve.surface())
        return;
    for (int i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        if (QLineEdit *source = curve.field(curveFieldNumber(f)))
            setText(f, source->text());
    }
    if (curve.Option2())
        (curve.Option2()->isChecked() ? m_cosine : m_sine)->setChecked(true);
    setScene(sceneOf(curve));
}

Scene sceneOf(const curve::Form4 &curve)
{
    if (!curve.surface())
        return sceneFor(1.0, QSize(1920, 1080));
    const raster::RetainedDrawing &drawing = curve.surface()->raster();
    Scene scene;
    scene.cx = curve.CX.toSingle();
    scene.cy = curve.CY.toSingle();
    scene.scaleWidth = drawing.scaleWidth();
    scene.scaleHeight = drawing.scaleHeight();
    scene.area = drawing.size();
    if (curve.CX.isEmpty() || drawing.size().isEmpty() || !(scene.scaleWidth > 0)
        || !(scene.scaleHeight > 0))
        return sceneFor(1.0, curve.surface()->size());
    return scene;
}

void ExploreWindow::setScene(const Scene &scene)
{
    m_scene = scene;
    // Another crossing, another chain.
    ++m_recipeVersion;
    m_view = oneToOne(m_scene, m_canvas->size());
    requestRun();
}

Texts ExploreWindow::texts() const
{
    Texts t;
    for (int i = 0; i < kFieldCount; ++i)
        t.text[static_cast<std::size_t>(i)] = m_controls[static_cast<std::size_t>(i)].edit->text();
    t.cosine = m_cosine->isChecked();
    return t;
}

void ExploreWindow::setText(Field f, const QString &text)
{
    field(f)->setText(text);
}

void ExploreWindow::textEdited(Field f)
{
    Control &c = m_controls[static_cast<std::size_t>(f)];
    // A slider's own value is a position: a screen reader hears the parameter's value too.
    c.slider->setAccessibleDescription(
        QStringLiteral("%1, valore %2")
            .arg(QString::fromUtf8(kCaptions[static_cast<int>(f)]), c.edit->text().left(40)));
    if (!m_settingText) {
        // The slider follows a number typed; beyond its range it stops at its end.
        if (const std::optional<double> x = toNumber(c.edit->text())) {
            const QSignalBlocker block(c.slider);
            c.slider->setValue(SliderScale::of(f).position(*x));
        }
    }
    parametersChanged();
}

void ExploreWindow::sliderMoved(Field f, int position)
{
    m_settingText = true;
    field(f)->setText(SliderScale::of(f).text(position));
    m_settingText = false;
}

void ExploreWindow::parametersChanged()
{
    if (!m_cosine)
        return; // still being built
    const Reading reading = readTexts(texts());
    for (int i = 0; i < kFieldCount; ++i) {
        Control &c = m_controls[static_cast<std::size_t>(i)];
        QString why;
        for (const Refusal &r : reading.refusals) {
            if (r.field == static_cast<Field>(i))
                why = r.reason;
        }
        c.edit->setStyleSheet(why.isEmpty() ? QString()
                                            : QStringLiteral("background-color: #ff8080"));
        c.reason->setText(why);
        c.edit->setAccessibleDescription(why.isEmpty() ? QString::fromUtf8(kCaptions[i])
                                                       : QStringLiteral("Rifiutato: ") + why);
    }
    if (!reading.recipe)
        return; // the drawing keeps the last run all texts gave
    m_recipe = reading.recipe;
    ++m_recipeVersion;
    requestRun();
}

void ExploreWindow::requestRun()
{
    if (!m_worker || !m_recipe || m_canvas->size().isEmpty())
        return;
    Request r;
    r.recipe = *m_recipe;
    r.scene = m_scene;
    r.view = m_view;
    r.canvas = m_canvas->size();
    r.devicePixelRatio = m_canvas->devicePixelRatioF();
    r.grid = m_grid->isChecked();
    r.font = m_canvas->font();
    m_asked = Asked {r.recipe, r.scene, m_recipeVersion};
    m_canvas->setView(m_view);
    m_generation = m_worker->request(std::move(r));
    // Dots of other parameters are not shown while the new ones are drawn; the same dots at
    // another view are.
    if (m_shownRun && m_shownRunVersion != m_recipeVersion)
        m_shownRun.reset();
    m_readout->refresh();
    updateStepByStep();
}

readout::Scene ExploreWindow::readoutScene() const
{
    readout::Scene scene;
    const QSize canvas = m_canvas->size();
    if (canvas.isEmpty() || !(m_view.width > 0) || !(m_view.height > 0))
        return scene;
    // The view asked for: the frame shown is painted moved and scaled to it.
    const readout::ChainMapping mapping = chainMapping(m_scene, m_view, canvas);
    scene.axes = mapping;
    // While "Passo passo" builds the run, the tip gives X and Y alone: the whole run's dots
    // include many that are not drawn yet.
    if (m_shownRun && !stepByStep())
        scene.runs.push_back({m_shownRun, mapping});
    return scene;
}

void ExploreWindow::showPointText(const QString &text)
{
    // The tip's lines on one line.
    QString line = text;
    line.replace(QLatin1Char('\n'), QStringLiteral("; "));
    if (line == m_statusLine->text())
        return;
    m_statusLine->setText(line);
    m_statusLine->setAccessibleDescription(line);
    QAccessibleEvent changed(m_statusLine, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}

void ExploreWindow::takeFrame(Frame frame)
{
    if (frame.generation != m_generation) {
        if (!frame.finished)
            m_worker->frameTaken();
        return;
    }
    const bool finished = frame.finished;
    const QString text = frame.endText;
    const std::size_t points = frame.points;
    m_canvas->setFrame(std::move(frame));
    if (finished && m_asked
        && (!m_shownRun || m_shownRunVersion != m_asked->version || m_shownRun->dots() != points)) {
        m_shownRun = std::make_shared<const ExploreRun>(m_asked->recipe, m_asked->scene, points);
        m_shownRunVersion = m_asked->version;
        m_readout->refresh();
    }
    if (!finished) {
        m_endLabel->setText(QStringLiteral("Disegno in corso: %1 punti (Esc lo ferma)")
                                .arg(groupedDecimalText(static_cast<double>(points))));
        m_worker->frameTaken();
        return;
    }
    if (m_endLabel->text() != text) {
        m_endLabel->setText(text);
        m_canvas->setAccessibleDescription(text);
        QAccessibleEvent changed(m_endLabel, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
}

void ExploreWindow::zoomAbout(QPointF at, double factor)
{
    m_view = explore::zoomedAbout(m_scene, m_view, m_canvas->size(), at, factor);
    requestRun();
}

void ExploreWindow::fitChain()
{
    m_view = fitted(m_scene, m_view, m_canvas->size(), m_canvas->frame().bounds);
    requestRun();
}

void ExploreWindow::backToOneToOne()
{
    m_view = oneToOne(m_scene, m_canvas->size());
    requestRun();
}

void ExploreWindow::stopRun()
{
    setPlaying(false);
    if (stepByStep())
        m_stepPanel->hold();
    if (m_worker)
        m_worker->cancel();
}

bool ExploreWindow::useInCurveWindow()
{
    if (!m_curve || !m_curve->surface()) {
        m_endLabel->setText(QStringLiteral("La finestra della curva non è aperta."));
        return false;
    }
    const Texts t = texts();
    if (!readTexts(t).recipe) {
        m_endLabel->setText(QStringLiteral(
            "Correggere i campi in rosso prima di usarli nella finestra della curva."));
        return false;
    }
    for (int i = 0; i < kFieldCount; ++i) {
        const int number = curveFieldNumber(static_cast<Field>(i));
        QLineEdit *target = m_curve->field(number);
        const QString &text = t.text[static_cast<std::size_t>(i)];
        target->setText(text);
        if (curve::FieldObserver *observer = m_curve->fieldObserver())
            observer->textSet(target->objectName(), text);
    }
    (t.cosine ? m_curve->Option2() : m_curve->Option1())->setChecked(true);
    return true;
}

void ExploreWindow::togglePlay()
{
    setPlaying(!m_animTimer->isActive());
}

void ExploreWindow::setPlaying(bool playing)
{
    if (!m_animTimer)
        return;
    if (playing == m_animTimer->isActive())
        return;
    if (playing) {
        const std::optional<double> from = toNumber(m_animFrom->text());
        const std::optional<double> to = toNumber(m_animTo->text());
        const std::optional<double> seconds = toNumber(m_animSeconds->text());
        QString why;
        if (!from || !to)
            why = QStringLiteral("Valore iniziale o finale non numero");
        else if (!seconds || !(*seconds > 0) || *seconds > 1e6)
            why = QStringLiteral("Durata non valida: secondi maggiori di 0");
        m_animReason->setText(why);
        m_animReason->setVisible(!why.isEmpty());
        if (!why.isEmpty())
            return;
        m_animClock.start();
        m_animTimer->start();
        m_play->setText(QStringLiteral("Pausa"));
    } else {
        if (m_animClock.isValid())
            m_animBefore += static_cast<double>(m_animClock.elapsed()) / 1000.0;
        m_animClock.invalidate();
        m_animTimer->stop();
        m_play->setText(QStringLiteral("Riproduci"));
    }
}

void ExploreWindow::animationStep()
{
    // Each frame is a whole run: the next value waits for the run of the previous one.
    if (!m_worker->idle())
        return;
    const std::optional<double> from = toNumber(m_animFrom->text());
    const std::optional<double> to = toNumber(m_animTo->text());
    const std::optional<double> seconds = toNumber(m_animSeconds->text());
    if (!from || !to || !seconds || !(*seconds > 0)) {
        setPlaying(false);
        return;
    }
    const double played = m_animBefore + static_cast<double>(m_animClock.elapsed()) / 1000.0;
    double phase = played / *seconds;
    bool over = false;
    if (m_bounce->isChecked()) {
        // There and back is one pass.
        if (!m_loop->isChecked() && phase >= 2) {
            phase = 0;
            over = true;
        } else {
            phase = std::fmod(phase, 2.0);
            phase = phase > 1 ? 2 - phase : phase;
        }
    } else if (m_loop->isChecked()) {
        phase = std::fmod(phase, 1.0);
    } else if (phase >= 1) {
        phase = 1;
        over = true;
    }
    const auto f = static_cast<Field>(m_animField->currentIndex());
    const QString text = animatedText(f, *from, *to, phase);
    if (field(f)->text() != text)
        setText(f, text);
    if (over) {
        setPlaying(false);
        m_animBefore = 0;
    }
}

ExploreWindow::AnimationSettings ExploreWindow::animationSettings() const
{
    return {static_cast<Field>(m_animField->currentIndex()),
            m_animFrom->text(),
            m_animTo->text(),
            m_animSeconds->text(),
            m_loop->isChecked(),
            m_bounce->isChecked()};
}

std::optional<std::size_t> ExploreWindow::finishedDots() const
{
    if (!finishedShown() || m_canvas->frame().stopped)
        return std::nullopt;
    return m_canvas->frame().points;
}

QRgb ExploreWindow::background() const
{
    return palette().color(QPalette::Window).rgb();
}

void ExploreWindow::addTool(QAction *action)
{
    auto *button = new QPushButton(action->text());
    button->setToolTip(
        action->shortcut().isEmpty()
            ? action->toolTip()
            : QStringLiteral("%1 (%2)").arg(action->toolTip(),
                                            action->shortcut().toString(QKeySequence::NativeText)));
    connect(button, &QPushButton::clicked, action, &QAction::trigger);
    // After "Griglia", before the stretch.
    m_tools->insertWidget(3 + m_toolCount++, button);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
    m_canvas->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_canvas->addAction(action);
}

void ExploreWindow::setStopOnClose(std::function<void()> stop)
{
    m_stopOnClose = std::move(stop);
}

void ExploreWindow::clearStopOnClose()
{
    m_stopOnClose = {};
    if (m_closeWhenFree) {
        m_closeWhenFree = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void ExploreWindow::setExtension(std::function<void(ExploreWindow &)> extension)
{
    extensionKept() = std::move(extension);
}

void ExploreWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        stopRun();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        if (stepByStep())
            m_stepPanel->togglePlay();
        else
            togglePlay();
        event->accept();
        return;
    }
    if (stepByStep() && m_stepPanel->takeKey(event, this))
        return;
    QWidget::keyPressEvent(event);
}

void ExploreWindow::closeEvent(QCloseEvent *event)
{
    setPlaying(false);
    m_stepPanel->halt();
    if (m_worker)
        m_worker->cancel();
    if (m_stopOnClose) {
        // Stopped first; the window closes once the work has let it go.
        m_closeWhenFree = true;
        m_stopOnClose();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

// ---- "Passo passo" ----

bool ExploreWindow::stepByStep() const
{
    return m_stepButton->isChecked();
}

std::optional<double> ExploreWindow::stepSpeed() const
{
    if (!stepByStep())
        return std::nullopt;
    return m_stepPanel->speed();
}

void ExploreWindow::setStepByStep(bool on)
{
    if (m_stepButton->isChecked() != on) {
        m_stepButton->setChecked(on); // comes back here through its signal
        return;
    }
    m_stepPanel->setVisible(on);
    m_readout->refresh();
    if (!on) {
        m_stepPlayAsked = false;
        m_stepPanel->clear();
        m_canvas->setPainter({});
        return;
    }
    // The parameters stay as they are while their run is built.
    setPlaying(false);
    m_canvas->setPainter([this](QPainter &p) {
        const QSize size = m_canvas->size();
        m_stepPanel->paintDrawing(p, size);
        paintScale(p, m_scene, m_view, size, m_grid->isChecked());
        m_stepPanel->paintCurrentDot(p);
    });
    m_stepPanel->playButton()->setFocus(Qt::OtherFocusReason);
    updateStepByStep();
}

void ExploreWindow::playStepByStep()
{
    m_stepPlayAsked = true;
    if (!stepByStep())
        setStepByStep(true);
    else
        updateStepByStep();
}

void ExploreWindow::updateStepByStep()
{
    if (!stepByStep() || !m_recipe || m_canvas->size().isEmpty())
        return;
    m_stepPanel->setView(m_view, m_canvas->size(), m_canvas->devicePixelRatioF());
    if (!m_stepPanel->player() || m_stepRecipeVersion != m_recipeVersion) {
        m_stepPanel->start(*m_recipe, m_scene, palette().color(QPalette::Window).rgb());
        m_stepRecipeVersion = m_recipeVersion;
    }
    if (m_stepPlayAsked) {
        m_stepPlayAsked = false;
        m_stepPanel->setPlaying(true);
    }
}

void addExploreAction(curve::Form4 &curve, DrawingSurface &surface)
{
    auto *action = new QAction(QStringLiteral("Esplora…"), &surface);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    action->setShortcutContext(Qt::WindowShortcut);
    QPointer<curve::Form4> form(&curve);
    QObject::connect(action, &QAction::triggered, &surface, [form] {
        if (form)
            ExploreWindow::open(*form);
    });
    picture::addToDrawingMenu(surface, action);

    auto *steps = new QAction(QStringLiteral("Esplora passo passo…"), &surface);
    steps->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    steps->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(steps, &QAction::triggered, &surface, [form] {
        if (form)
            ExploreWindow::open(*form)->playStepByStep();
    });
    picture::addToDrawingMenu(surface, steps);
}

} // namespace quorvel::explore
