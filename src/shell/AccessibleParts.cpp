// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AccessibleParts.h"

#include <QAbstractSlider>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>

namespace quorvel {

namespace {

// Which interface a widget gets; set by the functions below before the window is shown.
constexpr char kKindProperty[] = "quorvelAccessibleKind";
const QString kWindowKind = QStringLiteral("window");
const QString kTextKind = QStringLiteral("text");
const QString kDocumentKind = QStringLiteral("document");
const QString kScrollKind = QStringLiteral("scroll");
const QString kAlertKind = QStringLiteral("alert");
const QString kStatusKind = QStringLiteral("status");
const QString kFieldKind = QStringLiteral("field");
const QString kReadingKind = QStringLiteral("reading");
// The message box's field, for its description.
constexpr char kConcerningProperty[] = "quorvelConcerning";
// Set while a field takes or leaves the focus.
constexpr char kEnteringProperty[] = "quorvelEntering";
// Set on a widget whose changes are never reported (read when asked for).
constexpr char kSilentProperty[] = "quorvelSilent";
// Set while a widget's description changes without the change being reported.
constexpr char kQuietProperty[] = "quorvelQuiet";

QString kindOf(const QObject *object)
{
    return object->property(kKindProperty).toString();
}

// Drops the interface made before the widget was decorated (Qt makes one for the first event
// about a widget, e.g. when it is named), so that the next query builds the decorated one.
void setKind(QWidget *widget, const QString &kind)
{
    installFactory();
    widget->setProperty(kKindProperty, kind);
    if (QAccessibleInterface *old = QAccessible::queryAccessibleInterface(widget))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(old));
}

QRect globalRect(const QWidget *widget, const QRect &local)
{
    return {widget->mapToGlobal(local.topLeft()), local.size()};
}

// The parts of a window that have no widget: its announcement, then its graphics.
std::vector<QObject *> graphicsOf(const QWidget *owner)
{
    std::vector<QObject *> parts;
    for (Announcement *a : owner->findChildren<Announcement *>(Qt::FindDirectChildrenOnly))
        parts.push_back(a);
    for (Graphic *g : owner->findChildren<Graphic *>(Qt::FindDirectChildrenOnly))
        parts.push_back(g);
    return parts;
}

// A form window: its controls, then the graphics that stand for parts of its drawing.
class WindowInterface : public QAccessibleWidget
{
public:
    explicit WindowInterface(QWidget *w)
        : QAccessibleWidget(w, QAccessible::Window)
    {
    }

    int childCount() const override
    {
        return QAccessibleWidget::childCount() + static_cast<int>(graphicsOf(widget()).size());
    }

    QAccessibleInterface *child(int index) const override
    {
        const int controls = QAccessibleWidget::childCount();
        if (index < controls)
            return QAccessibleWidget::child(index);
        const std::vector<QObject *> graphics = graphicsOf(widget());
        const auto g = static_cast<std::size_t>(index - controls);
        return g < graphics.size() ? QAccessible::queryAccessibleInterface(graphics[g]) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const std::vector<QObject *> graphics = graphicsOf(widget());
        const auto found = std::find(graphics.begin(), graphics.end(), child->object());
        if (found != graphics.end())
            return QAccessibleWidget::childCount() + static_cast<int>(found - graphics.begin());
        return QAccessibleWidget::indexOfChild(child);
    }
};

// A part of a widget with no widget of its own (a drawn graphic, an announcement), presented
// as a read-only leaf of the widget that owns it.
template<typename Part>
class LeafInterface : public QAccessibleInterface
{
public:
    explicit LeafInterface(Part *part)
        : m_part(part)
    {
    }

