// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "lesson/LessonFile.h"

#include <QTest>

using namespace quorvel::lesson;

namespace {

Lesson sample()
{
    Lesson l;
    for (int n : Fields::kNumbers)
        l.fields.text(n) = QString::number(n);
    // Texts exactly as typed: blanks, quotes, a backslash, control characters, accents.
    l.fields.text(10) = QStringLiteral(" 0,86 ");
    l.fields.text(11) = QStringLiteral("a\"b\\c\td\ne\x01");
    l.fields.text(12) = QStringLiteral("è già");
    l.fields.text(3) = QString();
    l.fields.cosine = true;
    l.calibration = 0.51234567890123;
    l.colour = 13;
    SavedRun r;
    r.fields = l.fields;
    r.fields.cosine = false;
    r.colourBefore = std::nullopt;
    r.ep1Before = 0.1 + 0.2; // a double that needs all 17 digits
    r.beta1Before = std::nullopt;
    r.veBefore = -3.5e-300;
    r.dots = 196608;
    r.end = End::Stopped;
    l.runs.push_back(r);
    r.colourBefore = 14;
    r.end = End::OutOfField;
    l.runs.push_back(r);
    return l;
}

} // namespace

class TestLessonFile : public QObject
{
    Q_OBJECT
private slots:
    void readsBackWhatItWrites();
    void refusesBadFiles_data();
    void refusesBadFiles();
};

void TestLessonFile::readsBackWhatItWrites()
{
    const Lesson l = sample();
    const ReadResult r = read(write(l));
    QVERIFY2(r.lesson, qPrintable(r.error));
    QVERIFY(*r.lesson == l);
}

void TestLessonFile::refusesBadFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("why");
    const QByteArray good = write(sample());
    const auto replaced = [&good](const char *from, const char *to) {
        QByteArray b = good;
        return b.replace(from, to);
    };
    QTest::newRow("empty") << QByteArray() << QStringLiteral("vuoto");
    QTest::newRow("not a lesson") << QByteArray("ciao\n") << QStringLiteral("non è un file");
    QTest::newRow("binary") << QByteArray("QUORVEL lezione 1\n\xff\xfe\x00", 22)
                            << QStringLiteral("non è testo");
    QTest::newRow("truncated") << good.left(good.indexOf("punti"))
                               << QStringLiteral("manca «punti»");
    QTest::newRow("newer version")
        << replaced("QUORVEL lezione 1", "QUORVEL lezione 2") << QStringLiteral("più recente");
    QTest::newRow("unknown key") << replaced("colore 13", "colore 13\nsfondo rosso")
                                 << QStringLiteral("chiave sconosciuta «sfondo»");
    QTest::newRow("repeated key") << replaced("colore 13", "colore 13\ncolore 12")
                                  << QStringLiteral("ripetuta");
    QTest::newRow("colour out of range")
        << replaced("colore 13", "colore 15") << QStringLiteral("da 0 a 14");
    QTest::newRow("calibration zero")
        << replaced("calibrazione 0.5", "calibrazione 0.0005") << QStringLiteral("calibrazione");
    QTest::newRow("no dots") << replaced("punti 196608", "punti 0") << QStringLiteral("punti");
    QTest::newRow("dots not a number")
        << replaced("punti 196608", "punti molti") << QStringLiteral("punti");
    QTest::newRow("member not finite")
        << replaced("Ve-prima -3.5e-300", "Ve-prima inf") << QStringLiteral("Ve-prima");
    QTest::newRow("text without quotes")
        << replaced("Text1 \"1\"", "Text1 1") << QStringLiteral("virgolette");
    QTest::newRow("unknown end") << replaced("fine fermata", "fine boh") << QStringLiteral("fine");
    QTest::newRow("too big") << QByteArray(static_cast<qsizetype>(kMaxFileBytes) + 1, 'a')
                             << QStringLiteral("troppo grande");
    QByteArray manyRuns = good;
    for (std::size_t i = 0; i < kMaxRuns; ++i)
        manyRuns += "esecuzione\n";
    QTest::newRow("too many runs") << manyRuns << QStringLiteral("più di 1000 esecuzioni");
}

void TestLessonFile::refusesBadFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, why);
    const ReadResult r = read(bytes);
    QVERIFY(!r.lesson);
    QVERIFY2(r.error.contains(why), qPrintable(r.error));
}

QTEST_GUILESS_MAIN(TestLessonFile)
#include "tst_lessonfile.moc"
