#pragma once

// cpp-httplib as every test sees it. Debian's compiled library was built with these, and its
// types must be seen the same way; on Windows the header is the whole library, with TLS only.
#define CPPHTTPLIB_OPENSSL_SUPPORT
#ifndef _WIN32
#define CPPHTTPLIB_ZLIB_SUPPORT
#define CPPHTTPLIB_BROTLI_SUPPORT
#endif
#include <httplib.h>