    bool isValid() const override { return m_part && m_part->owner(); }
    QObject *object() const override { return m_part; }
    QWindow *window() const override
    {
        return isValid() ? m_part->owner()->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override
    {
        return isValid() ? QAccessible::queryAccessibleInterface(m_part->owner()) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    void setText(QAccessible::Text, const QString &) override { }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.invisible = !isValid() || !m_part->owner()->isVisible() || !shown();
        s.readOnly = true;
        return s;
    }

protected:
    Part *part() const { return m_part.data(); }
    // Whether the part shows, its owner being visible.
    virtual bool shown() const { return true; }

private:
    QPointer<Part> m_part;
};

class GraphicInterface : public LeafInterface<Graphic>
{
public:
    using LeafInterface::LeafInterface;

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        if (t == QAccessible::Name)
            return part()->name();
        if (t == QAccessible::Description)
            return part()->description();
        return {};
    }
    QRect rect() const override
    {
        return isValid() ? globalRect(part()->owner(), part()->area()) : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::Graphic; }
};

// The announcement: a notification named by what it says.
class AnnouncementInterface : public LeafInterface<Announcement>
{
public:
    using LeafInterface::LeafInterface;

    QString text(QAccessible::Text t) const override
    {
        if (!isValid() || t != QAccessible::Name)
            return {};
        part()->markRead();
        return part()->text();
    }
    // A line along the window's top edge: it stands for no part of the picture.
    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QWidget *owner = part()->owner();
        return globalRect(owner, QRect(0, 0, owner->width(), 1));
    }
    QAccessible::Role role() const override { return QAccessible::Notification; }

protected:
    bool shown() const override { return !part()->text().isEmpty(); }
};

// A label that tells the progress: the window's status bar, named by its text.
class StatusInterface : public QAccessibleWidget
{
public:
    explicit StatusInterface(QWidget *w)
        : QAccessibleWidget(w, QAccessible::StatusBar)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            if (const auto *label = qobject_cast<const QLabel *>(widget()))
                return label->text();
        }
        return QAccessibleWidget::text(t);
    }
};

// A one-line text field. Its text has no attributes, in one run from its first character to its
// last: a screen reader that reads a field run by run then reads it whole (Qt's own interface
// gives runs of no length, and Orca then leaves out the field's last character).
class FieldInterface : public QAccessibleWidget,
                       public QAccessibleTextInterface,
                       public QAccessibleEditableTextInterface
{
public:
    explicit FieldInterface(QLineEdit *field)
        : QAccessibleWidget(field, QAccessible::EditableText)
    {
    }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (t == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    using QAccessibleWidget::text;
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return field()->text();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = !field()->isReadOnly();
        s.readOnly = field()->isReadOnly();
        s.selectableText = true;
        return s;
    }

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex != 0 || !field()->hasSelectedText())
            return;
        *startOffset = field()->selectionStart();
        *endOffset = field()->selectionEnd();
    }
    int selectionCount() const override { return field()->hasSelectedText() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override
    {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            field()->deselect();
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex != 0)
            return;
        const int start = std::clamp(startOffset, 0, characterCount());
        const int end = std::clamp(endOffset, 0, characterCount());
        field()->setSelection(start, end - start);
    }
    int cursorPosition() const override { return field()->cursorPosition(); }
    void setCursorPosition(int position) override
    {
        field()->setCursorPosition(std::clamp(position, 0, characterCount()));
    }
    QString text(int startOffset, int endOffset) const override
    {
        const QString all = field()->text();
        const int length = static_cast<int>(all.size());
        const int start = std::clamp(startOffset, 0, length);
        const int end = endOffset < 0 ? length : std::clamp(endOffset, start, length);
        return all.mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(field()->text().size()); }
    QRect characterRect(int) const override { return globalRect(widget(), widget()->rect()); }
    int offsetAtPoint(const QPoint &point) const override
    {
        return field()->cursorPositionAt(widget()->mapFromGlobal(point));
    }
    void scrollToSubstring(int, int) override { }
    QString attributes(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

    void deleteText(int startOffset, int endOffset) override
    {
        replaceText(startOffset, endOffset, QString());
    }
    void insertText(int offset, const QString &text) override { replaceText(offset, offset, text); }
    void replaceText(int startOffset, int endOffset, const QString &text) override
    {
        if (field()->isReadOnly())
            return;
        QString all = field()->text();
        const int length = static_cast<int>(all.size());
        const int start = std::clamp(startOffset, 0, length);
        const int end = std::clamp(endOffset, start, length);
        field()->setText(all.replace(start, end - start, text));
    }

private:
    QLineEdit *field() const { return static_cast<QLineEdit *>(widget()); }
};

