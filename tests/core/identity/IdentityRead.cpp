#include "core/identity/IdentityRead.h"

#include <algorithm>

#include "core/batch/Item.h"
#include "core/project/DM.h"
#include "core/recognition/SkanItem.h"

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
    DM().CheckEmpty = way.CheckEmpty;
    TItem item;
    item.FileName = path;
    TSkanItem job(item);
    job.Geometry = way.UseStoredGeometry ? stored : TScanGeometry{0, 0, 0, 0, 0.0f, 50};
    job.Geometry.Level = way.Level;
    job.ExpectedCount = way.ExpectedCount;
    job.AnswerPause = {};
    if (way.Operator != TOperator::None)
        job.SetHandlers(
            [&](TSkanItem& sender, TRect area, TPoint& pt, bool&) {
                asked.push_back({"corner", AreaPixels(sender.Raster, area)});
                pt = {(area.Right - area.Left) / 2, (area.Bottom - area.Top) / 2};
            },
            [&](TSkanItem& sender, TRect area, int count, std::string& answer, bool& ok) {
                asked.push_back({"answer", count, answer, AreaPixels(sender.Raster, area)});
                if (way.Operator == TOperator::AbortsAtThird && ++questions == 3) {
                    ok = false;
                    return;
                }
                answer = answer.empty() ? std::string(1, static_cast<char>('A' + count - 1)) : answer.substr(1);
            });
    job.Run();
    DM().CheckEmpty = true;

    Json answers = Json::array();
    for (int i = 0; i < item.Answers.Count(); ++i)
        if (item.Answers.Name(i) != "Student") answers.push_back(item.Answers.ValueAt(i));
    return {{"Status", job.Status},
            {"Message", job.Message},
            {"Code", item.Code},
            {"Answers", answers},
            {"Geometry",
             {{"Left", job.Geometry.Left},
              {"Top", job.Geometry.Top},
              {"Right", job.Geometry.Right},
              {"Bottom", job.Geometry.Bottom},
              {"Angle", job.Geometry.Angle},
              {"Level", job.Geometry.Level}}},
            {"Asked", asked}};
}

}  // namespace quorlen::identity
