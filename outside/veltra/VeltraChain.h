#pragma once
// A chain of filters over one source image; as a data source it answers as its last member.
#include "outside/veltra/VeltraDataSource.h"

class IVeltraFilter;

class IVeltraChain : public IVeltraDataSource {
public:
    // Disconnects the links the chain made and frees the chain; never frees its members.
    virtual void Release() = 0;
    // Replaces the chain's source (null: no source).
    virtual IVeltraError* SetSource(IVeltraDataSource* source, int32_t flags) = 0;
    // position -1 appends at the end; otherwise inserts before that member.
    virtual IVeltraError* AppendFilter(IVeltraFilter* filter, int32_t position) = 0;
    virtual int32_t GetFilterCount() const = 0;
    virtual IVeltraFilter* GetFilter(int32_t index) const = 0;
};
