// Records every signal of GUI elements as short words ("over", "focus+", "input1",
// "move 10 20"...), so that routing tests can compare what was emitted, in order.
#pragma once

#include "events/Input.h"
#include "gui/GUI.h"

#include <list>
#include <string>
#include <vector>

class SignalLog {
public:
    // Listens to every signal of element; each word is prefixed with prefix.
    void Watch(CGUI& element, const std::string& prefix = "")
    {
        const std::string* p = &m_prefixes.emplace_back(prefix);
        m_slots.ConnectUser(element.onInput, this, &SignalLog::Input, p);
        m_slots.ConnectUser(element.onMouseOver, this, &SignalLog::Word, Tag(p, "over"));
        m_slots.ConnectUser(element.onMouseOut, this, &SignalLog::Word, Tag(p, "out"));
        m_slots.ConnectUser(element.onFocus, this, &SignalLog::Flag, Tag(p, "focus"));
        m_slots.ConnectUser(element.onEnable, this, &SignalLog::Flag, Tag(p, "enable"));
        m_slots.ConnectUser(element.onVisible, this, &SignalLog::Flag, Tag(p, "visible"));
        m_slots.ConnectUser(element.onMove, this, &SignalLog::Pair, Tag(p, "move"));
        m_slots.ConnectUser(element.onMoved, this, &SignalLog::Pair, Tag(p, "moved"));
        m_slots.ConnectUser(element.onResize, this, &SignalLog::Pair, Tag(p, "resize"));
        m_slots.ConnectUser(element.onPress, this, &SignalLog::Word, Tag(p, "press"));
        m_slots.ConnectUser(element.onRelease, this, &SignalLog::Word, Tag(p, "release"));
        m_slots.ConnectUser(element.onDoubleClick, this, &SignalLog::Word, Tag(p, "double"));
    }

    // The words so far, and forget them.
    std::vector<std::string> Take()
    {
        std::vector<std::string> words;
        words.swap(m_words);
        return words;
    }

private:
    struct Name {
        const std::string* prefix;
        const char* word;
        bool operator==(const Name& o) const { return prefix == o.prefix && word == o.word; }
    };
    static Name Tag(const std::string* prefix, const char* word) { return Name{prefix, word}; }

    void Input(CInputMap& e, const std::string* prefix) { m_words.push_back(*prefix + "input" + std::to_string(e.action)); }
    void Word(Name name) { m_words.push_back(*name.prefix + name.word); }
    void Flag(bool on, Name name) { m_words.push_back(*name.prefix + name.word + (on ? "+" : "-")); }
    void Pair(float a, float b, Name name)
    {
        m_words.push_back(*name.prefix + name.word + " " + std::to_string(static_cast<int>(a)) + " " +
                          std::to_string(static_cast<int>(b)));
    }

    std::vector<std::string> m_words;
    std::list<std::string> m_prefixes; // stable addresses, bound into the slots
    CSlotList m_slots;
};
