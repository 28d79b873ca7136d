#pragma once
// Event<Args...>: a typed list of callbacks, the way host objects and control models raise events to
// whoever sinks them. Connect returns a Subscription; destroying it (or calling Disconnect) ends the
// subscription, so a sink that goes away cannot be called afterwards. Raise calls the handlers in the
// order they were connected, over a snapshot of the list: a handler may connect or disconnect others
// (or itself) while the event is being raised; a handler disconnected during a Raise is not called
// by that Raise if it has not been called yet. An exception thrown by a handler stops the Raise and
// reaches the raiser, as the platform hands a sink's error back to the object raising the event.
//
// Single-threaded by design: everything runs on the host's user-interface thread.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace kv::services {

class Subscription {
public:
    Subscription() = default;
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    Subscription(Subscription&& o) noexcept : disconnect_(std::exchange(o.disconnect_, nullptr)) {}
    Subscription& operator=(Subscription&& o) noexcept {
        if (this != &o) {
            Disconnect();
            disconnect_ = std::exchange(o.disconnect_, nullptr);
        }
        return *this;
    }
    ~Subscription() { Disconnect(); }

    void Disconnect() {
        if (auto d = std::exchange(disconnect_, nullptr)) d();
    }
    bool Connected() const { return static_cast<bool>(disconnect_); }

private:
    template <class... Args>
    friend class Event;
    explicit Subscription(std::function<void()> disconnect) : disconnect_(std::move(disconnect)) {}
    std::function<void()> disconnect_;
};

template <class... Args>
class Event {
public:
    using Handler = std::function<void(Args...)>;

    Event() = default;
    // An event belongs to its object: copying the object does not copy its subscribers.
    Event(const Event&) : Event() {}
    Event& operator=(const Event&) { return *this; }

    [[nodiscard]] Subscription Connect(Handler handler) {
        const uint64_t id = state_->next_id++;
        state_->handlers.emplace(id, std::make_shared<Handler>(std::move(handler)));
        std::weak_ptr<State> weak = state_;
        return Subscription([weak, id] {
            if (auto s = weak.lock()) s->handlers.erase(id);
        });
    }

    void Raise(Args... args) const {
        // Snapshot, so handlers may change the list while it is being walked.
        std::vector<std::pair<uint64_t, std::weak_ptr<Handler>>> snapshot;
        snapshot.reserve(state_->handlers.size());
        for (const auto& [id, h] : state_->handlers) snapshot.emplace_back(id, h);
        auto keep = state_;
        for (const auto& [id, weak] : snapshot) {
            if (!keep->handlers.contains(id)) continue;  // disconnected by an earlier handler
            if (auto h = weak.lock()) (*h)(args...);
        }
    }

    std::size_t SubscriberCount() const { return state_->handlers.size(); }

private:
    struct State {
        uint64_t next_id = 1;
        std::map<uint64_t, std::shared_ptr<Handler>> handlers;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace kv::services