// Lets a field take and leave the focus without the selection of its text being reported.
class FieldEntry : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut)
            return false;
        watched->setProperty(kEnteringProperty, true);
        // QObject::event is public: the widget handles the event here, between the two marks.
        static_cast<QObject *>(watched)->event(event);
        watched->setProperty(kEnteringProperty, false);
        return true;
    }
};

QAccessible::UpdateHandler &previousHandler()
{
    static QAccessible::UpdateHandler handler = nullptr;
    return handler;
}

// A change of what an object says, as opposed to its appearing, going or taking the focus.
bool isChange(QAccessible::Event type)
{
    switch (type) {
    case QAccessible::NameChanged:
    case QAccessible::DescriptionChanged:
    case QAccessible::ValueChanged:
    case QAccessible::TextInserted:
    case QAccessible::TextRemoved:
    case QAccessible::TextUpdated:
        return true;
    default:
        return false;
    }
}

void filterUpdates(QAccessibleEvent *event)
{
    const QAccessible::Event type = event->type();
    const QObject *object = event->object();
    if ((type == QAccessible::TextSelectionChanged || type == QAccessible::TextCaretMoved) && object
        && object->property(kEnteringProperty).toBool())
        return;
    if (type == QAccessible::DescriptionChanged && object
        && object->property(kQuietProperty).toBool())
        return;
    if (isChange(type) && object && object->property(kSilentProperty).toBool())
        return;
    if (QAccessible::UpdateHandler previous = previousHandler()) {
        previous(event);
        return;
    }
    // The platform's own delivery, which runs when no handler is installed.
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(filterUpdates);
}

void installUpdateFilter()
{
    static const bool installed = [] {
        previousHandler() = QAccessible::installUpdateHandler(filterUpdates);
        return true;
    }();
    (void)installed;
}

TextRange sentenceAt(const QString &text, int offset)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Sentence, text);
    finder.setPosition(offset);
    TextRange r {offset, offset};
    if (!finder.isAtBoundary())
        r.start = static_cast<int>(std::max<qsizetype>(0, finder.toPreviousBoundary()));
    finder.setPosition(offset);
    const qsizetype next = finder.toNextBoundary();
    r.end = next < 0 ? static_cast<int>(text.size()) : static_cast<int>(next);
    return r;
}

TextRange rangeAt(const QString &text, int offset, QAccessible::TextBoundaryType type)
{
    const int length = static_cast<int>(text.size());
    offset = std::clamp(offset, 0, length);
    switch (type) {
    case QAccessible::CharBoundary:
        return {offset, std::min(offset + 1, length)};
    case QAccessible::WordBoundary:
        return wordAt(text, offset);
    case QAccessible::SentenceBoundary:
        return sentenceAt(text, offset);
    case QAccessible::ParagraphBoundary:
    case QAccessible::LineBoundary:
        return lineAt(text, offset);
    case QAccessible::NoBoundary:
        break;
    }
    return {0, length};
}

// The range before and the range after the one at `offset`, `at` giving the range at an offset
// of a text of `length` characters; empty at either end.
template<typename At>
TextRange rangeBefore(At at, int offset)
{
    const TextRange here = at(offset);
    return here.start > 0 ? at(here.start - 1) : TextRange {0, 0};
}

template<typename At>
TextRange rangeAfter(At at, int offset, int length)
{
    const TextRange here = at(offset);
    return here.end < length ? at(here.end) : TextRange {length, length};
}

