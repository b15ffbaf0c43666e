#include "editctrl/OutlineNode.h"
#include "editctrl/CodeEditCtrl.h"

#include <algorithm>

void CCodeOutlineBaseNode::CopyValues(const CCodeOutlineBaseNode& source)
{
    start = source.start;
    end = source.end;
    leadLength = source.leadLength;
    collapsed = source.collapsed;
    label = source.label;
    blockType = source.blockType;
    flags = source.flags;
    labelRect = RECT{};
    CopyData(source.data);
}

int CCodeOutlineBaseNode::RangeTest(int first, int last) const
{
    if (end < first || start > last)
        return 0;
    if (start >= first && end <= last)
        return 1;
    return 2;
}

void CCodeOutlineBaseNode::OnTextInserted(int offset, int length)
{
    if (!IsSet() || end < offset)
        return;
    if (start >= offset) {
        if (HeaderStart() < offset)
            leadLength += length;
        Shift(length);
    } else {
        end += length;
    }
}

void CCodeOutlineBaseNode::OnTextRemoved(int first, int last)
{
    if (!IsSet() || end < first)
        return;
    const int removed = last - first;
    if (start > last) {
        if (HeaderStart() <= last)
            leadLength = HeaderStart() <= first ? std::max(0, leadLength - removed) : start - last;
        Shift(-removed);
    } else if (start >= first) {
        if (end <= last)
            return;  // wholly removed: the tree takes the node out first
        leadLength = std::max(0, leadLength - (start - first));
        start = first;
        end -= removed;
    } else if (end <= last) {
        end = first - 1;
    } else {
        end -= removed;
    }
}

void CCodeOutlineBaseNode::SetCollapsed(BOOL value)
{
    if (IsComplete())
        collapsed = value ? 1 : 0;
}

CODE_EDIT_OUTLINE_CHANGES::~CODE_EDIT_OUTLINE_CHANGES()
{
    if (ownsRemoved)
        for (CCodeOutlineNode* node : removed)
            delete node;
    if (ownsAdded)
        for (CCodeOutlineNode* node : added)
            delete node;
}

CCodeOutlineNode::~CCodeOutlineNode() { DeleteChildren(); }

void CCodeOutlineNode::DeleteChildren()
{
    for (CCodeOutlineNode* child : children)
        delete child;
    children.clear();
    TellOwnerChanged();
}

void CCodeOutlineNode::TellOwnerChanged() const
{
    if (owner)
        owner->OnOutlineTreeChanged();
}

void CCodeOutlineNode::OnTextRemoved(int first, int last)
{
    CCodeOutlineBaseNode::OnTextRemoved(first, last);
    for (CCodeOutlineNode* child : children)
        child->OnTextRemoved(first, last);
}

void CCodeOutlineNode::OnTextInserted(int offset, int length)
{
    CCodeOutlineBaseNode::OnTextInserted(offset, length);
    for (CCodeOutlineNode* child : children)
        child->OnTextInserted(offset, length);
}

void CCodeOutlineNode::SetCollapsed(BOOL value)
{
    CCodeOutlineBaseNode::SetCollapsed(value);
    TellOwnerChanged();
}

CCodeOutlineNode* CCodeOutlineNode::AddNodeCopy(const CCodeOutlineBaseNode& source, CODE_EDIT_OUTLINE_CHANGES& changes)
{
    CCodeOutlineNode* node = new CCodeOutlineNode;
    node->CopyValues(source);
    AddNode(node, changes);
    return node;
}

int CCodeOutlineNode::IndexOfChild(const CCodeOutlineNode* child) const
{
    auto it = std::find(children.begin(), children.end(), child);
    return it == children.end() ? -1 : (int)(it - children.begin());
}

void CCodeOutlineNode::AddNode(CCodeOutlineNode* node, CODE_EDIT_OUTLINE_CHANGES& changes)
{
    node->owner = owner;
    size_t i = 0;
    while (i < children.size()) {
        CCodeOutlineNode* child = children[i];
        if (node->end < child->start) {
            children.insert(children.begin() + (long)i, node);
            node->parent = this;
            changes.added.push_back(node);
            TellOwnerChanged();
            return;
        }
        if (child->RangeTest(node->start, node->end) == 1) {
            // The child moves below the new node.
            children.erase(children.begin() + (long)i);
            child->parent = nullptr;
            auto listed = std::find(changes.added.begin(), changes.added.end(), child);
            if (listed != changes.added.end())
                changes.added.erase(listed);
            CODE_EDIT_OUTLINE_CHANGES inner;
            node->AddNode(child, inner);
            changes.removed.insert(changes.removed.end(), inner.removed.begin(), inner.removed.end());
            inner.removed.clear();
            continue;
        }
        if (node->RangeTest(child->start, child->end) == 1) {
            child->AddNode(node, changes);
            return;
        }
        if (child->RangeTest(node->start, node->end) == 2) {
            RemoveChild(i, changes, FALSE);
            i = 0;
            continue;
        }
        ++i;
    }
    children.push_back(node);
    node->parent = this;
    changes.added.push_back(node);
    TellOwnerChanged();
}

