// The outline tree's insertion, removal and shifting checked against a small
// model written from the tree's rules: a parent's children in order, each
// new node placed by walking them one by one from the first. Random nodes
// from a fixed start; after every step the two trees must have the same
// shape and every change set the same nodes.
#include "tests/QvTest.h"

#include "editctrl/OutlineNode.h"

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

namespace {
// The model: nodes by value, children walked linearly as the rules read.
struct ModelNode {
    int start = -1, end = -1, lead = 0, id = 0;
    std::vector<std::unique_ptr<ModelNode>> children;
};

int RangeTest(const ModelNode& n, int first, int last)
{
    if (n.end < first || n.start > last)
        return 0;
    return n.start >= first && n.end <= last ? 1 : 2;
}

void ModelAdd(ModelNode& parent, std::unique_ptr<ModelNode> node, std::vector<int>& added, std::vector<int>& removed);

void ModelRemoveChild(ModelNode& parent, size_t i, std::vector<int>& added, std::vector<int>& removed)
{
    std::unique_ptr<ModelNode> child = std::move(parent.children[i]);
    parent.children.erase(parent.children.begin() + (long)i);
    added.erase(std::remove(added.begin(), added.end(), child->id), added.end());
    removed.push_back(child->id);
    while (!child->children.empty()) {
        std::unique_ptr<ModelNode> grandchild = std::move(child->children.front());
        child->children.erase(child->children.begin());
        ModelAdd(parent, std::move(grandchild), added, removed);
    }
}

void ModelAdd(ModelNode& parent, std::unique_ptr<ModelNode> node, std::vector<int>& added, std::vector<int>& removed)
{
    size_t i = 0;
    while (i < parent.children.size()) {
        ModelNode& child = *parent.children[i];
        if (node->end < child.start) {
            added.push_back(node->id);
            parent.children.insert(parent.children.begin() + (long)i, std::move(node));
            return;
        }
        if (RangeTest(child, node->start, node->end) == 1) {
            std::unique_ptr<ModelNode> moved = std::move(parent.children[i]);
            parent.children.erase(parent.children.begin() + (long)i);
            added.erase(std::remove(added.begin(), added.end(), moved->id), added.end());
            std::vector<int> innerAdded;
            ModelAdd(*node, std::move(moved), innerAdded, removed);
            continue;
        }
        if (RangeTest(*node, child.start, child.end) == 1) {
            ModelAdd(child, std::move(node), added, removed);
            return;
        }
        if (RangeTest(child, node->start, node->end) == 2) {
            ModelRemoveChild(parent, i, added, removed);
            i = 0;
            continue;
        }
        ++i;
    }
    added.push_back(node->id);
    parent.children.push_back(std::move(node));
}

void ModelShiftInsert(ModelNode& n, int offset, int length)
{
    if (!(n.start == -1 && n.end == -1) && n.end >= offset) {
        if (n.start >= offset) {
            if (n.start - n.lead < offset)
                n.lead += length;
            n.start += length;
            n.end += length;
        } else {
            n.end += length;
        }
    }
    for (auto& c : n.children)
        ModelShiftInsert(*c, offset, length);
}

void ModelRemoveInRange(ModelNode& parent, int first, int last, std::vector<int>& removed)
{
    size_t i = 0;
    while (i < parent.children.size()) {
        int test = RangeTest(*parent.children[i], first, last);
        if (test == 1) {
            removed.push_back(parent.children[i]->id);
            parent.children.erase(parent.children.begin() + (long)i);
            continue;
        }
        if (test == 2)
            ModelRemoveInRange(*parent.children[i], first, last, removed);
        ++i;
    }
}

// Both trees as (id, start, end, lead, depth) in tree order.
void Flatten(const ModelNode& n, int depth, std::vector<std::vector<int>>& out)
{
    for (const auto& c : n.children) {
        out.push_back({c->id, c->start, c->end, c->lead, depth});
        Flatten(*c, depth + 1, out);
    }
}

void Flatten(const CCodeOutlineNode& n, int depth, std::vector<std::vector<int>>& out)
{
    for (const CCodeOutlineNode* c : n.children) {
        out.push_back({(int)c->data, c->start, c->end, c->leadLength, depth});
        EXPECT_EQ(c->parent, &n);
        Flatten(*c, depth + 1, out);
    }
}

std::vector<int> Ids(const std::vector<CCodeOutlineNode*>& nodes)
{
    std::vector<int> ids;
    for (const CCodeOutlineNode* n : nodes)
        ids.push_back((int)n->data);
    std::sort(ids.begin(), ids.end());
    return ids;
}
}  // namespace

