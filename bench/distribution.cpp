#include "bench/distribution.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kestrova::bench {

Distribution::Distribution(std::vector<double> values) : values_(std::move(values)), sorted_(false) {}

void Distribution::add(double value)
{
    values_.push_back(value);
    sorted_ = false;
}

void Distribution::sort() const
{
    if (!sorted_)
        std::sort(values_.begin(), values_.end());
    sorted_ = true;
}

double Distribution::percentile(double percent) const
{
    if (values_.empty())
        return 0;
    sort();
    const double rank = std::ceil(percent / 100.0 * static_cast<double>(values_.size()));
    const std::size_t index = rank < 1 ? 0 : std::min(values_.size(), static_cast<std::size_t>(rank)) - 1;
    return values_[index];
}

double Distribution::mean() const
{
    if (values_.empty())
        return 0;
    return std::accumulate(values_.begin(), values_.end(), 0.0) / static_cast<double>(values_.size());
}

} // namespace kestrova::bench
