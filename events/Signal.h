// Typed signals and slots: how windows, widgets, timers, devices and scenes notify each other.
// An emitter holds a CSignal<Args...> by value; a receiver holds a CSlotList by value, which
// owns one heap slot per connection, binding one of the receiver's member functions to one
// signal. Emission is synchronous, in connection order, and allocates nothing. Main thread
// only. Signals own nothing; either side may be destroyed first.
//
//   class CPanel {
//   public:
//       CPanel(CButton& close, CScroll& volume, CScroll& pan) {
//           slots.Connect(close.onClick, this, &CPanel::OnClose);           // void OnClose()
//           slots.ConnectUser(volume.onValue, this, &CPanel::OnScroll, &volume);
//           slots.ConnectUser(pan.onValue, this, &CPanel::OnScroll, &pan);  // (float, CScroll*)
//       }
//   private:
//       void OnClose();
//       void OnScroll(float value, CScroll* which);
//       CSlotList slots; // last: destroyed first, before anything the slots call into
//   };
//   ...
//   CSignal<float> onValue;  onValue.Emit(0.5f);
//
// Rules during an emission (all of them safe):
// - a slot may disconnect or delete itself or any other slot, and a receiver may clear its
//   slot list; a slot removed before its turn is not called;
// - a slot may destroy the emitting signal (with its owner): the emission then stops;
// - slots connected during an emission are first called by the next emission;
// - a slot may emit again (nested emissions each call every slot once).
#pragma once

#include <cstddef>
#include <cstdint>
#include <tuple>
#include <type_traits>
#include <vector>

template <class... A>
class CEvent;
class CSlotList;

// ---------------------------------------------------------------------------------------------
// The untyped core: the peer list of one endpoint, kept on both sides of every connection.
// ---------------------------------------------------------------------------------------------
class CEventBase {
public:
    CEventBase() = default;
    // An endpoint is an identity: connections are not copied or moved.
    CEventBase(const CEventBase&) = delete;
    CEventBase& operator=(const CEventBase&) = delete;
    // Disconnects from every peer; an emission of this object that is under way stops.
    virtual ~CEventBase();

    uint32_t GetPeerCount() const { return m_count; }

    // Makes a and b peers of each other (the connection is recorded on both sides). False,
    // changing nothing, when a and b are the same object or are already connected. Both must
    // carry the same arguments.
    template <class... A>
    friend bool Connect(CEvent<A...>& a, CEvent<A...>& b);
    // Removes the connection of a and b; false when there was none.
    friend bool Disconnect(CEventBase& a, CEventBase& b);
    // Disconnects a from every peer, in connection order.
    friend void DisconnectAll(CEventBase& a);
    // Moves every connection of from to to, in connection order (peers already connected to
    // to lose their connection to from only). Both must carry the same arguments; see the
    // typed MoveConnections below.
    friend void MoveConnectionsBase(CEventBase& from, CEventBase& to);
    friend bool IsConnected(const CEventBase& a, const CEventBase& b);

protected:
    // One side of a connection; both sides are allocated together and freed together.
    struct Link {
        Link* prev;
        Link* next;
        CEventBase* peer;  // the object at the other end
        Link* twin;        // the other side's link
        uint64_t serial;   // connection number, increasing in connection order
        bool first;        // whether this is the first link of its pair (the block's start)
    };

    // One emission under way, kept on the emitting call's stack.
    struct Emission {
        Link* next;        // the link to call next; moved on when that link is removed
        uint64_t serial;   // links connected after the emission began are not called
        Emission* outer;   // an enclosing emission of the same object
        bool destroyed;    // the object died during a call
    };

    void BeginEmission(Emission& emission)
    {
        emission.next = m_head;
        emission.serial = s_lastSerial;
        emission.outer = m_emissions;
        emission.destroyed = false;
        m_emissions = &emission;
    }
    void EndEmission(Emission& emission) { m_emissions = emission.outer; }

private:
    friend class CSlotList;
    struct LinkPair;
    static bool ConnectPeers(CEventBase& a, CEventBase& b);
    static void DisconnectLink(Link* link); // link is in link->twin->peer's list
    void Append(Link* link);
    void Unlink(Link* link);
    const Link* FindLink(const CEventBase& peer) const;

