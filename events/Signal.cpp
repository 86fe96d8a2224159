#include "events/Signal.h"

#include <algorithm>

// The two sides of one connection, allocated as one block.
struct CEventBase::LinkPair {
    Link first;
    Link second;
};

CEventBase::~CEventBase()
{
    DisconnectAll(*this);
    for (Emission* emission = m_emissions; emission; emission = emission->outer)
        emission->destroyed = true;
}

void CEventBase::Append(Link* link)
{
    link->prev = m_tail;
    link->next = nullptr;
    if (m_tail)
        m_tail->next = link;
    else
        m_head = link;
    m_tail = link;
    ++m_count;
}

void CEventBase::Unlink(Link* link)
{
    // An emission about to call this link goes on with the one after it.
    for (Emission* emission = m_emissions; emission; emission = emission->outer)
        if (emission->next == link)
            emission->next = link->next;
    if (link->prev)
        link->prev->next = link->next;
    else
        m_head = link->next;
    if (link->next)
        link->next->prev = link->prev;
    else
        m_tail = link->prev;
    --m_count;
}

const CEventBase::Link* CEventBase::FindLink(const CEventBase& peer) const
{
    for (const Link* link = m_head; link; link = link->next)
        if (link->peer == &peer)
            return link;
    return nullptr;
}

bool CEventBase::ConnectPeers(CEventBase& a, CEventBase& b)
{
    if (&a == &b || IsConnected(a, b))
        return false;
    LinkPair* pair = new LinkPair;
    uint64_t serial = ++s_lastSerial;
    pair->first = Link{nullptr, nullptr, &b, &pair->second, serial, true};
    pair->second = Link{nullptr, nullptr, &a, &pair->first, serial, false};
    a.Append(&pair->first);
    b.Append(&pair->second);
    return true;
}

void CEventBase::DisconnectLink(Link* link)
{
    Link* twin = link->twin;
    twin->peer->Unlink(link); // link lives in the list of the object its twin points to
    link->peer->Unlink(twin);
    delete reinterpret_cast<LinkPair*>(link->first ? link : twin);
}

bool IsConnected(const CEventBase& a, const CEventBase& b)
{
    // Both sides hold the connection: search the shorter list.
    return a.m_count <= b.m_count ? a.FindLink(b) != nullptr : b.FindLink(a) != nullptr;
}

bool Disconnect(CEventBase& a, CEventBase& b)
{
    const CEventBase::Link* link = a.m_count <= b.m_count ? a.FindLink(b) : b.FindLink(a);
    if (!link)
        return false;
    CEventBase::DisconnectLink(const_cast<CEventBase::Link*>(link));
    return true;
}

void DisconnectAll(CEventBase& a)
{
    while (a.m_head)
        CEventBase::DisconnectLink(a.m_head);
}

void MoveConnectionsBase(CEventBase& from, CEventBase& to)
{
    if (&from == &to)
        return;
    while (from.m_head) {
        CEventBase* peer = from.m_head->peer;
        CEventBase::DisconnectLink(from.m_head);
        if (peer != &to)
            CEventBase::ConnectPeers(to, *peer);
    }
}

// ---------------------------------------------------------------------------------------------
// CSlotList
// ---------------------------------------------------------------------------------------------

bool CSlotList::Disconnect(const CEventBase& signal)
{
    for (auto it = m_slots.begin(); it != m_slots.end(); ++it) {
        if (IsConnected(**it, signal)) {
            CEventBase* slot = *it;
            m_slots.erase(it);
            delete slot;
            return true;
        }
    }
    return false;
}

bool CSlotList::Remove(const CEventBase* slot)
{
    auto it = std::find(m_slots.begin(), m_slots.end(), slot);
    if (it == m_slots.end())
        return false;
    CEventBase* owned = *it;
    m_slots.erase(it);
    delete owned;
    return true;
}

void CSlotList::Clear()
{
    std::vector<CEventBase*> slots;
    slots.swap(m_slots);
    for (CEventBase* slot : slots)
        delete slot;
}
