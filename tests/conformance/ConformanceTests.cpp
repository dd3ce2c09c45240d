// The conformance procedure of filterdump, run on a filter that breaks one
// rule at a time: each break is found, in the pass that looks for it, and a
// filter that keeps the rules passes every condition.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "CConformanceProcedure.h"
#include "CConformanceTally.h"
#include "CFaultyFilter.h"

namespace {
using Fault = CFaultyFilter::Fault;

struct Outcome {
    std::vector<std::string> lines;
    std::set<std::string> failed;  // "pass / condition", "thread 2" and "run 3" shown as "thread" and "run"
    unsigned passed = 0;
};

Outcome RunProcedure(Fault fault)
{
    Outcome outcome;
    CConformanceTally tally([&outcome](const std::string& line) { outcome.lines.push_back(line); });
    CConformanceProcedure::Binder bind = [fault](ComPtr<IFilter>& filter, std::string&) {
        filter = ComPtr<IFilter>(new CFaultyFilter(fault));
        return true;
    };
    CConformanceProcedure(bind, tally, 3, 3).Run();
    for (const auto& failure : tally.Failures()) {
        std::string pass = failure.pass;
        for (const char* numbered : {"thread ", "run "}) {
            if (pass.rfind(numbered, 0) == 0)
                pass = std::string(numbered, std::char_traits<char>::length(numbered) - 1);
        }
        outcome.failed.insert(pass + " / " + failure.condition);
    }
    outcome.passed = tally.Passed();
    return outcome;
}

struct FaultCase {
    const char* name;
    Fault fault;
    std::set<std::string> failed;
};

TEST(Conformance, EachBrokenRuleFailsItsCondition)
{
    const FaultCase cases[] = {
        {"none", Fault::None, {}},
        {"Init fails", Fault::InitFails,
         {"validation / Init", "consistency / Init", "invalid input / Init", "all / reading to compare with"}},
        {"repeated id", Fault::RepeatedId, {"validation / chunk id"}},
        {"neither text nor value", Fault::NoKind, {"validation / flags"}},
        {"unknown break", Fault::UnknownBreak, {"validation / break type"}},
        {"source not seen yet", Fault::SourceNotSeen, {"validation / chunk source"}},
        {"end is a failure", Fault::EndIsFailure,
         {"validation / GetChunk answer", "consistency / GetChunk answer", "invalid input / GetChunk answer"}},
        {"GetText fails", Fault::TextFails,
         {"validation / GetText answers", "consistency / GetText answers", "invalid input / text after the wrong call"}},
        {"count too large", Fault::CountTooLarge, {"consistency / GetText within buffer"}},
        {"writes past the buffer", Fault::WritesPastBuffer, {"consistency / GetText within buffer"}},
        {"end of text changes", Fault::TextEndChanges, {"validation / end of text", "invalid input / end of text"}},
        {"end of values changes", Fault::ValueEndChanges,
         {"validation / end of values", "invalid input / end of values"}},
        {"unknown value type", Fault::UnknownValueType, {"validation / value type"}},
        {"small buffers lose text", Fault::SmallBufferLosesText, {"consistency / same text through buffers of 1 to 7"}},
        {"changes on Init", Fault::ChangesOnInit,
         {"consistency / same chunk", "invalid input / same chunk", "run / same as config 2's validation"}},
        {"wrong calls answered wrongly", Fault::WrongCallAnswers,
         {"invalid input / GetValue on a text chunk", "invalid input / GetText on a value chunk"}},
        {"wrong call spoils the text", Fault::WrongCallSpoilsText, {"invalid input / text after the wrong call"}},
        {"end of chunks changes", Fault::EndOfChunksChanges, {"invalid input / end of chunks"}},
        {"differs in company", Fault::DiffersWithCompany, {"thread / same as config 2's validation"}},
        {"value changes on Init", Fault::ValueChangesOnInit,
         {"consistency / same value", "invalid input / value after the wrong call",
          "run / same as config 2's validation"}},
        {"last chunk dropped on Init or in company", Fault::DropsLastChunk,
         {"consistency / same chunk count", "invalid input / same chunk count", "thread / same chunk count",
          "run / same chunk count"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = RunProcedure(c.fault);
        EXPECT_EQ(c.failed, outcome.failed);
        EXPECT_GT(outcome.passed, 0u);
    }
}

TEST(Conformance, ReportNamesSectionPassAndChunk)
{
    const Outcome outcome = RunProcedure(Fault::ValueEndChanges);
    const std::string failure =
        "FAIL config 1 (flags 0, no attributes), validation, chunk 1: end of values: the 1st GetValue after "
        "FILTER_E_NO_MORE_VALUES answered 0x80041706 FILTER_E_NO_VALUES";
    EXPECT_EQ(failure, outcome.lines.at(0));
    std::vector<std::string> sections;
    for (const auto& line : outcome.lines) {
        if (line.rfind("FAIL ", 0) != 0)
            sections.push_back(line.substr(0, line.find(':')));
    }
    const std::vector<std::string> expected = {
        "config 1 (flags 0, no attributes)",
        "config 2 (flags 63, no attributes)",
        "config 3 (APPLY_INDEX_ATTRIBUTES, contents)",
        "config 4 (APPLY_OTHER_ATTRIBUTES, title and contents)",
        "config 5 (INDEXING_ONLY, a new object for each pass)",
        "threads (3 objects at once, as config 2)",
        "runs (3 more Init cycles on one object, as config 2)",
    };
    EXPECT_EQ(expected, sections);
    // Chunks 1 and 3 are values: each fails in validation and invalid input, in each
    // configuration but config 3, whose attributes leave the title out.
    EXPECT_EQ(2u * 2u * 4u + 2u + 7u, outcome.lines.size());
}
}  // namespace
