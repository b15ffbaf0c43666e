#include "editctrl/OutlineNode.h"
#include "editctrl/CodeEditCtrl.h"
#include "framework/base/CArchive.h"

#include <algorithm>
#include <unordered_set>

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

size_t CCodeOutlineNode::FirstChildStartingAfter(int offset) const
{
    auto it = std::upper_bound(children.begin(), children.end(), offset,
                               [](int value, const CCodeOutlineNode* child) { return value < child->start; });
    return (size_t)(it - children.begin());
}

size_t CCodeOutlineNode::FirstChildReaching(int offset) const
{
    // Children are ordered and do not overlap, so their ends ascend too.
    auto it = std::lower_bound(children.begin(), children.end(), offset,
                               [](const CCodeOutlineNode* child, int value) { return child->end < value; });
    return (size_t)(it - children.begin());
}

void CCodeOutlineNode::OnTextRemoved(int first, int last)
{
    CCodeOutlineBaseNode::OnTextRemoved(first, last);
    // Children ending before the removal keep their offsets.
    for (size_t i = FirstChildReaching(first); i < children.size(); ++i)
        children[i]->OnTextRemoved(first, last);
}

void CCodeOutlineNode::OnTextInserted(int offset, int length)
{
    CCodeOutlineBaseNode::OnTextInserted(offset, length);
    for (size_t i = FirstChildReaching(offset); i < children.size(); ++i)
        children[i]->OnTextInserted(offset, length);
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

void CCodeOutlineNode::ForgetAdded(CODE_EDIT_OUTLINE_CHANGES& changes, const std::vector<CCodeOutlineNode*>& nodes)
{
    if (nodes.empty() || changes.added.empty())
        return;
    if (nodes.size() == 1) {
        // Searched from the newest: a node moved below another was mostly added just before.
        auto listed = std::find(changes.added.rbegin(), changes.added.rend(), nodes[0]);
        if (listed != changes.added.rend())
            changes.added.erase(std::next(listed).base());
        return;
    }
    std::unordered_set<const CCodeOutlineNode*> gone(nodes.begin(), nodes.end());
    changes.added.erase(std::remove_if(changes.added.begin(), changes.added.end(),
                                       [&](const CCodeOutlineNode* n) { return gone.count(n) != 0; }),
                        changes.added.end());
}

void CCodeOutlineNode::AddNode(CCodeOutlineNode* node, CODE_EDIT_OUTLINE_CHANGES& changes)
{
    node->owner = owner;
    // Children ending before the node starts can neither hold it, lie inside
    // it nor overlap it: the search starts at the first one that reaches it.
    size_t i = FirstChildReaching(node->start);
    while (i < children.size()) {
        CCodeOutlineNode* child = children[i];
        if (node->end < child->start)
            break;
        if (child->RangeTest(node->start, node->end) == 1) {
            // This child and the following ones inside the node move below it, in one step.
            size_t j = i;
            while (j < children.size() && children[j]->RangeTest(node->start, node->end) == 1)
                ++j;
            std::vector<CCodeOutlineNode*> moving(children.begin() + (long)i, children.begin() + (long)j);
            children.erase(children.begin() + (long)i, children.begin() + (long)j);
            ForgetAdded(changes, moving);
            CODE_EDIT_OUTLINE_CHANGES inner;
            for (CCodeOutlineNode* moved : moving) {
                moved->parent = nullptr;
                node->AddNode(moved, inner);
            }
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
            i = FirstChildReaching(node->start);
            continue;
        }
        ++i;
    }
    children.insert(children.begin() + (long)i, node);
    node->parent = this;
    changes.added.push_back(node);
    TellOwnerChanged();
}

CCodeOutlineNode* CCodeOutlineNode::RemoveChild(size_t index, CODE_EDIT_OUTLINE_CHANGES& changes, BOOL keepChildren)
{
    CCodeOutlineNode* child = children[index];
    children.erase(children.begin() + (long)index);
    // A node added earlier in the same update is simply no longer added.
    ForgetAdded(changes, {child});
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
    std::vector<CCodeOutlineNode*> taken;
    size_t kept = FirstChildReaching(first), i = kept;
    for (; i < children.size() && children[i]->start <= last; ++i) {
        CCodeOutlineNode* child = children[i];
        int test = child->RangeTest(first, last);
        if (test == 1) {
            count += 1 + child->CountDescendants(true);
            child->parent = nullptr;
            taken.push_back(child);
            continue;
        }
        if (test == 2)
            count += child->RemoveNodesInRange(first, last, changes);
        children[kept++] = child;
    }
    if (taken.empty())
        return count;
    children.erase(children.begin() + (long)kept, children.begin() + (long)i);
    ForgetAdded(changes, taken);
    changes.removed.insert(changes.removed.end(), taken.begin(), taken.end());
    TellOwnerChanged();
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
    // Only the children from the first reaching `first` to the last starting by `last` can overlap.
    const size_t low = FirstChildReaching(first);
    const size_t high = FirstChildStartingAfter(last);
    for (size_t k = low; k < high; ++k) {
        CCodeOutlineNode* child = children[forward ? k : high - 1 - (k - low)];
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
    for (size_t k = FirstChildReaching(first); k < children.size() && children[k]->start <= last; ++k) {
        CCodeOutlineNode* child = children[k];
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
    // Children starting after offset + 1 hold nothing at the offset, and
    // those ending before it neither.
    const size_t low = FirstChildReaching(offset);
    for (size_t k = FirstChildStartingAfter(offset + 1); k > low; --k) {
        CCodeOutlineNode* child = children[k - 1];
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
    for (size_t k = FirstChildReaching(first); k < children.size() && children[k]->start <= last; ++k) {
        CCodeOutlineNode* child = children[k];
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

void CCodeOutlineBaseNode::Serialize(CArchive& archive)
{
    if (archive.IsStoring()) {
        archive << (int32_t)start << (int32_t)end << (int32_t)leadLength << (int32_t)collapsed << label
                << (int32_t)blockType << (uint32_t)flags;
    } else {
        int32_t values[4] = {}, type = 0;
        uint32_t bits = 0;
        archive >> values[0] >> values[1] >> values[2] >> values[3] >> label >> type >> bits;
        start = values[0];
        end = values[1];
        leadLength = values[2];
        collapsed = values[3];
        blockType = type;
        flags = bits;
        labelRect = RECT{};
    }
    SerializeData(archive);
}

void CCodeOutlineBaseNode::SerializeData(CArchive& archive)
{
    if (archive.IsStoring()) {
        archive << (uint32_t)data;
    } else {
        uint32_t value = 0;
        archive >> value;
        data = value;
    }
}

void CCodeOutlineNode::Serialize(CArchive& archive)
{
    CCodeOutlineBaseNode::Serialize(archive);
    SerializeChildren(archive);
}

void CCodeOutlineNode::SerializeChildren(CArchive& archive)
{
    if (archive.IsStoring()) {
        archive << (uint32_t)children.size();
        for (CCodeOutlineNode* child : children)
            child->Serialize(archive);
        return;
    }
    DeleteChildren();
    uint32_t count = 0;
    archive >> count;
    for (uint32_t i = 0; i < count; ++i) {
        auto* child = new CCodeOutlineNode;
        child->parent = this;
        child->owner = owner;
        children.push_back(child);  // owned before loading, so a short archive leaks nothing
        child->Serialize(archive);
    }
    TellOwnerChanged();
}
