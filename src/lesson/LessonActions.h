// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "LessonFile.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QWidget;

namespace quorvel {

class DrawingSurface;
namespace curve {
class Form4;
} // namespace curve

namespace lesson {

// The curve window's lesson as it stands: its fields, choice, calibration, colour counter and
// the runs since the drawing was last cleared.
Lesson lessonOf(const curve::Form4 &form);

// Opens `lesson` in the curve window: clears the drawing to its axes, draws each saved run anew
// from its fields, choice, colour and members (no message box; a stopped run stops where it
// stopped), then sets the fields and the choice, and with `withColour` the colour counter, as
// the file has them. Where the file's calibration differs from the window's, its field limits
// are used for the runs, so that each ends where it ended, and the returned note says so (else
// it is empty).
QString openLesson(curve::Form4 &form, const Lesson &lesson, bool withColour = true);

// The lesson in a lesson file or in a PNG or SVG picture that keeps one; nothing is changed.
ReadResult readLessonFile(const QString &path);

// Opens the file at `path` in the curve window: a box names the file and what is wrong with it
// (and nothing changes), or the lesson is opened and the file remembered among the recent ones.
void openFile(curve::Form4 &form, const QString &path);
// Asks for a name and saves the window's lesson there, whole or not at all.
void saveLesson(curve::Form4 &form);

// The last files opened or saved, newest first, at most kRecentCount, kept across starts.
inline constexpr int kRecentCount = 8;
QStringList recentFiles();
void rememberFile(const QString &path);

// A built-in parameter set: its name, a line that says what it shows, and the lesson that draws
// it.
struct Example
{
    QString name;
    QString description;
    Lesson lesson;
};
const std::vector<Example> &examples();

// Gives the curve window's drawing its lesson items ("Salva impostazioni…", "Apri…", the
// recent files, "Esempi", "Annulla ultima esecuzione", "Ripeti esecuzione annullata"), their
// window-wide shortcuts, the recipe that its PNG and SVG pictures keep, and opening files
// dropped on it.
void addLessonActions(curve::Form4 &form);
// Files dropped on `surface` (another drawing window) open in the curve window that
// `curveWindow` gives (null: none loaded, and the drop is refused).
void acceptDrops(QWidget &surface, std::function<curve::Form4 *()> curveWindow);

// A seam for tests: asks for a file to open (`save` false) or to save to; empty when cancelled.
// An empty function brings the real dialog back; the previous one is returned.
using FileAsker = std::function<QString(QWidget *parent, bool save)>;
FileAsker setFileAsker(FileAsker asker);

} // namespace lesson
} // namespace quorvel
