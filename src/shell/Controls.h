// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QString>

namespace quorvel {

// A push button as the program's windows use it: Enter or Space press it while it has the
// focus, yet it is never the window's default button and ignores Esc. Its caption wraps at word
// boundaries inside the button when it is wider than the button.
class CommandButton : public QPushButton
{
    Q_OBJECT
public:
    explicit CommandButton(const QString &caption, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A frame: a thin border with its caption set into the top edge, the line broken behind the
// caption. Controls inside are placed from the frame's outer top-left corner, caption included.
// Its hover text shows over the frame itself only, never over the controls inside it.
class Frame : public QGroupBox
{
    Q_OBJECT
public:
    explicit Frame(const QString &caption, QWidget *parent = nullptr);

    // Pixel row of the top border line (through the middle of the caption), and the area the
    // caption takes in it, in the frame's coordinates.
    int borderTop() const;
    QRect captionRect() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

// A text field whose whole text shows as long as it is no wider than `widest` (a sample of the
// longest text it is meant for, such as "-32768" for a 16-bit whole number): the internal
// margins are reduced and, where that is not enough, the characters are set narrower. Longer
// texts scroll as in any text field while it has the focus; without it the field shows the
// beginning of its text, since an end alone ("000001" of "0,000001") reads as another number.
class CompactTextBox : public QLineEdit
{
    Q_OBJECT
public:
    CompactTextBox(const QString &text, const QString &widest, QWidget *parent = nullptr);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void fitWidest();
    QString m_widest;
};

// A scroll bar that takes the focus with Tab or a click and shows that it has it: a line in the
// highlight colour around the bar. Its arrow keys move the thumb, Right and Down towards the
// maximum.
class FocusScrollBar : public QScrollBar
{
    Q_OBJECT
public:
    explicit FocusScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace quorvel
