// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QApplication;
class QTextBrowser;

namespace quorvel {

// A short Italian guide to the curve window's fields and to the keys, shown with F1 from any of
// the program's windows, whatever control has the focus. The guide is a window of its own, not
// one of the program's forms: showing it, or coming back from it, runs no activation handler.
class Guide : public QObject
{
    Q_OBJECT
public:
    explicit Guide(QObject *parent = nullptr);
    ~Guide() override;

    // The guide's text, as rich text.
    static QString text();

    // Shows the guide window (creating it if needed) and brings it to the front.
    void show();
    QWidget *window() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QTextBrowser> m_window;
};

// Makes F1 open the guide in every window of `app`; the guide object belongs to `app`.
Guide *installGuide(QApplication &app);

} // namespace quorvel
