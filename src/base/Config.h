#pragma once

#include <QString>

namespace beamtide::config {

// Outside services. main() may replace the three base addresses (for tests and demos).
inline constexpr const char* kSpotDatabaseHost = "wsprnet.org";
inline constexpr const char* kEchoHost = "api.ipify.org";
// The second spot source, a public SQL database mirroring the spot database; HTTPS only.
inline constexpr const char* kWsprLiveBaseUrl = "https://db1.wspr.live";
// Its page for people, which the source label opens while its spots are on screen.
inline constexpr const char* kWsprLivePage = "https://wspr.live/";
inline constexpr const char* kGmailHost = "smtp.gmail.com";

// The built-in relay account: placeholders of our own.
inline constexpr const char* kRelayHost = "smtp.relay.beamtide.invalid";
inline constexpr const char* kRelayAccount = "alerts@relay.beamtide.invalid";
inline constexpr const char* kRelayPassword = "bt7Relay";        // 8 characters
inline constexpr const char* kDownloadHost = "downloads.beamtide.invalid";
inline constexpr const char* kSenderAddress = "alerts@beamtide.invalid";
inline constexpr const char* kProtectedPassword = "BeamtideProt";  // 12 letters

// The public addresses: "http://host[:port]" without a trailing slash.
QString spotDatabaseBaseUrl();
QString echoBaseUrl();
QString wsprLiveBaseUrl(); // HTTPS

// given when it is not empty, else fallback; without trailing slashes either way.
QString baseUrl(const QString& given, const QString& fallback);

} // namespace beamtide::config
