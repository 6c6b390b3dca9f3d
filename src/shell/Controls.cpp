// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Controls.h"

#include <QFocusEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace quorvel {

CommandButton::CommandButton(const QString &caption, QWidget *parent)
    : QPushButton(caption, parent)
{
    // Outside a dialog, autoDefault only makes Enter press the focused button.
    setAutoDefault(true);
    setDefault(false);
}

void CommandButton::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    p.drawControl(QStyle::CE_PushButton, option);
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const int shift
        = isDown() ? style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this) : 0;
    p.drawItemText(area.translated(shift, shift), Qt::AlignCenter | Qt::TextWordWrap, palette(),
                   isEnabled(), caption, QPalette::ButtonText);
}

namespace {
// Pixels from the frame's left edge to the caption's gap, and free pixels each side of the text.
constexpr int kCaptionIndent = 6;
constexpr int kCaptionPadding = 2;
// QLineEdit's own free pixels each side of the text, inside its text margins.
constexpr int kLineEditMargin = 2;
} // namespace

Frame::Frame(const QString &caption, QWidget *parent)
    : QGroupBox(caption, parent)
{
}

int Frame::borderTop() const
{
    return fontMetrics().height() / 2;
}

QRect Frame::captionRect() const
{
    if (title().isEmpty())
        return {};
    const int textWidth = fontMetrics().horizontalAdvance(title());
    return {kCaptionIndent, 0, textWidth + 2 * kCaptionPadding, fontMetrics().height()};
}

bool Frame::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        // A hover request a control inside did not answer comes on to its frame: the frame's
        // own text belongs to the frame's border and caption, not to what it holds.
        const auto *help = static_cast<QHelpEvent *>(event);
        if (childAt(help->pos()) != nullptr) {
            QToolTip::hideText();
            event->accept();
            return true;
        }
    }
    return QGroupBox::event(event);
}

void Frame::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette &pal = palette();
    // An etched line: a dark line with a light one just inside it.
    const QRect border = rect().adjusted(0, borderTop(), -2, -2);
    p.setPen(pal.color(QPalette::Dark));
    p.drawRect(border);
    p.setPen(pal.color(QPalette::Light));
    p.drawRect(border.translated(1, 1));
    const QRect caption = captionRect();
    if (caption.isEmpty())
        return;
    p.fillRect(caption, pal.brush(backgroundRole()));
    p.setPen(pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(caption.adjusted(kCaptionPadding, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
               title());
}

FocusScrollBar::FocusScrollBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setInvertedControls(false);
}

void FocusScrollBar::paintEvent(QPaintEvent *event)
{
    QScrollBar::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter p(this);
    QPen line(palette().color(QPalette::Highlight), 2);
    line.setJoinStyle(Qt::MiterJoin);
    p.setPen(line);
    p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

CompactTextBox::CompactTextBox(const QString &text, const QString &widest, QWidget *parent)
    : QLineEdit(text, parent)
    , m_widest(widest)
{
    // One of the field's own 2 free pixels each side is taken back; the frame stays.
    setTextMargins(-1, 0, -1, 0);
    fitWidest();
    // A text set by the program while the field is not being edited.
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!hasFocus())
            setCursorPosition(0);
    });
}

void CompactTextBox::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // A context menu of the field takes the focus for a moment: the field stays as it is.
    if (event->reason() != Qt::PopupFocusReason)
        setCursorPosition(0);
}

void CompactTextBox::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    fitWidest();
}

void CompactTextBox::fitWidest()
{
    // The text area as QLineEdit lays it out: the style's contents rectangle, less the text
    // margins, less its own fixed margin of 2 pixels each side; one pixel for the cursor.
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, this)
                               .marginsRemoved(textMargins());
    const int room = contents.width() - 2 * kLineEditMargin - 1;
    QFont f = font();
    f.setStretch(QFont::Unstretched);
    const int needed = QFontMetrics(f).horizontalAdvance(m_widest);
    if (needed > room && room > 0) {
        // Narrower characters, in whole percent, as far as needed and no further than 60 %.
        int stretch = std::max(60, static_cast<int>(std::floor(100.0 * room / needed)));
        f.setStretch(stretch);
        while (stretch > 60 && QFontMetrics(f).horizontalAdvance(m_widest) > room)
            f.setStretch(--stretch);
    }
    if (f != font())
        setFont(f);
}

} // namespace quorvel
