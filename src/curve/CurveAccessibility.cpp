// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "CurveAccessibility.h"

#include "shell/AccessibleParts.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace quorvel::curve {

namespace {

const QString kDrawing = QStringLiteral("Disegno della curva");

// Each field with the label that names it on screen.
struct Caption
{
    const char *field;
    const char *label;
};
constexpr Caption kCaptions[] = {
    {"Text10", "Label11"}, {"Text11", "Label12"}, {"Text12", "Label10"}, {"Text3", "Label3"},
    {"Text4", "Label4"},   {"Text5", "Label5"},   {"Text6", "Label6"},   {"Text7", "Label8"},
    {"Text8", "Label9"},   {"Text1", "Label1"},   {"Text2", "Label2"},
};

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

void exposeCurveWindow(QWidget *window)
{
    a11y::exposeWindow(window, QStringLiteral("QUORVEL: curva per punti"),
                       QStringLiteral("Traccia una curva per punti con i parametri dei campi."));
    for (const Caption &c : kCaptions) {
        auto *field = window->findChild<QLineEdit *>(QLatin1String(c.field));
        auto *label = window->findChild<QLabel *>(QLatin1String(c.label));
        if (!field || !label)
            continue;
        label->setBuddy(field);
        const QString text = explanation(label);
        if (!text.isEmpty())
            field->setAccessibleDescription(text);
    }
    for (const char *option : {"Option1", "Option2"}) {
        if (auto *w = window->findChild<QWidget *>(QLatin1String(option)))
            w->setAccessibleDescription(explanation(w));
    }
    auto *drawing = new a11y::Graphic(window, kDrawing, {});
    drawing->setDescription(QStringLiteral("Gli assi: ESEGUI vi disegna la curva."));
}

void publishRun(QWidget *window, const RunSummary &run)
{
    if (a11y::Graphic *g = a11y::findGraphic(window, kDrawing))
        g->setDescription(describeRun(run));
}

} // namespace quorvel::curve
