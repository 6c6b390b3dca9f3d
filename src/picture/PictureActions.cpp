// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PictureActions.h"

#include "PictureFiles.h"
#include "ProgressWindow.h"

#include "about/About.h"
#include "shell/AccessibleParts.h"
#include "shell/Dialogs.h"
#include "shell/FocusReturn.h"
#include "shell/MessageBox.h"
#include "surface/DrawingSurface.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

namespace quorvel::picture {

namespace {

QString &folderKept()
{
    static QString folder;
    return folder;
}

bool &whiteKept()
{
    static bool white = false;
    return white;
}

bool &legendKept()
{
    static bool legend = false;
    return legend;
}

constexpr char kLegendChoice[] = "Con la legenda delle esecuzioni (colore, parametri, fine)";

void keepFolderOf(const QString &path)
{
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (folder.isDir())
        folderKept() = folder.absoluteFilePath();
}

} // namespace

QString askPath(QWidget *parent, const SaveRequest &request)
{
    bool chosen = request.choiceChecked;
    QString path = askSavePath(parent, request, &chosen);
    if (!request.choice.isEmpty() && !path.isEmpty())
        legendKept() = chosen;
    if (path.isEmpty())
        return {};
    path = withDefaultSuffix(QFileInfo(path).absoluteFilePath(), request.defaultSuffix);
    keepFolderOf(path);
    return path;
}

void tellFailure(const QString &path, const QString &reason)
{
    showMessage(QStringLiteral("Impossibile scrivere il file %1: %2.")
                    .arg(QDir::toNativeSeparators(path), reason));
}

void tellSaved(QWidget *window, const QString &path)
{
    announce(window, QStringLiteral("Salvato %1").arg(QFileInfo(path).fileName()));
}

namespace {

// The picture of `surface` as its record holds it now: later drawing does not reach it.
struct Snapshot
{
    explicit Snapshot(const DrawingSurface &surface)
        : record(surface.raster().record())
    {
        const bool white = whiteKept();
        const QImage pixels = surface.raster().drawing();
        picture = {white ? onWhite(pixels, surface.raster().backgroundRgb()) : pixels, &record,
                   surface.size(), white ? kWhite : surface.raster().backgroundRgb(),
                   surface.devicePixelRatioF()};
    }
    Snapshot(const Snapshot &) = delete;
    Snapshot &operator=(const Snapshot &) = delete;

    raster::DrawingRecord record;
    Picture picture;
};

// What a drawing window's pictures and menu hold beyond the picture's own: what the window
// shows (naming files and print jobs), the window's additions, and the items other parts of the
// program put on the menu. Kept as a child of its surface.
class ExtrasHolder : public QObject
{
public:
    using QObject::QObject;
    QString subject;
    PictureExtras extras;
    QList<QPointer<QAction>> menuItems;
};

// (Not findChild: without a meta-object of its own it would match any child.)
ExtrasHolder *holderOf(const DrawingSurface &surface)
{
    for (QObject *child : surface.children()) {
        if (auto *holder = dynamic_cast<ExtrasHolder *>(child))
            return holder;
    }
    return nullptr;
}

ExtrasHolder &holderFor(DrawingSurface &surface)
{
    ExtrasHolder *holder = holderOf(surface);
    return holder ? *holder : *new ExtrasHolder(&surface);
}

// The window's additions, if it made any (the curve window's lessons).
QString subjectOf(const DrawingSurface &surface)
{
    const ExtrasHolder *holder = holderOf(surface);
    return holder && !holder->subject.isEmpty() ? holder->subject : QStringLiteral("disegno");
}

const PictureExtras *extrasOf(const DrawingSurface &surface)
{
    const ExtrasHolder *holder = holderOf(surface);
    return holder && holder->extras.recipe ? &holder->extras : nullptr;
}

// The picture's pixels with its legend painted over them (none: the pixels as they are).
QImage withLegend(const Picture &picture)
{
    if (picture.legend.empty())
        return picture.pixels;
    QImage pixels = picture.pixels.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&pixels);
    painter.scale(picture.pixelRatio, picture.pixelRatio);
    paintLegend(painter, picture.size, picture.legend, picture.background);
    painter.end();
    return pixels;
}

QAction *addAction(DrawingSurface &surface, const QString &text, const QKeySequence &keys,
                   void (*run)(DrawingSurface &))
{
    auto *action = new QAction(text, &surface);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, &surface, [&surface, run] { run(surface); });
    surface.addAction(action);
    return action;
}

} // namespace

void setPictureExtras(DrawingSurface &surface, PictureExtras extras)
{
    holderFor(surface).extras = std::move(extras);
}

