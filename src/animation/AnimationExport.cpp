// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AnimationExport.h"

#include "AnimationFrames.h"
#include "GifWriter.h"

#include "model/NumericText.h"
#include "picture/PictureActions.h"
#include "picture/ProgressWindow.h"
#include "shell/FocusReturn.h"
#include "shell/MessageBox.h"
#include "shell/Seams.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIODevice>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace quorvel::animation {

namespace {

constexpr int kLeastFramesPerSecond = 10;
constexpr int kMostFramesPerSecond = 50;
constexpr double kMostDotsPerSecond = 100000;
constexpr int kMostMinutes = 60;

std::int64_t mostFrames(const ExportChoice &choice)
{
    return static_cast<std::int64_t>(choice.maxMinutes) * 60 * choice.framesPerSecond;
}

// Frames of the construction fitted to the chosen duration (the first, axes alone, apart).
double fittedFrames(const ExportChoice &choice)
{
    return std::max(1.0, std::round(choice.seconds * choice.framesPerSecond));
}

ParameterAnimation parameterAnimation(const ExportSource &source, const ExportChoice &choice,
                                      const explore::View &view)
{
    ParameterAnimation a;
    a.texts = source.texts;
    a.field = source.animation.field;
    a.from = model::toNumber(source.animation.from).value_or(0);
    a.to = model::toNumber(source.animation.to).value_or(0);
    a.seconds = model::toNumber(source.animation.seconds).value_or(1);
    a.bounce = source.animation.bounce;
    a.loop = choice.loop;
    a.scene = source.scene;
    a.view = view;
    a.framesPerSecond = choice.framesPerSecond;
    a.maxFrames = mostFrames(choice);
    return a;
}

// Dots the chain grows by from a frame to the next.
double dotsPerFrame(const ExportSource &source, const ExportChoice &choice)
{
    if (choice.bySpeed)
        return choice.dotsPerSecond / choice.framesPerSecond;
    return static_cast<double>(source.finishedDots.value_or(0)) / fittedFrames(choice);
}

} // namespace

std::int64_t expectedFrames(const ExportSource &source, const ExportChoice &choice)
{
    const std::int64_t allowed = mostFrames(choice);
    if (choice.what == ExportChoice::What::Parameter) {
        const explore::View view = viewForSize(source.view, source.canvas, choice.size);
        return std::min(allowed, frameCount(parameterAnimation(source, choice, view)));
    }
    if (!choice.bySpeed)
        return static_cast<std::int64_t>(
            std::min(static_cast<double>(allowed), fittedFrames(choice) + 1));
    if (!source.finishedDots)
        return allowed;
    // The frames up to the last dot, and one with the whole run.
    const double frames
        = std::ceil(static_cast<double>(*source.finishedDots) / dotsPerFrame(source, choice)) + 2;
    return static_cast<std::int64_t>(std::min(static_cast<double>(allowed), frames));
}

ExportSource sourceOf(const explore::ExploreWindow &window)
{
    return {window.texts(),
            window.scene(),
            window.view(),
            window.canvas()->size(),
            window.background(),
            window.finishedDots(),
            window.animationSettings(),
            window.stepSpeed()};
}

