// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LessonActions.h"

#include "curve/Form4.h"
#include "curve/RunRecord.h"
#include "picture/PictureActions.h"
#include "picture/PictureFiles.h"
#include "shell/FocusReturn.h"
#include "shell/MessageBox.h"
#include "surface/DrawingSurface.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QSettings>
#include <QUrl>

#include <utility>
#include <variant>

namespace quorvel::lesson {

using namespace curve;
using namespace model;

namespace {

constexpr char kRecentKey[] = "lezioni/recenti";
// Pictures are read only as far as their recipe, but a file this large is no picture of ours.
constexpr qint64 kMaxPictureBytes = 512LL * 1024 * 1024;

FileAsker &fileAsker()
{
    static FileAsker asker;
    return asker;
}

QSettings settings()
{
    return QSettings(QStringLiteral("quorvel"), QStringLiteral("quorvel"));
}

QString italian(double v)
{
    return QLocale(QLocale::Italian, QLocale::Italy).toString(v, 'g', 6);
}

std::array<QString, 13> textsOf(const Fields &fields)
{
    std::array<QString, 13> texts;
    for (int n : Fields::kNumbers)
        texts[static_cast<std::size_t>(n)] = fields.text(n);
    return texts;
}

Fields fieldsOf(const std::array<QString, 13> &texts, bool cosine)
{
    Fields fields;
    for (int n : Fields::kNumbers)
        fields.text(n) = texts[static_cast<std::size_t>(n)];
    fields.cosine = cosine;
    return fields;
}

std::optional<double> valueOf(const Variant &v)
{
    if (v.isEmpty())
        return std::nullopt;
    return v.toDouble();
}

Variant variantOf(const std::optional<double> &v)
{
    return v ? Variant::real(*v) : Variant();
}

End endOf(model::RunSummary::End end)
{
    switch (end) {
    case model::RunSummary::End::RangesDone:
        return End::RangesDone;
    case model::RunSummary::End::OutOfField:
        return End::OutOfField;
    case model::RunSummary::End::Stopped:
        return End::Stopped;
    case model::RunSummary::End::Refused:
        return End::Refused;
    }
    return End::RangesDone;
}

QString askFile(QWidget *parent, bool save)
{
    if (fileAsker())
        return fileAsker()(parent, save);
    const FocusReturn focusReturn(parent);
    QFileDialog dialog(parent,
                       save ? QStringLiteral("Salva impostazioni")
                            : QStringLiteral("Apri lezione o immagine"));
    dialog.setObjectName(save ? QStringLiteral("LessonSaveDialog")
                              : QStringLiteral("LessonOpenDialog"));
    dialog.setDirectory(picture::lastFolder());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(QStringLiteral("Lezione di QUORVEL (*.quorvel)"));
        dialog.setDefaultSuffix(QStringLiteral("quorvel"));
        dialog.selectFile(QStringLiteral("lezione.quorvel"));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilters({QStringLiteral("Lezioni e immagini di QUORVEL (*.quorvel *.png "
                                              "*.svg)"),
                               QStringLiteral("Tutti i file (*)")});
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void tellCannotOpen(const QString &path, const QString &reason)
{
    showMessage(QStringLiteral("Impossibile aprire il file %1: %2.")
                    .arg(QDir::toNativeSeparators(path), reason));
}

// Opens files dropped on a drawing window, once the drop is over.
class DropOpener : public QObject
{
public:
    DropOpener(QWidget &surface, std::function<Form4 *()> curveWindow)
        : QObject(&surface)
        , m_curveWindow(std::move(curveWindow))
    {
        surface.setAcceptDrops(true);
        surface.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto *drag = static_cast<QDropEvent *>(event);
            if (!localFile(drag->mimeData()).isEmpty() && m_curveWindow()) {
                drag->acceptProposedAction();
                return true;
            }
            return false;
        }
        if (event->type() == QEvent::Drop) {
            auto *drop = static_cast<QDropEvent *>(event);
            const QString path = localFile(drop->mimeData());
            if (path.isEmpty())
                return false;
            drop->acceptProposedAction();
            // The boxes of opening wait for the end of the drop.
            QMetaObject::invokeMethod(
                this,
                [this, path] {
                    if (Form4 *form = m_curveWindow())
                        openFile(*form, path);
                },
                Qt::QueuedConnection);
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static QString localFile(const QMimeData *mime)
    {
        if (!mime || !mime->hasUrls() || mime->urls().isEmpty())
            return {};
        const QUrl url = mime->urls().constFirst();
        return url.isLocalFile() ? url.toLocalFile() : QString();
    }
    std::function<Form4 *()> m_curveWindow;
};

QAction *windowAction(QWidget &surface, const QString &text, const QList<QKeySequence> &keys,
                      std::function<void()> run)
{
    auto *action = new QAction(text, &surface);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, &surface, std::move(run));
    surface.addAction(action);
    return action;
}

Fields exampleFields(const char *inx, const char *iny, const char *epsilon, const char *beta,
                     const char *t, std::array<const char *, 6> ranges, bool cosine)
{
    Fields f;
    f.text(1) = QString::fromUtf8(inx);
    f.text(2) = QString::fromUtf8(iny);
    for (int i = 0; i < 6; ++i)
        f.text(3 + i) = QString::fromUtf8(ranges[static_cast<std::size_t>(i)]);
    f.text(10) = QString::fromUtf8(epsilon);
    f.text(11) = QString::fromUtf8(beta);
    f.text(12) = QString::fromUtf8(t);
    f.cosine = cosine;
    return f;
}

} // namespace

Lesson lessonOf(const Form4 &form)
{
    Lesson lesson;
    std::array<QString, 13> texts;
    for (int n : Fields::kNumbers) {
        if (form.field(n))
            texts[static_cast<std::size_t>(n)] = form.field(n)->text();
    }
    lesson.fields = fieldsOf(texts, form.cosineChosen());
    lesson.calibration = form.calibration();
    bool first = true;
    lesson.colour = form.Miocolor.isEmpty() ? std::nullopt : form.Miocolor.toInt16();
    if (!form.surface())
        return lesson;
    for (const auto &entry : form.surface()->raster().record().entries()) {
        const auto *dots = std::get_if<raster::RecordedDots>(&entry);
        const auto *run = dots ? dynamic_cast<const RunRecord *>(dots->source.get()) : nullptr;
        if (!run)
            continue;
        const RunStart &start = run->start();
        // The runs' own field limits (those of a lesson opened from another screen).
        if (first && start.calibration > 0)
            lesson.calibration = start.calibration;
        first = false;
        SavedRun saved;
        saved.fields = fieldsOf(start.texts, start.cosine);
        saved.colourBefore
            = start.members.Miocolor.isEmpty() ? std::nullopt : start.members.Miocolor.toInt16();
        saved.ep1Before = valueOf(start.members.EP1);
        saved.beta1Before = valueOf(start.members.BETA1);
        saved.veBefore = valueOf(start.members.Ve);
        saved.dots = run->dots();
        saved.end = endOf(run->end());
        lesson.runs.push_back(std::move(saved));
    }
    return lesson;
}

QString openLesson(Form4 &form, const Lesson &lesson, bool withColour)
{
    if (!form.surface() || form.isRunning())
        return {};
    const double here = form.calibration();
    std::optional<double> limits;
    QString note;
    if (Form4::fieldLimitY(here) != Form4::fieldLimitY(lesson.calibration)) {
        limits = lesson.calibration;
        note = QStringLiteral("Il file è stato preparato su uno schermo con il fattore di "
                              "calibrazione %1, questo usa %2: le esecuzioni salvate sono "
                              "disegnate con i limiti del campo del file, perché finiscano dove "
                              "finivano.")
                   .arg(italian(lesson.calibration), italian(here));
    }
    form.clearToAxes();
    for (const SavedRun &run : lesson.runs) {
        form.setFields(textsOf(run.fields), run.fields.cosine);
        CurveMembers members = form.members();
        members.Miocolor = run.colourBefore ? Variant::int16(*run.colourBefore) : Variant();
        members.EP1 = variantOf(run.ep1Before);
        members.BETA1 = variantOf(run.beta1Before);
        members.Ve = variantOf(run.veBefore);
        form.setMembers(members);
        form.replayRun(run.end == End::Stopped
                           ? std::optional<std::size_t>(static_cast<std::size_t>(run.dots))
                           : std::nullopt,
                       limits);
        if (!form.surface())
            return note;
    }
    form.setFields(textsOf(lesson.fields), lesson.fields.cosine);
    if (withColour) {
        CurveMembers members = form.members();
        members.Miocolor = lesson.colour ? Variant::int16(*lesson.colour) : Variant();
        form.setMembers(members);
    }
    return note;
}

ReadResult readLessonFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {std::nullopt, QStringLiteral("non esiste")};
    if (!info.isFile())
        return {std::nullopt, QStringLiteral("non è un file")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("non si può leggere (%1)").arg(file.errorString())};
    const QByteArray start = file.peek(512);
    const bool png = start.startsWith("\x89PNG\r\n\x1a\n");
    const bool svg = !png
        && (info.suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0
            || start.contains("<svg"));
    if (png || svg) {
        if (info.size() > kMaxPictureBytes)
            return {std::nullopt, QStringLiteral("è un'immagine troppo grande")};
        file.close();
        const QByteArray recipe = picture::recipeOf(path);
        if (recipe.isEmpty())
            return {std::nullopt,
                    QStringLiteral("è un'immagine che non porta le impostazioni di QUORVEL")};
        return read(recipe);
    }
    if (info.size() > static_cast<qint64>(kMaxFileBytes))
        return {std::nullopt, QStringLiteral("è troppo grande per una lezione (più di 4 MB)")};
    const QByteArray bytes = file.read(static_cast<qint64>(kMaxFileBytes) + 1);
    return read(bytes);
}

void openFile(Form4 &form, const QString &path)
{
    if (form.isRunning())
        return;
    const ReadResult result = readLessonFile(path);
    if (!result.lesson) {
        tellCannotOpen(path, result.error);
        return;
    }
    rememberFile(QFileInfo(path).absoluteFilePath());
    const QString note = openLesson(form, *result.lesson);
    if (!note.isEmpty())
        showMessage(note);
}

void saveLesson(Form4 &form)
{
    QString path = askFile(form.surface(), true);
    if (path.isEmpty())
        return;
    path = QFileInfo(path).absoluteFilePath();
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".quorvel");
    const QString reason = picture::writeBytes(write(lessonOf(form)), path);
    if (!reason.isEmpty()) {
        showMessage(QStringLiteral("Impossibile scrivere il file %1: %2.")
                        .arg(QDir::toNativeSeparators(path), reason));
        return;
    }
    rememberFile(path);
}