TEST(OutlineTreeModelTest, RandomAdditionsRemovalsAndShiftsMatchTheLinearModel)
{
    std::mt19937 random(20261211);
    for (int round = 0; round < 40; ++round) {
        CCodeOutlineNode root;
        ModelNode model;
        int nextId = 1;
        for (int step = 0; step < 60; ++step) {
            const int op = (int)(random() % 10);
            if (op < 7) {
                int start = (int)(random() % 200), length = (int)(random() % 40);
                CCodeOutlineNode* node = new CCodeOutlineNode;
                node->start = start;
                node->end = start + length;
                node->leadLength = (int)(random() % 3);
                node->data = (DWORD)nextId;
                auto twin = std::make_unique<ModelNode>();
                twin->start = node->start;
                twin->end = node->end;
                twin->lead = node->leadLength;
                twin->id = nextId++;
                CODE_EDIT_OUTLINE_CHANGES changes;
                root.AddNode(node, changes);
                std::vector<int> added, removed;
                ModelAdd(model, std::move(twin), added, removed);
                std::sort(added.begin(), added.end());
                std::sort(removed.begin(), removed.end());
                ASSERT_EQ(Ids(changes.added), added) << "round " << round << " step " << step;
                ASSERT_EQ(Ids(changes.removed), removed) << "round " << round << " step " << step;
            } else if (op < 9) {
                int offset = (int)(random() % 220), length = 1 + (int)(random() % 5);
                root.OnTextInserted(offset, length);
                ModelShiftInsert(model, offset, length);
            } else {
                int first = (int)(random() % 200), last = first + (int)(random() % 60);
                CODE_EDIT_OUTLINE_CHANGES changes;
                root.RemoveNodesInRange(first, last, changes);
                std::vector<int> removed;
                ModelRemoveInRange(model, first, last, removed);
                std::sort(removed.begin(), removed.end());
                ASSERT_EQ(Ids(changes.removed), removed) << "round " << round << " step " << step;
            }
            std::vector<std::vector<int>> got, want;
            Flatten(root, 0, got);
            Flatten(model, 0, want);
            ASSERT_EQ(got, want) << "round " << round << " step " << step;
        }
    }
}

TEST(OutlineTreeModelTest, TenThousandSiblingsStayOrderedAndAnEditShiftsOnlyTheLaterOnes)
{
    CCodeOutlineNode root;
    CODE_EDIT_OUTLINE_CHANGES changes;
    for (int i = 0; i < 10000; ++i) {
        CCodeOutlineNode* node = new CCodeOutlineNode;
        node->start = i * 10;
        node->end = i * 10 + 5;
        root.AddNode(node, changes);
    }
    ASSERT_EQ(root.children.size(), 10000u);
    EXPECT_EQ(changes.added.size(), 10000u);
    root.OnTextInserted(50003, 2);  // inside node 5000
    EXPECT_EQ(root.children[4999]->start, 49990);
    EXPECT_EQ(root.children[5000]->start, 50000);
    EXPECT_EQ(root.children[5000]->end, 50007);
    EXPECT_EQ(root.children[5001]->start, 50012);
    // One node enclosing them all takes every one below it in one step.
    CODE_EDIT_OUTLINE_CHANGES wrap;
    CCodeOutlineNode* outer = new CCodeOutlineNode;
    outer->start = 0;
    outer->end = 200000;
    root.AddNode(outer, wrap);
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_EQ(outer->children.size(), 10000u);
    ASSERT_EQ(wrap.added.size(), 1u);
    EXPECT_TRUE(wrap.removed.empty());
}
