#include "gui/Frame.h"

#include "xml/XMLDocument.h"

CFrame::CFrame()
{
    m_kind = GUIFrame;
    for (CGUI& piece : m_pieces)
        piece.SetParent(this);
    m_slots.Connect(onResize, this, &CFrame::OnResize);
    m_slots.Connect(onMove, this, &CFrame::Place);
}

void CFrame::SetBorder(float x, float y)
{
    m_borderX = x;
    m_borderY = y;
    OnResize(GetWidth(), GetHeight());
}

void CFrame::OnResize(float width, float height)
{
    scale.x = width;
    scale.y = height;
    const float dx = m_pieces[TopLeft].GetWidth() - m_borderX;
    const float dy = m_pieces[TopLeft].GetHeight() - m_borderY;
    m_pieces[Top].SetSize(width - dx, m_pieces[Top].GetHeight());
    m_pieces[Bottom].SetSize(width - dx, m_pieces[Bottom].GetHeight());
    m_pieces[Left].SetSize(m_pieces[Left].GetWidth(), height - dy);
    m_pieces[Right].SetSize(m_pieces[Right].GetWidth(), height - dy);
    Place(GetX(), GetY());
}

void CFrame::Place(float x, float y)
{
    transform.SetTranslation(x, y, GetZ());
    const float bx = m_borderX, by = m_borderY;
    const float dx = m_pieces[TopLeft].GetWidth() - bx;
    const float dy = m_pieces[TopLeft].GetHeight() - by;
    const float left = -dx / 2 - bx, top = -dy / 2 - by;
    // Half a pixel of overlap where an edge meets the corner after it hides the seam.
    m_pieces[TopLeft].SetPosition(left, top);
    m_pieces[Top].SetPosition(dx / 2, top);
    m_pieces[TopRight].SetPosition(dx / 2 + m_pieces[Top].GetWidth() - 0.5f, top);
    m_pieces[Left].SetPosition(left, dy / 2);
    m_pieces[Right].SetPosition(m_pieces[TopRight].GetX() + m_pieces[TopRight].GetWidth() - m_pieces[Right].GetWidth(),
                                dy / 2);
    const float bottom = dy / 2 + m_pieces[Left].GetHeight() - 0.5f;
    m_pieces[BottomLeft].SetPosition(left, bottom);
    m_pieces[Bottom].SetPosition(dx / 2, bottom + m_pieces[BottomLeft].GetHeight() - m_pieces[Bottom].GetHeight());
    m_pieces[BottomRight].SetPosition(dx / 2 + m_pieces[Bottom].GetWidth() - 0.5f, bottom);
}

void CFrame::Render()
{
    CGUI::Render();
    if (!IsVisible())
        return;
    for (CGUI& piece : m_pieces) {
        piece.SetZ(GetZ() + 1.0f);
        piece.Render();
    }
}

void CFrame::LoadFromNode(CXMLNode& node)
{
    CGUI::LoadFromNode(node);
    m_borderX = node.GetAttributeFloat("borderX");
    m_borderY = node.GetAttributeFloat("borderY");
    OnResize(GetWidth(), GetHeight());
}
