// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "PictureFiles.h"

#include "shell/FocusReturn.h"
#include "shell/MessageBox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QWidget>

#include <algorithm>
#include <cstddef>
#include <limits>
#include <optional>

namespace quorvel::picture {

// A long writing shows its progress after this long,
inline constexpr int kProgressAfterMs = 500;
// and lets events in at most this often.
inline constexpr int kProgressEveryMs = 50;
inline constexpr int kProgressSteps = 1000;

// A window with the progress of a long writing and "Annulla", shown once the writing has
// lasted half a second; modal to the whole program, so that nothing else can be started
// meanwhile. While it is up, events are let in every few hundredths of a second.
class ProgressWindow
{
public:
    ProgressWindow(QWidget *parent, const QString &label, std::size_t total)
        : m_total(std::max<std::size_t>(total, 1))
        , m_parent(parent)
        , m_dialog(label, QStringLiteral("Annulla"), 0, kProgressSteps, parent)
    {
        m_dialog.setObjectName(QStringLiteral("ProgressWindow"));
        m_dialog.setWindowTitle(QString::fromUtf16(kApplicationTitle));
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        // Shown by progress() alone, not by a timer of its own.
        m_dialog.setMinimumDuration(std::numeric_limits<int>::max());
        m_dialog.hide();
        m_clock.start();
    }
    ~ProgressWindow() = default;
    ProgressWindow(const ProgressWindow &) = delete;
    ProgressWindow &operator=(const ProgressWindow &) = delete;

    Progress progress()
    {
        return [this](std::size_t done) {
            // Events are let in only while the window is up, modal: before, nothing the user
            // does could reach the program in the middle of a writing.
            const qint64 now = m_clock.elapsed();
            if (now < kProgressAfterMs || now - m_lastMs < kProgressEveryMs)
                return true;
            m_lastMs = now;
            if (!m_dialog.isVisible()) {
                m_focusReturn.emplace(m_parent);
                m_dialog.show();
            }
            const double share = static_cast<double>(done) / static_cast<double>(m_total);
            m_dialog.setValue(
                static_cast<int>(std::min(kProgressSteps - 1.0, kProgressSteps * share)));
            QCoreApplication::processEvents();
            return !m_dialog.wasCanceled();
        };
    }
    bool cancelled() const { return m_dialog.wasCanceled(); }

private:
    std::size_t m_total;
    QPointer<QWidget> m_parent;
    // Gives the focus back to the parent once the window, destroyed before it, has gone.
    std::optional<FocusReturn> m_focusReturn;
    QProgressDialog m_dialog;
    QElapsedTimer m_clock;
    qint64 m_lastMs = 0;
};

} // namespace quorvel::picture