    Link* m_head = nullptr;
    Link* m_tail = nullptr;
    uint32_t m_count = 0;
    Emission* m_emissions = nullptr; // innermost emission under way

    inline static uint64_t s_lastSerial = 0;
};

bool Disconnect(CEventBase& a, CEventBase& b);
void DisconnectAll(CEventBase& a);
void MoveConnectionsBase(CEventBase& from, CEventBase& to);
bool IsConnected(const CEventBase& a, const CEventBase& b);

// ---------------------------------------------------------------------------------------------
// Typed endpoints
// ---------------------------------------------------------------------------------------------

// An endpoint for notifications carrying A... . Call is what a peer's emission invokes; here
// it does nothing.
template <class... A>
class CEvent : public CEventBase {
    static_assert(!(std::is_rvalue_reference_v<A> || ...),
                  "signal arguments are passed to every slot: use values or lvalue references");

public:
    virtual void Call(A...) {}

    // Calls every peer connected before this call began, in connection order.
    void Emit(A... args)
    {
        Emission emission;
        BeginEmission(emission);
        while (Link* link = emission.next) {
            if (link->serial > emission.serial)
                break; // connected during this emission, and so are all links after it
            emission.next = link->next;
            static_cast<CEvent*>(link->peer)->Call(args...);
            if (emission.destroyed)
                return; // this object is gone: touch nothing
        }
        EndEmission(emission);
    }
};

// The emitting side. Adds nothing to CEvent; the name says which side a member is.
template <class... A>
class CSignal : public CEvent<A...> {};

template <class... A>
bool Connect(CEvent<A...>& a, CEvent<A...>& b)
{
    return CEventBase::ConnectPeers(a, b);
}

// Hands every receiver of from over to to, keeping their order: a modal loop parks the input
// signals' receivers on a signal of its own and hands them back when it ends. A receiver
// destroyed while parked simply disconnects from the parking signal.
template <class... A>
void MoveConnections(CEvent<A...>& from, CEvent<A...>& to)
{
    MoveConnectionsBase(from, to);
}

// Calls receiver->*method(args...) for each emission of the connected signal. The receiver is
// not owned; a null receiver or method makes calls do nothing.
template <class R, class... A>
class CSlot : public CEvent<A...> {
public:
    using Method = void (R::*)(A...);

    CSlot(R* receiver, Method method) : m_receiver(receiver), m_method(method) {}

    void Call(A... args) override
    {
        if (m_receiver && m_method)
            (m_receiver->*m_method)(args...); // may delete this slot: nothing follows
    }

    R* GetReceiver() const { return m_receiver; }
    Method GetMethod() const { return m_method; }

private:
    R* m_receiver;
    Method m_method;
};

// Calls receiver->*method(args..., bound) for each emission: one method can serve several
// emitters and tell them apart by the bound value (which scroll bar, which voice). The bound
// value is copied into the slot when it is connected.
template <class R, class B, class... A>
class CSlotUser : public CEvent<A...> {
public:
    using Method = void (R::*)(A..., B);
    using Bound = std::decay_t<B>;

    CSlotUser(R* receiver, Method method, const Bound& bound)
        : m_receiver(receiver), m_method(method), m_bound(bound)
    {
    }

    void Call(A... args) override
    {
        if (m_receiver && m_method)
            (m_receiver->*m_method)(args..., m_bound); // may delete this slot
    }

    R* GetReceiver() const { return m_receiver; }
    Method GetMethod() const { return m_method; }
    const Bound& GetBound() const { return m_bound; }

private:
    R* m_receiver;
    Method m_method;
    Bound m_bound;
};

// The slots with one bound value, named by the method's parameter count.
template <class R, class B1>
using CSlotUser1 = CSlotUser<R, B1>;
template <class R, class A1, class B2>
using CSlotUser2 = CSlotUser<R, B2, A1>;
template <class R, class A1, class A2, class B3>
using CSlotUser3 = CSlotUser<R, B3, A1, A2>;

