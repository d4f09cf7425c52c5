#pragma once

#include <string>

namespace velkortest
{

// Puts the whole test process into mount and network namespaces of its own, where the resolver
// reads files this object writes: /etc/resolv.conf names 127.0.0.1 as the only name server (a
// SilentNameServer there never answers), /etc/nsswitch.conf asks the hosts file and then DNS, and
// /etc/hosts holds what setHosts() last wrote. Only loopback exists in the network namespace, so
// no query can leave the machine. Must be entered while the process has a single thread.
class PrivateResolver
{
public:
    PrivateResolver() = default;
    ~PrivateResolver();
    PrivateResolver(const PrivateResolver&) = delete;
    PrivateResolver& operator=(const PrivateResolver&) = delete;

    // False, with `why`, when the namespaces cannot be had (not root, no user namespaces).
    bool enter(std::string& why);
    bool entered() const { return m_hosts >= 0; }
    // Replaces the hosts file's lines after "localhost"; glibc reads it on every lookup.
    void setHosts(const std::string& lines) const;

private:
    int m_hosts = -1;
};

} // namespace velkortest