QString reasonAgainst(const ExportSource &source, const ExportChoice &choice)
{
    if (choice.size.isEmpty() || source.canvas.isEmpty())
        return QStringLiteral("la dimensione dell'animazione non è valida");
    if (choice.framesPerSecond < kLeastFramesPerSecond
        || choice.framesPerSecond > kMostFramesPerSecond)
        return QStringLiteral("i fotogrammi al secondo vanno da %1 a %2")
            .arg(kLeastFramesPerSecond)
            .arg(kMostFramesPerSecond);
    if (choice.maxMinutes < 1 || choice.maxMinutes > kMostMinutes)
        return QStringLiteral("la durata massima va da 1 a %1 minuti").arg(kMostMinutes);
    if (choice.what == ExportChoice::What::Parameter) {
        const auto seconds = model::toNumber(source.animation.seconds);
        if (!model::toNumber(source.animation.from) || !model::toNumber(source.animation.to))
            return QStringLiteral("il valore iniziale o finale dell'animazione non è un numero");
        if (!seconds || !(*seconds > 0) || *seconds > 1e6)
            return QStringLiteral("la durata dell'animazione non è valida");
        return {};
    }
    if (!explore::readTexts(source.texts).recipe)
        return QStringLiteral("correggere prima i campi in rosso");
    if (choice.bySpeed) {
        if (!(choice.dotsPerSecond >= 1) || choice.dotsPerSecond > kMostDotsPerSecond)
            return QStringLiteral("la velocità va da 1 a 100.000 punti al secondo");
        return {};
    }
    if (!(choice.seconds > 0) || !std::isfinite(choice.seconds))
        return QStringLiteral("la durata non è valida");
    if (!source.finishedDots)
        return QStringLiteral("per adattare la costruzione a una durata serve il numero dei "
                              "suoi punti: attendere la fine del disegno nella finestra");
    return {};
}

ExportResult writeAnimation(const QString &path, const ExportSource &source,
                            const ExportChoice &choice, const picture::Progress &progress)
{
    ExportResult result;
    if (QString why = reasonAgainst(source, choice); !why.isEmpty()) {
        result.reason = why;
        return result;
    }
    const explore::View view = viewForSize(source.view, source.canvas, choice.size);
    Construction construction;
    construction.recipe = explore::readTexts(source.texts).recipe.value_or(explore::Recipe {});
    construction.scene = source.scene;
    construction.view = view;
    construction.maxFrames = mostFrames(choice);
    construction.dotsPerFrame = dotsPerFrame(source, choice);
    const ParameterAnimation parameter = parameterAnimation(source, choice, view);
    const std::int64_t expected = expectedFrames(source, choice);

    raster::RetainedDrawing drawing(source.background);
    drawing.setArea(choice.size);
    QString inner; // why the frames could not be made, when the file itself is not to blame
    bool deviceFailed = false;
    const auto body = [&](QIODevice &device, const picture::Progress &watched) {
        std::unique_ptr<GifWriter> gif;
        std::int64_t done = 0;
        const auto add = [&](const raster::RetainedDrawing &d, bool same) {
            if (!watched(static_cast<std::size_t>(done)))
                return false;
            ++done;
            if (gif && same)
                return gif->repeat();
            const QImage frame = d.indexedDrawing();
            if (frame.isNull()) {
                inner = QStringLiteral("il disegno ha più di 256 colori");
                return false;
            }
            if (!gif)
                gif = std::make_unique<GifWriter>(
                    [&device, &deviceFailed](const char *bytes, std::size_t size) {
                        deviceFailed = device.write(bytes, static_cast<qint64>(size))
                            != static_cast<qint64>(size);
                        return !deviceFailed;
                    },
                    frame.size(), frame.colorTable(), choice.framesPerSecond, choice.loop);
            if (gif->add(frame))
                return true;
            inner = gif->error();
            return false;
        };
        const Drawn drawn = choice.what == ExportChoice::What::Construction
            ? drawConstruction(drawing, construction, add)
            : drawParameterAnimation(drawing, parameter, add,
                                     [&] { return watched(static_cast<std::size_t>(done)); });
        if (!drawn.error.isEmpty())
            inner = drawn.error;
        if (drawn.stopped || !drawn.error.isEmpty() || !gif)
            return false;
        if (!gif->finish()) {
            inner = gif->error();
            return false;
        }
        result.cut = drawn.cut;
        result.frames = drawn.frames;
        return true;
    };
    result.reason = picture::writeWith(path, static_cast<std::size_t>(expected), progress, body);
    // A reason of the frames' own, unless the file was to blame or the user stopped it.
    if (!result.reason.isEmpty() && result.reason != QLatin1String("annullato") && !deviceFailed
        && !inner.isEmpty())
        result.reason = inner;
    return result;
}

