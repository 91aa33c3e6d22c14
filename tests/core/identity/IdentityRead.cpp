#include "core/identity/IdentityRead.h"

#include <algorithm>

#include "core/recognition/ReadScan.h"

namespace quorlen::identity {

namespace {

// Which pixels the operator is shown: a count and a position-weighted sum of
// the black ones inside the area, clipped to the raster.
Json AreaPixels(const TMonoBitmap& raster, TRect a) {
    const int x0 = std::max(a.Left, 0), y0 = std::max(a.Top, 0);
    const int x1 = std::min(a.Right, raster.Width() - 1), y1 = std::min(a.Bottom, raster.Height() - 1);
    uint64_t count = 0, weighted = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (raster.IsBlack(x, y)) {
                ++count;
                weighted = weighted * 31 + static_cast<uint64_t>(y - y0) * 4099 + static_cast<uint64_t>(x - x0);
            }
    return {a.Left, a.Top, a.Right, a.Bottom, count, weighted};
}

}  // namespace

Json ReadOnce(const std::string& path, const TReadWay& way, const TScanGeometry& stored) {
    Json asked = Json::array();
    int questions = 0;
    TReadOptions options;
    options.CheckEmpty.Set(way.CheckEmpty);
    options.StoredGeometry = way.UseStoredGeometry ? stored : TScanGeometry{};
    options.Level = way.Level;
    options.ExpectedCount = way.ExpectedCount;
    options.AnswerPause = {};
    TScanHandlers handlers;
    if (way.Operator != TOperator::None) {
        handlers.OnGetStartPoint = [&](const TScanView& scan, TRect area, TPoint& pt, bool&) {
            asked.push_back({"corner", AreaPixels(scan.Raster, area)});
            pt = {(area.Right - area.Left) / 2, (area.Bottom - area.Top) / 2};
        };
        handlers.OnGetOdp = [&](const TScanView& scan, TRect area, int count, std::string& answer, bool& ok) {
            asked.push_back({"answer", count, answer, AreaPixels(scan.Raster, area)});
            if (way.Operator == TOperator::AbortsAtThird && ++questions == 3) {
                ok = false;
                return;
            }
            answer = answer.empty() ? std::string(1, static_cast<char>('A' + count - 1)) : answer.substr(1);
        };
    }
    const TScanResult r = ReadScan(path, options, handlers);

    Json answers = Json::array();
    for (int i = 0; i < r.Answers.Count(); ++i) answers.push_back(r.Answers.ValueAt(i));
    return {{"Status", static_cast<int>(r.Status)},
            {"Message", r.Message},
            {"Code", r.Code},
            {"Answers", answers},
            {"Geometry",
             {{"Left", r.Geometry.Left},
              {"Top", r.Geometry.Top},
              {"Right", r.Geometry.Right},
              {"Bottom", r.Geometry.Bottom},
              {"Angle", r.Geometry.Angle},
              {"Level", r.Geometry.Level}}},
            {"Asked", asked}};
}

}  // namespace quorlen::identity
