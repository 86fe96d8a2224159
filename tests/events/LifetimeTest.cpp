// Receiver lifetimes held by structure: a class's own slot list, declared last, ends its
// connections before its other members go; the liveness guard tells an emitter that it was
// deleted while it was calling out.
#include "events/Liveness.h"
#include "events/Signal.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// A member that announces its own destruction, as a child widget losing its focus would.
struct CNoisyPart {
    ~CNoisyPart() { dying.Emit(); }
    CSignal<> dying;
};

// A base with slots of its own and a derived class with its own list: both listen to their
// parts, which die (and emit) during destruction.
class CBase {
public:
    explicit CBase(std::vector<std::string>& log) : m_log(log)
    {
        m_slots.Connect(baseSignal, this, &CBase::OnBase);
    }
    virtual ~CBase() = default;
    CSignal<> baseSignal;

protected:
    std::vector<std::string>& m_log;

private:
    void OnBase() { m_log.push_back("base"); }
    CSlotList m_slots;
};

class CDerived : public CBase {
public:
    explicit CDerived(std::vector<std::string>& log) : CBase(log)
    {
        m_slots.Connect(m_part.dying, this, &CDerived::OnPartDying);
        m_slots.Connect(baseSignal, this, &CDerived::OnBaseSignal);
    }
    ~CDerived() override { baseSignal.Emit(); } // the body still hears everything

private:
    void OnPartDying() { m_log.push_back("derived heard a dying part: " + m_name); }
    void OnBaseSignal() { m_log.push_back("derived"); }

    std::string m_name = "alive";
    CNoisyPart m_part;
    CSlotList m_slots; // last
};

class CActor {
public:
    std::function<void()> action;
    int calls = 0;
    void OnCall()
    {
        ++calls;
        if (action)
            action();
    }
    CSlotList slots;
};

// An emitter that does more work after emitting, guarded by its liveness.
class CClicker {
public:
    void Click()
    {
        CLivenessWatch watch(m_liveness);
        onClick.Emit();
        if (watch.IsGone())
            return;
        ++afterClick;
    }
    CSignal<> onClick;
    int afterClick = 0;

private:
    CLiveness m_liveness;
};

} // namespace

// [SECTION] Slot lists as last members

TEST(Lifetime, ListDeclaredLastEndsConnectionsBeforeTheOtherMembersDie)
{
    std::vector<std::string> log;
    {
        CDerived derived(log);
        EXPECT_EQ(derived.baseSignal.GetPeerCount(), 2u);
    }
    // The destructor's body heard both; the dying part was heard by nobody, so no slot ran in
    // a half-destroyed object.
    EXPECT_EQ(log, (std::vector<std::string>{"base", "derived"}));
}

TEST(Lifetime, DestroyedReceiverLeavesNoPeerBehind)
{
    CSignal<> signal;
    auto actor = std::make_unique<CActor>();
    actor->slots.Connect(signal, actor.get(), &CActor::OnCall);
    actor.reset();
    EXPECT_EQ(signal.GetPeerCount(), 0u);
    signal.Emit(); // nothing to call
}

TEST(Lifetime, DestroyedSignalLeavesTheReceiverUsable)
{
    CActor actor;
    {
        CSignal<> gone;
        actor.slots.Connect(gone, &actor, &CActor::OnCall);
    }
    CSignal<> next;
    actor.slots.Connect(next, &actor, &CActor::OnCall);
    next.Emit();
    EXPECT_EQ(actor.calls, 1);
}

TEST(Lifetime, ReceiverDestroyingItselfDuringEmissionLetsTheOthersRun)
{
    CSignal<> signal;
    auto* doomed = new CActor;
    CActor after;
    doomed->slots.Connect(signal, doomed, &CActor::OnCall);
    after.slots.Connect(signal, &after, &CActor::OnCall);
    doomed->action = [doomed] { delete doomed; };
    signal.Emit();
    EXPECT_EQ(after.calls, 1);
    EXPECT_EQ(signal.GetPeerCount(), 1u);
}

TEST(Lifetime, ReceiverDestroyedByAnEarlierOneDuringEmissionIsNotCalled)
{
    CSignal<> signal;
    CActor killer;
    auto victim = std::make_unique<CActor>();
    killer.slots.Connect(signal, &killer, &CActor::OnCall);
    victim->slots.Connect(signal, victim.get(), &CActor::OnCall);
    killer.action = [&] { victim.reset(); };
    signal.Emit();
    EXPECT_EQ(killer.calls, 1);
    EXPECT_EQ(victim, nullptr);
}

// [SECTION] The liveness guard

TEST(Liveness, WatchReportsAnEmitterDeletedByItsReceiver)
{
    auto* clicker = new CClicker;
    CActor actor;
    actor.slots.Connect(clicker->onClick, &actor, &CActor::OnCall);
    actor.action = [&] { delete clicker; };
    clicker->Click(); // must not touch the deleted clicker after the emission
    EXPECT_EQ(actor.calls, 1);
}

TEST(Liveness, WatchOfALiveEmitterLetsItGoOn)
{
    CClicker clicker;
    CActor actor;
    actor.slots.Connect(clicker.onClick, &actor, &CActor::OnCall);
    clicker.Click();
    clicker.Click();
    EXPECT_EQ(clicker.afterClick, 2);
}

TEST(Liveness, EndReachesEveryWatchUnderWayButNotLaterOnes)
{
    CLiveness liveness;
    CLivenessWatch outer(liveness);
    {
        CLivenessWatch inner(liveness);
        liveness.End();
        EXPECT_TRUE(inner.IsGone());
    }
    EXPECT_TRUE(outer.IsGone());
    CLivenessWatch later(liveness);
    EXPECT_FALSE(later.IsGone());
}

TEST(Liveness, WatchesMayEndInAnyOrder)
{
    auto liveness = std::make_unique<CLiveness>();
    auto first = std::make_unique<CLivenessWatch>(*liveness);
    auto second = std::make_unique<CLivenessWatch>(*liveness);
    auto third = std::make_unique<CLivenessWatch>(*liveness);
    second.reset(); // from the middle
    first.reset();  // from the end of the chain
    liveness.reset();
    EXPECT_TRUE(third->IsGone());
}

TEST(Liveness, CopyStartsWithoutTheOriginalsWatches)
{
    CLiveness original;
    CLivenessWatch watch(original);
    {
        CLiveness copy(original);
        CLiveness assigned;
        assigned = original;
    }
    EXPECT_FALSE(watch.IsGone());
    original.End();
    EXPECT_TRUE(watch.IsGone());
}