// A read-only text seen through the Text interface: the text, its ranges (characters, words,
// lines...) around an offset, and pieces of it. Each kind says what its text is, how it is cut
// into ranges and where its caret stands.
class ReadOnlyTextInterface : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    ReadOnlyTextInterface(QWidget *w, QAccessible::Role role)
        : QAccessibleWidget(w, role)
    {
    }

    using QAccessibleWidget::text;

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(int startOffset, int endOffset) const override
    {
        const QString all = fullText();
        const int length = static_cast<int>(all.size());
        const int start = std::clamp(startOffset, 0, length);
        const int end = endOffset < 0 ? length : std::clamp(endOffset, start, length);
        return all.mid(start, end - start);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                             int *endOffset) const override
    {
        const auto at = [this, type](int o) { return rangeOf(o, type); };
        return give(rangeBefore(at, resolve(offset)), startOffset, endOffset);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                            int *endOffset) const override
    {
        const auto at = [this, type](int o) { return rangeOf(o, type); };
        return give(rangeAfter(at, resolve(offset), characterCount()), startOffset, endOffset);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int *startOffset,
                         int *endOffset) const override
    {
        return give(rangeOf(resolve(offset), type), startOffset, endOffset);
    }
    int characterCount() const override { return static_cast<int>(fullText().size()); }
    void scrollToSubstring(int, int) override { }
    QString attributes(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

protected:
    virtual QString fullText() const = 0;
    // The range of `type` that holds `offset`.
    virtual TextRange rangeOf(int offset, QAccessible::TextBoundaryType type) const
    {
        return rangeAt(fullText(), offset, type);
    }
    int clamped(int offset) const { return std::clamp(offset, 0, characterCount()); }
    // A negative offset stands for the caret.
    int resolve(int offset) const { return offset < 0 ? cursorPosition() : clamped(offset); }

private:
    QString give(TextRange r, int *startOffset, int *endOffset) const
    {
        *startOffset = r.start;
        *endOffset = r.end;
        return fullText().mid(r.start, r.end - r.start);
    }
};

// A widget that draws its document itself, read through the Text interface.
class DocumentInterface : public ReadOnlyTextInterface
{
public:
    explicit DocumentInterface(QWidget *w)
        : ReadOnlyTextInterface(w, QAccessible::Document)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        return s;
    }

    void selection(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override { }
    void removeSelection(int) override { }
    void setSelection(int, int, int) override { }
    int cursorPosition() const override { return reading() ? reading()->caret() : 0; }
    void setCursorPosition(int position) override
    {
        if (TextReading *r = reading()) {
            r->setCaret(std::clamp(position, 0, characterCount()));
            QAccessibleTextCursorEvent event(widget(), r->caret());
            QAccessible::updateAccessibility(&event);
        }
    }
    // The page is drawn, not laid out as characters: every character stands in the area.
    QRect characterRect(int) const override { return globalRect(widget(), widget()->rect()); }
    int offsetAtPoint(const QPoint &) const override { return -1; }

protected:
    QString fullText() const override { return reading() ? reading()->text() : QString(); }

private:
    TextReading *reading() const
    {
        return widget()->findChild<TextReading *>(QString(), Qt::FindDirectChildrenOnly);
    }
};

