// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Program.h"
#include "intro/DocumentLayout.h"
#include "intro/FormulaLayout.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QTest>

using namespace quorvel::intro;
using Block = DocumentLayout::Block;
using Role = PlacedText::Role;

namespace {

constexpr qreal kInch = kTwipsPerInch;
constexpr qreal kPoint = kTwipsPerPoint;
constexpr qreal kTolerance = 0.2; // twips

// The document area of the introduction window, in twips.
const QRectF kArea(0, 0, 10815, 5895);

const QString kSystem = QStringLiteral(
    "X = ε INX cos(β sin tα) + X_{n\u22121}; Y = ε INY sin(β sin tα) + Y_{n\u22121}");

std::vector<const PlacedText *> piecesWithRole(const Block &block, Role role)
{
    std::vector<const PlacedText *> found;
    for (const PlacedText &piece : block.texts)
        if (piece.role == role)
            found.push_back(&piece);
    return found;
}

} // namespace

class TestDocumentLayout : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void fontsResolve_data();
    void fontsResolve();
    void paragraphs_data();
    void paragraphs();
    void wrapsGreedilyWithinColumn();
    void everyLineInsideArea();
    void bulletsHaveExtraSpaceAbove_data();
    void bulletsHaveExtraSpaceAbove();
    void noInkOverlaps();
    void formulasSitOnTheTextLine_data();
    void formulasSitOnTheTextLine();
    void formulaSymbolShapes_data();
    void formulaSymbolShapes();
    void braceSpansBothRows();
    void braceIsWellFormed();
    void subscriptsBelowBaseline_data();
    void subscriptsBelowBaseline();

private:
    DocumentLayout m_layout;
};

void TestDocumentLayout::initTestCase()
{
    quorvel::test::filterPlatformNoise();
    quorvel::setUpApplication(*qApp);
    m_layout = DocumentLayout();
    QCOMPARE(m_layout.blocks().size(), std::size_t(10));
}

void TestDocumentLayout::fontsResolve_data()
{
    QTest::addColumn<QFont>("font");
    QTest::addColumn<QString>("family");
    QTest::addColumn<bool>("fixedPitch");
    QTest::addColumn<bool>("italic");
    QTest::newRow("body") << DocumentLayout::bodyFont() << "Liberation Mono" << true << false;
    QTest::newRow("math upright") << PlacedText::pageFont("Times New Roman", 12)
                                  << "Liberation Serif" << false << false;
    QTest::newRow("math italic") << PlacedText::pageFont("Times New Roman", 12, true)
                                 << "Liberation Serif" << false << true;
}

void TestDocumentLayout::fontsResolve()
{
    QFETCH(QFont, font);
    QFETCH(QString, family);
    QFETCH(bool, fixedPitch);
    QFETCH(bool, italic);
    const QFontInfo info(font);
    QCOMPARE(info.family(), family);
    QCOMPARE(info.fixedPitch(), fixedPitch);
    QCOMPARE(info.italic(), italic);
    // Courier's advance is 0.6 em: ten characters to the inch at 12 point.
    if (fixedPitch)
        QVERIFY(qAbs(QFontMetricsF(font).horizontalAdvance(QLatin1Char('i')) - kInch / 10) < 0.1);
}

