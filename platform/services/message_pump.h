#pragma once
// "Let pending window messages run": long operations of a component yield to the host's event loop at
// fixed points so the window repaints and stays responsive. The host installs the callback that runs
// its loop once (the Qt host processes pending events); a headless host installs none, and the call
// only counts, so tests can see where an operation yielded.

#include <functional>

namespace kv::services {

class MessagePump {
public:
    // Runs the host's callback when there is one; re-entrant calls made from inside the callback
    // return at once, so a handler that yields cannot recurse into the loop.
    void DoEvents();
    void SetCallback(std::function<void()> callback) { callback_ = std::move(callback); }
    // Calls made so far (re-entrant ones included).
    long Calls() const { return calls_; }

private:
    std::function<void()> callback_;
    long calls_ = 0;
    bool running_ = false;
};

}  // namespace kv::services