// A read-only rich text that the user reads with the widget's own caret (a QTextEdit): the Text
// interface over its document, lines as laid out on screen, words with the blanks after them
// (what a screen reader moving by word expects: Qt's own ranges leave the blanks out, and
// Orca then stays silent on the first Ctrl+Right after a line).
class ReadingInterface : public ReadOnlyTextInterface
{
public:
    explicit ReadingInterface(QTextEdit *w)
        : ReadOnlyTextInterface(w, QAccessible::EditableText)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.editable = false;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        const QTextCursor c = edit()->textCursor();
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && c.hasSelection()) {
            *startOffset = c.selectionStart();
            *endOffset = c.selectionEnd();
        }
    }
    int selectionCount() const override { return edit()->textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override
    {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex != 0)
            return;
        QTextCursor c = edit()->textCursor();
        c.clearSelection();
        edit()->setTextCursor(c);
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex != 0)
            return;
        QTextCursor c = edit()->textCursor();
        c.setPosition(clamped(startOffset));
        c.setPosition(clamped(endOffset), QTextCursor::KeepAnchor);
        edit()->setTextCursor(c);
    }
    int cursorPosition() const override { return edit()->textCursor().position(); }
    void setCursorPosition(int position) override
    {
        QTextCursor c = edit()->textCursor();
        c.setPosition(clamped(position));
        edit()->setTextCursor(c);
    }
    QRect characterRect(int offset) const override
    {
        QTextCursor c(edit()->document());
        c.setPosition(clamped(offset));
        const QRect r = edit()->cursorRect(c);
        return globalRect(edit()->viewport(), r);
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        const QPoint local = edit()->viewport()->mapFromGlobal(point);
        return edit()->viewport()->rect().contains(local)
            ? edit()->cursorForPosition(local).position()
            : -1;
    }

protected:
    // One character for each position of the document: paragraph and line breaks as newlines.
    QString fullText() const override { return edit()->document()->toPlainText(); }
    TextRange rangeOf(int offset, QAccessible::TextBoundaryType type) const override
    {
        if (type == QAccessible::LineBoundary)
            return lineOf(std::min(offset, std::max(characterCount() - 1, 0)));
        return ReadOnlyTextInterface::rangeOf(offset, type);
    }

private:
    QTextEdit *edit() const { return static_cast<QTextEdit *>(widget()); }

    // The line as laid out on screen, with the break that ends its paragraph; the paragraph
    // itself while it is not laid out.
    TextRange lineOf(int offset) const
    {
        const QTextBlock block = edit()->document()->findBlock(offset);
        if (!block.isValid())
            return {offset, offset};
        const int length = characterCount();
        const int blockStart = block.position();
        const int blockEnd = std::min(blockStart + block.length(), length);
        const QTextLayout *layout = block.layout();
        const QTextLine line
            = layout ? layout->lineForTextPosition(offset - blockStart) : QTextLine();
        if (!line.isValid())
            return {blockStart, blockEnd};
        const int start = blockStart + line.textStart();
        const int end = start + line.textLength();
        const bool last = line.lineNumber() == layout->lineCount() - 1;
        return {start, last ? blockEnd : std::min(end, blockEnd)};
    }
};

// A scroll bar whose value is the factor its position stands for.
class ScrollInterface : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit ScrollInterface(QWidget *w)
        : QAccessibleWidget(w, QAccessible::ScrollBar)
    {
    }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value && source())
            return source()->text(source()->current());
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override
    {
        return source() ? QVariant(source()->current()) : QVariant();
    }
    // As the keyboard would: to the nearest position, never beyond either end.
    void setCurrentValue(const QVariant &value) override
    {
        const ScrollValue *s = source();
        bool ok = false;
        const double wanted = value.toDouble(&ok);
        if (!s || !ok || !std::isfinite(wanted))
            return;
        int best = bar()->minimum();
        for (int p = bar()->minimum(); p <= bar()->maximum(); ++p) {
            if (std::fabs(s->fromPosition(p) - wanted) < std::fabs(s->fromPosition(best) - wanted))
                best = p;
        }
        bar()->setValue(best);
    }
    // The bar's ends, widened to hold the current value: the window may set a factor no
    // position gives (its starting one), and a value is never outside its own bounds.
    QVariant maximumValue() const override
    {
        const ScrollValue *s = source();
        return s ? QVariant(std::max(s->fromPosition(bar()->maximum()), s->current())) : QVariant();
    }
    QVariant minimumValue() const override
    {
        const ScrollValue *s = source();
        return s ? QVariant(std::min(s->fromPosition(bar()->minimum()), s->current())) : QVariant();
    }
    QVariant minimumStepSize() const override
    {
        const ScrollValue *s = source();
        if (!s)
            return {};
        const int low = bar()->minimum();
        return s->fromPosition(low + bar()->singleStep()) - s->fromPosition(low);
    }