namespace {

// "Esporta animazione…": what, at what speed or in what time, how large, how many frames a
// second, looped or not, and the longest it may be.
class ExportDialog : public QDialog
{
public:
    ExportDialog(QWidget *parent, const ExportSource &source)
        : QDialog(parent)
    {
        setWindowTitle(QStringLiteral("Esporta animazione"));
        setObjectName(QStringLiteral("ExportAnimation"));
        auto *layout = new QVBoxLayout(this);

        auto *what = new QGroupBox(QStringLiteral("Che cosa"));
        auto *whatLayout = new QVBoxLayout(what);
        m_construction = new QRadioButton(QStringLiteral("la &costruzione"));
        m_parameter = new QRadioButton(QStringLiteral("l'&animazione del parametro %1")
                                           .arg(explore::fieldName(source.animation.field)));
        m_construction->setChecked(true);
        whatLayout->addWidget(m_construction);
        whatLayout->addWidget(m_parameter);
        layout->addWidget(what);

        auto *pace = new QGroupBox(QStringLiteral("Costruzione"));
        auto *paceLayout = new QFormLayout(pace);
        m_bySpeed = new QRadioButton(QStringLiteral("&Velocità (punti al secondo)"));
        m_speed = new QSpinBox;
        m_speed->setRange(1, static_cast<int>(kMostDotsPerSecond));
        m_speed->setValue(static_cast<int>(
            std::clamp(std::round(source.stepSpeed.value_or(1000)), 1.0, kMostDotsPerSecond)));
        m_speed->setAccessibleName(QStringLiteral("Velocità in punti al secondo"));
        m_byDuration = new QRadioButton(QStringLiteral("&Durata (secondi)"));
        m_duration = new QDoubleSpinBox;
        m_duration->setRange(0.1, kMostMinutes * 60.0);
        m_duration->setDecimals(1);
        m_duration->setValue(10);
        m_duration->setAccessibleName(QStringLiteral("Durata in secondi"));
        paceLayout->addRow(m_bySpeed, m_speed);
        paceLayout->addRow(m_byDuration, m_duration);
        // The speed the construction is being watched at comes first; else a duration, which
        // needs the run's length, when that is known.
        (source.finishedDots && !source.stepSpeed ? m_byDuration : m_bySpeed)->setChecked(true);
        layout->addWidget(pace);

        auto *form = new QFormLayout;
        m_size = new QComboBox;
        m_size->addItem(QStringLiteral("come il disegno (%1 × %2)")
                            .arg(source.canvas.width())
                            .arg(source.canvas.height()),
                        source.canvas);
        m_size->addItem(QStringLiteral("1280 × 720"), QSize(1280, 720));
        m_size->addItem(QStringLiteral("1920 × 1080"), QSize(1920, 1080));
        m_size->setAccessibleName(QStringLiteral("Dimensione in pixel"));
        m_fps = new QSpinBox;
        m_fps->setRange(kLeastFramesPerSecond, kMostFramesPerSecond);
        m_fps->setValue(25);
        m_fps->setAccessibleName(QStringLiteral("Fotogrammi al secondo"));
        m_minutes = new QSpinBox;
        m_minutes->setRange(1, kMostMinutes);
        m_minutes->setValue(10);
        m_minutes->setAccessibleName(QStringLiteral("Durata massima in minuti"));
        m_loop = new QCheckBox(QStringLiteral("&Ripeti all'infinito"));
        m_loop->setChecked(true);
        form->addRow(QStringLiteral("Di&mensione:"), m_size);
        form->addRow(QStringLiteral("&Fotogrammi al secondo:"), m_fps);
        form->addRow(QStringLiteral("Durata massima (&minuti):"), m_minutes);
        form->addRow(m_loop);
        layout->addLayout(form);

        auto *buttons = new QDialogButtonBox;
        QPushButton *ok
            = buttons->addButton(QStringLiteral("&Esporta…"), QDialogButtonBox::AcceptRole);
        ok->setDefault(true);
        buttons->addButton(QStringLiteral("Annulla"), QDialogButtonBox::RejectRole);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        const auto follow = [this, pace] {
            const bool construction = m_construction->isChecked();
            pace->setEnabled(construction);
            m_speed->setEnabled(construction && m_bySpeed->isChecked());
            m_duration->setEnabled(construction && m_byDuration->isChecked());
        };
        for (QRadioButton *b : {m_construction, m_parameter, m_bySpeed, m_byDuration})
            connect(b, &QRadioButton::toggled, this, follow);
        follow();
    }

