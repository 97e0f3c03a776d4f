// The ways a procedure of the window meets a failed operation. Each procedure states its style
// where it starts, so a reader sees it there instead of in scattered checks.
//
// - skip the failed step and go on: run each step through `skip_on_error`;
// - end at once and silently: a try around the whole procedure;
// - count a failed attempt: a try around each attempt;
// - one error path for the whole operation: a try around it that leads to that path.
//
// Only std::exception is caught: the end of the program (as the tests end it) passes through.
#pragma once

#include <exception>

namespace r462xe {

// Runs one step; when it fails, the step has no effect and the caller goes on with the next.
template <class Step>
void skip_on_error(Step&& step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

// Runs a test whose failure counts as true, so that the step it guards runs.
template <class Test>
bool true_on_error(Test&& test) {
    try {
        return test();
    } catch (const std::exception&) {
        return true;
    }
}

}  // namespace r462xe