private:
    QAbstractSlider *bar() const { return static_cast<QAbstractSlider *>(widget()); }
    ScrollValue *source() const
    {
        return widget()->findChild<ScrollValue *>(QString(), Qt::FindDirectChildrenOnly);
    }
};

// A message box: an alert, modal, without the hidden icon among its children.
class AlertInterface : public QAccessibleWidget
{
public:
    explicit AlertInterface(QWidget *w)
        : QAccessibleWidget(w, QAccessible::AlertMessage)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return widget()->windowTitle();
        // The box's text is read from its label; the description names the field it concerns.
        if (t == QAccessible::Description)
            return widget()->property(kConcerningProperty).toString();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.modal = true;
        return s;
    }
    int childCount() const override { return static_cast<int>(shown().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QWidget *> children = shown();
        return index >= 0 && index < children.size()
            ? QAccessible::queryAccessibleInterface(children.at(index))
            : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return static_cast<int>(shown().indexOf(qobject_cast<QWidget *>(child->object())));
    }

private:
    QList<QWidget *> shown() const
    {
        QList<QWidget *> children;
        for (QWidget *w : widget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!w->isWindow() && !w->isHidden())
                children.append(w);
        }
        return children;
    }
};

QAccessibleInterface *factory(const QString &, QObject *object)
{
    if (auto *graphic = qobject_cast<Graphic *>(object))
        return new GraphicInterface(graphic);
    if (auto *announcement = qobject_cast<Announcement *>(object))
        return new AnnouncementInterface(announcement);
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return nullptr;
    const QString kind = kindOf(widget);
    if (kind.isEmpty())
        return nullptr;
    if (kind == kWindowKind)
        return new WindowInterface(widget);
    if (kind == kTextKind)
        return new QAccessibleWidget(widget, QAccessible::StaticText);
    if (kind == kDocumentKind)
        return new DocumentInterface(widget);
    if (kind == kScrollKind && qobject_cast<QAbstractSlider *>(widget))
        return new ScrollInterface(widget);
    if (kind == kAlertKind)
        return new AlertInterface(widget);
    if (kind == kStatusKind)
        return new StatusInterface(widget);
    if (kind == kReadingKind) {
        if (auto *text = qobject_cast<QTextEdit *>(widget))
            return new ReadingInterface(text);
    }
    if (kind == kFieldKind) {
        if (auto *field = qobject_cast<QLineEdit *>(widget))
            return new FieldInterface(field);
    }
    return nullptr;
}

} // namespace

Graphic::Graphic(QWidget *owner, const QString &name, std::function<QString()> describe,
                 std::function<QRect()> area)
    : QObject(owner)
    , m_owner(owner)
    , m_describe(std::move(describe))
    , m_area(std::move(area))
{
    installFactory();
    setObjectName(name);
}

QRect Graphic::area() const
{
    if (!m_owner)
        return {};
    return m_area ? m_area() : m_owner->rect();
}

void Graphic::setDescription(const QString &text)
{
    m_describe = nullptr;
    m_description = text;
    announce();
}

void Graphic::announce()
{
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}

Announcement::Announcement(QWidget *window)
    : QObject(window)
    , m_owner(window)
{
    installFactory();
    setObjectName(QStringLiteral("Annuncio"));
}

void Announcement::announce(const QString &text)
{
    static quint64 serials = 0;
    m_text = text;
    m_serial = ++serials;
    m_read = false;
    m_made.start();
    // Shown anew each time, even with the same words: a screen reader speaks each showing.
    QAccessibleEvent hide(this, QAccessible::ObjectHide);
    QAccessible::updateAccessibility(&hide);
    QAccessibleEvent show(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&show);
}

