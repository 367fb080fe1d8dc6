#pragma once

#include <QRect>

class QFont;

namespace brindlewick {

// Converts dialog-template units to pixels the way dialog templates are laid
// out: one horizontal unit is a quarter of the font's average character width,
// one vertical unit an eighth of its character height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int X(int units) const;
    int Y(int units) const;
    // A rectangle in dialog units given as x, y, width, height.
    QRect Rect(int x, int y, int width, int height) const;

private:
    int baseX_;
    int baseY_;
};

}  // namespace brindlewick
