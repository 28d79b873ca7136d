#pragma once
// Scripted dialogs for headless runs and tests: each answers from a queue of prepared answers, and
// records every report or message it was shown with the answer it gave.
//  - ScriptedErrorDisplay: when the queue is empty it answers its default (3, leave the procedure:
//    an unattended run never loops on Retry nor carries on past an error unasked). A queued 5
//    (Ignore) is answered as 2, as the platform's error display reports Ignore.
//  - ScriptedMessageService: when the queue is empty it answers the style's default button (what
//    pressing Enter would do: "Yes" for Yes/No, "No" with the second button as default), or a fixed
//    default answer when one is set.

#include <deque>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "platform/services/dialogs.h"

namespace kv::services {

class ScriptedErrorDisplay : public ErrorDisplay {
public:
    struct Shown {
        ErrorReport report;
        int answer = 0;
    };

    explicit ScriptedErrorDisplay(int default_answer = answer::kAbort) : default_answer_(default_answer) {}
    void QueueAnswer(int a) { queue_.push_back(a); }
    void QueueAnswers(std::initializer_list<int> answers) { queue_.insert(queue_.end(), answers); }
    void SetDefaultAnswer(int a) { default_answer_ = a; }

    int ShowError(const ErrorReport& report) override;
    void Finish() override { ++finished_; }

    const std::vector<Shown>& Reports() const { return shown_; }
    int FinishCount() const { return finished_; }
    std::size_t PendingAnswers() const { return queue_.size(); }

private:
    int default_answer_;
    std::deque<int> queue_;
    std::vector<Shown> shown_;
    int finished_ = 0;
};

class ScriptedMessageService : public MessageService {
public:
    struct Shown {
        std::string text;
        int style = 0;
        std::string title;
        int answer = 0;
    };

    // default_answer nullopt: the style's default button.
    explicit ScriptedMessageService(std::optional<int> default_answer = std::nullopt)
        : default_answer_(default_answer) {}
    void QueueAnswer(int a) { queue_.push_back(a); }
    void QueueAnswers(std::initializer_list<int> answers) { queue_.insert(queue_.end(), answers); }

    int Message(const std::string& text, int style, const std::string& title) override;

    const std::vector<Shown>& Messages() const { return shown_; }
    std::size_t PendingAnswers() const { return queue_.size(); }

    // The answer of the style's default button.
    static int DefaultButtonAnswer(int style);

private:
    std::optional<int> default_answer_;
    std::deque<int> queue_;
    std::vector<Shown> shown_;
};

}  // namespace kv::services
