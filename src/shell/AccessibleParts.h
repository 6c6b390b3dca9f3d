// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>

class QMessageBox;
class QTextEdit;

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
// (one per line of `text`) and characters, with a reading position of its own, its caret. While
// the widget has the focus the keys move the caret as in any text (arrows, Ctrl with the arrows
// by word, Home and End, Ctrl+Home and Ctrl+End), and each move is reported, so that a screen
// reader reads the line, word or character reached. Nothing changes on screen.
class TextReading : public QObject
{
    Q_OBJECT
public:
    TextReading(QWidget *owner, const QString &text);
    QString text() const { return m_text; }
    int caret() const { return m_caret; }
    void setCaret(int offset) { m_caret = offset; }
    // The caret after the key `key` with `modifiers`; -1: the key does not move it.
    int caretAfterKey(int key, Qt::KeyboardModifiers modifiers) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

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

// What a screen reader must say at once, whatever has the focus: the outcome of a run, the start
// of a long computation, a saved file. It is a notification of the window that shows it; its
// appearing is what a screen reader speaks (Orca reads a notification when it is shown, while it
// ignores changes on objects that do not have the focus). A screen reader may ask for the text
// some time after the notification appeared: each announcement keeps its text, and a window
// has a few of them, used in turn, so that the next message does not change one not yet read.
class Announcement : public QObject
{
    Q_OBJECT
public:
    explicit Announcement(QWidget *window);
    QWidget *owner() const { return m_owner; }
    QString text() const { return m_text; }
    // Which announcement of the window spoke last: the highest serial.
    quint64 serial() const { return m_serial; }
    void announce(const QString &text);
    // Whether assistive technology has asked for the text since it was last announced.
    bool isRead() const { return m_read; }
    void markRead() const { m_read = true; }
    // Milliseconds since the text was last announced.
    qint64 age() const { return m_made.elapsed(); }

private:
    QPointer<QWidget> m_owner;
    QString m_text;
    quint64 m_serial = 0;
    QElapsedTimer m_made;
    mutable bool m_read = false;
};

// Says `text` through the announcement of the window that holds `widget` (made on first use).
// Nothing happens without a widget, with an empty text, or in a window that has been closed or
// hidden (its announcement could not be presented). When the program ends right after an
// announcement, the process stays a few hundred milliseconds more, windows gone, while
// assistive technology is active, so that a screen reader can still present it.
void announce(QWidget *widget, const QString &text);

// Answers assistive technology (no user input) until the latest announcement is a few hundred
// milliseconds old, sooner when nobody asked for its text: for the moment before the program
// ends, when the windows are gone. Returns at once when no assistive technology is active.
void letAnnouncementBeRead();

// The latest text announced in the window that holds `widget` (empty if none).
QString lastAnnouncement(const QWidget *widget);

// A text field that a screen reader hears once and whole when the focus enters it: the selection
// of its whole text on entering and its clearing on leaving are not reported as selection
// changes, and its text is one run without attributes.
void speakFieldOnce(QWidget *field);

// A label that tells the progress of the work going on, presented as the window's status bar
// (a screen reader's command for the status bar reads it). Its changes are not reported: it is
// read when asked for.
void exposeAsStatus(QWidget *label);

// Sets the accessible description of `widget` without reporting the change: a screen reader
// reads it when asked about the widget (its "where am I"), but does not speak it as it changes.
void describeQuietly(QWidget *widget, const QString &text);

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

// A read-only text that the user reads with its own caret, presented as a text whose words
// come with the blanks after them and whose lines are those on screen.
void exposeAsReading(QTextEdit *text);

// A message box as an alert in the modal state, without its empty icon and with its buttons'
// group named.
// `concerning`, when not empty, names the field the message is about: the box's description.
void exposeMessageBox(QMessageBox &box, const QString &concerning = {});

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
