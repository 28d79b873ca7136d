#include "shell/error_trap.h"

#include <exception>
#include <new>
#include <string>

#include "platform/services/dialogs.h"

namespace qmx {

namespace answer = kv::services::answer;
// The error display reports Ignore as 2 (the code Cancel has elsewhere).
constexpr int kIgnoreReported = answer::kCancel;

kv::Error CurrentError(std::string_view procedure) {
    try {
        throw;
    } catch (const kv::Error& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return kv::Error(7, "Out of memory", std::string(procedure));
    } catch (const std::exception& e) {
        return kv::Error(51, std::string("Internal error: ") + e.what(), std::string(procedure));
    }
}

Outcome RunTrapped(std::string_view procedure, const ErrorReporter& reporter, std::span<const Step> steps) {
    for (std::size_t i = 0; i < steps.size();) {
        try {
            if (steps[i]() == Flow::Exit) return Outcome::Completed;
            ++i;
            continue;
        } catch (const std::exception&) {
            const kv::Error error = CurrentError(procedure);
            int code = answer::kAbort;
            try {
                if (reporter) code = reporter(procedure, error);
            } catch (const std::exception&) {
                code = answer::kAbort;
            }
            if (code == answer::kRetry) continue;
            if (code == kIgnoreReported || code == answer::kIgnore) {
                ++i;
                continue;
            }
            return Outcome::Left;
        }
    }
    return Outcome::Completed;
}

Outcome RunTrapped(std::string_view procedure, const ErrorReporter& reporter, std::initializer_list<Step> steps) {
    return RunTrapped(procedure, reporter, std::span<const Step>(steps.begin(), steps.size()));
}

void RunResumeNext(std::span<const Step> steps) {
    for (const Step& step : steps) {
        try {
            if (step() == Flow::Exit) return;
        } catch (const std::exception&) {
            // Ignored: the next step runs.
        }
    }
}

void RunResumeNext(std::initializer_list<Step> steps) {
    RunResumeNext(std::span<const Step>(steps.begin(), steps.size()));
}

}  // namespace qmx