void addToDrawingMenu(DrawingSurface &surface, QAction *action)
{
    holderFor(surface).menuItems << action;
    surface.addAction(action);
}

QString lastFolder()
{
    return folderKept().isEmpty() ? QDir::homePath() : folderKept();
}

bool legendChosen()
{
    return legendKept();
}

void chooseLegend(bool legend)
{
    legendKept() = legend;
}

bool onWhiteChosen()
{
    return whiteKept();
}

void chooseOnWhite(bool white)
{
    whiteKept() = white;
}

void savePicture(DrawingSurface &surface)
{
    const QString path = askPath(
        &surface,
        {QStringLiteral("Salva immagine"),
         lastFolder(),
         {QStringLiteral("Immagini (*.png *.svg *.pdf)"), QStringLiteral("Immagine PNG (*.png)"),
          QStringLiteral("Disegno vettoriale SVG (*.svg)"),
          QStringLiteral("Documento PDF (*.pdf)")},
         QStringLiteral("png"),
         subjectOf(surface) + QStringLiteral(".png"),
         extrasOf(surface) != nullptr
             ? QString::fromUtf8(kLegendChoice) + QStringLiteral(" (PNG, SVG)")
             : QString(),
         legendKept()});
    if (path.isEmpty())
        return;
    Snapshot snapshot(surface);
    if (legendKept() && extrasOf(surface))
        snapshot.picture.legend = legendOf(snapshot.record);
    const PictureExtras *extras = extrasOf(surface);
    const QByteArray recipe = extras && extras->recipe ? extras->recipe() : QByteArray();
    ProgressWindow window(&surface, QStringLiteral("Salvataggio dell'immagine…"),
                          dotCount(snapshot.record));
    const Progress progress = window.progress();
    QString reason;
    switch (formatOf(path)) {
    case Format::Png:
        reason = writePng(withLegend(snapshot.picture), path, progress, recipe);
        break;
    case Format::Svg:
        reason = writeSvg(snapshot.picture, path, progress, recipe);
        break;
    case Format::Pdf:
        reason = writePdf(snapshot.picture, path, progress);
        break;
    case Format::Unknown:
        reason = QStringLiteral("l'estensione deve essere .png, .svg o .pdf");
        break;
    }
    if (reason.isEmpty())
        tellSaved(&surface, path);
    else if (!window.cancelled())
        tellFailure(path, reason);
}

void copyPicture(DrawingSurface &surface)
{
    const QImage drawing = surface.raster().drawing();
    QGuiApplication::clipboard()->setImage(
        whiteKept() ? onWhite(drawing, surface.raster().backgroundRgb()) : drawing);
}

void printPicture(DrawingSurface &surface)
{
    const QString subject = subjectOf(surface);
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("QUORVEL - %1").arg(subject));
    // A drawing wider than tall goes across the paper, unless the user chooses otherwise.
    printer.setPageOrientation(surface.width() > surface.height() ? QPageLayout::Landscape
                                                                  : QPageLayout::Portrait);
    const QString suggested = QDir(lastFolder()).filePath(subject + QStringLiteral(".pdf"));
    bool legend = legendKept();
    const bool withLegend = extrasOf(surface) != nullptr;
    const bool accepted = askToPrint(
        &surface, printer, suggested, withLegend ? QStringLiteral("Legenda") : QString(),
        withLegend ? QString::fromUtf8(kLegendChoice) : QString(), &legend);
    if (accepted && withLegend)
        legendKept() = legend;
    if (!accepted)
        return;
    Snapshot snapshot(surface);
    if (legendKept() && extrasOf(surface))
        snapshot.picture.legend = legendOf(snapshot.record);
    ProgressWindow window(&surface, QStringLiteral("Stampa in corso…"), dotCount(snapshot.record));
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        // To a file: written whole or not at all, as a saved picture is.
        const QString path = QFileInfo(printer.outputFileName()).absoluteFilePath();
        keepFolderOf(path);
        const QPageLayout layout = printer.pageLayout();
        const QString reason
            = writePdf(snapshot.picture, path, window.progress(),
                       PdfPage {layout.fullRectPoints().size(), QRectF(layout.paintRectPoints())});
        if (reason.isEmpty())
            tellSaved(&surface, path);
        else if (!window.cancelled())
            tellFailure(path, reason);
        return;
    }
    if (!picture::printPicture(printer, snapshot.picture, window.progress()) && !window.cancelled())
        showMessage(QStringLiteral("Impossibile stampare: la stampante non è disponibile."));
}