    ExportChoice choice() const
    {
        ExportChoice c;
        c.what = m_construction->isChecked() ? ExportChoice::What::Construction
                                             : ExportChoice::What::Parameter;
        c.bySpeed = m_bySpeed->isChecked();
        c.dotsPerSecond = m_speed->value();
        c.seconds = m_duration->value();
        c.size = m_size->currentData().toSize();
        c.framesPerSecond = m_fps->value();
        c.loop = m_loop->isChecked();
        c.maxMinutes = m_minutes->value();
        return c;
    }

private:
    QRadioButton *m_construction = nullptr;
    QRadioButton *m_parameter = nullptr;
    QRadioButton *m_bySpeed = nullptr;
    QRadioButton *m_byDuration = nullptr;
    QSpinBox *m_speed = nullptr;
    QDoubleSpinBox *m_duration = nullptr;
    QComboBox *m_size = nullptr;
    QSpinBox *m_fps = nullptr;
    QSpinBox *m_minutes = nullptr;
    QCheckBox *m_loop = nullptr;
};

} // namespace

void exportAnimation(explore::ExploreWindow &window)
{
    const ExportSource source = sourceOf(window);
    ExportChoice choice;
    {
        const FocusReturn focus(&window);
        ExportDialog dialog(&window, source);
        if (dialog.exec() != QDialog::Accepted)
            return;
        choice = dialog.choice();
    }
    if (const QString why = reasonAgainst(source, choice); !why.isEmpty()) {
        showMessage(QStringLiteral("Impossibile esportare l'animazione: %1.").arg(why));
        return;
    }
    const QString path = picture::askPath(&window,
                                          {QStringLiteral("Esporta animazione"),
                                           picture::lastFolder(),
                                           {QStringLiteral("Animazione GIF (*.gif)")},
                                           QStringLiteral("gif"),
                                           QStringLiteral("curva.gif")});
    if (path.isEmpty())
        return;
    // Closing the window stops the writing; the window closes once it has stopped.
    bool closing = false;
    window.setStopOnClose([&closing] { closing = true; });
    ExportResult result;
    bool cancelled = false;
    {
        picture::ProgressWindow progress(&window, QStringLiteral("Esportazione dell'animazione…"),
                                         static_cast<std::size_t>(expectedFrames(source, choice)));
        const picture::Progress told = progress.progress();
        result = writeAnimation(path, source, choice, [&told, &closing](std::size_t done) {
            return !closing && told(done);
        });
        cancelled = progress.cancelled() || closing;
    }
    window.clearStopOnClose();
    if (result.reason.isEmpty()) {
        picture::tellSaved(&window, path);
        if (result.cut)
            showMessage(QStringLiteral("L'animazione è stata fermata alla durata massima di %1 "
                                       "minuti: la costruzione va oltre.")
                            .arg(choice.maxMinutes));
    } else if (!cancelled) {
        picture::tellFailure(path, result.reason);
    }
}

void addAnimationExport(explore::ExploreWindow &window)
{
    auto *action = new QAction(QStringLiteral("Esporta animazione…"), &window);
    action->setObjectName(QStringLiteral("ExportAnimation"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    action->setToolTip(QStringLiteral("La costruzione o l'animazione del parametro in una GIF"));
    QPointer<explore::ExploreWindow> target(&window);
    QObject::connect(action, &QAction::triggered, &window, [target] {
        if (target)
            exportAnimation(*target);
    });
    window.addTool(action);
}

} // namespace quorvel::animation
