#pragma once

#include <QString>
#include <QStringList>

// Picking e-mail addresses out of free text (WHOIS answers), validating them, and choosing the one a
// complaint goes to. An address list is a text in which every address is followed by CR LF.
namespace nw {

QString GetEmailListFromText(const QString& text, bool uniqueOnly);
bool IsValidEmailAddress(const QString& address);
// `host` is passed upper-cased by its callers.
bool IsValidIPHost(const QString& host);
bool isTopLevelDomain(const QString& label);
QString PickAbuseAddress(const QString& list);

// The registries' role mailboxes that the last pass of PickAbuseAddress never chooses.
const QStringList& excludedRegistryMailboxes();
// The 251 labels isTopLevelDomain accepts, in table order.
const QStringList& topLevelDomains();

} // namespace nw
