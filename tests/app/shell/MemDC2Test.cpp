#include "tests/QvTest.h"
#include "tests/app/shell/ShellTestSupport.h"

#include "framework/windows/MemDC2.h"

namespace {

// A 40x30 bitmap in a memory context, filled white.
class Canvas {
public:
    Canvas()
    {
        m_dc.CreateCompatibleDC(nullptr);
        m_bitmap.CreateDibSection32(40, 30, (void**)&m_bits);
        m_old = m_dc.SelectObject(&m_bitmap);
        m_dc.FillSolidRect(CRect(0, 0, 40, 30), RGB(255, 255, 255));
    }
    ~Canvas() { m_dc.SelectObject(m_old); }
    COLORREF At(int x, int y) const
    {
        ::GdiFlush();
        return qvtest::PixelColour(m_bits[y * 40 + x]);
    }
    CDC m_dc;

private:
    CBitmap m_bitmap;
    uint32_t* m_bits = nullptr;
    HGDIOBJ m_old;
};

}  // namespace

TEST(MemDC2, DrawsOffScreenInTheTargetsCoordinatesAndCopiesOnce)
{
    Canvas canvas;
    CRect area(10, 5, 30, 25);
    {
        CMemDC2 memory(&canvas.m_dc, area);
        memory.FillSolidRect(area, RGB(0, 0, 255));
        memory.FillSolidRect(CRect(10, 5, 12, 7), RGB(255, 0, 0));  // the area's top-left corner
        EXPECT_EQ(RGB(255, 255, 255), canvas.At(10, 5)) << "nothing reaches the target before the end";
    }
    EXPECT_EQ(RGB(255, 0, 0), canvas.At(10, 5)) << "the corner lands at the corner";
    EXPECT_EQ(RGB(0, 0, 255), canvas.At(29, 24));
    EXPECT_EQ(RGB(255, 255, 255), canvas.At(30, 25)) << "outside the area nothing changes";
    EXPECT_EQ(RGB(255, 255, 255), canvas.At(9, 4));
}

TEST(MemDC2, DrawsStraightIntoAPrinterContext)
{
    Canvas canvas;
    canvas.m_dc.m_bPrinting = TRUE;
    {
        CMemDC2 memory(&canvas.m_dc, CRect(0, 0, 40, 30));
        EXPECT_EQ(canvas.m_dc.m_hDC, memory.m_hDC) << "the target's own context";
        memory.FillSolidRect(CRect(0, 0, 5, 5), RGB(0, 128, 0));
        EXPECT_EQ(RGB(0, 128, 0), canvas.At(2, 2)) << "at once, not at the end";
    }
    canvas.m_dc.m_bPrinting = FALSE;
    EXPECT_NE(nullptr, canvas.m_dc.m_hDC) << "the borrowed context stays the target's";
    EXPECT_EQ(RGB(0, 128, 0), canvas.At(2, 2));
}
