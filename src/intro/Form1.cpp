// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Form1.h"

#include "DocumentAccessible.h"
#include "DocumentView.h"

#include "shell/Controls.h"
#include "shell/FormNames.h"
#include "shell/FormRegistry.h"
#include "shell/Twips.h"

namespace quorvel::intro {

Form1::Form1(FormRegistry &registry)
    : Form(registry, QString::fromUtf16(kIntroductionForm))
{
}

void Form1::Command1_Click()
{
    registry().show(QString::fromUtf16(kCalibrationForm));
}

QWidget *Form1::createWindow()
{
    auto *w = new QWidget;
    resizeInTwips(w, 11670, 7305);

    // Created in focus order: the document area, then the button.
    auto *ole1 = new intro::DocumentView(w);
    ole1->setObjectName(QStringLiteral("OLE1"));
    placeInTwips(ole1, 570, 330, 10815, 5895);

    auto *command1 = new CommandButton(QStringLiteral("AVANTI"), w);
    command1->setObjectName(QStringLiteral("Command1"));
    placeInTwips(command1, 4440, 6240, 2895, 855);
    connect(command1, &QPushButton::clicked, this, &Form1::Command1_Click);

    ole1->setFocus();
    intro::exposeIntroductionWindow(w, ole1);
    return w;
}

} // namespace quorvel::intro
