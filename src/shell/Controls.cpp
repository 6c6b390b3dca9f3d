#include "Controls.h"

#include <QStyleOptionButton>
#include <QStylePainter>

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

} // namespace quorvel
