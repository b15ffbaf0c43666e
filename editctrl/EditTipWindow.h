// The tooltip window of the edit control as its core sees it: the window
// layer implements it with a real tooltip control; without one the core
// keeps its tip state alone. Window thread only.
#pragma once

class CEditTipWindow {
public:
    virtual ~CEditTipWindow() = default;
    virtual void Activate(bool on) = 0;
    // Hides the tip now shown.
    virtual void Pop() = 0;
    virtual void SetMaxWidth(int width) = 0;
};
