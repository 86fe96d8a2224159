#include "events/Signal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Counted by the replacement operator new of AllocationCounter.cpp.
extern size_t g_allocations;

namespace {

// A receiver that writes what it hears into a shared log.
class CListener {
public:
    CListener(std::vector<std::string>& log, std::string name) : log(log), name(std::move(name)) {}

    void OnPlain() { log.push_back(name); }
    void OnValue(int value) { log.push_back(name + ":" + std::to_string(value)); }
    void OnPair(const std::string& text, int& counter)
    {
        ++counter;
        log.push_back(name + ":" + text);
    }

    std::vector<std::string>& log;
    std::string name;
    CSlotList slots;
};

// Runs a given action when it is called, then logs.
class CActor {
public:
    explicit CActor(std::vector<std::string>& log) : log(log) {}
    void OnTick()
    {
        log.push_back("actor");
        if (action)
            action();
    }
    std::vector<std::string>& log;
    std::function<void()> action;
    CSlotList slots;
};

struct CScroll {
    CSignal<float> onValue;
};

class CMixer {
public:
    void OnScroll(float value, CScroll* which) { heard.push_back({which, value}); }
    void OnPing(int* which) { pinged.push_back(which); }
    void OnBuffer(char* data, unsigned int size, int* device)
    {
        buffers.push_back({data, size});
        devices.push_back(device);
    }
    std::vector<std::pair<CScroll*, float>> heard;
    std::vector<int*> pinged;
    std::vector<std::pair<char*, unsigned int>> buffers;
    std::vector<int*> devices;
    CSlotList slots;
};

} // namespace

TEST(Signal, EmitsToEverySlotInConnectionOrderWithTheArguments)
{
    std::vector<std::string> log;
    CListener a(log, "a"), b(log, "b"), c(log, "c");
    CSignal<int> signal;
    signal.Emit(1); // nobody listens: nothing happens
    b.slots.Connect(signal, &b, &CListener::OnValue);
    a.slots.Connect(signal, &a, &CListener::OnValue);
    c.slots.Connect(signal, &c, &CListener::OnValue);
    signal.Emit(7);
    EXPECT_EQ(log, (std::vector<std::string>{"b:7", "a:7", "c:7"}));

    CSignal<const std::string&, int&> pair;
    int counter = 0;
    a.slots.Connect(pair, &a, &CListener::OnPair);
    b.slots.Connect(pair, &b, &CListener::OnPair);
    pair.Emit("hi", counter);
    EXPECT_EQ(counter, 2) << "reference arguments reach the receivers";
}

TEST(Signal, ConnectionsAreRecordedOnBothSidesAndOnlyOnce)
{
    std::vector<std::string> log;
    CListener listener(log, "l");
    CSignal<> signal;
    CSlot<CListener> slot(&listener, &CListener::OnPlain);
    EXPECT_FALSE(Connect(signal, signal));
    EXPECT_TRUE(Connect(signal, slot));
    EXPECT_FALSE(Connect(signal, slot));
    EXPECT_FALSE(Connect(slot, signal));
    EXPECT_EQ(signal.GetPeerCount(), 1u);
    EXPECT_EQ(slot.GetPeerCount(), 1u);
    EXPECT_TRUE(IsConnected(slot, signal));
    signal.Emit();
    EXPECT_EQ(log.size(), 1u);

    EXPECT_TRUE(Disconnect(slot, signal)) << "from either side";
    EXPECT_FALSE(Disconnect(signal, slot));
    EXPECT_EQ(signal.GetPeerCount(), 0u);
    EXPECT_EQ(slot.GetPeerCount(), 0u);
    signal.Emit();
    EXPECT_EQ(log.size(), 1u);
}

TEST(Signal, SlotListBindsAMethodToASignalOnce)
{
    std::vector<std::string> log;
    CListener listener(log, "l");
    CSignal<> signal;
    auto* first = listener.slots.Connect(signal, &listener, &CListener::OnPlain);
    auto* second = listener.slots.Connect(signal, &listener, &CListener::OnPlain);
    EXPECT_EQ(first, second);
    EXPECT_EQ(listener.slots.GetCount(), 1u);
    signal.Emit();
    EXPECT_EQ(log.size(), 1u);

    CSignal<> other;
    listener.slots.Connect(other, &listener, &CListener::OnPlain);
    EXPECT_EQ(listener.slots.GetCount(), 2u);
    EXPECT_TRUE(listener.slots.Disconnect(signal));
    EXPECT_FALSE(listener.slots.Disconnect(signal));
    EXPECT_EQ(signal.GetPeerCount(), 0u);
    other.Emit();
    EXPECT_EQ(log.size(), 2u) << "the slot on the other signal stays";
}

