#include "platform/services/event.h"

#include <vector>

#include <gtest/gtest.h>

namespace kv::services {
namespace {

TEST(Event, HandlersMayDisconnectWhileRaised) {
    Event<int> e;
    std::vector<int> calls;
    Subscription second;
    auto first = e.Connect([&](int v) {
        calls.push_back(v);
        second.Disconnect();  // not yet called: must not be called now
    });
    second = e.Connect([&](int v) { calls.push_back(v * 10); });
    e.Raise(1);
    EXPECT_EQ(calls, std::vector<int>{1});

    Subscription outlives;
    {
        Event<> gone;
        outlives = gone.Connect([] {});
    }
    outlives.Disconnect();  // the event is gone: nothing to do, nothing to crash
    EXPECT_FALSE(outlives.Connected());
}

}  // namespace
}  // namespace kv::services