namespace {
// Announcements of a window used in turn: enough for the messages of a moment (a box's repair,
// the start of a long run, its end) to be read after one another.
constexpr int kAnnouncements = 4;
// When the program ends: how long after the latest announcement a screen reader still gets
// answers, and how long when it has not asked for the announcement's text (milliseconds).
constexpr int kEndHearingMs = 400;
constexpr qint64 kUnreadMs = 150;
// The step in which events are let in meanwhile (milliseconds).
constexpr int kPumpMs = 5;

// The program's end waits for the latest announcement to be read.
void holdEndForAnnouncements()
{
    static QPointer<QCoreApplication> held;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || held == app)
        return;
    held = app;
    QObject::connect(app, &QCoreApplication::aboutToQuit, app, [] { letAnnouncementBeRead(); });
}

const Announcement *latest(const QList<Announcement *> &all)
{
    const auto found = std::max_element(all.begin(), all.end(),
                                        [](auto *a, auto *b) { return a->serial() < b->serial(); });
    return found == all.end() ? nullptr : *found;
}
} // namespace

void announce(QWidget *widget, const QString &text)
{
    if (!widget || text.isEmpty())
        return;
    QWidget *window = widget->window();
    if (window->isHidden() && window->testAttribute(Qt::WA_WState_ExplicitShowHide))
        return;
    holdEndForAnnouncements();
    const QList<Announcement *> all
        = window->findChildren<Announcement *>(QString(), Qt::FindDirectChildrenOnly);
    Announcement *next = nullptr;
    if (all.size() < kAnnouncements)
        next = new Announcement(window);
    else
        next = *std::min_element(all.begin(), all.end(),
                                 [](auto *a, auto *b) { return a->serial() < b->serial(); });
    next->announce(text);
}

