// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorvel::lesson {

// The version this program writes, and the newest it reads.
inline constexpr int kVersion = 1;
// Limits that keep a damaged or hostile file from taking the program's memory or time.
inline constexpr std::size_t kMaxFileBytes = std::size_t {4} * 1024 * 1024;
inline constexpr std::size_t kMaxRuns = 1000;
inline constexpr int kMaxTextLength = 1000;
inline constexpr std::uint64_t kMaxDots = 1'000'000'000'000ULL;
// Bounds of the calibration factor a file may carry (the calibration window's factor is about
// 0,5 on ordinary screens).
inline constexpr double kMinCalibration = 0.01;
inline constexpr double kMaxCalibration = 100.0;

// The curve window's eleven fields by number (Text1 to Text8, Text10 to Text12; Text9 does not
// exist), exactly as typed, and the choice "In Coseno" (true) or "In Seno".
struct Fields
{
    static constexpr std::array<int, 11> kNumbers {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12};
    std::array<QString, 11> texts; // in the order of kNumbers
    bool cosine = false;

    QString &text(int number);
    const QString &text(int number) const;
    bool operator==(const Fields &) const = default;
};

// How a run ended.
enum class End {
    RangesDone, // every range asked for was drawn, or a range from 0 to 0 ended the sequence
    OutOfField, // a point or an angle left the field
    Stopped, // the user stopped it (Esc)
    Refused, // a field was refused
};

// A run as it started and ended: its fields, the colour counter Miocolor before it (nothing:
// Empty), the three segment parameters as the window held them before it (nothing: Empty; they
// are what a refused field leaves in force), how many dots it drew and how it ended.
struct SavedRun
{
    Fields fields;
    std::optional<std::int16_t> colourBefore;
    std::optional<double> ep1Before;
    std::optional<double> beta1Before; // radians
    std::optional<double> veBefore;
    std::uint64_t dots = 0;
    End end = End::RangesDone;
    bool operator==(const SavedRun &) const = default;
};

// What a lesson file holds: the fields and the choice as the window shows them, the
// calibration factor they were drawn with, the colour counter now, and the runs since the
// drawing was last cleared, oldest first.
struct Lesson
{
    Fields fields;
    double calibration = 0.51;
    std::optional<std::int16_t> colour;
    std::vector<SavedRun> runs;
    bool operator==(const Lesson &) const = default;
};

// The file's text, UTF-8.
QByteArray write(const Lesson &lesson);

// The lesson in `bytes`, or why they are not one (Italian, to follow "il file … ").
struct ReadResult
{
    std::optional<Lesson> lesson;
    QString error;
};
ReadResult read(const QByteArray &bytes);

// The name of the key that marks a recipe inside a picture (a PNG text chunk, SVG metadata).
inline constexpr char kPictureKey[] = "QUORVEL-lezione";

// Italian words for how a run ended, as a legend or the file says it.
QString endWords(End end);

} // namespace quorvel::lesson
