#include "driver/run_setup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "common/run_error.h"

namespace veltaro {
namespace {

TEST(MeshSizing, NamedMeshesKeepSquareCellsAlongTheTunnel) {
    mesh_size mesh = size_mesh(1, 4.0f, 1.0f);
    EXPECT_EQ(mesh.nx, 200);
    EXPECT_EQ(mesh.ny, 50);
    EXPECT_EQ(mesh.dx, 4.0f / 199.0f);
    mesh = size_mesh(0, 2.5f, 1.0f);  // 62.5 truncates to 62
    EXPECT_EQ(mesh.nx, 62);
    EXPECT_EQ(mesh.ny, 25);
    EXPECT_EQ(mesh.dx, 2.5f / 61.0f);
    mesh = size_mesh(2, 4.0f, 1.0f);
    EXPECT_EQ(mesh.nx, 400);
    EXPECT_EQ(mesh.ny, 100);
}

TEST(MeshSizing, OtherChoicesGiveAHundredSquareWhateverTheHeight) {
    for (int choice : {7, -1}) {
        const mesh_size mesh = size_mesh(choice, 3.0f, 0.01f);
        EXPECT_EQ(mesh.nx, 100);
        EXPECT_EQ(mesh.ny, 100);
        EXPECT_EQ(mesh.dx, 3.0f / 99.0f);
    }
}

TEST(MeshSizing, RefusesTooShortAndTooLargeMeshes) {
    EXPECT_THROW(size_mesh(0, 0.1f, 1.0f), run_error);  // 2 nodes along
    EXPECT_NO_THROW(size_mesh(0, 0.12f, 1.0f));         // 3 nodes
    EXPECT_THROW(size_mesh(2, 1e9f, 1.0f), run_error);  // would overflow an int
    EXPECT_THROW(size_mesh(2, 30000.0f, 1.0f), run_error);
}

dialogue_answers answers_with(float reynolds, float viscosity) {
    dialogue_answers answers;
    answers.reynolds = reynolds;
    answers.kinematic_viscosity = viscosity;
    answers.density = 1.2f;
    answers.height = 1.0f;
    answers.length = 4.0f;
    return answers;
}

TEST(DerivedParameters, InletVelocityFromReynoldsNumber) {
    const dialogue_answers answers = answers_with(100.0f, 0.001f);
    EXPECT_FALSE(inlet_velocity_is_asked(answers));
    const run_parameters params = derive_parameters(answers, 0.0f);
    EXPECT_EQ(params.inlet_velocity, 100.0f * 0.001f / 1.0f);
    EXPECT_FLOAT_EQ(params.inlet_velocity, 0.1f);
    EXPECT_EQ(params.dynamic_viscosity, 0.001f * 1.2f);
    EXPECT_EQ(params.length, 4.0f);
    EXPECT_EQ(params.height, 1.0f);
    EXPECT_EQ(params.outlet_pressure, 0.0f);
    EXPECT_NO_THROW(check_parameters(answers, params));
}

TEST(DerivedParameters, TypedInletVelocityWhenItCannotBeDerived) {
    for (const dialogue_answers& answers : {answers_with(0.0f, 0.01f), answers_with(20.0f, 0.0f)}) {
        EXPECT_TRUE(inlet_velocity_is_asked(answers));
        const run_parameters params = derive_parameters(answers, 0.25f);
        EXPECT_EQ(params.inlet_velocity, 0.25f);
        EXPECT_EQ(params.dynamic_viscosity, answers.kinematic_viscosity * 1.2f);
    }
}

TEST(DerivedParameters, RefusesWhatCannotMakeARun) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    auto refused = [](dialogue_answers answers, float typed) {
        try {
            check_parameters(answers, derive_parameters(answers, typed));
        } catch (const run_error& error) {
            return error.status() == 2;
        }
        return false;
    };
    dialogue_answers answers = answers_with(20.0f, 0.01f);
    EXPECT_FALSE(refused(answers, 0.0f));
    for (float bad : {0.0f, -1.0f, nan, inf}) {
        answers = answers_with(20.0f, 0.01f);
        answers.height = bad;
        EXPECT_TRUE(refused(answers, 0.0f)) << "height " << bad;
        answers = answers_with(20.0f, 0.01f);
        answers.length = bad;
        EXPECT_TRUE(refused(answers, 0.0f)) << "length " << bad;
        answers = answers_with(20.0f, 0.01f);
        answers.density = bad;
        EXPECT_TRUE(refused(answers, 0.0f)) << "density " << bad;
        EXPECT_TRUE(refused(answers_with(0.0f, 0.01f), bad)) << "typed inlet velocity " << bad;
    }
    EXPECT_TRUE(refused(answers_with(20.0f, -0.01f), 0.0f));  // negative viscosity
    EXPECT_TRUE(refused(answers_with(-20.0f, 0.01f), 0.0f));  // negative Reynolds number
    EXPECT_TRUE(refused(answers_with(nan, 0.01f), 0.0f));
    EXPECT_TRUE(refused(answers_with(20.0f, inf), 0.0f));
}

TEST(Answers, ReadWholeWordsAsAFormattedReadWould) {
    EXPECT_EQ(read_float_answer("1e2", "q"), 100.0f);
    EXPECT_EQ(read_float_answer("+5", "q"), 5.0f);
    EXPECT_TRUE(std::signbit(read_float_answer("-0", "q")));
    EXPECT_EQ(read_float_answer(".5", "q"), 0.5f);
    EXPECT_TRUE(std::isnan(read_float_answer("nan", "q")));
    EXPECT_EQ(read_int_answer("+5", "q"), 5);
    EXPECT_EQ(read_int_answer("-0", "q"), 0);
    EXPECT_EQ(read_int_answer("-1", "q"), -1);
    for (const char* word : {"20abc", "abc", "1,5", ""}) {
        EXPECT_THROW(read_float_answer(word, "q"), run_error) << word;
    }
    for (const char* word : {"1.5", "1e2", "2x", "99999999999", "-2147483649"}) {
        EXPECT_THROW(read_int_answer(word, "q"), run_error) << word;
    }
    EXPECT_EQ(read_int_answer("2147483647", "q"), 2147483647);
}

TEST(Answers, MessagesNameTheQuestion) {
    std::istringstream in("cyl.jpg 20 0.01 1 1 4 zero 100");
    std::ostringstream out;
    try {
        ask_questions(in, out);
        FAIL() << "accepted a word for the mesh choice";
    } catch (const run_error& error) {
        EXPECT_NE(std::string(error.what()).find("Mesh spacing (0=coarse, 1=standard, 2=fine)"),
                  std::string::npos)
            << error.what();
    }
}

}  // namespace
}  // namespace veltaro
