// Reference counting shared by bitmaps, views and selectors: created with one reference, freed by the last
// forget.
#pragma once

class CBaseObject {
  public:
    CBaseObject() = default;
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;
    virtual ~CBaseObject() = default;

    void remember() { ++references; }
    void forget() {
        if (--references <= 0) delete this;
    }

  private:
    int references = 1;
};

typedef CBaseObject CReferenceCounter;
