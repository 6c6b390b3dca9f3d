// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CurveAccessibility.h"

#include "shell/AccessibleParts.h"

namespace quorvel::curve {

using namespace model;

namespace {

const QString kDrawing = QStringLiteral("Disegno della curva");

// The hover text that explains a control: its own, its caption's, or that of the frame around.
QString explanation(const QWidget *caption)
{
    for (const QWidget *w = caption; w && !w->isWindow(); w = w->parentWidget()) {
        if (!w->toolTip().isEmpty())
            return w->toolTip().simplified();
    }
    return {};
}

} // namespace

void exposeCurveWindow(QWidget *window, const std::vector<FieldCaption> &fields,
                       std::initializer_list<QWidget *> options)
{
    exposeWindow(window, QStringLiteral("QUORVEL: curva per punti"),
                 QStringLiteral("Traccia una curva per punti con i parametri dei campi."));
    for (const FieldCaption &c : fields) {
        if (!c.field || !c.caption)
            continue;
        c.caption->setBuddy(c.field);
        const QString text = explanation(c.caption);
        if (!text.isEmpty())
            c.field->setAccessibleDescription(text);
        speakFieldOnce(c.field);
    }
    // The note under the ranges is the description of their group.
    auto *ranges = window->findChild<QWidget *>(QStringLiteral("Frame3"));
    const auto *note = window->findChild<QLabel *>(QStringLiteral("Label7"));
    if (ranges && note) {
        QString text = note->text().simplified();
        if (!text.endsWith(QLatin1Char('.')))
            text += QLatin1Char('.');
        ranges->setAccessibleDescription(
            QStringLiteral("%1 %2").arg(text, explanation(ranges)).trimmed());
    }
    // The window opens with the focus on ESCI: its name warns that Invio there ends the program.
    if (auto *exit = window->findChild<QWidget *>(QStringLiteral("Command3")))
        exit->setAccessibleName(QStringLiteral("ESCI: Invio termina il programma"));
    for (QWidget *option : options) {
        if (option)
            option->setAccessibleDescription(explanation(option));
    }
    auto *drawing = new Graphic(window, kDrawing, {});
    drawing->setDescription(QStringLiteral("Gli assi: ESEGUI vi disegna la curva."));
}

void publishRun(QWidget *window, const RunSummary &run)
{
    // The window's one graphic: its drawing.
    if (auto *g
        = window ? window->findChild<Graphic *>(QString(), Qt::FindDirectChildrenOnly) : nullptr)
        g->setDescription(describeRun(run));
    // Said at once, wherever the focus is.
    announce(window, describeRun(run));
}

} // namespace quorvel::curve
