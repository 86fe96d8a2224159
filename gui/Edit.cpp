// Index:
//   [SECTION] Construction and copying
//   [SECTION] Focus, keys and caret
//   [SECTION] Drawing and description attributes
#include "gui/Edit.h"

#include "events/Input.h"
#include "xml/XMLDocument.h"

#include <algorithm>
#include <cmath>

// [SECTION] Construction and copying

CEdit::CEdit()
{
    m_kind = GUIEdit;
    m_enabled = true;
    m_text.SetParent(this);
    m_blink.SetInterval(kBlinkPeriod);
    m_slots.Connect(onResize, this, &CEdit::LayoutText);
    m_slots.Connect(onFocus, this, &CEdit::OnFocus);
    m_slots.Connect(GetKeyboardSignal(), this, &CEdit::OnKey);
    m_slots.Connect(m_blink.onExpire, this, &CEdit::OnBlink);
}

CEdit::CEdit(const CEdit& other) : CEdit() { Assign(other); }

CEdit::~CEdit()
{
    // Members die before the base class clears the slots: no handler may run meanwhile.
    m_slots.Clear();
}

void CEdit::Assign(const CEdit& other)
{
    if (&other == this)
        return;
    CopyFrom(other);
    m_text.Assign(other.m_text);
    m_text.SetParent(this);
    m_multiline = other.m_multiline;
    m_number = other.m_number;
    m_caret = other.m_caret;
    m_limit = other.m_limit;
    m_border = other.m_border;
    m_active = false;
    m_blink.SetEnabled(false);
}

void CEdit::SetFont(const CFont* font)
{
    if (!font)
        return;
    // Masking is the field's behaviour (a password), not part of a font's look.
    const bool mask = m_text.GetMask();
    const char maskCharacter = m_text.GetMaskCharacter();
    m_text.Assign(*font);
    m_text.SetMask(mask);
    m_text.SetMaskCharacter(maskCharacter);
    m_text.SetParent(this);
    m_text.SetText(String());
    m_text.SetPosition(0.0f, 0.0f);
    LayoutText(GetWidth(), GetHeight());
}

void CEdit::SetBorder(float border)
{
    m_border = border;
    LayoutText(GetWidth(), GetHeight());
}

void CEdit::LayoutText(float width, float height)
{
    // The inset is taken once: the text box reaches the field's right and bottom edges.
    m_text.SetSize(width - m_border, height - m_border);
    m_text.SetPosition(m_border, m_border);
}

// [SECTION] Focus, keys and caret

void CEdit::OnFocus(bool focus)
{
    m_active = focus;
    if (focus) {
        ShowCaret();
    } else {
        m_blink.SetEnabled(false);
        m_caret = false;
    }
}

void CEdit::ShowCaret()
{
    m_caret = true;
    m_blink.SetEnabled(true);
}

void CEdit::OnBlink() { m_caret = !m_caret; }

bool CEdit::Types(int32_t key) const
{
    return m_number ? (key >= '0' && key <= '9') || key == '.' || key == '-' : key >= 32 && key < 128;
}

bool CEdit::Accepts(int32_t key) const
{
    const String& text = GetText();
    if (static_cast<uint32_t>(text.Length()) >= m_limit)
        return false;
    if (m_number)
        return (key >= '0' && key <= '9') || (key == '.' && text.Find(".") < 0) || (key == '-' && text.IsEmpty());
    return key >= 32 && key < 128;
}

void CEdit::Changed()
{
    ShowCaret();
    const String text = GetText();
    onChange.Emit(text);
}

void CEdit::OnKey(CInputMap& event)
{
    // A disabled or hidden field keeps its text even while it holds the focus.
    if (event.action != InputPress || !m_active || !IsEnabled() || !IsVisible())
        return;
    const int32_t key = event.value;
    const uint32_t length = static_cast<uint32_t>(GetText().Length());
    if (!event.character) {
        // Keys edit; only characters type (an arrow's code is a character's too).
        if (key == KeyBackspace) {
            event.handled = true;
            if (length > 0) {
                m_text.RemoveLastCharacter();
                Changed();
            }
        } else if (key == KeyEnter && m_multiline) {
            event.handled = true;
            if (length < m_limit) {
                m_text.AppendCharacter('\n');
                Changed();
            }
        }
        return;
    }
    // The characters of the field's kind are its own even when the limit refuses them; a
    // number field leaves the others (Space among them) to the application.
    if (Types(key))
        event.handled = true;
    if (!Accepts(key))
        return;
    m_text.AppendCharacter(static_cast<char>(key));
    Changed();
}

bool CEdit::GetCaretRect(float& x, float& y, float& width, float& height) const
{
    if (!m_active || !m_caret)
        return false;
    m_text.Layout(m_caretLayout);
    if (!m_caretLayout.penInside || !(m_caretLayout.lineHeight > 0.0f))
        return false;
    x = m_caretLayout.penX;
    y = m_caretLayout.penY;
    height = m_caretLayout.lineHeight;
    width = std::max(1.0f, std::trunc(height / 8.0f));
    return true;
}

// [SECTION] Drawing and description attributes

void CEdit::Render()
{
    CGUI::Render();
    if (!IsVisible())
        return;
    m_text.SetZ(GetZ() + 1.0f);
    m_text.Render();
    float x = 0.0f, y = 0.0f, width = 0.0f, height = 0.0f;
    if (!GetCaretRect(x, y, width, height))
        return;
    // The caret takes the text's colours, as a plain quad.
    const CMaterial& look = m_text.material;
    CMaterial& caret = m_caretQuad.material;
    std::copy(look.ambient, look.ambient + 4, caret.ambient);
    std::copy(look.diffuse, look.diffuse + 4, caret.diffuse);
    std::copy(look.emission, look.emission + 4, caret.emission);
    std::copy(look.specular, look.specular + 4, caret.specular);
    caret.shininess = look.shininess;
    caret.additive = look.additive;
    const CVector origin = GetAbsolutePosition();
    m_caretQuad.transform.SetTranslation(origin.x + x, origin.y + y, GetZ() + 1.0f);
    m_caretQuad.scale = CVector(width, height, 1.0f);
    m_caretQuad.Draw();
}

void CEdit::LoadFromNode(CXMLNode& node)
{
    CGUI::LoadFromNode(node);
    if (node.FindAttribute("text"))
        SetText(node.GetAttributeString("text"));
    if (node.FindAttribute("borderSize"))
        SetBorder(node.GetAttributeFloat("borderSize"));
    if (node.FindAttribute("multiline"))
        m_multiline = node.GetAttributeBool("multiline");
    if (node.FindAttribute("password"))
        m_text.SetMask(node.GetAttributeBool("password"));
    if (node.FindAttribute("number"))
        m_number = node.GetAttributeBool("number");
    if (node.FindAttribute("limit")) {
        const int32_t limit = node.GetAttributeInt("limit");
        m_limit = limit < 0 ? kUnlimited : static_cast<uint32_t>(limit);
    }
}
