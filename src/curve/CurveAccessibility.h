// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/RunSummary.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace quorvel::curve {

// A text field of the curve window and the label that names it on screen.
struct FieldCaption
{
    QLineEdit *field;
    QLabel *caption;
};

// The curve window for a screen reader: its name, each field labelled by its own caption and
// described by the hover text of that caption or of its frame, each option button described by
// its frame's hover text, and the drawing as a graphic whose description tells what the latest
// run drew.
void exposeCurveWindow(QWidget *window, const std::vector<FieldCaption> &fields,
                       std::initializer_list<QWidget *> options);

// The graphic's description after a run, announced to assistive technology.
void publishRun(QWidget *window, const model::RunSummary &run);

// Gathers a run from its start to its end, whichever way it ends, and publishes it then.
class RunAnnouncer
{
public:
    RunAnnouncer(QWidget *window, model::RunSummary &run)
        : m_window(window)
        , m_run(run)
    {
        m_run = model::RunSummary {};
    }
    ~RunAnnouncer() { publishRun(m_window, m_run); }
    RunAnnouncer(const RunAnnouncer &) = delete;
    RunAnnouncer &operator=(const RunAnnouncer &) = delete;

private:
    QPointer<QWidget> m_window;
    model::RunSummary &m_run;
};

} // namespace quorvel::curve