namespace EventDetail {

template <class M>
struct MethodOf; // only member functions returning void can be slots

template <class R, class... P>
struct MethodOf<void (R::*)(P...)> {
    using Class = R;
    static constexpr size_t kArity = sizeof...(P);
    // The last parameter's type (void for none): the bound value of a CSlotUser.
    using Last = std::tuple_element_t<(sizeof...(P) > 0 ? sizeof...(P) - 1 : 0),
                                      std::tuple<P..., void>>;
};

template <class T, class = void>
struct IsEqualityComparable : std::false_type {};
template <class T>
struct IsEqualityComparable<T, std::void_t<decltype(std::declval<const T&>() == std::declval<const T&>())>>
    : std::true_type {};

} // namespace EventDetail

// ---------------------------------------------------------------------------------------------
// The receiver's slots
// ---------------------------------------------------------------------------------------------

// Owns the slots of one receiver, in connection order. Destroying or clearing the list
// deletes its slots, which disconnects them from their signals. Each class that connects its
// own methods holds a list of its own as its last member: members are destroyed in reverse
// order, so its connections end before any other member goes, and a derived class's before its
// base's, and no slot can call into a half-destroyed receiver without a word in the destructor.
// Clear is for a receiver that must stop listening while it lives on (a scene that was left).
class CSlotList {
public:
    CSlotList() = default;
    CSlotList(const CSlotList&) = delete;
    CSlotList& operator=(const CSlotList&) = delete;
    ~CSlotList() { Clear(); }

    // Binds receiver->*method to signal; the method's parameters must be the signal's. When
    // this list already binds the same method of the same receiver to that signal, returns
    // that slot and adds nothing (the method is called once per emission).
    template <class... A, class M>
    CSlot<typename EventDetail::MethodOf<M>::Class, A...>*
    Connect(CEvent<A...>& signal, typename EventDetail::MethodOf<M>::Class* receiver, M method)
    {
        using R = typename EventDetail::MethodOf<M>::Class;
        static_assert(std::is_same_v<M, void (R::*)(A...)>,
                      "the member function must take exactly the signal's arguments");
        using Slot = CSlot<R, A...>;
        for (CEventBase* existing : m_slots) {
            auto* slot = dynamic_cast<Slot*>(existing);
            if (slot && slot->GetReceiver() == receiver && slot->GetMethod() == method &&
                IsConnected(*slot, signal))
                return slot;
        }
        return Adopt(signal, new Slot(receiver, method));
    }

    // Binds receiver->*method to signal with a bound value passed after the signal's
    // arguments; the method takes the signal's arguments and then the bound value. When this
    // list already binds the same method, receiver and value to that signal, returns that slot.
    template <class... A, class M>
    CSlotUser<typename EventDetail::MethodOf<M>::Class, typename EventDetail::MethodOf<M>::Last,
              A...>*
    ConnectUser(CEvent<A...>& signal, typename EventDetail::MethodOf<M>::Class* receiver,
                M method, const std::decay_t<typename EventDetail::MethodOf<M>::Last>& bound)
    {
        using R = typename EventDetail::MethodOf<M>::Class;
        using B = typename EventDetail::MethodOf<M>::Last;
        static_assert(EventDetail::MethodOf<M>::kArity == sizeof...(A) + 1 &&
                          std::is_same_v<M, void (R::*)(A..., B)>,
                      "the member function must take the signal's arguments, then the bound value");
        using Slot = CSlotUser<R, B, A...>;
        if constexpr (EventDetail::IsEqualityComparable<std::decay_t<B>>::value) {
            for (CEventBase* existing : m_slots) {
                auto* slot = dynamic_cast<Slot*>(existing);
                if (slot && slot->GetReceiver() == receiver && slot->GetMethod() == method &&
                    slot->GetBound() == bound && IsConnected(*slot, signal))
                    return slot;
            }
        }
        return Adopt(signal, new Slot(receiver, method, bound));
    }

    // Deletes the first slot of this list that is connected to signal (which disconnects
    // it); the others stay. False when no slot of this list is connected to it.
    bool Disconnect(const CEventBase& signal);
    // Deletes one slot of this list; false when the list does not hold it.
    bool Remove(const CEventBase* slot);
    // Deletes every slot, in connection order.
    void Clear();

    uint32_t GetCount() const { return static_cast<uint32_t>(m_slots.size()); }

private:
    template <class Slot>
    Slot* Adopt(CEventBase& signal, Slot* slot)
    {
        m_slots.push_back(slot);
        CEventBase::ConnectPeers(signal, *slot);
        return slot;
    }

    std::vector<CEventBase*> m_slots; // owned
};
