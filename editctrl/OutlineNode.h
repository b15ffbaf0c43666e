// The outline tree of the edit control: each node covers a foldable block of
// the text (braces, a comment, an element), may be collapsed, and holds the
// label shown in its place. CODE_EDIT_OUTLINE_CHANGES reports the nodes one
// update took out of the tree and put into it.
//
// Offsets are inclusive at both ends. The tree belongs to one control and is
// used on its window thread only; a node tells its owner whenever the tree or
// a collapsed state changes, so the owner's lookups can be rebuilt.
#pragma once

#include "framework/base/CObject.h"
#include "framework/base/CString.h"

#include <windows.h>

#include <vector>

class CArchive;
class CCodeEditCtrl;
class CCodeOutlineNode;

// Node flags.
enum : DWORD {
    OUTLINE_COMPLETE = 1,    // start and end both present
    OUTLINE_OPEN_START = 2,  // a start whose end is missing
    OUTLINE_LONE_END = 4,    // an end whose start is missing
};

class CCodeOutlineBaseNode : public CObject {
public:
    CCodeOutlineBaseNode() = default;
    virtual void Assign(const CCodeOutlineBaseNode& source) { CopyValues(source); }
    virtual void CopyValues(const CCodeOutlineBaseNode& source);
    virtual void CopyData(DWORD) {}
    virtual void ClearData() { data = 0; }
    virtual void Shift(int delta)
    {
        start += delta;
        end += delta;
    }
    // 0: outside [first, last]; 1: wholly inside; 2: overlapping partly.
    virtual int RangeTest(int first, int last) const;
    // The characters first..last-1 were removed; end exclusive.
    virtual void OnTextRemoved(int first, int last);
    virtual void OnTextInserted(int offset, int length);
    // Only a complete block can be collapsed.
    virtual void SetCollapsed(BOOL value);
    // Stored form: start, end, leadLength, collapsed, label, blockType,
    // flags, then the data; loading empties labelRect.
    virtual void Serialize(CArchive& archive);
    virtual void SerializeData(CArchive& archive);

    bool IsSet() const { return !(start == -1 && end == -1); }
    bool IsComplete() const { return (flags & OUTLINE_COMPLETE) != 0; }
    int HeaderStart() const { return start - leadLength; }

    int start = -1;
    int end = -1;
    int leadLength = 0;
    BOOL collapsed = 0;
    CString label = L"...";
    RECT labelRect = {};
    int blockType = -2;
    DWORD flags = OUTLINE_COMPLETE;
    DWORD data = 0;
};

// The change set of one outline update. The destructor destroys the nodes
// still listed in `removed` (ownsRemoved) and in `added` (ownsAdded).
struct CODE_EDIT_OUTLINE_CHANGES {
    explicit CODE_EDIT_OUTLINE_CHANGES(int first = 0, int last = 0) : start(first), end(last) {}
    virtual ~CODE_EDIT_OUTLINE_CHANGES();
    CODE_EDIT_OUTLINE_CHANGES(const CODE_EDIT_OUTLINE_CHANGES&) = delete;
    CODE_EDIT_OUTLINE_CHANGES& operator=(const CODE_EDIT_OUTLINE_CHANGES&) = delete;
    void Widen(int first, int last)
    {
        start = start < first ? start : first;
        end = end > last ? end : last;
    }

    std::vector<CCodeOutlineNode*> removed;
    std::vector<CCodeOutlineNode*> added;
    int start;
    int end;
    BOOL ownsRemoved = 1;
    BOOL ownsAdded = 0;
};

class CCodeOutlineNode : public CCodeOutlineBaseNode {
public:
    CCodeOutlineNode() = default;
    ~CCodeOutlineNode() override;
    CCodeOutlineNode(const CCodeOutlineNode&) = delete;
    CCodeOutlineNode& operator=(const CCodeOutlineNode&) = delete;

    void OnTextRemoved(int first, int last) override;
    void OnTextInserted(int offset, int length) override;
    void SetCollapsed(BOOL value) override;
    // A new node with the source's values and no children, added below this one.
    virtual CCodeOutlineNode* AddNodeCopy(const CCodeOutlineBaseNode& source, CODE_EDIT_OUTLINE_CHANGES& changes);
    // Puts a detached node (and its children) where it belongs below this node.
    virtual void AddNode(CCodeOutlineNode* node, CODE_EDIT_OUTLINE_CHANGES& changes);
    // Takes out the child at `index` into changes.removed; without
    // keepChildren its children are added to this node again.
    virtual CCodeOutlineNode* RemoveChild(size_t index, CODE_EDIT_OUTLINE_CHANGES& changes, BOOL keepChildren);
    // The base's stored form followed by the children (a count, then each).
    void Serialize(CArchive& archive) override;
    virtual void SerializeChildren(CArchive& archive);

    // Queries.
    CCodeOutlineNode* FindCollapsedNodeInRange(int first, int last, bool forward) const;
    CCodeOutlineNode* FindLabelAtPoint(int x, int y, int first, int last) const;
    CCodeOutlineNode* FindInnermostNodeAt(int offset) const;
    void CollectChildNodes(std::vector<CCodeOutlineNode*>& list, bool recursive) const;
    void CollectNodesByCollapse(std::vector<CCodeOutlineNode*>& list, BOOL collapsedValue, bool recursive) const;
    void CollectNodesInRangeByCollapse(int first, int last, std::vector<CCodeOutlineNode*>& list,
                                       BOOL collapsedValue, bool partial, bool recursive) const;
    void CollectNodesInRange(int first, int last, std::vector<CCodeOutlineNode*>& list, bool whollyInside,
                             bool recursive) const;
    // Takes out the children lying wholly inside [first, last] (with their
    // descendants) into changes.removed; the number of nodes taken out.
    int RemoveNodesInRange(int first, int last, CODE_EDIT_OUTLINE_CHANGES& changes);
    int CountDescendants(bool recursive) const;
    // Destroys every child.
    void DeleteChildren();
    // The index of a child, or -1.
    int IndexOfChild(const CCodeOutlineNode* child) const;

    std::vector<CCodeOutlineNode*> children;
    CCodeOutlineNode* parent = nullptr;
    CCodeEditCtrl* owner = nullptr;

private:
    void TellOwnerChanged() const;
    // Index of the first child ending at or after `offset` (binary search).
    size_t FirstChildReaching(int offset) const;
    // Index of the first child starting after `offset`.
    size_t FirstChildStartingAfter(int offset) const;
    // Nodes that left the tree or moved below a new node are no longer "added".
    static void ForgetAdded(CODE_EDIT_OUTLINE_CHANGES& changes, const std::vector<CCodeOutlineNode*>& nodes);
};
