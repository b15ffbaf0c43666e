#include "editctrl/EditDisplayList.h"

CEditDisplayList::~CEditDisplayList()
{
    for (EditDrawOp& op : m_ops)
        op.text.SecureEmpty();
}

void CEditDisplayList::Fill(const RECT& rect, COLORREF color)
{
    EditDrawOp op;
    op.kind = EditDrawOp::FILL;
    op.rect = rect;
    op.color = color;
    m_ops.push_back(op);
}

void CEditDisplayList::Text(const RECT& cell, int textTop, const WCHAR* chars, int count, COLORREF color,
                            COLORREF back, bool link, int tabOrigin, int tabWidth)
{
    EditDrawOp op;
    op.kind = EditDrawOp::TEXT;
    op.rect = cell;
    op.textTop = textTop;
    op.text = CString(chars, count);
    op.color = color;
    op.back = back;
    op.link = link;
    op.tabOrigin = tabOrigin;
    op.tabWidth = tabWidth;
    m_ops.push_back(std::move(op));
}

void CEditDisplayList::LineNumber(const RECT& rect, const CString& text, COLORREF color)
{
    EditDrawOp op;
    op.kind = EditDrawOp::LINE_NUMBER;
    op.rect = rect;
    op.text = text;
    op.color = color;
    m_ops.push_back(op);
}

void CEditDisplayList::Marker(const RECT& rect, COLORREF fill)
{
    EditDrawOp op;
    op.kind = EditDrawOp::MARKER;
    op.rect = rect;
    op.color = fill;
    m_ops.push_back(op);
}

void CEditDisplayList::Clip(const RECT& rect)
{
    EditDrawOp op;
    op.kind = EditDrawOp::CLIP;
    op.rect = rect;
    m_ops.push_back(op);
}

void CEditDisplayList::Unclip()
{
    EditDrawOp op;
    op.kind = EditDrawOp::UNCLIP;
    m_ops.push_back(op);
}

void CEditDisplayList::Line(int x1, int y1, int x2, int y2, COLORREF color)
{
    EditDrawOp op;
    op.kind = EditDrawOp::LINE;
    op.rect = RECT{x1, y1, x2, y2};
    op.color = color;
    m_ops.push_back(op);
}

void CEditDisplayList::Box(const RECT& rect, COLORREF frame, COLORREF fill)
{
    EditDrawOp op;
    op.kind = EditDrawOp::BOX;
    op.rect = rect;
    op.color = frame;
    op.back = fill;
    m_ops.push_back(op);
}

void CEditDisplayList::Ellipse(const RECT& rect, COLORREF outline, COLORREF fill)
{
    Box(rect, outline, fill);
    m_ops.back().kind = EditDrawOp::ELLIPSE;
}

void CEditDisplayList::Label(const RECT& rect, const CString& text, COLORREF color, COLORREF back)
{
    EditDrawOp op;
    op.kind = EditDrawOp::LABEL;
    op.rect = rect;
    op.text = text;
    op.color = color;
    op.back = back;
    m_ops.push_back(op);
}
