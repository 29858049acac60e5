#pragma once

#include <QString>

namespace nw {

// The program's title and version as its version information states them.
inline QString appTitle() { return QStringLiteral("Nettlewright"); }
inline constexpr int kVersionMajor = NW_VERSION_MAJOR;
inline constexpr int kVersionMinor = NW_VERSION_MINOR;
inline constexpr int kVersionRevision = NW_VERSION_PATCH;

// "2.0.1"
inline QString versionText()
{
    return QStringLiteral("%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision);
}

// The vendor's support mailbox: error reports, the contact window and the wizard's last page.
inline QString supportMailbox() { return QStringLiteral("support@nettlewright.org"); }

// Where abuse teams forward a complaint whose analysis was wrong, and the vendor's sales mailbox.
inline QString analysisMailbox() { return QStringLiteral("analysis@nettlewright.org"); }
inline QString salesMailbox() { return QStringLiteral("sales@nettlewright.org"); }

inline QString vendorHost() { return QStringLiteral("www.nettlewright.org"); }
// The vendor's web service (statistics, update catalog, help); the settings store may override it.
// Over https, so that no one on the way can hand out updates.
inline QString defaultVendorBase() { return QStringLiteral("https://") + vendorHost(); }
// The sender of complaints when the user keeps their own address out of them ("UseMyReturn" 0).
inline QString returnMailbox() { return QStringLiteral("return@nettlewright.org"); }

// The vendor's page for abuse teams, named in every complaint.
inline QString abuseTeamPage() { return QStringLiteral("http://") + vendorHost() + QStringLiteral("/isp/"); }

} // namespace nw
