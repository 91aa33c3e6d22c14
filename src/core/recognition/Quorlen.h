#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/common/AnswerList.h"
#include "core/common/MonoBitmap.h"
#include "core/common/ScanGeometry.h"
#include "core/common/SharedSwitch.h"
#include "core/project/SheetLayout.h"
#include "core/recognition/Deskew.h"
#include "core/recognition/ScanHandlers.h"

namespace quorlen {

class TQuorlen;

// Handlers as the recognizer raises them, with itself as the sender.
using TQuorlenStartPointRequest = std::function<void(TQuorlen& sender, TRect area, TPoint& pt, bool& ok)>;
using TQuorlenAnswerRequest =
    std::function<void(TQuorlen& sender, TRect area, int answerCount, std::string& answer, bool& ok)>;
using TQuorlenAnswerRead = std::function<void(TQuorlen& sender)>;

// Reads one scan: finds the printed frame and its ruler, then the marker row,
// the sheet code and the marked boxes. Every position is a grid point of the
// sheet layout mapped to pixels through the ruler ticks, so the reader holds no
// sheet coordinate of its own beyond the row and column numbers of the layout.
// Ruler tick spacings, in grid steps, outside which a walk has met a speck or
// lost a tick (TQuorlen::WalkRuler).
inline constexpr double kTickSpacingLow = 0.75;
inline constexpr double kTickSpacingHigh = 1.5;

class TQuorlen {
public:
    static constexpr int MarkerColumnCount = 20;
    static constexpr int TickCount = GridRows;
    static constexpr int MaxRasterSide = 65535;

    TQuorlen(TMonoBitmap& raster, int firstQuestionNo, const TScanGeometry& geometry);
    ~TQuorlen();
    TQuorlen(const TQuorlen&) = delete;
    TQuorlen& operator=(const TQuorlen&) = delete;

    // Location, code, answers. Errors of handlers propagate, and so does a
    // raster with no usable grid (over 65535 pixels, or under 32 wide).
    void Run();
    // Deskew, corners, then the sheet structure; may clear Ok.
    void LocateSheet();
    TPoint GridToPixel(int column, int row);
    bool IsMarked(int column, int row);
    // The box's black pixels over the count IsMarked needs: above 1 marked.
    double MarkRatio(int column, int row);
    void ReadCode();
    bool ColumnClosed(int column, int row);
    // Skew of the frame's left border in degrees; false when it cannot be measured.
    bool MeasureSkew(double& angle);
    // The skew from the frame's top border, for a scan whose left border is
    // lost (under the scanner's dark edge): the angle the left border would
    // give, as the two borders stand square.
    bool MeasureSkewAlongTop(double& angle);
    // True when the ink at (x, y) lies on a line through it (vertical or
    // horizontal), as the frame's borders do, rather than on a speck of dust
    // in the margin: more than half the positions within reach pixels (by
    // default two grid half-steps) along the line hold ink within LineSlack
    // pixels across it. A search that stops on a speck goes on to the next ink.
    bool OnLine(int x, int y, bool vertical, int reach = -1) const;
    // Location rotates the raster only where the reading looks; this rotates
    // the rest, for whoever needs the whole picture (an operator's dialog).
    void MakeAllTiles();
    // The rotation's tiles: null before location, no tiles when nothing was turned.
    const TDeskewTiles* Tiles() const { return tiles_.get(); }

    // After location only the tiles read so far hold rotated pixels; whoever
    // else reads the raster calls MakeAllTiles first.
    TMonoBitmap& Raster;
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    double ScaleX = 0, ScaleY = 0;
    int32_t Level = 0;
    // Ruler tick positions: top, left, bottom and right rulers; 0 = not measured.
    std::array<std::array<uint16_t, TickCount>, 4> TickTable{};
    TScanGeometry Geometry;
    bool Ok = true;
    TQuorlenStartPointRequest OnGetStartPoint;

    int32_t CodeRuleRow = 0;
    // Entries 1..20 as the reading numbers them; index 0 is unused.
    std::array<int32_t, MarkerColumnCount + 1> MarkerColumns{};
    int32_t AnswerCount = 0;
    int32_t FirstQuestionNo = 1;
    std::string Code;
    TAnswerList Answers;
    TQuorlenAnswerRequest OnGetOdp;
    TQuorlenAnswerRead OnAnswerRead;
    // Called once the code is read, before the first answer. It may withdraw
    // OnGetOdp, as the scan job does for a code it refuses: the answers of
    // such a sheet are read but put to nobody.
    std::function<void(TQuorlen& sender)> CodeRead;
    // Unmarked questions go to OnGetOdp (on) or read as " " (off).
    TSharedSwitch CheckEmpty{true};

private:
    // Pixels of the raster as the reader sees them: each read first makes its tile.
    struct TPixelView {
        const TMonoBitmap& R;
        TDeskewTiles* Tiles;
        bool IsBlack(int x, int y) const {
            if (Tiles) Tiles->Make(x, y);
            return R.IsBlack(x, y);
        }
        bool IsWhite(int x, int y) const {
            if (Tiles) Tiles->Make(x, y);
            return R.IsWhite(x, y);
        }
    };
    TPixelView View() const;
    enum Ruler { TopRuler = 0, LeftRuler = 1, BottomRuler = 2, RightRuler = 3 };
    void ReadStructure();
    void ReadAnswers();
    bool AskForCorner(TRect area, TPoint& pt);
    void MeasureColumnTicks(int column);
    void MeasureRowTicks(int row);
    // A search that expects a line passes over specks: while it stands on ink
    // that lies on no line across its way (OnLine), it crosses that ink and the
    // paper after it. v is the moving coordinate, fixed the other; the search
    // steps by step (+1 or -1) along x or y and stays short of limit.
    void PassSpecks(int& v, int fixed, bool alongX, int step, double limit, int reach = -1) const;
    // One search for a printed line from start along the row (alongX) or
    // column `fixed`: over a dark scanner edge first (overEdge), then the paper,
    // then past specks. whiteFrom receives where the paper began.
    int SeekLine(bool alongX, int fixed, int start, int step, double limit, bool overEdge, int& whiteFrom) const;
    // SeekLine, made safe against a hole in the line it meets.
    int SeekBorder(bool alongX, int fixed, int start, int step, double limit, bool overEdge) const;
    // What a search that found `found` on line `fixed`, having crossed paper
    // from whiteFrom, should have met, were there a hole in the line there:
    // seek(line) runs the same search on another line (see SeekBorder).
    int AcrossHole(bool alongX, int fixed, int step, int whiteFrom, int found,
                   const std::function<int(int)>& seek) const;
    void WalkRuler(bool alongX, int fixed, int start, int origin, int limit, int half, double step, int last, uint16_t* ticks);
    int CountBlack(int x0, int y0, int x1, int y1) const;

    int32_t hx_ = 0, hy_ = 0;
    std::unique_ptr<TDeskewTiles> tiles_;
};

}  // namespace quorlen
