// A set of measurements, summed up as a benchmark prints them: minimum,
// median, percentiles and maximum.
#pragma once

#include <vector>

namespace kestrova::bench {

class Distribution {
public:
    Distribution() = default;
    explicit Distribution(std::vector<double> values);

    void add(double value);
    bool empty() const { return values_.empty(); }
    int count() const { return static_cast<int>(values_.size()); }

    // Nearest rank: the smallest value that at least `percent` of all are at or below.
    double percentile(double percent) const;
    double median() const { return percentile(50); }
    double min() const { return percentile(0); }
    double max() const { return percentile(100); }
    double mean() const;

private:
    void sort() const;

    mutable std::vector<double> values_;
    mutable bool sorted_ = true;
};

} // namespace kestrova::bench
