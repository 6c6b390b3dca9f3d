// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>

class QMessageBox;

// What assistive technology (a screen reader on the accessibility bus) is told about the
// program's windows, beyond what the controls say of themselves. Everything here decorates a
// window that is already built: it finds the controls by name, sets accessible names,
// descriptions and relations, and gives a few objects an accessible interface of their own.
// Nothing changes on screen.
namespace quorvel {

// A part of a window that has no widget of its own but that a screen reader should present as a
// graphic: the drawing of the curve window, the test figure of the calibration window. It lives
// as a child object of the window; its description is read when asked for, so it is always that
// of the picture on screen.
class Graphic : public QObject
{
    Q_OBJECT
public:
    // `area` is in the owner's coordinates; an empty function means the whole owner.
    Graphic(QWidget *owner, const QString &name, std::function<QString()> describe,
            std::function<QRect()> area = {});

    QWidget *owner() const { return m_owner; }
    QString name() const { return objectName(); }
    QString description() const { return m_describe ? m_describe() : m_description; }
    QRect area() const;

    // A fixed description in place of the function; announced as a change.
    void setDescription(const QString &text);
    // Tells assistive technology that the description changed, so that it is read out.
    void announce();

private:
    QPointer<QWidget> m_owner;
    std::function<QString()> m_describe;
    std::function<QRect()> m_area;
    QString m_description;
};

// A fixed text read through the Text interface of a widget that draws it itself: words, lines
// (one per line of `text`) and characters, with a reading position of its own.
class TextReading : public QObject
{
    Q_OBJECT
public:
    TextReading(QWidget *owner, const QString &text);
    QString text() const { return m_text; }
    int caret() const { return m_caret; }
    void setCaret(int offset) { m_caret = offset; }

private:
    QString m_text;
    int m_caret = 0;
};

// A value read by a scroll bar in place of its position: the factor the position stands for.
// `fromPosition` maps a position to the value; the value set from outside goes to the nearest
// position within the bar's range.
class ScrollValue : public QObject
{
    Q_OBJECT
public:
    ScrollValue(QWidget *scrollBar, std::function<double()> current,
                std::function<double(int)> fromPosition, std::function<QString(double)> text);
    double current() const { return m_current(); }
    double fromPosition(int position) const { return m_fromPosition(position); }
    QString text(double value) const { return m_text(value); }

private:
    std::function<double()> m_current;
    std::function<double(int)> m_fromPosition;
    std::function<QString(double)> m_text;
};

// Installs the program's accessible interfaces; safe to call more than once.
void installFactory();

// A form window as a window (an AT-SPI "frame") with its own name and description; the title bar
// keeps the window's title.
void exposeWindow(QWidget *window, const QString &name, const QString &description = {});

// A widget presented as static text named by `text` (e.g. a button that only carries an
// instruction); it keeps its focus and its looks.
void exposeAsText(QWidget *widget, const QString &text);

// A scroll bar whose accessible value is the one `current` gives, `fromPosition` mapping each
// position to its value, `text` writing a value as the program shows it.
ScrollValue *exposeScrollValue(QWidget *scrollBar, std::function<double()> current,
                               std::function<double(int)> fromPosition,
                               std::function<QString(double)> text);

// A widget that draws a document itself, presented as a document with the Text interface over
// `text`.
void exposeAsDocument(QWidget *widget, const QString &text, const QString &description);

// A message box as an alert in the modal state, without its empty icon and with its buttons'
// group named.
void exposeMessageBox(QMessageBox &box);

// Each word's range in `text` ([start, end), the word and the blanks after it), the line's and
// the sentence's, as assistive technology asks for them.
struct TextRange
{
    int start = 0;
    int end = 0;
};
TextRange wordAt(const QString &text, int offset);
TextRange lineAt(const QString &text, int offset);

} // namespace quorvel
