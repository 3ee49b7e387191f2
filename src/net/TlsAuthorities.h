#pragma once

#include <QString>

#include <curl/curl.h>

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

// Sets a libcurl handle's authorities: ownCaFile when given (a peer of the user's own, or a
// test's CA), else the system's. On Windows these are the machine's certificate store, with
// the shipped bundle beside it for a store that lacks a root.
void applyTlsAuthorities(CURL* handle, const QString& ownCaFile = {});

// The name of the bundle the Windows program ships beside its executable.
inline constexpr char kShippedCaBundle[] = "ca-certificates.crt";

} // namespace beamtide
