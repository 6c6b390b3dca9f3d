// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/RunSummary.h"

#include <QPointer>
#include <QWidget>

namespace quorvel::curve {

// The curve window for a screen reader: its name, each field labelled by its own caption and
// described by the hover text of that caption or of its frame, and the drawing as a graphic
// whose description tells what the latest run drew.
void exposeCurveWindow(QWidget *window);

// The graphic's description after a run, announced to assistive technology.
void publishRun(QWidget *window, const RunSummary &run);

// Gathers a run from its start to its end, whichever way it ends, and publishes it then.
class RunAnnouncer
{
public:
    RunAnnouncer(QWidget *window, RunSummary &run)
        : m_window(window)
        , m_run(run)
    {
        m_run = RunSummary {};
    }
    ~RunAnnouncer() { publishRun(m_window, m_run); }
    RunAnnouncer(const RunAnnouncer &) = delete;
    RunAnnouncer &operator=(const RunAnnouncer &) = delete;

private:
    QPointer<QWidget> m_window;
    RunSummary &m_run;
};

} // namespace quorvel::curve
