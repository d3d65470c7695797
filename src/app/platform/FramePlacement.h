#pragma once

#include <QPoint>
#include <QSize>
#include <functional>

class QWidget;

// Where a top-level window's outer frame goes, given the frame's size.
using TFramePlace = std::function<QPoint(QSize frameSize)>;

// Puts the window's outer frame where `place` says. Until the window manager has framed a newly
// shown window, its frame is unknown and only the inner rectangle can be placed; the placement is
// therefore made once more as soon as the frame is known, so that a first opening lands where
// every later one does. A later call replaces a placement still waiting for the frame.
void PlaceFrame(QWidget &window, const TFramePlace &place);

// Centres the window's frame on the work area of its screen (the screen of its owner for a
// dialog), the same way.
void CentreOnScreen(QWidget &window);