void exportPoints(DrawingSurface &surface)
{
    const raster::DrawingRecord record = surface.raster().record();
    const std::size_t rows = pointCount(record);
    if (rows == 0) {
        showMessage(QStringLiteral("Non ci sono punti da esportare: la finestra non ha ancora "
                                   "disegnato punti della curva."));
        return;
    }
    if (rows > kRowsWithoutAsking) {
        const QLocale italian(QLocale::Italian, QLocale::Italy);
        const QString question
            = QStringLiteral("La tabella dei punti avrà %1 righe, un file di circa %2. "
                             "Scriverla?")
                  .arg(italian.toString(static_cast<qulonglong>(rows)),
                       italian.formattedDataSize(static_cast<qint64>(csvSizeEstimate(record)), 1,
                                                 QLocale::DataSizeSIFormat));
        if (!askYesNo(&surface, question))
            return;
    }
    const QString path = askPath(&surface,
                                 {QStringLiteral("Esporta punti"),
                                  lastFolder(),
                                  {QStringLiteral("Tabella CSV (*.csv)")},
                                  QStringLiteral("csv"),
                                  QStringLiteral("punti della %1.csv").arg(subjectOf(surface))});
    if (path.isEmpty())
        return;
    ProgressWindow window(&surface, QStringLiteral("Esportazione dei punti…"), rows);
    if (const QString reason = writeCsv(record, path, window.progress()); reason.isEmpty())
        tellSaved(&surface, path);
    else if (!window.cancelled())
        tellFailure(path, reason);
}

void addPictureActions(DrawingSurface &surface, bool withPoints)
{
    holderFor(surface).subject
        = withPoints ? QStringLiteral("curva") : QStringLiteral("cerchio di prova");
    QList<QAction *> menuActions;
    menuActions << addAction(surface, QStringLiteral("Salva immagine…"),
                             QKeySequence(Qt::CTRL | Qt::Key_S), &savePicture);
    menuActions << addAction(surface, QStringLiteral("Copia immagine"),
                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), &copyPicture);
    menuActions << addAction(surface, QStringLiteral("Stampa…"), QKeySequence(Qt::CTRL | Qt::Key_P),
                             &printPicture);
    if (withPoints)
        menuActions << addAction(surface, QStringLiteral("Esporta punti…"),
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), &exportPoints);
    auto *white = new QAction(QStringLiteral("Immagine su sfondo bianco"), &surface);
    white->setCheckable(true);
    QObject::connect(white, &QAction::toggled, &surface, [](bool on) { chooseOnWhite(on); });
    // The About box, in the menu only (no shortcut), last.
    auto *aboutAction = new QAction(about::title(), &surface);
    QObject::connect(aboutAction, &QAction::triggered, &surface,
                     [&surface] { about::show(surface.window()); });

    const auto showMenu = [&surface, menuActions, white, aboutAction](const QPoint &at) {
        white->setChecked(onWhiteChosen());
        QMenu menu(&surface);
        menu.setObjectName(QStringLiteral("PictureMenu"));
        menu.addActions(menuActions);
        // Items other parts of the program put on the drawing's menu.
        for (QAction *action : holderFor(surface).menuItems) {
            if (action)
                menu.addAction(action);
        }
        if (const PictureExtras *extras = extrasOf(surface); extras && extras->menu) {
            menu.addSeparator();
            extras->menu(menu);
        }
        menu.addSeparator();
        menu.addAction(white);
        menu.addSeparator();
        menu.addAction(aboutAction);
        menu.exec(surface.mapToGlobal(at));
    };
    surface.setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(&surface, &QWidget::customContextMenuRequested, &surface,
                     [&surface, showMenu](const QPoint &at) {
                         // Controls keep their own menus, or none.
                         if (surface.childAt(at))
                             return;
                         showMenu(at);
                     });
    // From the keyboard: the menu opens over the middle of the drawing, unless the focus is in
    // a field, which keeps its own menu (cut, copy, paste) on these keys.
    auto *keys = new QAction(QStringLiteral("Menu del disegno"), &surface);
    keys->setShortcuts({QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)});
    keys->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(keys, &QAction::triggered, &surface, [&surface, showMenu] {
        auto *field = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        if (field && surface.isAncestorOf(field)) {
            const QPoint at = field->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
            QContextMenuEvent event(QContextMenuEvent::Keyboard, at, field->mapToGlobal(at));
            QCoreApplication::sendEvent(field, &event);
            return;
        }
        showMenu(surface.rect().center());
    });
    surface.addAction(keys);
}

} // namespace quorvel::picture
