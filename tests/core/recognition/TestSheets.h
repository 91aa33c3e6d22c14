#pragma once

#include <string>

#include "core/common/MonoBitmap.h"
#include "core/project/SheetLayout.h"

namespace quorlen::testsheets {

// Answer-sheet pages drawn straight from TSheetLayout, without the header
// text, as an independent check on the reader: the renderer and these pages
// share nothing but the layout record.
TMonoBitmap DrawPage(const TSheetLayout& layout, const std::string& code);

// Fills the box at a grid point of a 640 × 850 page.
void FillBox(TMonoBitmap& page, TGridPoint p);
// Marks answer box b (0 = A) of question q.
void MarkAnswer(TMonoBitmap& page, const TSheetLayout& layout, int q, int b);
// Paints the page white over [x0, x1) × [y0, y1) (sheet pixels).
void Erase(TMonoBitmap& page, int x0, int y0, int x1, int y1);

// The page as a scanner at an integer scale would see it: every sheet pixel
// becomes a k × k block, and white margins surround the frame.
struct TPlacement {
    int Scale = 2;
    int Left = 40, Top = 40, Right = 40, Bottom = 40;
    // Pixel of sheet point (x, y) on the scan.
    int X(int sheetX) const { return Left + Scale * sheetX; }
    int Y(int sheetY) const { return Top + Scale * sheetY; }
};
TMonoBitmap Scan(const TMonoBitmap& page, const TPlacement& placement = {});

}  // namespace quorlen::testsheets
