#pragma once
// The thumbnail data object of an item (data type 8).
#include "viewer/sources/camera/DornImageObj.h"

class CDornThumbObj : public CDornImageObj {
public:
    explicit CDornThumbObj(CDornObject* parent) : CDornImageObj(parent, DORN_DATA_THUMBNAIL) {}
};
