#pragma once
#include <functional>
#include <string>
#include <vector>

// Counts the conditions of the conformance procedure: each check made on a
// chunk in a pass (or once on a pass) is one condition, passed or failed.
// A failed one is written at once as a line that names its section (a
// configuration, the threads or the runs), pass and chunk; each section ends
// with a line of its counts.
class CConformanceTally {
public:
    using LineWriter = std::function<void(const std::string& line)>;

    struct Failure {
        std::string section;
        std::string pass;       // "validation", "consistency", "invalid input", "thread 2", "run 3"
        std::string position;   // "chunk 12", "answer 3", "end"
        std::string condition;  // "chunk id", "end of values", ...
        std::string detail;
    };

    explicit CConformanceTally(LineWriter write) : m_write(std::move(write)) {}

    void BeginSection(const std::string& name);
    void Check(bool passed, const std::string& pass, const std::string& position, const char* condition,
               const std::string& detail);
    // Writes "<section>: N passed, N failed (T s)".
    void EndSection();

    unsigned Passed() const { return m_passed; }
    unsigned Failed() const { return static_cast<unsigned>(m_failures.size()); }
    const std::vector<Failure>& Failures() const { return m_failures; }

private:
    LineWriter m_write;
    std::string m_section;
    unsigned m_sectionPassed = 0;
    unsigned m_sectionFailed = 0;
    double m_sectionStart = 0;
    unsigned m_passed = 0;
    std::vector<Failure> m_failures;
};