void TestDocumentLayout::paragraphs_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("bullet");
    QTest::addColumn<qreal>("indentInches");
    QTest::addColumn<int>("lines");

    QTest::newRow("1 title") << 0 << "PROGRAMMA: MIRALDO" << false << 0.25 << 1;
    QTest::newRow("2 purpose")
        << 1
        << "Questo Programma traccia una curva per punti prendendo in considerazione i parametri "
           "più importanti che servono a modificare la curva in modo controllato."
        << false << 0.0 << 3;
    QTest::newRow("3 start point")
        << 2
        << "In questo programma anziché far partire le figure dall\u2019origine sono fatte "
           "partire da uno specifico punto: questo non varia le caratteristiche della curva che "
           "seguono i dettami della teoria esposta."
        << false << 0.0 << 3;
    QTest::newRow("4 formula") << 3 << "la formula usata  [" + kSystem + "]" << false << 0.5 << 1;
    QTest::newRow("5 epsilon") << 4 << "ε e il segmento punto" << true << 0.5 << 1;
    QTest::newRow("6 angle") << 5
                             << "[(β sin tα)] l\u2019angolo che determina la direzione e il "
                                "verso di ε: β è l\u2019angolo frazionato da sinα"
                             << true << 0.5 << 2;
    QTest::newRow("7 increments")
        << 6 << "INX o INY incrementano le coordinate e variano la concavità delle curve" << true
        << 0.5 << 2;
    QTest::newRow("8 cosine") << 7 << "In questo programma sinα può essere sostituito con cosα"
                              << true << 0.5 << 1;
    QTest::newRow("9 previous point") << 8 << "X_{n-1} è il punto precedente" << true << 0.5 << 1;
    QTest::newRow("10 straight") << 9 << "Per β=0 si ha un segmento-retta" << false << 0.25 << 1;
}

void TestDocumentLayout::paragraphs()
{
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(bool, bullet);
    QFETCH(qreal, indentInches);
    QFETCH(int, lines);
    const Block &block = m_layout.blocks().at(index);
    QCOMPARE(block.readingText, text);
    QCOMPARE(int(block.lines.size()), lines);

    // Every line of the paragraph starts at its indent from the column; a bullet hangs a
    // quarter inch in from the column.
    const qreal textLeft = DocumentLayout::kColumnLeft + indentInches * kInch;
    const auto bullets = piecesWithRole(block, Role::Bullet);
    QCOMPARE(bullets.size(), std::size_t(bullet ? 1 : 0));
    for (std::size_t i = 0; i < block.lines.size(); ++i) {
        const qreal expectedLeft
            = bullet && i == 0 ? DocumentLayout::kColumnLeft + kInch / 4 : textLeft;
        QVERIFY2(qAbs(block.lines[i].box.left() - expectedLeft) < kTolerance,
                 qPrintable(
                     QStringLiteral("line %1 starts at %2").arg(i).arg(block.lines[i].box.left())));
    }
    if (bullet) {
        QCOMPARE(bullets.front()->text, QStringLiteral("\u2022"));
        QCOMPARE(bullets.front()->origin.y(), block.lines.front().baseline);
    }
    // Body text is the monospaced font at 12 point, black on the line's baseline.
    for (const PlacedText *piece : piecesWithRole(block, Role::Body)) {
        QCOMPARE(piece->font.pixelSize(), 12 * kTwipsPerPoint);
        QVERIFY(QFontInfo(piece->font).fixedPitch());
    }
}

void TestDocumentLayout::wrapsGreedilyWithinColumn()
{
    const qreal advance = QFontMetricsF(DocumentLayout::bodyFont()).horizontalAdvance('M');
    QVERIFY(qAbs(m_layout.columnWidth() - 7.2 * kInch) < 4);
    const qreal columnRight = DocumentLayout::kColumnLeft + m_layout.columnWidth();
    for (const Block &block : m_layout.blocks()) {
        const auto body = piecesWithRole(block, Role::Body);
        for (std::size_t i = 0; i < block.lines.size(); ++i) {
            QVERIFY(block.lines[i].box.right() <= columnRight + kTolerance);
            if (i == 0)
                continue;
            // The next line's first word would not have fitted at the end of this one.
            const PlacedText *previous = nullptr;
            const PlacedText *first = nullptr;
            for (const PlacedText *piece : body) {
                if (piece->origin.y() == block.lines[i - 1].baseline)
                    previous = piece;
                if (piece->origin.y() == block.lines[i].baseline && !first)
                    first = piece;
            }
            QVERIFY(previous && first);
            QVERIFY(previous->text.endsWith(QLatin1Char(' ')));
            const QString firstWord = first->text.section(QLatin1Char(' '), 0, 0);
            const qreal wouldEnd
                = block.lines[i - 1].box.right() + advance * qreal(1 + firstWord.size());
            QVERIFY2(wouldEnd > columnRight + kTolerance, qPrintable(first->text));
        }
    }
}

