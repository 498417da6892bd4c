#include "ui/glyphs_win.h"

#include <cstdint>
#include <iterator>
#include <vector>

namespace mvn {
namespace {

// GDI draws no blended pixels, so a colour that no glyph uses marks transparency exactly.
constexpr COLORREF kKeyColour = RGB(255, 0, 255);
constexpr std::uint32_t kKeyPixel = 0x00FF00FF;  // the same colour as a 32-bit DIB pixel (BGRX)
constexpr int kDesignEdge = 16;                  // the glyphs are drawn on a 16 x 16 grid

struct Grid {
    int edge;
    int operator()(int at16) const noexcept { return ::MulDiv(at16, edge, kDesignEdge); }
};

void DrawCross(HDC dc, Grid g) {
    LOGBRUSH ink{BS_SOLID, RGB(204, 0, 0), 0};
    const UniquePen pen{::ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_SQUARE | PS_JOIN_MITER,
                                       static_cast<DWORD>(g(3) > 1 ? g(3) : 2), &ink, 0, nullptr)};
    const ScopedSelect usePen(dc, pen.get());
    ::MoveToEx(dc, g(4), g(4), nullptr);
    ::LineTo(dc, g(11), g(11));
    ::MoveToEx(dc, g(11), g(4), nullptr);
    ::LineTo(dc, g(4), g(11));
}

void DrawArrowDisc(HDC dc, Grid g) {
    {
        const UniquePen rim{::CreatePen(PS_SOLID, 1, RGB(0, 110, 0))};
        const UniqueBrush fill{::CreateSolidBrush(RGB(0, 160, 0))};
        const ScopedSelect usePen(dc, rim.get());
        const ScopedSelect useBrush(dc, fill.get());
        ::Ellipse(dc, g(1), g(1), g(15), g(15));
    }
    const POINT arrow[] = {{g(4), g(7)},  {g(8), g(7)}, {g(8), g(4)}, {g(12), g(8)},
                           {g(8), g(12)}, {g(8), g(9)}, {g(4), g(9)}};
    const UniquePen edge{::CreatePen(PS_SOLID, 1, RGB(255, 255, 255))};
    const UniqueBrush fill{::CreateSolidBrush(RGB(255, 255, 255))};
    const ScopedSelect usePen(dc, edge.get());
    const ScopedSelect useBrush(dc, fill.get());
    ::Polygon(dc, arrow, static_cast<int>(std::size(arrow)));
}

// A monochrome mask: 1 (white) where the glyph is transparent. CreateBitmap wants WORD-aligned rows.
UniqueBitmap MaskOf(const std::uint32_t* pixels, int edge) {
    const std::size_t side = static_cast<std::size_t>(edge);
    const std::size_t stride = (side + 15) / 16 * 2;
    std::vector<std::uint8_t> bits(stride * side, 0);
    for (std::size_t y = 0; y < side; ++y) {
        for (std::size_t x = 0; x < side; ++x) {
            if ((pixels[y * side + x] & 0x00FFFFFF) == kKeyPixel) {
                bits[y * stride + x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
            }
        }
    }
    return UniqueBitmap{::CreateBitmap(edge, edge, 1, 1, bits.data())};
}

// Colour pixels get full alpha and the key colour becomes fully transparent, so the glyph looks the
// same whether the image list draws with the alpha channel or with the mask.
void ApplyAlpha(std::uint32_t* pixels, int edge) {
    const std::size_t count = static_cast<std::size_t>(edge) * static_cast<std::size_t>(edge);
    for (std::size_t i = 0; i < count; ++i) {
        pixels[i] = (pixels[i] & 0x00FFFFFF) == kKeyPixel ? 0 : (pixels[i] | 0xFF000000u);
    }
}

bool AddGlyph(HIMAGELIST list, int edge, void (*draw)(HDC, Grid)) {
    const UniqueMemoryDC dc{::CreateCompatibleDC(nullptr)};
    if (!dc) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = edge;
    info.bmiHeader.biHeight = -edge;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const UniqueBitmap colour{::CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0)};
    if (!colour || !bits) return false;
    auto* pixels = static_cast<std::uint32_t*>(bits);
    {
        const ScopedSelect useBitmap(dc.get(), colour.get());
        const UniqueBrush key{::CreateSolidBrush(kKeyColour)};
        const RECT all{0, 0, edge, edge};
        ::FillRect(dc.get(), &all, key.get());
        draw(dc.get(), Grid{edge});
        ::GdiFlush();  // GDI may batch; the pixels are read directly below
    }
    const UniqueBitmap mask = MaskOf(pixels, edge);
    if (!mask) return false;
    ApplyAlpha(pixels, edge);
    return ::ImageList_Add(list, colour.get(), mask.get()) >= 0;
}

}  // namespace

UniqueImageList CreateButtonGlyphs(int edge) {
    UniqueImageList list{::ImageList_Create(edge, edge, ILC_COLOR32 | ILC_MASK, 2, 0)};
    if (!list) return list;
    // The order gives the glyph numbers kGlyphCross and kGlyphArrow.
    if (!AddGlyph(list.get(), edge, DrawCross) || !AddGlyph(list.get(), edge, DrawArrowDisc)) list.reset();
    return list;
}

}  // namespace mvn
