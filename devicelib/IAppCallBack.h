#pragma once

#include <cstdint>

// Callbacks the device library raises for live play started with a non-zero play mode. Empty
// bodies, as in IAppListener; the order is binary interface: never reorder.
class IAppCallBack
{
public:
    virtual ~IAppCallBack() = default;
    virtual void OnAlmStatusCB(int32_t /*status*/) {}
    virtual void OnRecCB(int32_t /*status*/) {}
    virtual void OnSearchCB() {}
    virtual void OnSearchExCB() {}
    virtual void CallBack05(int32_t) {}
    virtual void OnOpStatusCB(int32_t /*status*/) {}
    virtual void OnPlayStatusCB(int32_t /*status*/) {}
    virtual void OnFtpStatusCB(int32_t /*Status*/) {}

protected:
    IAppCallBack() = default;
    IAppCallBack(const IAppCallBack&) = default;
    IAppCallBack& operator=(const IAppCallBack&) = default;
};