void TestDocumentLayout::everyLineInsideArea()
{
    // The page is larger than the area both ways: only blank page may be cut off.
    QVERIFY(DocumentLayout::pageSize().width() > kArea.width());
    QVERIFY(DocumentLayout::pageSize().height() > kArea.height());
    for (const Block &block : m_layout.blocks()) {
        for (const DocumentLayout::Line &line : block.lines)
            QVERIFY2(kArea.contains(line.box), qPrintable(block.readingText));
        for (const PlacedText &piece : block.texts)
            QVERIFY2(kArea.contains(piece.ink), qPrintable(piece.text));
        for (const DocumentLayout::PlacedFormula &formula : block.formulas)
            QVERIFY(formula.brace().isEmpty() || kArea.contains(formula.brace().boundingRect()));
    }
}

void TestDocumentLayout::bulletsHaveExtraSpaceAbove_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("extra");
    for (int i = 1; i < 10; ++i)
        QTest::addRow("paragraph %d", i + 1) << i << (i >= 4 && i <= 8);
}

void TestDocumentLayout::bulletsHaveExtraSpaceAbove()
{
    QFETCH(int, index);
    QFETCH(bool, extra);
    const Block &block = m_layout.blocks().at(index);
    const Block &before = m_layout.blocks().at(index - 1);
    QCOMPARE(block.bullet, extra);
    const qreal gap = block.lines.front().box.top() - before.lines.back().box.bottom();
    // A little space above a bullet, none between other paragraphs.
    if (extra)
        QVERIFY2(gap >= 2 * kPoint && gap <= 8 * kPoint, qPrintable(QString::number(gap)));
    else
        QVERIFY2(qAbs(gap) < kTolerance, qPrintable(QString::number(gap)));
}

void TestDocumentLayout::noInkOverlaps()
{
    std::vector<const PlacedText *> all;
    std::vector<QRectF> braces;
    for (const Block &block : m_layout.blocks()) {
        for (const PlacedText &piece : block.texts)
            if (!piece.text.trimmed().isEmpty())
                all.push_back(&piece);
        for (const DocumentLayout::PlacedFormula &formula : block.formulas)
            if (!formula.brace().isEmpty())
                braces.push_back(formula.brace().boundingRect());
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
        for (std::size_t j = i + 1; j < all.size(); ++j)
            QVERIFY2(!all[i]->ink.intersects(all[j]->ink),
                     qPrintable(all[i]->text + QStringLiteral(" | ") + all[j]->text));
        for (const QRectF &brace : braces)
            QVERIFY2(!all[i]->ink.intersects(brace), qPrintable(all[i]->text));
    }
}

void TestDocumentLayout::formulasSitOnTheTextLine_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<FormulaId>("formula");
    QTest::addColumn<bool>("textBefore");
    QTest::newRow("system after its words") << 3 << FormulaId::System << true;
    QTest::newRow("angle opens its paragraph") << 5 << FormulaId::Angle << false;
}

void TestDocumentLayout::formulasSitOnTheTextLine()
{
    QFETCH(int, index);
    QFETCH(FormulaId, formula);
    QFETCH(bool, textBefore);
    const Block &block = m_layout.blocks().at(index);
    QCOMPARE(block.formulas.size(), std::size_t(1));
    const DocumentLayout::PlacedFormula &placed = block.formulas.front();
    QCOMPARE(placed.layout.id(), formula);
    const DocumentLayout::Line &line = block.lines.front();
    QCOMPARE(placed.origin.y(), line.baseline);
    QVERIFY(line.box.contains(placed.box()));

    const auto body = piecesWithRole(block, Role::Body);
    QVERIFY(!body.empty());
    const PlacedText *neighbour = body.front();
    QCOMPARE(neighbour->origin.y(), line.baseline);
    if (textBefore) {
        // Two blanks between the words and the formula.
        QVERIFY(neighbour->text.endsWith(QStringLiteral("usata  ")));
        QVERIFY(qAbs(placed.origin.x() - neighbour->box.right()) < kTolerance);
    } else {
        QVERIFY(qAbs(placed.box().left() - (DocumentLayout::kColumnLeft + kInch / 2)) < kTolerance);
        QVERIFY(neighbour->box.left() >= placed.box().right() - kTolerance);
    }
    // The formula's symbols lie inside the formula's box.
    for (const PlacedText &piece : block.texts)
        if (piece.role == Role::Symbol || piece.role == Role::FormulaSubscript)
            QVERIFY2(placed.box()
                         .adjusted(-kTolerance, -kTolerance, kTolerance, kTolerance)
                         .contains(piece.box),
                     qPrintable(piece.text));
}

