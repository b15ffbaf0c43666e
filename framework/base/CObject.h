// CObject: the common base of the program's polymorphic records (array
// elements, exceptions, files), so that owners can delete them through it.
#pragma once

class CObject {
public:
    virtual ~CObject() = default;

protected:
    CObject() = default;
};