TEST(Signal, ReceiverDestroyedFirstLeavesTheSignalWithoutItsSlots)
{
    std::vector<std::string> log;
    CSignal<int> signal;
    auto survivor = std::make_unique<CListener>(log, "s");
    survivor->slots.Connect(signal, survivor.get(), &CListener::OnValue);
    {
        CListener gone(log, "gone");
        gone.slots.Connect(signal, &gone, &CListener::OnValue);
        EXPECT_EQ(signal.GetPeerCount(), 2u);
    }
    EXPECT_EQ(signal.GetPeerCount(), 1u);
    signal.Emit(3);
    EXPECT_EQ(log, (std::vector<std::string>{"s:3"}));
}

TEST(Signal, SignalDestroyedFirstLeavesTheSlotsUnconnectedInTheirList)
{
    std::vector<std::string> log;
    CListener listener(log, "l");
    {
        auto signal = std::make_unique<CSignal<>>();
        auto* slot = listener.slots.Connect(*signal, &listener, &CListener::OnPlain);
        signal.reset();
        EXPECT_EQ(slot->GetPeerCount(), 0u);
        EXPECT_EQ(listener.slots.GetCount(), 1u);
    }
    listener.slots.Clear();
    EXPECT_EQ(listener.slots.GetCount(), 0u);
}

TEST(Signal, SlotDisconnectingItselfDuringEmissionLetsTheOthersRun)
{
    std::vector<std::string> log;
    CSignal<> signal;
    CListener before(log, "before"), after(log, "after");
    CActor actor(log);
    before.slots.Connect(signal, &before, &CListener::OnPlain);
    actor.slots.Connect(signal, &actor, &CActor::OnTick);
    after.slots.Connect(signal, &after, &CListener::OnPlain);
    actor.action = [&] { actor.slots.Disconnect(signal); }; // deletes the running slot
    signal.Emit();
    signal.Emit();
    EXPECT_EQ(log, (std::vector<std::string>{"before", "actor", "after", "before", "after"}));
    EXPECT_EQ(actor.slots.GetCount(), 0u);
}

TEST(Signal, SlotRemovedByAnEarlierSlotDuringEmissionIsNotCalled)
{
    std::vector<std::string> log;
    CSignal<> signal;
    CActor actor(log);
    auto victim = std::make_unique<CListener>(log, "victim");
    CListener last(log, "last");
    actor.slots.Connect(signal, &actor, &CActor::OnTick);
    victim->slots.Connect(signal, victim.get(), &CListener::OnPlain);
    last.slots.Connect(signal, &last, &CListener::OnPlain);
    actor.action = [&] { victim.reset(); };
    signal.Emit();
    EXPECT_EQ(log, (std::vector<std::string>{"actor", "last"}));
}

TEST(Signal, SlotDestroyingTheEmitterEndsTheEmission)
{
    std::vector<std::string> log;
    auto signal = std::make_unique<CSignal<>>();
    CActor actor(log);
    CListener after(log, "after");
    actor.slots.Connect(*signal, &actor, &CActor::OnTick);
    after.slots.Connect(*signal, &after, &CListener::OnPlain);
    actor.action = [&] { signal.reset(); };
    signal->Emit();
    EXPECT_EQ(log, (std::vector<std::string>{"actor"}));
    EXPECT_EQ(after.slots.GetCount(), 1u);
}

TEST(Signal, SlotsConnectedDuringEmissionWaitForTheNextOne)
{
    std::vector<std::string> log;
    CSignal<> signal;
    CActor actor(log);
    CListener late(log, "late");
    actor.slots.Connect(signal, &actor, &CActor::OnTick);
    actor.action = [&] { late.slots.Connect(signal, &late, &CListener::OnPlain); };
    signal.Emit();
    EXPECT_EQ(log, (std::vector<std::string>{"actor"}));
    signal.Emit();
    EXPECT_EQ(log, (std::vector<std::string>{"actor", "actor", "late"}));
}

TEST(Signal, NestedEmissionsCallEverySlotOnceEach)
{
    std::vector<std::string> log;
    CSignal<> signal;
    CActor actor(log);
    CListener after(log, "after");
    actor.slots.Connect(signal, &actor, &CActor::OnTick);
    after.slots.Connect(signal, &after, &CListener::OnPlain);
    int depth = 0;
    actor.action = [&] {
        if (depth++ == 0)
            signal.Emit();
    };
    signal.Emit();
    EXPECT_EQ(log, (std::vector<std::string>{"actor", "actor", "after", "after"}));
}