void TestDocumentLayout::formulaSymbolShapes_data()
{
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<int>("points");
    QTest::newRow("X") << "X" << true << 12;
    QTest::newRow("=") << "=" << false << 12;
    QTest::newRow("epsilon") << "ε" << true << 12;
    QTest::newRow("INX") << "INX" << true << 12;
    QTest::newRow("cos") << "cos" << false << 12;
    QTest::newRow("(") << "(" << false << 12;
    QTest::newRow("beta") << "β" << true << 12;
    QTest::newRow("sin") << "sin" << false << 12;
    QTest::newRow("t alpha") << "tα" << true << 12;
    QTest::newRow(")") << ")" << false << 12;
    QTest::newRow("+") << "+" << false << 12;
    QTest::newRow("n") << "n" << true << 7;
    QTest::newRow("minus") << "\u2212" << false << 7;
    QTest::newRow("1") << "1" << false << 7;
}

void TestDocumentLayout::formulaSymbolShapes()
{
    QFETCH(QString, symbol);
    QFETCH(bool, italic);
    QFETCH(int, points);
    int found = 0;
    for (const FormulaId id : {FormulaId::System, FormulaId::Angle}) {
        const FormulaLayout formula(id);
        for (const PlacedText &piece : formula.pieces()) {
            if (piece.text != symbol)
                continue;
            QCOMPARE(piece.font.italic(), italic);
            QCOMPARE(piece.font.pixelSize(), points * kTwipsPerPoint);
            QCOMPARE(QFontInfo(piece.font).family(), QStringLiteral("Liberation Serif"));
            ++found;
        }
    }
    QVERIFY(found > 0);
    const FormulaLayout angle(FormulaId::Angle);
    QCOMPARE(angle.linearText(), QStringLiteral("(β sin tα)"));
    QVERIFY(angle.brace().isEmpty());
}

void TestDocumentLayout::braceSpansBothRows()
{
    const FormulaLayout system(FormulaId::System);
    QCOMPARE(system.rowBaselines().size(), std::size_t(2));
    QVERIFY(system.rowBaselines()[1] > system.rowBaselines()[0]);
    const QRectF brace = system.brace().boundingRect();
    QVERIFY(system.braceBox()
                .adjusted(-kTolerance, -kTolerance, kTolerance, kTolerance)
                .contains(brace));

    qreal rowLeft[2] = {1e9, 1e9};
    QRectF rows[2];
    for (const PlacedText &piece : system.pieces()) {
        rows[piece.row] |= piece.box;
        rowLeft[piece.row] = std::min(rowLeft[piece.row], piece.box.left());
        // The brace stands to the left of every symbol.
        QVERIFY(brace.right() < piece.ink.left());
    }
    // Left-aligned equations, the first above the second without touching it.
    QCOMPARE(rowLeft[0], rowLeft[1]);
    QVERIFY(rows[0].bottom() < rows[1].top());
    // From the top of the first equation to the bottom of the second, point at the middle.
    QVERIFY(brace.top() <= rows[0].top() + kTolerance);
    QVERIFY(brace.bottom() >= rows[1].bottom() - kTolerance);
    QVERIFY(brace.height() < rows[0].height() + rows[1].height() + 12 * kPoint);
    QVERIFY(system.box().contains(brace));
}

