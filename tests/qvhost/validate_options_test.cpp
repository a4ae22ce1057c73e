// validate's options as a child and a rerun hint receive them, and its JUnit
// report, in process.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include "validate/junit.h"
#include "validate/validate.h"

namespace {

using qvhost::ValidateOptions;

ValidateOptions parsed(const std::vector<std::string>& words) {
    CLI::App app;
    qvhost::ValidateOptionReader command(*app.add_subcommand("validate"));
    std::vector<std::string> reversed(words.rbegin(), words.rend());
    app.parse(reversed);  // CLI11 takes a reversed vector
    EXPECT_TRUE(command.given());
    return command.options();
}

// A new option that validateArguments does not write fails here, so that a
// child can never run with less than its parent was given.
TEST(ValidateArguments, EveryOptionReadsBackAsGiven) {
    ValidateOptions o;
    o.libraries = {"a.qvm", "-b.qvm", "c d.qvm"};
    o.json = o.markdown = o.list = o.version = o.inProcess = true;
    o.seed = 18446744073709551615ull;
    o.strictness = 9;
    o.timeout = 0.1;
    o.repeat = 7;
    o.only = {"dsp-blocks", "create"};
    o.skip = {"paint"};
    o.modules = {"EX-Slew", "Two words"};
    o.rates = {0, 44100};
    o.blocks = {1, 4096};
    o.randomBlocks = true;
    o.description = "elsewhere/x.qvm.json";
    o.warningsAsErrors = o.onlyFailed = true;
    o.junit = "out/report.xml";
    o.fuzz = 2.5;
    o.childFrom = 12;
    o.reportFile = "r";
    o.captureFile = "c";
    EXPECT_EQ(parsed(qvhost::validateArguments(o)), o);
}

// Block sizes are numbers or the word random, nothing else.
TEST(ValidateArguments, BlocksAreSizesOrRandom) {
    EXPECT_TRUE(parsed({"validate", "--blocks", "random", "x.qvm"}).randomBlocks);
    EXPECT_EQ(parsed({"validate", "--blocks", "7,65536", "x.qvm"}).blocks, (std::vector<int32_t>{7, 65536}));
    for (const char* bad : {"0", "65537", "-1", "7x", "Random", ""}) {
        CLI::App app;
        qvhost::ValidateOptionReader command(*app.add_subcommand("validate"));
        std::vector<std::string> args{"x.qvm", bad, "--blocks", "validate"};  // CLI11 reads them back to front
        EXPECT_THROW(app.parse(args), CLI::ParseError) << bad;
    }
}

TEST(ValidateArguments, DefaultsAreLeftOut) {
    ValidateOptions o;
    o.libraries = {"x.qvm"};
    EXPECT_EQ(qvhost::validateArguments(o), (std::vector<std::string>{"validate", "x.qvm"}));
    EXPECT_EQ(parsed(qvhost::validateArguments(o)), o);
}

TEST(JunitXml, CountsEachOutcomeAndEscapesModuleText) {
    using qvhost::Status;
    const std::vector<qvhost::JunitSuite> suites{
        {"dir/lib.qvm",
         {{"load", Status::Passed, "", "", 0.5},
          {"M (dsp) a", Status::Failed, "x < y & \"z\"\x01", "rerun: qvhost", 0.25},
          {"M (dsp) b", Status::Crashed, "SIGSEGV", "", 0},
          {"M (dsp) c", Status::Skipped, "needs create", "", 0},
          {"M (dsp) d", Status::Warning, "slow", "", 0}}}};
    const std::string xml = qvhost::junitXml(suites, false, 5, 5);
    EXPECT_NE(xml.find("<testsuites name=\"qvhost validate\" tests=\"5\" failures=\"1\" errors=\"1\" skipped=\"1\" "
                       "time=\"0.750\">"),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<testcase classname=\"lib\" name=\"M (dsp) a\" time=\"0.250\">"), std::string::npos);
    EXPECT_NE(xml.find("message=\"x &lt; y &amp; &quot;z&quot;\\x01\" type=\"FAILED\""), std::string::npos) << xml;
    EXPECT_NE(xml.find("<system-out>WARNING: slow</system-out>"), std::string::npos);
    // With --warnings-as-errors a warning is a failure.
    const std::string strict = qvhost::junitXml(suites, true, 5, 5);
    EXPECT_NE(strict.find("failures=\"2\""), std::string::npos);
    EXPECT_NE(strict.find("<failure message=\"slow\" type=\"WARNING\">"), std::string::npos);
}

}  // namespace
