#include "media/GlyphTexture.h"

#include "media/GlyphImage.h"

#include <algorithm>
#include <cmath>

CGlyphTexture::CGlyphTexture(const String& fontPath, int32_t height, int32_t first, int32_t last)
    : m_fontPath(fontPath), m_height(height), m_first(first), m_last(last)
{
}

// The scaled textures go with m_scaled, before the base deletes this texture's own name.
CGlyphTexture::~CGlyphTexture() = default;

CGlyphTexture::Scaled& CGlyphTexture::Render(int32_t height)
{
    for (Scaled& scaled : m_scaled)
        if (scaled.height == height)
            return scaled;
    Scaled scaled;
    scaled.height = height;
    auto texture = std::make_unique<CTexture>();
    std::vector<GlyphCell> cells;
    GlyphImageOptions options;
    options.wholeGlyphs = true; // drawn cell by cell, a neighbour's ink must not show
    if (RenderGlyphImage(m_fontPath, height, m_first, m_last, *texture, cells, &options)) {
        scaled.baseline = options.baseline;
        texture->name = m_fontPath;
        texture->file = m_fontPath;
        texture->Upload();
        // In code order: the replacement glyph comes last when the range lacks it.
        std::stable_sort(cells.begin(), cells.end(),
                         [](const GlyphCell& a, const GlyphCell& b) { return a.code < b.code; });
        scaled.codes.reserve(cells.size());
        scaled.frames.resize(cells.size());
        for (size_t i = 0; i < cells.size(); ++i) {
            const GlyphCell& cell = cells[i];
            scaled.codes.push_back(cell.code);
            CSprite::SetFrame(scaled.frames[i], cell.x, cell.y, cell.w, cell.h, 0, texture.get());
        }
        scaled.texture = std::move(texture);
    }
    m_scaled.push_back(std::move(scaled));
    return m_scaled.back();
}

const CSpriteFrame* CGlyphTexture::ScaledGlyph(uint32_t code, float scale, int32_t* baseline)
{
    if (glName == 0 || !std::isfinite(scale) || scale <= 0.0f)
        return nullptr;
    const float wanted = std::round(static_cast<float>(m_height) * scale);
    const int32_t height = static_cast<int32_t>(std::min(wanted, static_cast<float>(kMaxGlyphHeight)));
    if (height < 1 || height == m_height)
        return nullptr;
    const Scaled& scaled = Render(height);
    if (!scaled.texture)
        return nullptr;
    const auto found = std::lower_bound(scaled.codes.begin(), scaled.codes.end(), code);
    if (found == scaled.codes.end() || *found != code)
        return nullptr;
    if (baseline)
        *baseline = scaled.baseline;
    return &scaled.frames[static_cast<size_t>(found - scaled.codes.begin())];
}
