// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "DocumentLayout.h"

#include <QTransform>
#include <QWidget>

namespace quorvel::intro {

// The document area of the introduction window: shows the page of the explanatory document at
// its natural size (an inch of page to an inch of screen, by the widget's logical dpi) from the
// area's top-left corner, cut off at the area's edges, without scroll bars. It takes the focus
// but reads no input.
class DocumentView : public QWidget
{
    Q_OBJECT
public:
    explicit DocumentView(QWidget *parent = nullptr);

    const DocumentLayout &documentLayout() const { return m_layout; }
    // From page twips to the widget's logical pixels.
    QTransform pageToWidget() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    DocumentLayout m_layout;
};

} // namespace quorvel::intro
