#include "output/run_summary.h"

#include <limits>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/scratch_dir.h"

namespace veltaro {
namespace {

TEST(WriteSummary, GivesValidJsonWithEveryKeyInOrderAndNullsForMissingNumbers) {
    test::scratch_dir dir;
    run_summary summary;
    summary.picture = "odd \"name\\\xff.jpg";
    summary.reynolds_number = 0.1;
    summary.change_p = 1.2345678901234567e-7;
    summary.lift = std::numeric_limits<double>::quiet_NaN();
    summary.stop = "iteration limit";
    summary.chord = 0.3;
    write_summary("summary.json", summary);

    const std::string text = test::read_file("summary.json");
    EXPECT_EQ(text.substr(0, 4), "{\n  ");
    EXPECT_EQ(text.back(), '\n');
    const auto parsed = nlohmann::ordered_json::parse(text);
    std::string keys;
    for (const auto& item : parsed.items()) keys += item.key() + ' ';
    EXPECT_EQ(keys,
              "picture picture_width picture_height reynolds_number kinematic_viscosity density "
              "tunnel_height tunnel_length mesh_choice max_iterations inlet_velocity nx ny dx "
              "iterations stop change_u change_v change_p lift drag frontal_height chord "
              "reynolds_frontal lift_coefficient drag_coefficient seconds ");
    EXPECT_EQ(parsed["picture"], "odd \"name\\\xEF\xBF\xBD.jpg");
    EXPECT_EQ(parsed["reynolds_number"].get<double>(), 0.1);
    EXPECT_EQ(parsed["change_p"].get<double>(), 1.2345678901234567e-7);
    EXPECT_EQ(parsed["stop"], "iteration limit");
    EXPECT_EQ(parsed["chord"].get<double>(), 0.3);
    for (const char* key : {"lift", "frontal_height", "drag_coefficient"}) {
        EXPECT_TRUE(parsed[key].is_null()) << key;
    }
    EXPECT_TRUE(parsed["nx"].is_number_integer());
}

}  // namespace
}  // namespace veltaro
