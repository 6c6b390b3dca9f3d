// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DocumentView.h"

#include <QPaintEvent>
#include <QPainter>

namespace quorvel::intro {

DocumentView::DocumentView(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Documento"));
    setAccessibleDescription(m_layout.readingText());
}

QTransform DocumentView::pageToWidget() const
{
    return QTransform::fromScale(logicalDpiX() / kTwipsPerInch, logicalDpiY() / kTwipsPerInch);
}

void DocumentView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);

    painter.save();
    painter.setTransform(pageToWidget());
    painter.fillRect(QRectF(QPointF(0, 0), DocumentLayout::pageSize()), Qt::white);
    painter.setPen(Qt::black);
    for (const DocumentLayout::Block &block : m_layout.blocks()) {
        for (const PlacedText &text : block.texts) {
            painter.setFont(text.font);
            painter.drawText(text.origin, text.text);
        }
        for (const DocumentLayout::PlacedFormula &formula : block.formulas)
            painter.fillPath(formula.brace(), Qt::black);
    }
    painter.restore();

    // A single line frames the area; the focus shows as a dotted line just inside it.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    // (The style's own focus frame would tint the whole page.)
    if (hasFocus()) {
        QPen dotted(palette().color(QPalette::WindowText), 1, Qt::DotLine);
        dotted.setCosmetic(true);
        painter.setPen(dotted);
        painter.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

} // namespace quorvel::intro
