// SPDX-FileCopyrightText: 2026 The QUORVEL developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "DotIndex.h"

#include <QObject>
#include <QPointer>
#include <QSize>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QWidget;

namespace quorvel::readout {

// What a view shows at a moment, as the readout needs it.
struct Scene
{
    std::vector<PlacedRun> runs; // in drawing order
    // How the view's points map to user units relative to the axes' crossing; nothing while
    // the view has no axes (the readout then stays hidden).
    std::optional<ChainMapping> axes;
};

// A tip beside the cursor over a drawing: the point's X and Y relative to the axes' crossing
// in user units and, within three pixels, the nearest dot of the drawing's runs (its run,
// range, ALFA, t x ALFA, X11, Y11). A label over the view, never part of its drawing: it changes
// no picture, field or member, lets every click through, and vanishes when the cursor leaves
// the view or moves onto one of its controls. Its text is also its accessible description.
// The dots are found from an index built the first time the cursor is over the view after the
// scene changed, on a thread of its own: until it is ready the tip shows X and Y alone.
class ReadoutOverlay : public QObject
{
    Q_OBJECT
public:
    // `scene` is asked at every move of the cursor over `view`; it must be cheap.
    ReadoutOverlay(QWidget *view, std::function<Scene()> scene);
    ~ReadoutOverlay() override;
    ReadoutOverlay(const ReadoutOverlay &) = delete;
    ReadoutOverlay &operator=(const ReadoutOverlay &) = delete;

    QLabel *label() const { return m_label; }
    // The text shown now (empty while hidden).
    QString text() const;
    // True once the index for the latest scene is built.
    bool indexReady() const { return m_index != nullptr; }
    // Asks the scene again for the point the tip is shown for, as after a move of the cursor:
    // for a view whose mapping changed under a still cursor (a zoom by the keyboard).
    void refresh();

    // The readout's text for a point of the view: X and Y, then the nearest dot if any.
    static QString describe(QPointF userPoint, double pixelsPerUnit,
                            const std::optional<FoundDot> &dot);

signals:
    // The index of the scene is built (for whoever waits on it, such as a test).
    void indexBuilt();
    // The text shown changed; empty once the tip is hidden.
    void textChanged(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Build;
    void watch(QWidget *widget);
    void showAt(QPoint pos);
    void hide();
    void startBuild(const Scene &scene);
    void finishBuild(const std::shared_ptr<Build> &build);
    void stopBuild();

    QPointer<QWidget> m_view;
    QLabel *m_label;
    std::function<Scene()> m_scene;
    // The scene the index (or the build under way) is for.
    std::vector<PlacedRun> m_indexedRuns;
    QSize m_indexedSize;
    std::shared_ptr<const DotIndex> m_index;
    std::shared_ptr<Build> m_build;
    std::optional<QPoint> m_cursor; // where the tip is shown for, while shown
};

} // namespace quorvel::readout
