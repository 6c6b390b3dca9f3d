// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>

class QAction;
class QMenu;
class QPrinter;
class QWidget;

namespace quorvel {

class DrawingSurface;
struct SaveRequest;

namespace picture {

// Gives a drawing window the picture's context menu (a right click on the drawing, outside the
// controls, or the Menu key or Maiusc+F10 anywhere in the window but in a field, which keeps its
// own menu) and window-wide shortcuts, whatever control has the focus: "Salva immagine…"
// (Ctrl+S), "Copia immagine" (Ctrl+Shift+C), "Stampa…" (Ctrl+P), with `withPoints` "Esporta
// punti…" (Ctrl+Shift+E), the choice "Immagine su sfondo bianco" for what is saved, copied and
// printed, and last "Informazioni su QUORVEL". None of them changes the drawing or runs an
// activation handler. `surface` is the window itself; the curve window (`withPoints`) holds
// "curva", the other "cerchio di prova", which names files and print jobs. A saving, printing or
// export that lasts more than half a second shows its progress with "Annulla", which leaves no
// file.
void addPictureActions(DrawingSurface &surface, bool withPoints);

// What a window adds to its drawing's menu and pictures: `menu` adds items to the menu being
// opened, after the picture's own; `recipe` gives how the drawing was made, which PNG and SVG
// pictures keep. Either may be empty.
struct PictureExtras
{
    std::function<void(QMenu &menu)> menu;
    std::function<QByteArray()> recipe;
};
void setPictureExtras(DrawingSurface &surface, PictureExtras extras);
// Puts `action` (owned by the caller, usually the surface) on the drawing's menu, after the
// picture's own items, and makes its shortcut work window-wide.
void addToDrawingMenu(DrawingSurface &surface, QAction *action);

// The actions, as the menu and the shortcuts run them.
void savePicture(DrawingSurface &surface);
void copyPicture(DrawingSurface &surface);
void printPicture(DrawingSurface &surface);
void exportPoints(DrawingSurface &surface);

// Whether pictures go on white instead of the window's background (bright white dots then get
// a grey rim); the menu's choice, kept while the program runs.
bool onWhiteChosen();
void chooseOnWhite(bool white);

// Whether saved (PNG, SVG) and printed pictures of the curve window carry a legend of its runs;
// chosen in the save and print dialogs, off at start, kept while the program runs.
bool legendChosen();
void chooseLegend(bool legend);

// The folder offered by the next file dialog: the folder of the last file chosen while the
// program runs, the home folder at first.
QString lastFolder();

// The save dialog (the program's path asker) for `request`: the chosen path, made absolute,
// with `request.defaultSuffix` added when its name has no extension; its folder is offered
// next time (lastFolder). Empty when cancelled.
QString askPath(QWidget *parent, const SaveRequest &request);
// What the program says once a file is written whole: a screen reader hears "Salvato <name>".
void tellSaved(QWidget *window, const QString &path);
// The box that says why a file could not be written (a reason from the writers).
void tellFailure(const QString &path, const QString &reason);

// Tables of points with more rows than this are written only after asking.
inline constexpr std::size_t kRowsWithoutAsking = 1000000;

} // namespace picture
} // namespace quorvel
