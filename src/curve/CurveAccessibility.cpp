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
    }
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
}

} // namespace quorvel::curve