CCodeOutlineNode* CCodeOutlineNode::RemoveChild(size_t index, CODE_EDIT_OUTLINE_CHANGES& changes, BOOL keepChildren)
{
    CCodeOutlineNode* child = children[index];
    children.erase(children.begin() + (long)index);
    // A node added earlier in the same update is simply no longer added.
    auto listed = std::find(changes.added.begin(), changes.added.end(), child);
    if (listed != changes.added.end())
        changes.added.erase(listed);
    changes.removed.push_back(child);
    if (!keepChildren) {
        while (!child->children.empty()) {
            CCodeOutlineNode* grandchild = child->children.front();
            child->children.erase(child->children.begin());
            grandchild->parent = nullptr;
            AddNode(grandchild, changes);
        }
    }
    child->parent = nullptr;
    TellOwnerChanged();
    return child;
}

int CCodeOutlineNode::RemoveNodesInRange(int first, int last, CODE_EDIT_OUTLINE_CHANGES& changes)
{
    int count = 0;
    size_t i = 0;
    while (i < children.size()) {
        CCodeOutlineNode* child = children[i];
        int test = child->RangeTest(first, last);
        if (test == 1) {
            count += 1 + child->CountDescendants(true);
            RemoveChild(i, changes, TRUE);
            continue;
        }
        if (test == 2)
            count += child->RemoveNodesInRange(first, last, changes);
        ++i;
    }
    return count;
}

int CCodeOutlineNode::CountDescendants(bool recursive) const
{
    int count = (int)children.size();
    if (recursive)
        for (const CCodeOutlineNode* child : children)
            count += child->CountDescendants(true);
    return count;
}

CCodeOutlineNode* CCodeOutlineNode::FindCollapsedNodeInRange(int first, int last, bool forward) const
{
    const size_t n = children.size();
    for (size_t k = 0; k < n; ++k) {
        CCodeOutlineNode* child = children[forward ? k : n - 1 - k];
        if (child->RangeTest(first, last) == 0)
            continue;
        if (child->collapsed)
            return child;
        if (CCodeOutlineNode* inner = child->FindCollapsedNodeInRange(first, last, forward))
            return inner;
    }
    return nullptr;
}

CCodeOutlineNode* CCodeOutlineNode::FindLabelAtPoint(int x, int y, int first, int last) const
{
    POINT point = {x, y};
    for (CCodeOutlineNode* child : children) {
        if (child->RangeTest(first, last) == 0)
            continue;
        if (child->collapsed) {
            if (::PtInRect(&child->labelRect, point))
                return child;
        } else if (CCodeOutlineNode* inner = child->FindLabelAtPoint(x, y, first, last)) {
            return inner;
        }
    }
    return nullptr;
}

CCodeOutlineNode* CCodeOutlineNode::FindInnermostNodeAt(int offset) const
{
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CCodeOutlineNode* child = *it;
        if (child->end < offset)
            continue;
        if (CCodeOutlineNode* inner = child->FindInnermostNodeAt(offset))
            return inner;
        if (child->start <= offset && offset <= child->end + 1 && child->IsComplete())
            return child;
    }
    return nullptr;
}

void CCodeOutlineNode::CollectChildNodes(std::vector<CCodeOutlineNode*>& list, bool recursive) const
{
    for (CCodeOutlineNode* child : children) {
        list.push_back(child);
        if (recursive)
            child->CollectChildNodes(list, true);
    }
}

void CCodeOutlineNode::CollectNodesByCollapse(std::vector<CCodeOutlineNode*>& list, BOOL collapsedValue,
                                              bool recursive) const
{
    for (CCodeOutlineNode* child : children) {
        if ((child->collapsed != 0) == (collapsedValue != 0))
            list.push_back(child);
        if (recursive && !child->collapsed)
            child->CollectNodesByCollapse(list, collapsedValue, true);
    }
}

void CCodeOutlineNode::CollectNodesInRangeByCollapse(int first, int last, std::vector<CCodeOutlineNode*>& list,
                                                     BOOL collapsedValue, bool partial, bool recursive) const
{
    for (CCodeOutlineNode* child : children) {
        int test = child->RangeTest(first, last);
        if (test == 0 || (test == 2 && !partial))
            continue;
        if ((child->collapsed != 0) == (collapsedValue != 0))
            list.push_back(child);
        if (recursive && !child->collapsed)
            child->CollectNodesInRangeByCollapse(first, last, list, collapsedValue, partial, true);
    }
}

void CCodeOutlineNode::CollectNodesInRange(int first, int last, std::vector<CCodeOutlineNode*>& list,
                                           bool whollyInside, bool recursive) const
{
    for (CCodeOutlineNode* child : children) {
        int test = child->RangeTest(first, last);
        if (test == 0)
            continue;
        if (test == 1 || !whollyInside)
            list.push_back(child);
        if (recursive)
            child->CollectNodesInRange(first, last, list, whollyInside, true);
    }
}
