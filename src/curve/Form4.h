// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "RunPacer.h"
#include "RunRecord.h"
#include "model/DirectionTable.h"
#include "model/RunSummary.h"

#include "model/CurveChain.h"
#include "model/Variant.h"
#include "raster/DotWriter.h"
#include "raster/Palette.h"
#include "readout/ReadoutOverlay.h"
#include "shell/Form.h"
#include "surface/DrawingSurface.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quorvel::curve {

// Sees every change the program makes to a field of the curve window: a new text, or a new
// background colour (0x00BBGGRR). Message boxes are seen through the message sink.
class FieldObserver
{
public:
    virtual ~FieldObserver() = default;
    virtual void textSet(const QString &field, const QString &text) = 0;
    virtual void backgroundSet(const QString &field, raster::ColourValue colour) = 0;
};

// The curve window: a panel of parameter fields over a drawing on which each run adds a chain
// of dots, one per whole step of ALFA, relative to two axes.
class Form4 : public Form
{
    Q_OBJECT
public:
    // `incrSource` reads the calibration window's aspect factor Incr (creating that window's
    // object if needed).
    Form4(FormRegistry &registry, std::function<model::Variant()> incrSource);
    ~Form4() override;

    // Members, kept while the process lives. User units are those of the drawing surface.
    model::Variant P1; // degrees to radians, single precision
    model::Variant CX; // axes' crossing, user units from the left, single precision
    model::Variant CY; // and from the top
    model::Variant INX; // increment on the X axis
    model::Variant INY; // increment on the Y axis
    model::Variant EP1; // epsilon, the length factor of a segment
    model::Variant BETA1; // BETA in radians
    model::Variant Ve; // multiplier t of ALFA
    model::Variant ContaStep; // number (1 to 3) of the range being drawn
    model::Variant ValStep; // step of ALFA (+1 or -1), or 999 to end the run
    model::Variant DaA1; // From of the current range, degrees
    model::Variant AA1; // To of the current range, degrees
    model::Variant Miocolor; // colour counter, advanced once per drawn range
    model::Variant PrimVol; // 9 once the window has been activated for the first time
    std::int16_t A2 = 0; // t x ALFA of the latest point, whole degrees

    void Form_Activate() override;
    void Command1_Click(); // "Cancella ed esegui"
    void Command3_Click(); // "ESCI"
    void Command5_Click(); // "ESEGUI"
    void Option1_Click() { } // "In Seno": the choice is read when plotting
    void Option2_Click() { } // "In Coseno"

    void LeggiText1();
    void LeggiText2();
    void LeggiText10();
    void LeggiText11();
    void LeggiText12();
    void CONTRALFA(model::Variant &Mem1, model::Variant &Mem2);
    void CALCOLA();

    // Controls while the window is loaded (null otherwise).
    DrawingSurface *surface() const { return m_surface; }
    QLineEdit *field(int number) const; // Text1 .. Text12 (Text9 does not exist)
    QRadioButton *Option1() const { return m_option1; }
    QRadioButton *Option2() const { return m_option2; }
    QPushButton *Command1() const { return m_command1; }
    QPushButton *Command3() const { return m_command3; }
    QPushButton *Command5() const { return m_command5; }

    bool isRunning() const { return m_running != nullptr; }
    // What the latest run drew and how it ended.
    const model::RunSummary &lastRun() const { return m_run; }
    // The tip beside the cursor over the drawing (null before the window is made).
    readout::ReadoutOverlay *readout() const { return m_readout; }
    void setFieldObserver(FieldObserver *observer) { m_fieldObserver = observer; }
    FieldObserver *fieldObserver() const { return m_fieldObserver; }
    void setRunTiming(RunPacer::Timing timing) { m_timing = std::move(timing); }

    // The members that a run changes, as they stand now, and putting them back.
    CurveMembers members() const;
    void setMembers(const CurveMembers &members);
    // Sets the fields (Text1 to Text12 by number; 0 and 9 are ignored) and the choice of
    // function, as typing and clicking would, without reading them.
    void setFields(const std::array<QString, 13> &texts, bool cosine);
    bool cosineChosen() const { return m_cosineChosen; }
    // The calibration window's aspect factor Incr, as an activation reads it.
    double calibration() const;
    // CY, the field's vertical limit, for the aspect factor `incr`.
    static float fieldLimitY(double incr);
    // Clears the drawing and draws the axes as an activation does, without starting a run.
    void clearToAxes();
    // A run drawn again as it was drawn before: ContaStep 1, then CALCOLA without message boxes
    // (the readers still repair the fields), stopped after `dotLimit` dots when given, with
    // the field's vertical limit of the aspect factor `calibration` instead of CY when given.
    void replayRun(std::optional<std::size_t> dotLimit, std::optional<double> calibration);

