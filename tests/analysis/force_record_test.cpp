// The force record's buffer keeps an even record of the whole run when
// it fills.
#include "analysis/force_record.h"

#include <gtest/gtest.h>

#include <vector>

namespace veltaro {
namespace {

TEST(ForceRecord, AFullBufferKeepsEverySecondSample) {
    // The times kept are the iterations kept.
    const struct { int iterations; std::vector<double> times; } rows[] = {
        {4, {1, 2, 3, 4}}, {6, {2, 4, 6}}, {10, {4, 8}}};
    for (const auto& row : rows) {
        flow_field field = allocate_flow_field(4, 4, 1.0f, 1.0f);
        force_record history({4, 1.0, 1.0, false});
        for (int n = 1; n <= row.iterations; ++n) history.record(field, {field.u, field.v, 1.0}, n, n);
        std::vector<double> times;
        for (const force_sample& s : history.samples()) times.push_back(s.time);
        EXPECT_EQ(times, row.times) << row.iterations;
    }
}

}  // namespace
}  // namespace veltaro
