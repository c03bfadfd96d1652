#pragma once
#include <QString>
#include <QUrl>

// The maker's addresses: the home page and the prepared support mails. The mail links
// are built as URLs with an encoded query, so that blanks, umlauts and "&" in the subject
// and body arrive in the mail program as they were written.
namespace SupportLinks {
QUrl homePage();
QUrl problemReport();
QUrl featureRequest();
// A mailto link to address ("mailto:someone@host" or a bare address).
QUrl mail(const QString& address, const QString& subject, const QString& body);
// The subject prefix the link format puts before the subject ("Quarnel ").
QString subjectPrefix(const QString& format);
}  // namespace SupportLinks
