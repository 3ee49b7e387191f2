#pragma once

#include <QString>

namespace beamtide::config {

// Outside services. The three base addresses can be replaced through the environment
// (BEAMTIDE_SPOTDB_URL, BEAMTIDE_ECHO_URL, BEAMTIDE_WSPRLIVE_URL) for tests and demos.
inline constexpr const char* kSpotDatabaseHost = "wsprnet.org";
inline constexpr const char* kEchoHost = "api.ipify.org";
// The second spot source, a public SQL database mirroring the spot database; HTTPS only.
inline constexpr const char* kWsprLiveBaseUrl = "https://db1.wspr.live";
inline constexpr const char* kGmailHost = "smtp.gmail.com";

// The built-in relay account: placeholders of our own.
inline constexpr const char* kRelayHost = "smtp.relay.beamtide.invalid";
inline constexpr const char* kRelayAccount = "alerts@relay.beamtide.invalid";
inline constexpr const char* kRelayPassword = "bt7Relay";        // 8 characters
inline constexpr const char* kDownloadHost = "downloads.beamtide.invalid";
inline constexpr const char* kSenderAddress = "alerts@beamtide.invalid";
inline constexpr const char* kProtectedPassword = "BeamtideProt";  // 12 letters

QString spotDatabaseBaseUrl(); // "http://host[:port]" without a trailing slash
QString echoBaseUrl();
QString wsprLiveBaseUrl(); // "https://host" without a trailing slash

} // namespace beamtide::config