void TestDocumentLayout::braceIsWellFormed()
{
    const FormulaLayout system(FormulaId::System);
    const QPainterPath &path = system.brace();
    const QRectF box = system.braceBox();
    // One closed outline.
    QVERIFY(path.elementCount() > 8);
    int moves = 0;
    for (int i = 0; i < path.elementCount(); ++i)
        moves += path.elementAt(i).isMoveTo() ? 1 : 0;
    QCOMPARE(moves, 1);
    QCOMPARE(QPointF(path.elementAt(0)), QPointF(path.elementAt(path.elementCount() - 1)));

    // It never crosses itself: both fill rules cover the same points. It is symmetric about its
    // middle, and its point is the leftmost part, at mid height.
    QPainterPath oddEven = path;
    oddEven.setFillRule(Qt::OddEvenFill);
    QPainterPath winding = path;
    winding.setFillRule(Qt::WindingFill);
    const qreal mid = box.center().y();
    int inside = 0;
    constexpr int kSteps = 60;
    for (int i = 0; i <= kSteps; ++i) {
        for (int j = 0; j <= kSteps; ++j) {
            const QPointF p(box.left() + box.width() * i / kSteps,
                            box.top() + box.height() * j / kSteps);
            const bool in = oddEven.contains(p);
            QCOMPARE(winding.contains(p), in);
            const QPointF mirrored(p.x(), 2 * mid - p.y());
            if (qAbs(p.y() - mid) > box.height() / kSteps)
                QCOMPARE(path.contains(mirrored), in);
            inside += in ? 1 : 0;
        }
    }
    // A stroke, not a block: it covers a small part of its box.
    QVERIFY(inside > 0 && inside < (kSteps + 1) * (kSteps + 1) / 3);
    // Stems in the middle of the box, a point at the left, open on the right.
    QVERIFY(path.contains(QPointF(box.center().x(), box.top() + box.height() / 4)));
    QVERIFY(path.contains(QPointF(box.center().x(), box.bottom() - box.height() / 4)));
    QVERIFY(path.contains(QPointF(box.left() + kPoint / 4, mid)));
    QVERIFY(!path.contains(QPointF(box.right() - kPoint / 4, mid)));
    QVERIFY(!path.contains(QPointF(box.left() + kPoint / 4, box.top() + box.height() / 4)));
    QVERIFY(qAbs(path.boundingRect().left() - box.left()) < kTolerance);
}

void TestDocumentLayout::subscriptsBelowBaseline_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("subscript");
    QTest::addColumn<int>("points");
    QTest::newRow("system, first row") << 3 << 0 << "X"
                                       << "n\u22121" << 7;
    QTest::newRow("system, second row") << 3 << 1 << "Y"
                                        << "n\u22121" << 7;
    QTest::newRow("previous point") << 8 << 0 << "X"
                                    << "n-1" << 8;
}

void TestDocumentLayout::subscriptsBelowBaseline()
{
    QFETCH(int, index);
    QFETCH(int, row);
    QFETCH(QString, base);
    QFETCH(QString, subscript);
    QFETCH(int, points);
    const Block &block = m_layout.blocks().at(index);
    // The last piece of the row named `base` carries the subscript that follows it.
    const PlacedText *basePiece = nullptr;
    QString text;
    qreal subscriptBaseline = 0;
    qreal subscriptLeft = 1e9;
    for (const PlacedText &piece : block.texts) {
        if (piece.row != row)
            continue;
        if (piece.role == Role::Subscript || piece.role == Role::FormulaSubscript) {
            text += piece.text;
            subscriptBaseline = piece.origin.y();
            subscriptLeft = std::min(subscriptLeft, piece.box.left());
            QCOMPARE(piece.font.pixelSize(), points * kTwipsPerPoint);
        } else if (piece.text == base) {
            basePiece = &piece;
        }
    }
    QVERIFY(basePiece);
    QCOMPARE(text, subscript);
    // Lowered below the base's baseline, yet still touching the base's height, right after it.
    QVERIFY(subscriptBaseline > basePiece->origin.y() + kPoint);
    QVERIFY(subscriptBaseline - points * kPoint < basePiece->origin.y());
    QVERIFY(subscriptLeft >= basePiece->box.right() - kTolerance);
    QVERIFY(subscriptLeft < basePiece->box.right() + 2 * kPoint);
}

QTEST_MAIN(TestDocumentLayout)
#include "tst_documentlayout.moc"