void letAnnouncementBeRead()
{
    if (!QAccessible::isActive())
        return;
    QList<Announcement *> all;
    for (QWidget *w : QApplication::topLevelWidgets())
        all += w->findChildren<Announcement *>(QString(), Qt::FindDirectChildrenOnly);
    const QPointer<const Announcement> last = latest(all);
    // A screen reader asks for the text as soon as the announcement appears, and presents it
    // once it has gone through what came before (when the program ends, the windows going):
    // it needs answers until then, and cannot present an announcement of a program that has
    // gone. An announcement nobody asked for is not waited for beyond a short while.
    while (last && last->age() < kEndHearingMs && (last->isRead() || last->age() < kUnreadMs)) {
        QEventLoop pause;
        QTimer::singleShot(kPumpMs, &pause, &QEventLoop::quit);
        pause.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

QString lastAnnouncement(const QWidget *widget)
{
    if (!widget)
        return {};
    const Announcement *last = latest(
        widget->window()->findChildren<Announcement *>(QString(), Qt::FindDirectChildrenOnly));
    return last ? last->text() : QString();
}

void speakFieldOnce(QWidget *field)
{
    installUpdateFilter();
    if (field) {
        field->installEventFilter(new FieldEntry(field));
        if (qobject_cast<QLineEdit *>(field))
            setKind(field, kFieldKind);
    }
}

void describeQuietly(QWidget *widget, const QString &text)
{
    if (!widget)
        return;
    installUpdateFilter();
    widget->setProperty(kQuietProperty, true);
    widget->setAccessibleDescription(text);
    widget->setProperty(kQuietProperty, false);
}

void exposeAsStatus(QWidget *label)
{
    // Its text changes several times a second: a screen reader would hear of nothing else.
    installUpdateFilter();
    label->setProperty(kSilentProperty, true);
    setKind(label, kStatusKind);
}

TextReading::TextReading(QWidget *owner, const QString &text)
    : QObject(owner)
    , m_text(text)
{
    owner->installEventFilter(this);
}

int TextReading::caretAfterKey(int key, Qt::KeyboardModifiers modifiers) const
{
    const int length = static_cast<int>(m_text.size());
    const int here = std::clamp(m_caret, 0, length);
    const bool control = modifiers.testFlag(Qt::ControlModifier);
    const TextRange line = lineAt(m_text, here);
    switch (key) {
    case Qt::Key_Up:
        return line.start == 0 ? 0 : lineAt(m_text, line.start - 1).start;
    case Qt::Key_Down:
        return line.end >= length ? here : line.end;
    case Qt::Key_Right:
        if (!control)
            return std::min(here + 1, length);
        return std::min(wordAt(m_text, here).end, length);
    case Qt::Key_Left:
        if (!control)
            return std::max(here - 1, 0);
        if (here == 0)
            return 0;
        return wordAt(m_text, here - 1).start;
    case Qt::Key_Home:
        return control ? 0 : line.start;
    case Qt::Key_End: {
        if (control)
            return length;
        // Before the line's newline.
        const bool newline = line.end > line.start && m_text.at(line.end - 1) == u'\n';
        return newline ? line.end - 1 : line.end;
    }
    default:
        return -1;
    }
}

bool TextReading::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers other
        = key->modifiers() & ~(Qt::ControlModifier | Qt::KeypadModifier);
    const int to = other ? -1 : caretAfterKey(key->key(), key->modifiers());
    if (to < 0)
        return false;
    m_caret = to;
    QAccessibleTextCursorEvent moved(watched, m_caret);
    QAccessible::updateAccessibility(&moved);
    return true;
}

ScrollValue::ScrollValue(QWidget *scrollBar, std::function<double()> current,
                         std::function<double(int)> fromPosition,
                         std::function<QString(double)> text)
    : QObject(scrollBar)
    , m_current(std::move(current))
    , m_fromPosition(std::move(fromPosition))
    , m_text(std::move(text))
{
}

void installFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

void exposeWindow(QWidget *window, const QString &name, const QString &description)
{
    setKind(window, kWindowKind);
    window->setAccessibleName(name);
    window->setAccessibleDescription(description);
}

void exposeAsText(QWidget *widget, const QString &text)
{
    setKind(widget, kTextKind);
    widget->setAccessibleName(text.simplified());
}

ScrollValue *exposeScrollValue(QWidget *scrollBar, std::function<double()> current,
                               std::function<double(int)> fromPosition,
                               std::function<QString(double)> text)
{
    auto *value
        = new ScrollValue(scrollBar, std::move(current), std::move(fromPosition), std::move(text));
    setKind(scrollBar, kScrollKind);
    return value;
}

void exposeAsDocument(QWidget *widget, const QString &text, const QString &description)
{
    new TextReading(widget, text);
    setKind(widget, kDocumentKind);
    widget->setAccessibleDescription(description);
}

void exposeAsReading(QTextEdit *text)
{
    setKind(text, kReadingKind);
}

void exposeMessageBox(QMessageBox &box, const QString &concerning)
{
    box.setProperty(kConcerningProperty, concerning);
    setKind(&box, kAlertKind);
    for (auto *buttons : box.findChildren<QDialogButtonBox *>())
        buttons->setAccessibleName(QStringLiteral("Pulsanti"));
}

TextRange wordAt(const QString &text, int offset)
{
    const int length = static_cast<int>(text.size());
    if (offset >= length)
        return {length, length};
    offset = std::max(offset, 0);
    // A word runs from its first letter to the first letter of the next one.
    auto startsWord
        = [&text](int i) { return i == 0 || (text.at(i - 1).isSpace() && !text.at(i).isSpace()); };
    int start = offset;
    while (!startsWord(start))
        --start;
    int end = offset + 1;
    while (end < length && !startsWord(end))
        ++end;
    return {start, end};
}

TextRange lineAt(const QString &text, int offset)
{
    const int length = static_cast<int>(text.size());
    offset = std::clamp(offset, 0, length);
    const int start = offset == 0 ? 0 : static_cast<int>(text.lastIndexOf(u'\n', offset - 1)) + 1;
    const qsizetype newline = text.indexOf(u'\n', offset);
    return {start, newline < 0 ? length : static_cast<int>(newline) + 1};
}

} // namespace quorvel