QStringList recentFiles()
{
    QStringList files = settings().value(QLatin1String(kRecentKey)).toStringList();
    while (files.size() > kRecentCount)
        files.removeLast();
    return files;
}

void rememberFile(const QString &path)
{
    QStringList files = recentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > kRecentCount)
        files.removeLast();
    QSettings s = settings();
    s.setValue(QLatin1String(kRecentKey), files);
}

const std::vector<Example> &examples()
{
    static const std::vector<Example> all = [] {
        struct Row
        {
            const char *name;
            const char *description;
            Fields fields;
        };
        const Row rows[] = {
            {"Arco", "i valori di partenza: la direzione ruota di poco e torna, un arco aperto",
             exampleFields("1", "1", "0,86", "55", "1", {"0", "180", "0", "0", "0", "0"}, false)},
            {"Segmento", "con BETA 0 la direzione non cambia mai: un segmento di punti",
             exampleFields("1", "1", "0,86", "0", "1", {"0", "180", "0", "0", "0", "0"}, false)},
            {"Meandro", "con BETA 90 la catena ondeggia come un fiume e avanza verso destra",
             exampleFields("1", "1", "0,8", "90", "1", {"0", "1080", "0", "0", "0", "0"}, false)},
            {"Anelli all'indietro",
             "oltre circa 137,5 gradi la curva fa anelli e arretra verso sinistra",
             exampleFields("1", "1", "0,9", "200", "1", {"0", "720", "0", "0", "0", "0"}, false)},
            {"Figura chiusa",
             "con BETA 137,5 la catena non avanza: torna quasi al punto di partenza",
             exampleFields("1", "1", "0,9", "137,5", "1", {"0", "360", "0", "0", "0", "0"}, false)},
            {"In coseno",
             "il coseno al posto del seno: la curva parte inclinata e non è simmetrica",
             exampleFields("1", "1", "0,9", "45", "1", {"0", "480", "0", "0", "0", "0"}, true)},
            {"Assi diversi", "INY tre volte INX: la stessa curva stirata in altezza",
             exampleFields("1", "3", "0,5", "70", "1", {"0", "360", "0", "0", "0", "0"}, false)},
            {"Andata e ritorno", "tre intervalli: ALFA va, torna e riparte, la catena prosegue",
             exampleFields("1", "1", "0,6", "55", "1", {"0", "180", "180", "0", "0", "180"},
                           false)},
            {"Onde fitte", "t = 2: ALFA conta il doppio e le onde sono più fitte",
             exampleFields("1", "1", "0,9", "55", "2", {"0", "360", "0", "0", "0", "0"}, false)},
            {"Nodi", "BETA 720: la direzione fa giri interi e la catena si annoda",
             exampleFields("1", "1", "0,9", "720", "1", {"0", "360", "0", "0", "0", "0"}, false)},
        };
        std::vector<Example> list;
        for (const Row &row : rows) {
            Example e;
            e.name = QString::fromUtf8(row.name);
            e.description = QString::fromUtf8(row.description);
            e.lesson.fields = row.fields;
            SavedRun run;
            run.fields = row.fields;
            run.dots = 1; // not a limit: the run ends where its ranges end
            e.lesson.runs.push_back(run);
            list.push_back(std::move(e));
        }
        return list;
    }();
    return all;
}