    // Undo of whole runs, back to the last clearing: the last run leaves the drawing (the runs
    // below are drawn again from their recipes) and the members are put back as they were
    // before it, so that the next run gets the colour it would have had. Redo draws it again
    // and puts the members as they were after it; a new run or a clearing forgets what can be
    // redone.
    bool canUndo() const;
    bool canRedo() const { return !m_redo.empty(); }
    void undoLastRun();
    void redoRun();

protected:
    QWidget *createWindow() override;
    bool opensMaximized() const override { return true; }

private:
    void setUpFrame();
    // Clears the drawing and draws `entries` of a record again at the current scale.
    void redraw(const std::vector<raster::DrawingRecord::Entry> &entries);
    void readIncrement(int number, model::Variant &member, const QString &notNumberMessage);
    void readSegmentParameter(int number, model::Variant &member, double factor);
    void setDesignedLooks(QLabel *epsilonCaption, QGroupBox *frame1);
    void connectControls();
    void focusOnSelectedOption();
    // The drawing's runs and axes as the readout under the cursor needs them.
    readout::Scene readoutScene() const;
    // The From and To texts of ranges 1 to 3, as the fields hold them now.
    std::array<QString, 6> rangeTexts() const;
    // What the fields give at the start of a range: the plan of its points, or nothing when the
    // run ends there; `refused` when it ends because a field was refused (not at a range from 0
    // to 0).
    struct RangeFields
    {
        std::optional<model::RangePlan> plan;
        bool refused = false;
    };
    // The start of range `range` of a run, with the colour counter `colour` as it stands then:
    // ContaStep and Miocolor take them, then the fields are read.
    RangeFields startRange(int range, const model::ColourCycle &colour);
    RangeFields readRange(int range);
    // What a run keeps while it draws: its pacer, the writer of its dots and where the axes
    // cross, in user units.
    struct RunDrawing
    {
        RunPacer &pacer;
        raster::DotWriter dots;
        double cx;
        double cy;
    };
    // Draws a stretch of the chain of the run going on; see CurveChain::Taken for what it
    // returns.
    model::CurveChain::Taken drawStretch(const model::ChainPoint *points, int count);
    // Draws a span of the chain, the same way; see CurveChain::runStretches.
    model::CurveChain::Taken drawSpan(model::ChainSpan &span);
    void reportRangeEnd(const model::RangeOutcome &outcome);
    // `concerning` names the fields the message is about, for a screen reader.
    void message(const QString &text, const QString &concerning = {});
    // "Riguarda il campo ...": the field `number` named as a screen reader names it.
    QString concerningField(int number) const;
    void setFieldText(int number, const QString &text);
    void setFieldBackground(int number, raster::ColourValue colour);

    std::function<model::Variant()> m_incrSource;
    QPointer<DrawingSurface> m_surface;
    std::array<QPointer<QLineEdit>, 13> m_fields;
    QPointer<QRadioButton> m_option1;
    QPointer<QRadioButton> m_option2;
    QPointer<QPushButton> m_command1;
    QPointer<QPushButton> m_command3;
    QPointer<QPushButton> m_command5;
    bool m_cosineChosen = false; // "In Coseno" is selected
    FieldObserver *m_fieldObserver = nullptr;
    RunPacer::Timing m_timing;
    RunDrawing *m_running = nullptr; // while a run is going on
    model::DirectionTable m_directions; // the displacements of the run's distinct angles
    model::RunSummary m_run; // what the latest run drew, for a screen reader
    int m_rangeRead = 0; // the range whose From and To CONTRALFA is reading
    // The tip beside the cursor over the drawing: the point and the nearest dot.
    QPointer<readout::ReadoutOverlay> m_readout;
    // A run replayed from a lesson: no message box, at most this many dots, this vertical limit.
    bool m_quiet = false;
    model::Variant m_contaStepBefore; // ContaStep before the caller of CALCOLA set it to 1
    std::optional<std::size_t> m_dotLimit;
    std::optional<double> m_limitCalibration; // the aspect factor of the field's limits
    std::vector<std::shared_ptr<const RunRecord>> m_redo; // runs undone, the latest last
};

} // namespace quorvel::curve
