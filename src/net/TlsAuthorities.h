#pragma once

#include <QString>

namespace beamtide {

// The authorities a TLS peer's certificate is checked against when nobody names a file of
// their own: the system's. Linux keeps them in a folder (/etc/ssl/certs, which Debian's
// libcurl also has built in). Windows has no such folder, and OpenSSL's built-in place is a
// folder of the machine that built it; so the Windows program ships the bundle beside
// Beamtide.exe.
struct TlsAuthorities
{
    QString caFile; // a PEM bundle; empty: none
    QString caPath; // a folder of hashed certificates; empty: none

    bool none() const { return caFile.isEmpty() && caPath.isEmpty(); }
};

// On Windows the shipped bundle, and nothing when it is missing.
TlsAuthorities systemTlsAuthorities();

// The name of the bundle the Windows program ships beside its executable.
inline constexpr char kShippedCaBundle[] = "ca-certificates.crt";

} // namespace beamtide