void addLessonActions(Form4 &form)
{
    DrawingSurface *surface = form.surface();
    if (!surface)
        return;
    QAction *save = windowAction(*surface, QStringLiteral("Salva impostazioni…"),
                                 {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
                                 [&form] { saveLesson(form); });
    QAction *open = windowAction(*surface, QStringLiteral("Apri…"),
                                 {QKeySequence(Qt::CTRL | Qt::Key_O)}, [&form] {
                                     const QString path = askFile(form.surface(), false);
                                     if (!path.isEmpty())
                                         openFile(form, path);
                                 });
    QAction *undo
        = windowAction(*surface, QStringLiteral("Annulla ultima esecuzione"),
                       {QKeySequence(Qt::CTRL | Qt::Key_Z)}, [&form] { form.undoLastRun(); });
    QAction *redo = windowAction(
        *surface, QStringLiteral("Ripeti esecuzione annullata"),
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
        [&form] { form.redoRun(); });

    picture::PictureExtras extras;
    extras.recipe = [&form] { return write(lessonOf(form)); };
    extras.menu = [&form, save, open, undo, redo](QMenu &menu) {
        menu.addAction(save);
        menu.addAction(open);
        QMenu *recent = menu.addMenu(QStringLiteral("File recenti"));
        recent->setObjectName(QStringLiteral("RecentMenu"));
        const QStringList files = recentFiles();
        recent->setEnabled(!files.isEmpty());
        for (int i = 0; i < files.size(); ++i) {
            const QString &path = files[i];
            QAction *item = recent->addAction(
                QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(path)));
            QObject::connect(item, &QAction::triggered, recent,
                             [&form, path] { openFile(form, path); });
        }
        QMenu *sets = menu.addMenu(QStringLiteral("Esempi"));
        sets->setObjectName(QStringLiteral("ExamplesMenu"));
        for (std::size_t i = 0; i < examples().size(); ++i) {
            const Example &e = examples()[i];
            QAction *item = sets->addAction(QStringLiteral("%1: %2").arg(e.name, e.description));
            QObject::connect(item, &QAction::triggered, sets,
                             [&form, i] { openLesson(form, examples()[i].lesson, false); });
        }
        menu.addSeparator();
        // Disabled while there is nothing to do, for the menu only: the shortcuts stay.
        undo->setEnabled(form.canUndo());
        redo->setEnabled(form.canRedo());
        QObject::connect(&menu, &QMenu::aboutToHide, undo, [undo, redo] {
            undo->setEnabled(true);
            redo->setEnabled(true);
        });
        menu.addAction(undo);
        menu.addAction(redo);
    };
    picture::setPictureExtras(*surface, std::move(extras));
    new DropOpener(*surface, [&form] { return form.surface() ? &form : nullptr; });
}

void acceptDrops(QWidget &surface, std::function<Form4 *()> curveWindow)
{
    new DropOpener(surface, std::move(curveWindow));
}

FileAsker setFileAsker(FileAsker asker)
{
    return std::exchange(fileAsker(), std::move(asker));
}

} // namespace quorvel::lesson
