// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Program.h"

#include "shell/FormRegistry.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    quorvel::FormRegistry registry;
    quorvel::startProgram(app, registry);
    return QApplication::exec();
}
