#pragma once

#include <cstdint>

// Events the device library raises, from any of its threads. Every operation has an empty body so
// a listener overrides only what it needs. The order is binary interface: never reorder.
class IAppListener
{
public:
    virtual ~IAppListener() = default;
    virtual void OnError(int32_t /*errorCode*/, const char* /*description*/) {}
    virtual void OnDevStatus(int32_t /*channel*/, int32_t /*status*/) {}
    virtual void OnRecStatus(int32_t /*channel*/, int32_t /*status*/) {}
    virtual void Event04(int32_t, int32_t, int32_t, int32_t, int32_t) {}
    virtual void OnAlmStatus(int32_t /*channel*/, int32_t /*type*/, const char* /*timeDate*/,
                             int32_t /*status*/)
    {
    }
    virtual void Event06(int32_t, int32_t) {}
    virtual void OnPlayStatus(int32_t /*channel*/, int32_t /*status*/) {}
    virtual void OnOpStatus(int32_t /*channel*/, int32_t /*status*/) {}
    virtual void OnImage(int32_t /*type*/, int32_t, int32_t /*size*/) {}
    virtual void Event10(int32_t, int32_t, int32_t) {}
    virtual void Event11(int32_t, int32_t) {}
    virtual void Event12(int32_t, int32_t) {}
    virtual void Event13(int32_t, int32_t) {}
    virtual void Event14(int32_t, int32_t, int32_t, int32_t) {}
    virtual void Event15(int32_t, int32_t) {}

protected:
    IAppListener() = default;
    IAppListener(const IAppListener&) = default;
    IAppListener& operator=(const IAppListener&) = default;
};
