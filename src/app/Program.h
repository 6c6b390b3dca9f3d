// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class QApplication;
class QIcon;
class QCoreApplication;

namespace quorvel {

class FormRegistry;

// Application-wide set-up done once at start: the fonts the windows were designed with, mapped
// onto metric-compatible ones, the dialog font, Qt's own texts in Italian, the program's icon
// and the guide on F1.
void setUpApplication(QApplication &app);

// The program's icon (the one installed with its desktop entry), at every size it comes in.
QIcon applicationIcon();

// Makes Qt's own texts (a text field's context menu, the buttons of a message box) Italian
// whatever the machine's locale, from Debian's qt6-translations-l10n catalogue qtbase_it.qm in
// Qt's translations folder. Installing twice keeps one catalogue. False, and Qt's texts stay in
// English, when the catalogue is missing.
bool installItalianTranslations(QCoreApplication &app);

// Teaches the registry how to create each of the program's windows, and gives the drawing
// windows the picture's menu and shortcuts.
void registerForms(FormRegistry &registry);

// What the program does before its event loop: the application's set-up, its windows taught to
// the registry, and the first window shown.
void startProgram(QApplication &app, FormRegistry &registry);

} // namespace quorvel
