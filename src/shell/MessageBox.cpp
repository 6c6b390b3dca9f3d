// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "MessageBox.h"

#include "AccessibleParts.h"
#include "FocusReturn.h"

#include <QApplication>
#include <QGridLayout>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

#include <algorithm>
#include <utility>

namespace quorvel {

namespace {
MessageSink &sink()
{
    static MessageSink s;
    return s;
}
} // namespace

int messageBoxMinimumWidth(const QFont &font)
{
    // A window manager draws the title in a bold font, often larger than the dialog font, with
    // up to four buttons (icon, minimise, maximise, close) of about 22 pixels beside it.
    QFont title = font;
    title.setBold(true);
    title.setPointSizeF(std::max(title.pointSizeF(), 10.0) * 1.25);
    const int titleWidth
        = QFontMetrics(title).horizontalAdvance(QString::fromUtf16(kApplicationTitle));
    constexpr int kTitleBarButtons = 4 * 22 + 24;
    return titleWidth + kTitleBarButtons;
}

MessageSink setMessageSink(MessageSink s)
{
    return std::exchange(sink(), std::move(s));
}

void showMessage(const QString &text, const QString &concerning)
{
    if (sink()) {
        sink()(text);
        return;
    }
    // Taken before the box exists: the window behind it gets the focus back when it closes.
    const FocusReturn focusReturn;
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf16(kApplicationTitle), text,
                    QMessageBox::Ok, focusReturn.opener());
    box.setWindowModality(Qt::ApplicationModal);
    box.setDefaultButton(QMessageBox::Ok);
    // A prompt and a plain OK: some styles would give the button a pictogram.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.setEscapeButton(QMessageBox::Ok);
    // The box sizes itself to its text: a short prompt would leave too little room for its
    // title. An empty row across the box's grid keeps it at least wide enough for the title.
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout())) {
        grid->addItem(new QSpacerItem(messageBoxMinimumWidth(box.font()), 0, QSizePolicy::Minimum,
                                      QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    exposeMessageBox(box, concerning);
    box.exec();
}

} // namespace quorvel
