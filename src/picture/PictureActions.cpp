#include "PictureActions.h"

#include "PictureFiles.h"

#include "shell/MessageBox.h"
#include "surface/DrawingSurface.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>

#include <utility>

namespace quorvel::picture {

namespace {

QString &folderKept()
{
    static QString folder;
    return folder;
}

PathAsker &pathAsker()
{
    static PathAsker asker;
    return asker;
}

PrintAsker &printAsker()
{
    static PrintAsker asker;
    return asker;
}

// Qt's own save dialog (not the desktop's, so that it behaves the same everywhere), in Italian
// through Qt's translations; it asks before overwriting.
QString askWithDialog(QWidget *parent, const SaveRequest &request)
{
    QFileDialog dialog(parent, request.title, request.folder);
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.filters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString askPath(QWidget *parent, const SaveRequest &request)
{
    QString path = pathAsker() ? pathAsker()(parent, request) : askWithDialog(parent, request);
    if (path.isEmpty())
        return {};
    path = withDefaultSuffix(QFileInfo(path).absoluteFilePath(), request.defaultSuffix);
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (folder.isDir())
        folderKept() = folder.absoluteFilePath();
    return path;
}

void tellFailure(const QString &path, const QString &reason)
{
    showMessage(QStringLiteral("Impossibile scrivere il file %1: %2.")
                    .arg(QDir::toNativeSeparators(path), reason));
}

Picture pictureOf(const DrawingSurface &surface)
{
    const raster::RetainedDrawing &drawing = surface.raster();
    return {drawing.drawing(), &drawing.record(), surface.size(), drawing.backgroundRgb()};
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

QString lastFolder()
{
    return folderKept().isEmpty() ? QDir::homePath() : folderKept();
}

PathAsker setPathAsker(PathAsker asker)
{
    return std::exchange(pathAsker(), std::move(asker));
}

PrintAsker setPrintAsker(PrintAsker asker)
{
    return std::exchange(printAsker(), std::move(asker));
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
         QStringLiteral("png")});
    if (path.isEmpty())
        return;
    QString reason;
    switch (formatOf(path)) {
    case Format::Png:
        reason = writePng(surface.raster().drawing(), path);
        break;
    case Format::Svg:
        reason = writeSvg(pictureOf(surface), path);
        break;
    case Format::Pdf:
        reason = writePdf(pictureOf(surface), path);
        break;
    case Format::Unknown:
        reason = QStringLiteral("l'estensione deve essere .png, .svg o .pdf");
        break;
    }
    if (!reason.isEmpty())
        tellFailure(path, reason);
}

void copyPicture(DrawingSurface &surface)
{
    QGuiApplication::clipboard()->setImage(surface.raster().drawing());
}

void printPicture(DrawingSurface &surface)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(surface.windowTitle());
    const bool accepted = printAsker() ? printAsker()(&surface, printer) : [&] {
        QPrintDialog dialog(&printer, &surface);
        dialog.setObjectName(QStringLiteral("PrintDialog"));
        return dialog.exec() == QDialog::Accepted;
    }();
    if (!accepted)
        return;
    if (!picture::printPicture(printer, pictureOf(surface)))
        showMessage(QStringLiteral("Impossibile stampare: la stampante non è disponibile."));
}

void exportPoints(DrawingSurface &surface)
{
    const QString path = askPath(&surface,
                                 {QStringLiteral("Esporta punti"),
                                  lastFolder(),
                                  {QStringLiteral("Tabella CSV (*.csv)")},
                                  QStringLiteral("csv")});
    if (path.isEmpty())
        return;
    if (const QString reason = writeCsv(surface.raster().record(), path); !reason.isEmpty())
        tellFailure(path, reason);
}

void addPictureActions(DrawingSurface &surface, bool withPoints)
{
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
    surface.setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(&surface, &QWidget::customContextMenuRequested, &surface,
                     [&surface, menuActions](const QPoint &at) {
                         // Controls keep their own menus, or none.
                         if (surface.childAt(at))
                             return;
                         QMenu menu(&surface);
                         menu.setObjectName(QStringLiteral("PictureMenu"));
                         menu.addActions(menuActions);
                         menu.exec(surface.mapToGlobal(at));
                     });
}

} // namespace quorvel::picture
