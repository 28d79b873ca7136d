#pragma once
// The error trap of the component's procedures. A procedure is written as a list of steps (one step
// per statement that may fail on its own); the trap runs them in order.
//
// RunTrapped: when a step fails (kv::Error, or any std::exception, turned into a kv::Error), the
// reporter is called with the procedure's name and the error — the window's VisualizzaErrore shows it
// and returns the user's answer — and the answer steers the procedure:
//   4 (Retry)             the failing step runs again (and may fail and be reported again);
//   2 (or 5, Ignore)      the procedure goes on with the next step;
//   3 or anything else    the procedure is left; what earlier steps did stays done.
// A reporter that itself fails counts as answer 3.
//
// RunResumeNext: errors are ignored; a failing step is abandoned and the next one runs. The entry
// object's procedures and the few window procedures that ignore errors run this way.
//
// A step may end the procedure normally by returning Flow::Exit (the procedure's own early exit);
// steps returning void go on. A step's effects up to the point where it failed stay: a retried step
// must be one that can run again.

#include <concepts>
#include <functional>
#include <initializer_list>
#include <span>
#include <string_view>
#include <type_traits>

#include "platform/variant/error.h"

namespace qmx {

enum class Flow { Next, Exit };

class Step {
public:
    template <class F>
        requires std::invocable<F&> && (!std::same_as<std::remove_cvref_t<F>, Step>)
    Step(F f) {  // NOLINT(google-explicit-constructor): a lambda is a step
        if constexpr (std::is_same_v<std::invoke_result_t<F&>, Flow>) {
            fn_ = std::move(f);
        } else {
            fn_ = [g = std::move(f)]() mutable {
                g();
                return Flow::Next;
            };
        }
    }
    Flow operator()() const { return fn_(); }

private:
    std::function<Flow()> fn_;
};

// How a trapped procedure ended.
enum class Outcome {
    Completed,  // every step ran (some maybe skipped on answer 2), or a step exited normally
    Left,       // an error answered with 3 (or another leaving code) ended it
};

using ErrorReporter = std::function<int(std::string_view procedure, const kv::Error& error)>;

Outcome RunTrapped(std::string_view procedure, const ErrorReporter& reporter, std::span<const Step> steps);
Outcome RunTrapped(std::string_view procedure, const ErrorReporter& reporter, std::initializer_list<Step> steps);

void RunResumeNext(std::span<const Step> steps);
void RunResumeNext(std::initializer_list<Step> steps);

// The exception being handled as a kv::Error: itself when it is one; 7 for memory exhaustion; 51
// ("Internal error") with the exception's text for any other std::exception. The source is the
// procedure when the exception carries none. REQUIRES: called inside a catch block.
kv::Error CurrentError(std::string_view procedure);

}  // namespace qmx
