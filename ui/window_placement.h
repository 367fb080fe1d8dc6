#pragma once

class QWidget;

namespace brindlewick {

// Moves a top-level window so that it is centred, frame and title bar
// included, on the screen of its parent, or on the primary screen without
// one. A window larger than the screen keeps its title bar on the screen, so
// that it can still be moved.
void CentreOnScreen(QWidget& window);

// Centres the window once, when it is first shown.
void CentreWhenFirstShown(QWidget& window);

}  // namespace brindlewick
