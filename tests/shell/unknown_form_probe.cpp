// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Asks the window registry for a window that was never registered, as a mistake in the program
// would. The process must stop there with a message naming the window, in every build.
#include "shell/FormRegistry.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    quorvel::FormRegistry registry;
    registry.form(QStringLiteral("Form3"));
    std::printf("form returned\n");
    return 0;
}
