#pragma once

#include "velkor/stats/LiveStatistics.h"

#include <string>
#include <vector>

namespace velkor
{

// The statistics box's wording of a play's figures.
class StatisticsText
{
public:
    // The box's lines, plain words.
    static std::vector<std::string> lines(const LiveStatistics::Figures& figures);
};

} // namespace velkor
