// CFrame: a body (the frame's own quad) surrounded by eight border pieces, four corners and
// four edges, that follow its position and size. The border says how far the corners reach
// over the body. A frame is created disabled: it is decoration and takes no mouse input.
#pragma once

#include "gui/GUI.h"

#include <cstdint>

class CFrame : public CGUI {
public:
    static constexpr uint32_t kPieceCount = 8;
    // Piece indices, as a description's "border" attribute numbers them.
    enum Piece : uint32_t {
        TopLeft = 0,
        Top = 1,
        TopRight = 2,
        Left = 3,
        Right = 4,
        BottomLeft = 5,
        Bottom = 6,
        BottomRight = 7,
    };

    CFrame();

    // The body, then the pieces one step in front, in index order.
    void Render() override;
    // The common attributes, then "borderX" and "borderY" (floats, 0 when absent).
    void LoadFromNode(CXMLNode& node) override;

    // The border (how far the corners reach over the body); the pieces are laid out again.
    void SetBorder(float x, float y);
    float GetBorderX() const { return m_borderX; }
    float GetBorderY() const { return m_borderY; }

    // A piece (children of the frame, positioned relative to it), or null past the last.
    CGUI* GetPiece(uint32_t index) { return index < kPieceCount ? &m_pieces[index] : nullptr; }

private:
    // The edges stretch to the body's size less the corners' overhang; then Place.
    void OnResize(float width, float height);
    // The pieces around the body, with the top-left corner's size as the corner size.
    void Place(float x, float y);

    CGUI m_pieces[kPieceCount];
    float m_borderX = 0.0f;
    float m_borderY = 0.0f;
    // This class's own connections; the last member, so they go before anything they call into.
    CSlotList m_slots;
};
