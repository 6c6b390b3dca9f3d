#pragma once

class QApplication;

namespace quorvel {

class FormRegistry;

// Application-wide set-up done once at start: the fonts the windows were designed with, mapped
// onto metric-compatible ones, and the dialog font.
void setUpApplication(QApplication &app);

// Teaches the registry how to create each of the program's windows.
void registerForms(FormRegistry &registry);

} // namespace quorvel
