// A posted run's form: which answers and options it takes, the answers file
// the child reads, and its command-line options.
#include "server/run_request.h"

#include <gtest/gtest.h>

#include <map>

namespace veltaro::server {
namespace {

using form = std::map<std::string, std::string>;

const form good = {{"reynolds_number", "20"}, {"kinematic_viscosity", "0.01"}, {"density", "1"},
                   {"tunnel_height", "1"},    {"tunnel_length", "4"},          {"mesh_choice", "1"},
                   {"max_iterations", "500"}};

form with(form fields, const std::string& name, const std::string& value) {
    fields[name] = value;
    return fields;
}

form without(form fields, const std::string& name) {
    fields.erase(name);
    return fields;
}

request_check check(const form& fields) {
    return check_run_request([&](const std::string& name) -> std::optional<std::string> {
        const auto found = fields.find(name);
        return found == fields.end() ? std::nullopt : std::optional(found->second);
    });
}

TEST(RunRequest, AnswersFileAndRefusals) {
    // clang-format off
    const struct {
        const char* name;
        form fields;
        const char* answers;  // the answers file, or nullptr when refused
        const char* refusal;  // words of the refusal
    } rows[] = {
        {"all answers", good, "picture.jpg 20 0.01 1 1 4 1 500\n", ""},
        {"blanks around", with(good, "density", " 1.5\r\n"), "picture.jpg 20 0.01 1.5 1 4 1 500\n", ""},
        {"exponents", with(good, "kinematic_viscosity", "1e-2"), "picture.jpg 20 1e-2 1 1 4 1 500\n", ""},
        {"inlet velocity ignored", with(good, "inlet_velocity", "3"), "picture.jpg 20 0.01 1 1 4 1 500\n", ""},
        {"inlet velocity at Re 0", with(with(good, "reynolds_number", "0"), "inlet_velocity", "0.2"), "picture.jpg 0 0.01 1 1 4 1 500 0.2\n", ""},
        {"inlet velocity at a tiny nu", with(with(good, "kinematic_viscosity", "1e-50"), "inlet_velocity", "2"), "picture.jpg 20 1e-50 1 1 4 1 500 2\n", ""},
        {"inlet velocity missing", with(good, "reynolds_number", "0.0"), nullptr, "\"inlet_velocity\" is missing"},
        {"inlet velocity missing at nu 0", with(good, "kinematic_viscosity", "0"), nullptr, "\"inlet_velocity\" is missing"},
        {"missing", without(good, "tunnel_length"), nullptr, "\"tunnel_length\" is missing"},
        {"empty", with(good, "density", ""), nullptr, "\"density\" is missing"},
        {"a word", with(good, "mesh_choice", "fine"), nullptr, "\"mesh_choice\" is not a number"},
        {"two words", with(good, "max_iterations", "5 00"), nullptr, "\"max_iterations\" is not a number"},
        {"a trailing letter", with(good, "tunnel_height", "1m"), nullptr, "\"tunnel_height\" is not a number"},
        {"bad option", with(good, "solid_nodes", "most"), nullptr, "\"solid_nodes\" must be \"sampled\", \"covered\" or \"outline\"."},
        {"bad stop rule", with(good, "stop_rule", "settled"), nullptr, "\"stop_rule\" must be \"quiet\", \"steady\" or \"limit\"."},
        {"option in capitals", with(good, "pressure_solver", "FFT"), nullptr, "\"pressure_solver\" must be \"lu\" or \"fft\"."},
        {"outline", with(good, "solid_nodes", "outline"), "picture.jpg 20 0.01 1 1 4 1 500\n", ""},
        {"bad advection", with(good, "advection", "second"), nullptr, "\"advection\" must be \"first-order\" or \"second-order\"."},
        {"long sweep", with(good, "sweep", std::string(201, 's')), nullptr, "\"sweep\""},
        {"bad projection", with(good, "projection", "staggered"), nullptr, "\"projection\" must be \"nodes\" or \"faces\"."},
        {"courant", with(good, "courant", " 0.4 "), "picture.jpg 20 0.01 1 1 4 1 500\n", ""},
        {"courant zero", with(good, "courant", "0"), nullptr, "\"courant\" must be a number above 0 and at most 1"},
        {"courant negative", with(good, "courant", "-0.1"), nullptr, "\"courant\" must be a number above 0"},
        {"courant above 1", with(good, "courant", "1.2"), nullptr, "\"courant\" must be a number above 0"},
        {"courant a word", with(good, "courant", "large"), nullptr, "\"courant\" must be a number above 0"},
        {"courant not a number", with(good, "courant", "nan"), nullptr, "\"courant\" must be a number above 0"},
        {"unsteady not a time", with(good, "unsteady", "-8"), nullptr, "\"unsteady\" must be a positive number"},
        {"unsteady with a stop rule", with(with(good, "unsteady", "8"), "stop_rule", "steady"), nullptr, "\"unsteady\" takes no stop rule but \"limit\"."},
        {"frames without unsteady", with(good, "frames", "60"), nullptr, "need \"unsteady\""},
        {"frames not a count", with(with(good, "unsteady", "8"), "frames", "6e1"), nullptr, "need \"unsteady\""},
        {"nodes across", with(good, "nodes_across", "200"), "picture.jpg 20 0.01 1 1 4 1 500\n", ""},
        {"too few nodes across", with(good, "nodes_across", "2"), nullptr, "\"nodes_across\" must be a whole number"},
        {"nodes across not whole", with(good, "nodes_across", "2e2"), nullptr, "at least 3, such as 200."},
        {"grid study", with(good, "grid_study", "true"), "picture.jpg 20 0.01 1 1 4 1 500\n", ""},
        {"no grid study", with(good, "grid_study", " false "), "picture.jpg 20 0.01 1 1 4 1 500\n", ""},
        {"grid study as yes", with(good, "grid_study", "yes"), nullptr, "\"grid_study\" must be true or false"},
        {"grid study in capitals", with(good, "grid_study", "True"), nullptr, "\"grid_study\" must be true or false"},
        {"grid study a number", with(good, "grid_study", "1"), nullptr, "\"grid_study\" must be true or false"},
        {"airfoil", with(with(good, "naca", "2412"), "angle", "-8"), "picture.jpg 20 0.01 1 1 4 1 500\n", ""},
        {"airfoil without its angle", with(good, "naca", "0012"), nullptr, "\"naca\" and \"angle\" go together"},
        {"airfoil of three digits", with(with(good, "naca", "012"), "angle", "0"), nullptr, "four digits"},
    };
    // clang-format on
    for (const auto& row : rows) {
        const request_check result = check(row.fields);
        ASSERT_EQ(result.request.has_value(), row.answers != nullptr) << row.name;
        if (result.request) {
            EXPECT_EQ(answers_text("picture.jpg", result.request->answers), row.answers) << row.name;
        } else {
            EXPECT_NE(result.refusal.find(row.refusal), std::string::npos) << result.refusal;
        }
    }
}

TEST(RunRequest, OptionsBecomeArguments) {
    // In the fixed order, whatever the form's.
    form fields = good;
    fields.insert({{"frames_vtk", "yes"}, {"unsteady", "8"}, {"advection", "second-order"},
                   {"pressure_solver", "fft"}, {"stop_rule", "limit"}, {"frames", "60"},
                   {"solid_nodes", "covered"}, {"sweep", "Re sweep"}, {"nodes_across", "80"}});
    fields["grid_study"] = "true";
    fields["courant"] = "0.25";
    fields["projection"] = "faces";
    const request_check result = check(fields);
    ASSERT_TRUE(result.request);
    EXPECT_EQ(
        option_arguments(result.request->options),
        (std::vector<std::string>{
            "--solid-nodes=covered", "--stop-rule=limit", "--pressure-solver=fft",
            "--advection=second-order", "--projection=faces", "--courant=0.25", "--unsteady=8",
            "--frames=60", "--frames-vtk", "--nodes-across=80", "--grid-study"}));
    EXPECT_EQ(result.request->sweep, "Re sweep");
    // An empty option is the default, as a form's empty select would send it.
    EXPECT_TRUE(option_arguments(check(with(good, "solid_nodes", "")).request->options).empty());
    EXPECT_TRUE(
        option_arguments(check(with(good, "grid_study", "false")).request->options).empty());
}

// An upload is judged, and named when stored, by its first bytes alone.
TEST(RunRequest, UploadsJudgedAndNamedByTheirFirstBytes) {
    // clang-format off
    const struct {
        const char* file;
        std::string bytes;
        const char* refusal;  // the start of it; "" when taken
        const char* stored_as;
    } rows[] = {
        {"cylinder.jpg", "\xff\xd8\xff\xe0", "", "picture.jpg"},
        {"drawing.png", "\x89PNG\r\n\x1a\n", "", "picture.png"},
        // A cut signature is the program's PNG reader to tell.
        {"cut.png", "\x89PNG", "", "picture.jpg"},
        {"cat.gif", "GIF89a\x01\x00", "Can't open input jpg file: cat.gif (it looks like a GIF picture;", "picture.jpg"},
        {"notes.png", "These are notes.\n", "Can't open input jpg file: notes.png (it looks like text,", "picture.jpg"},
        {"", "", "Can't open input jpg file: the uploaded file (it is empty)", "picture.jpg"},
    };
    // clang-format on
    for (const auto& row : rows) {
        const std::string refusal = upload_refusal(row.file, row.bytes);
        EXPECT_EQ(refusal.substr(0, std::string(row.refusal).size()), row.refusal) << row.file;
        EXPECT_EQ(refusal.empty(), *row.refusal == '\0') << row.file;
        EXPECT_EQ(picture_name_for(row.bytes), row.stored_as) << row.file;
    }
}

}  // namespace
}  // namespace veltaro::server
