// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QPrinter;
class QWidget;

namespace quorvel {

class DrawingSurface;

namespace picture {

// Gives a drawing window the picture's context menu (a right click on the drawing, outside the
// controls) and window-wide shortcuts, whatever control has the focus: "Salva immagine…"
// (Ctrl+S), "Copia immagine" (Ctrl+Shift+C), "Stampa…" (Ctrl+P) and, with `withPoints`,
// "Esporta punti…" (Ctrl+Shift+E); the menu ends with "Informazioni su QUORVEL". None of them changes the drawing or runs an activation
// handler. `surface` is the window itself.
void addPictureActions(DrawingSurface &surface, bool withPoints);

// The actions, as the menu and the shortcuts run them.
void savePicture(DrawingSurface &surface);
void copyPicture(DrawingSurface &surface);
void printPicture(DrawingSurface &surface);
void exportPoints(DrawingSurface &surface);

// The folder offered by the next file dialog: the folder of the last file chosen while the
// program runs, the home folder at first.
QString lastFolder();

// Seams for tests. A path asker shows a save dialog and returns the chosen path, empty when
// cancelled; a print asker shows the print dialog for `printer` and says whether to print.
// Passing an empty function brings the real dialog back; the previous one is returned.
struct SaveRequest
{
    QString title;
    QString folder;
    QStringList filters;
    QString defaultSuffix;
};
using PathAsker = std::function<QString(QWidget *parent, const SaveRequest &request)>;
PathAsker setPathAsker(PathAsker asker);
using PrintAsker = std::function<bool(QWidget *parent, QPrinter &printer)>;
PrintAsker setPrintAsker(PrintAsker asker);

} // namespace picture
} // namespace quorvel
