#pragma once
// Dialog units to pixels: x·averageWidth/4 and y·height/8, rounded, with the dialog font's
// average character width and line height, as the window system the templates were drawn for
// converts them. The window then has the template's proportions in any font. The average width
// is kept exact rather than rounded to whole pixels: with fonts other than the one the
// template was drawn in, the rounding alone would cut captions that otherwise fit.

#include <cmath>

namespace brimlo::app {

struct DialogBaseUnits {
    double averageWidth = 0;  // of the 52 Latin letters
    int height = 0;           // of the font's line
};

inline int HorizontalPixels(int dialogUnits, const DialogBaseUnits& base) {
    return static_cast<int>(std::lround(dialogUnits * base.averageWidth / 4));
}

inline int VerticalPixels(int dialogUnits, const DialogBaseUnits& base) {
    return static_cast<int>(std::lround(dialogUnits * base.height / 8.0));
}

// The average width from the advance of "A".."Z" and "a".."z" together.
inline double AverageCharacterWidth(double alphabetAdvance) {
    return alphabetAdvance / 52;
}

}  // namespace brimlo::app