TEST(Signal, ClearingTheReceiversListDuringEmissionIsSafe)
{
    std::vector<std::string> log;
    CSignal<> signal;
    CActor actor(log);
    CListener other(log, "other");
    actor.slots.Connect(signal, &actor, &CActor::OnTick);
    actor.slots.Connect(signal, &actor, &CActor::OnTick); // the same binding: one slot
    other.slots.Connect(signal, &other, &CListener::OnPlain);
    actor.action = [&] { actor.slots.Clear(); };
    signal.Emit();
    signal.Emit();
    EXPECT_EQ(log, (std::vector<std::string>{"actor", "other", "other"}));
}

TEST(Signal, UserSlotsPassTheBoundValueAfterTheSignalsArguments)
{
    CMixer mixer;
    CScroll volume, pan;
    mixer.slots.ConnectUser(volume.onValue, &mixer, &CMixer::OnScroll, &volume);
    mixer.slots.ConnectUser(pan.onValue, &mixer, &CMixer::OnScroll, &pan);
    mixer.slots.ConnectUser(pan.onValue, &mixer, &CMixer::OnScroll, &pan); // already bound
    EXPECT_EQ(mixer.slots.GetCount(), 2u);
    pan.onValue.Emit(0.25f);
    volume.onValue.Emit(0.75f);
    ASSERT_EQ(mixer.heard.size(), 2u);
    EXPECT_EQ(mixer.heard[0], std::make_pair(&pan, 0.25f));
    EXPECT_EQ(mixer.heard[1], std::make_pair(&volume, 0.75f));

    CSignal<> ping;
    int one = 1, two = 2;
    CSlotUser1<CMixer, int*>* slot = mixer.slots.ConnectUser(ping, &mixer, &CMixer::OnPing, &one);
    mixer.slots.ConnectUser(ping, &mixer, &CMixer::OnPing, &two); // another value: another slot
    EXPECT_EQ(slot->GetBound(), &one);
    ping.Emit();
    EXPECT_EQ(mixer.pinged, (std::vector<int*>{&one, &two}));

    CSignal<char*, unsigned int> data;
    int device = 0;
    CSlotUser3<CMixer, char*, unsigned int, int*>* three =
        mixer.slots.ConnectUser(data, &mixer, &CMixer::OnBuffer, &device);
    ASSERT_NE(three, nullptr);
    char block[4];
    data.Emit(block, 4u);
    EXPECT_EQ(mixer.buffers, (std::vector<std::pair<char*, unsigned int>>{{block, 4u}}));
    EXPECT_EQ(mixer.devices, (std::vector<int*>{&device}));
}

TEST(Signal, EmittingAllocatesNothing)
{
    struct CCounter {
        void OnTick() { ++calls; }
        void OnScroll(float, CScroll*) { ++calls; }
        int calls = 0;
        CSlotList slots;
    };
    CSignal<> tick;
    CScroll scroll;
    std::vector<std::unique_ptr<CCounter>> counters;
    for (int i = 0; i < 100; ++i) {
        counters.push_back(std::make_unique<CCounter>());
        CCounter* counter = counters.back().get();
        counter->slots.Connect(tick, counter, &CCounter::OnTick);
        counter->slots.ConnectUser(scroll.onValue, counter, &CCounter::OnScroll, &scroll);
    }
    size_t before = g_allocations;
    tick.Emit();
    scroll.onValue.Emit(0.5f);
    EXPECT_EQ(g_allocations, before);
    for (const auto& counter : counters)
        EXPECT_EQ(counter->calls, 2);
}

namespace {

struct Counting {
    int calls = 0;
    void On(int) { ++calls; }
    CSlotList slots;
};

TEST(SignalMove, ParkedReceiversComeBackInOrderAndDeadOnesStayGone)
{
    CSignal<int> input, parking;
    std::vector<int> order;
    struct Recorder {
        std::vector<int>* order;
        int id;
        void On(int) { order->push_back(id); }
        CSlotList slots;
    };
    Recorder first{&order, 1, {}}, second{&order, 2, {}};
    first.slots.Connect(input, &first, &Recorder::On);
    second.slots.Connect(input, &second, &Recorder::On);
    {
        Counting doomed;
        doomed.slots.Connect(input, &doomed, &Counting::On);
        MoveConnections(input, parking);
        input.Emit(1); // nobody listens while parked
        EXPECT_TRUE(order.empty());
        EXPECT_EQ(doomed.calls, 0);
    } // destroyed while parked
    MoveConnections(parking, input);
    input.Emit(1);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(input.GetPeerCount(), 2u);
    EXPECT_EQ(parking.GetPeerCount(), 0u);
}

} // namespace
